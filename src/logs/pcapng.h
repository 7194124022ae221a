// The D-channel frames of a protocol trace as a pcapng capture, so that
// Wireshark and tshark decode them (LAPD and the Q.931 messages inside).
//
// The trace converter hands every record's time and every `r`/`s` frame to
// this writer while it walks the trace; the text output is not affected.
// The capture holds one section, one interface per port (created when the
// port's first frame appears), and one enhanced packet block per frame:
//
// - link type LINUX_LAPD (177): each frame is preceded by a 16-byte
//   pseudo-header that tells the direction and whether the box is the
//   network side of the port, which Wireshark needs to tell commands from
//   responses.  The line-interface states of ports 0 and 1 are those of a
//   terminal-side interface, the states of ports 2 and above those of a
//   network-side one, so the box is the user side on ports 0 and 1 and the
//   network side on the others;
// - the direction also stands in the packet's flags (inbound for `r`,
//   outbound for `s`);
// - time stamps in microseconds: the date and hour of the latest `t`
//   record, read as local time of this machine, plus the minute, second
//   and hundredths of the record's header.  A minute smaller than the one
//   before means that the hour has passed without a new `t` record.  Before
//   the first `t` record the date is unknown and the frames are dated from
//   1 January 1970.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace vorn::logs {

inline constexpr uint16_t kLinktypeLinuxLapd = 177;
inline constexpr size_t kLapdPseudoHeaderSize = 16;

class PcapngWriter {
  public:
    // Writes the section header to `out` (binary, positioned at its start).
    explicit PcapngWriter(std::FILE *out);
    PcapngWriter(const PcapngWriter &) = delete;
    PcapngWriter &operator=(const PcapngWriter &) = delete;

    // The time in the header of the record that is being converted.
    void record_time(unsigned minute, unsigned second, unsigned hundredths);
    // A `t` record: the date (two-digit year) and hour from now on.
    void clock(unsigned day, unsigned month, unsigned year, unsigned hour);

    // A frame of `port`, sent (`s`) or received (`r`) by the box, at the
    // time of the current record; its bytes arrive through add().
    void begin_frame(unsigned port, bool sent);
    void add(const uint8_t *data, size_t size);
    void end_frame();

    // True while every block could be written.
    bool ok() const { return !m_failed; }

  private:
    void interface_of(unsigned port);
    void write_block(uint32_t type);
    void put16(uint16_t v);
    void put32(uint32_t v);
    void put_option(uint16_t code, const void *data, size_t size);

    std::FILE *m_out;
    bool m_failed = false;
    std::vector<uint8_t> m_block; // body of the block being built
    std::vector<uint8_t> m_frame; // the frame being collected
    std::array<int, 256> m_interfaces;
    int m_interface_count = 0;
    unsigned m_port = 0;
    bool m_sent = false;
    int64_t m_hour_start = 0; // seconds since 1970 of the current hour
    unsigned m_last_minute = 0;
    uint64_t m_stamp = 0; // microseconds since 1970 of the current record
};

} // namespace vorn::logs
