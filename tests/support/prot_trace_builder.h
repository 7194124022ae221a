// Binary protocol traces built from their records, for the tests, the fuzz
// seeds and the benchmark: each record is an 8-byte header (second, minute,
// tick, length, port, type) and its data, little-endian as the box writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>

namespace vorn::test {

// A byte string from a list of values, easier to read than escapes.
std::string bytes_of(std::initializer_list<int> values);
// The bytes 0, 1, 2 ... (wrapping at 256) of a frame `size` bytes long.
std::string counting_bytes(size_t size);

class TraceBuilder {
  public:
    // Time of the records that follow.
    TraceBuilder &at(uint8_t minute, uint8_t second, uint16_t tick = 0) {
        m_minute = minute, m_second = second, m_tick = tick;
        return *this;
    }
    // Any record; the length field is the data's size + 4 unless given.
    TraceBuilder &record(uint8_t type, uint8_t port, const std::string &data,
                         std::optional<uint16_t> length = {});
    TraceBuilder &state(uint8_t port, uint8_t code) { return record('1', port, bytes_of({code})); }
    TraceBuilder &error(uint8_t port, uint8_t code) { return record('e', port, bytes_of({code})); }
    TraceBuilder &boot() { return record('b', 0, ""); }
    TraceBuilder &time(uint8_t hour, uint8_t day, uint8_t month, uint8_t year) {
        return record('t', 0, bytes_of({hour, day, month, year}));
    }
    TraceBuilder &connect(uint8_t port1, uint8_t channel1, uint8_t port2, uint8_t channel2,
                          uint8_t state) {
        return record('c', port1, bytes_of({port1, channel1, port2, channel2, state}));
    }
    // 'r' (received) or 's' (sent): a D-channel frame.
    TraceBuilder &frame(char direction, uint8_t port, const std::string &bytes) {
        return record(static_cast<uint8_t>(direction), port, bytes);
    }
    // 0xFF bytes (unwritten space of the box): up to `size` bytes in all, or
    // `count` more.
    TraceBuilder &fill_to(size_t size) {
        return ff(size > m_bytes.size() ? size - m_bytes.size() : 0);
    }
    TraceBuilder &ff(size_t count) {
        m_bytes.append(count, '\xFF');
        return *this;
    }

    const std::string &bytes() const { return m_bytes; }
    size_t size() const { return m_bytes.size(); }

  private:
    std::string m_bytes;
    uint8_t m_minute = 0, m_second = 0;
    uint16_t m_tick = 0;
};

// Makes the calling thread's temporary folder `folder` while it lives (the
// trace converter's copy goes there), then restores the previous one.
class TmpPathIn {
  public:
    explicit TmpPathIn(const std::string &folder);
    ~TmpPathIn();
    TmpPathIn(const TmpPathIn &) = delete;
    TmpPathIn &operator=(const TmpPathIn &) = delete;

  private:
    char m_previous[260] = {};
};

} // namespace vorn::test
