// The binary event logs, call logs and protocol traces of the test builders,
// laid out byte by byte; every number little-endian, as the box stores it.
#include "support/alarm_builder.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "vorn_b32.h"

#include <algorithm>

namespace vorn::test {
namespace {

// The low `bytes` bytes of `value`, lowest first.
std::string le(uint32_t value, size_t bytes) {
    std::string out;
    for (size_t i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// `text` cut or padded with zeros to `size` bytes.
std::string field(const std::string &text, size_t size) {
    return text.substr(0, size) + std::string(size - std::min(text.size(), size), '\0');
}

// A time as the records store it: from the second up.
template <class Time> std::string stored(const Time &t) {
    return bytes_of({t.second, t.minute, t.hour, t.day, t.month, t.year});
}

} // namespace

std::string AlarmLog::build() const {
    // Version 1: 1 + 2 + 1 + 10 header bytes, 40 records of 11, 40 texts of
    // 60.  Version 2: 19 header bytes, entries of 75 (record, text, address).
    const bool v1 = version == 1;
    const int stored_entries = v1 ? 40 : std::max(entries.value_or(queue[0]), 0);
    std::string head = le(version, 3) + le(whole_count, v1 ? 1 : 2), records, texts;
    for (int16_t q : queue)
        head += le(static_cast<uint16_t>(q), 2);
    if (!v1)
        head += le(alarm_ptr, 4);
    for (int i = 0; i < stored_entries; ++i) {
        const AlarmEvent e = events.contains(i) ? events.at(i) : AlarmEvent{}; // zeros
        const std::string record =
            stored(e) + le(e.pid, 2) + le(e.err_class, 1) + le(e.err_code, 2);
        records += v1 ? record : record + field(e.text, 60) + le(e.address, 4);
        texts += field(e.text, 60);
    }
    return v1 ? head + records + texts : head + records + device;
}

std::string packed(const std::string &digits) {
    std::string out(11, '\0');
    out[10] = static_cast<char>(0xBB);
    for (size_t i = 0; i < 20; ++i) {
        const unsigned half = i < digits.size()    ? static_cast<unsigned>(digits[i] - '0') + 1
                              : i == digits.size() ? 11u
                                                   : 0u;
        auto &byte = reinterpret_cast<unsigned char &>(out[i / 2]);
        byte = static_cast<unsigned char>(i % 2 == 0 ? half << 4 : byte | half);
    }
    return out;
}

std::string CallRecord::bytes() const {
    return le(plc, 2) + field(dad, 31) + field(number1, 11) + field(number2, 11) + le(status, 2) +
           bytes_of({port1, port2}) + le(value, 2) + bytes_of({code, subcode}) + stored(start) +
           stored(end);
}

std::string call_log(const std::vector<CallRecord> &records) {
    std::string out;
    for (const CallRecord &r : records)
        out += r.bytes();
    return out;
}

TraceBuilder &TraceBuilder::record(uint8_t type, uint8_t port, const std::string &data,
                                   std::optional<uint16_t> length) {
    m_bytes += bytes_of({m_second, m_minute}) + le(m_tick, 2) +
               le(length.value_or(static_cast<uint16_t>(data.size() + 4)), 2) +
               bytes_of({port, type}) + data;
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
