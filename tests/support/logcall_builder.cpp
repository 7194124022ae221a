#include "support/logcall_builder.h"

#include <algorithm>

namespace vorn::test {
namespace {

// Little-endian, as the box stores its fields.
void put16(std::string &out, size_t offset, uint16_t value) {
    out[offset] = static_cast<char>(value & 0xFF);
    out[offset + 1] = static_cast<char>(value >> 8);
}

void put_time(std::string &out, size_t offset, const CallTime &t) {
    const uint8_t bytes[] = {t.second, t.minute, t.hour, t.day, t.month, t.year};
    for (size_t i = 0; i < 6; ++i)
        out[offset + i] = static_cast<char>(bytes[i]);
}

void put_raw(std::string &out, size_t offset, const std::string &raw, size_t field) {
    out.replace(offset, std::min(raw.size(), field), raw, 0, field);
}

} // namespace

std::string packed(const std::string &digits) {
    std::string field(11, '\0');
    field[10] = static_cast<char>(0xBB);
    for (size_t i = 0; i < 20; ++i) {
        const unsigned half = i < digits.size()    ? static_cast<unsigned>(digits[i] - '0') + 1
                              : i == digits.size() ? 11u
                                                   : 0u;
        auto &byte = reinterpret_cast<unsigned char &>(field[i / 2]);
        byte = static_cast<unsigned char>(i % 2 == 0 ? half << 4 : byte | half);
    }
    return field;
}

std::string CallRecord::bytes() const {
    std::string out(75, '\0');
    put16(out, 0, plc);
    put_raw(out, 2, dad, 31);
    put_raw(out, 33, number1, 11);
    put_raw(out, 44, number2, 11);
    put16(out, 55, status);
    out[57] = static_cast<char>(port1);
    out[58] = static_cast<char>(port2);
    put16(out, 59, value);
    out[61] = static_cast<char>(code);
    out[62] = static_cast<char>(subcode);
    put_time(out, 63, start);
    put_time(out, 69, end);
    return out;
}

std::string call_log(const std::vector<CallRecord> &records) {
    std::string out;
    for (const CallRecord &r : records)
        out += r.bytes();
    return out;
}

} // namespace vorn::test
