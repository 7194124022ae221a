// The pcapng capture of a trace's D-channel frames (see pcapng.h).
#include "logs/pcapng.h"

#include "platform/platform.h"

#include <cstring>
#include <string>

namespace vorn::logs {
namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescription = 1;
constexpr uint32_t kEnhancedPacket = 6;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptShbUserAppl = 4;
constexpr uint16_t kOptIfName = 2;
constexpr uint16_t kOptIfDescription = 3;
constexpr uint16_t kOptEpbFlags = 2;
constexpr uint32_t kFlagInbound = 1;
constexpr uint32_t kFlagOutbound = 2;

// The Linux LAPD pseudo-header, in network byte order.
constexpr uint16_t kPacketHost = 0;     // received
constexpr uint16_t kPacketOutgoing = 4; // sent
constexpr uint16_t kHardwareLapd = 8445;
constexpr uint16_t kProtocolLapd = 0x0030;

// A frame's length field holds 16 bits, so no frame is longer than this.
constexpr uint32_t kSnapLength = 65535 + kLapdPseudoHeaderSize;

bool network_side(unsigned port) {
    return port >= 2;
}

} // namespace

PcapngWriter::PcapngWriter(std::FILE *out) : m_out(out) {
    m_interfaces.fill(-1);
    m_block.reserve(1024);
    m_frame.reserve(1024);
    put32(kByteOrderMagic);
    put16(1); // version 1.0
    put16(0);
    put32(0xFFFFFFFF); // section length not given
    put32(0xFFFFFFFF);
    const std::string application = std::string("Vorn_B32 ") + platform::library_version();
    put_option(kOptShbUserAppl, application.data(), application.size());
    put_option(kOptEnd, nullptr, 0);
    write_block(kSectionHeader);
}

void PcapngWriter::put16(uint16_t v) {
    m_block.push_back(static_cast<uint8_t>(v));
    m_block.push_back(static_cast<uint8_t>(v >> 8));
}

void PcapngWriter::put32(uint32_t v) {
    put16(static_cast<uint16_t>(v));
    put16(static_cast<uint16_t>(v >> 16));
}

void PcapngWriter::put_option(uint16_t code, const void *data, size_t size) {
    put16(code);
    put16(static_cast<uint16_t>(size));
    const auto *bytes = static_cast<const uint8_t *>(data);
    m_block.insert(m_block.end(), bytes, bytes + size);
    m_block.resize((m_block.size() + 3) & ~size_t{3}, 0);
}

// Frames the body collected in m_block with type and both length fields.
void PcapngWriter::write_block(uint32_t type) {
    m_block.resize((m_block.size() + 3) & ~size_t{3}, 0);
    const auto total = static_cast<uint32_t>(m_block.size() + 12);
    uint8_t head[8];
    uint8_t tail[4];
    for (int i = 0; i < 4; ++i) {
        head[i] = static_cast<uint8_t>(type >> (8 * i));
        head[4 + i] = tail[i] = static_cast<uint8_t>(total >> (8 * i));
    }
    if (!m_failed && m_out != nullptr) {
        m_failed = std::fwrite(head, 1, sizeof head, m_out) != sizeof head ||
                   std::fwrite(m_block.data(), 1, m_block.size(), m_out) != m_block.size() ||
                   std::fwrite(tail, 1, sizeof tail, m_out) != sizeof tail;
    } else {
        m_failed = true;
    }
    m_block.clear();
}

void PcapngWriter::interface_of(unsigned port) {
    if (m_interfaces[port] >= 0)
        return;
    m_interfaces[port] = m_interface_count++;
    put16(kLinktypeLinuxLapd);
    put16(0);
    put32(kSnapLength);
    char text[64];
    int n = std::snprintf(text, sizeof text, "port %u", port);
    put_option(kOptIfName, text, static_cast<size_t>(n));
    n = std::snprintf(text, sizeof text, "Vorn-Box D channel, box on the %s side",
                      network_side(port) ? "network" : "user");
    put_option(kOptIfDescription, text, static_cast<size_t>(n));
    put_option(kOptEnd, nullptr, 0);
    write_block(kInterfaceDescription);
}

void PcapngWriter::record_time(unsigned minute, unsigned second, unsigned hundredths) {
    if (minute < m_last_minute)
        m_hour_start += 3600;
    m_last_minute = minute;
    const int64_t seconds = m_hour_start + static_cast<int64_t>(minute) * 60 + second;
    m_stamp = seconds < 0 ? 0
                          : static_cast<uint64_t>(seconds) * 1000000u +
                                static_cast<uint64_t>(hundredths) * 10000u;
}

void PcapngWriter::clock(unsigned day, unsigned month, unsigned year, unsigned hour) {
    // Two-digit years as POSIX reads them: 69 to 99 are the 1900s.
    const int full_year = static_cast<int>(year) + (year >= 69 ? 1900 : 2000);
    const int64_t start = platform::local_to_epoch(
        full_year, static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour), 0, 0);
    m_hour_start = start < 0 ? 0 : start;
}

void PcapngWriter::begin_frame(unsigned port, bool sent) {
    m_port = port & 0xFF;
    m_sent = sent;
    m_frame.clear();
}

void PcapngWriter::add(const uint8_t *data, size_t size) {
    m_frame.insert(m_frame.end(), data, data + size);
}

void PcapngWriter::end_frame() {
    interface_of(m_port);
    const auto length = static_cast<uint32_t>(kLapdPseudoHeaderSize + m_frame.size());
    put32(static_cast<uint32_t>(m_interfaces[m_port]));
    put32(static_cast<uint32_t>(m_stamp >> 32));
    put32(static_cast<uint32_t>(m_stamp));
    put32(length);
    put32(length);
    const uint16_t big_endian[3] = {m_sent ? kPacketOutgoing : kPacketHost, kHardwareLapd, 1};
    for (uint16_t v : big_endian) {
        m_block.push_back(static_cast<uint8_t>(v >> 8));
        m_block.push_back(static_cast<uint8_t>(v));
    }
    uint8_t address[8] = {static_cast<uint8_t>(network_side(m_port) ? 1 : 0)};
    m_block.insert(m_block.end(), address, address + sizeof address);
    m_block.push_back(static_cast<uint8_t>(kProtocolLapd >> 8));
    m_block.push_back(static_cast<uint8_t>(kProtocolLapd));
    m_block.insert(m_block.end(), m_frame.begin(), m_frame.end());
    m_block.resize((m_block.size() + 3) & ~size_t{3}, 0);
    const uint32_t flags = m_sent ? kFlagOutbound : kFlagInbound;
    const uint8_t flag_bytes[4] = {static_cast<uint8_t>(flags), 0, 0, 0};
    put_option(kOptEpbFlags, flag_bytes, sizeof flag_bytes);
    put_option(kOptEnd, nullptr, 0);
    write_block(kEnhancedPacket);
}

} // namespace vorn::logs
