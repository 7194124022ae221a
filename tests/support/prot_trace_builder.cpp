#include "support/prot_trace_builder.h"

#include "vorn_b32.h"

namespace vorn::test {

TraceBuilder &TraceBuilder::at(uint8_t minute, uint8_t second, uint16_t tick) {
    m_minute = minute;
    m_second = second;
    m_tick = tick;
    return *this;
}

TraceBuilder &TraceBuilder::record(uint8_t type, uint8_t port, const std::string &data,
                                   std::optional<uint16_t> length) {
    const uint16_t len = length.value_or(static_cast<uint16_t>(data.size() + 4));
    m_bytes += bytes_of(
        {m_second, m_minute, m_tick & 0xFF, m_tick >> 8, len & 0xFF, len >> 8, port, type});
    m_bytes += data;
    return *this;
}

TraceBuilder &TraceBuilder::state(uint8_t port, uint8_t code) {
    return record('1', port, bytes_of({code}));
}

TraceBuilder &TraceBuilder::error(uint8_t port, uint8_t code) {
    return record('e', port, bytes_of({code}));
}

TraceBuilder &TraceBuilder::boot() {
    return record('b', 0, "");
}

TraceBuilder &TraceBuilder::time(uint8_t hour, uint8_t day, uint8_t month, uint8_t year) {
    return record('t', 0, bytes_of({hour, day, month, year}));
}

TraceBuilder &TraceBuilder::connect(uint8_t port1, uint8_t channel1, uint8_t port2,
                                    uint8_t channel2, uint8_t state) {
    return record('c', port1, bytes_of({port1, channel1, port2, channel2, state}));
}

TraceBuilder &TraceBuilder::frame(char direction, uint8_t port, const std::string &bytes) {
    return record(static_cast<uint8_t>(direction), port, bytes);
}

TraceBuilder &TraceBuilder::fill_to(size_t size) {
    if (m_bytes.size() < size)
        m_bytes.append(size - m_bytes.size(), '\xFF');
    return *this;
}

TraceBuilder &TraceBuilder::ff(size_t count) {
    m_bytes.append(count, '\xFF');
    return *this;
}

std::string bytes_of(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v & 0xFF);
    return out;
}

std::string counting_bytes(size_t size) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

std::string hex_bytes(const std::string &bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes)
        text += {' ', kDigits[b >> 4], kDigits[b & 0xF]};
    return text;
}

TmpPathIn::TmpPathIn(const std::string &folder) {
    get_TmpPath(m_previous, sizeof m_previous);
    set_TmpPath((folder + "/x").c_str(), 1); // the folder of a file in it
}

TmpPathIn::~TmpPathIn() {
    set_TmpPath(*m_previous ? (std::string(m_previous) + "/x").c_str() : "", 1);
}

} // namespace vorn::test
