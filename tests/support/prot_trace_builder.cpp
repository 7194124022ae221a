#include "support/prot_trace_builder.h"

#include "vorn_b32.h"

namespace vorn::test {

TraceBuilder &TraceBuilder::record(uint8_t type, uint8_t port, const std::string &data,
                                   std::optional<uint16_t> length) {
    const uint16_t len = length.value_or(static_cast<uint16_t>(data.size() + 4));
    m_bytes += bytes_of(
        {m_second, m_minute, m_tick & 0xFF, m_tick >> 8, len & 0xFF, len >> 8, port, type});
    m_bytes += data;
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

TmpPathIn::TmpPathIn(const std::string &folder) {
    get_TmpPath(m_previous, sizeof m_previous);
    set_TmpPath((folder + "/x").c_str(), 1); // the folder of a file in it
}

TmpPathIn::~TmpPathIn() {
    set_TmpPath(*m_previous ? (std::string(m_previous) + "/x").c_str() : "", 1);
}

} // namespace vorn::test
