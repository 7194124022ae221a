#include "support/logcall_builder.h"

#include <algorithm>

namespace vorn::test {

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
    // Little-endian, as the box stores its fields; times from the second up.
    auto raw = [](const std::string &text, size_t field) {
        return text.substr(0, field) + std::string(field - std::min(text.size(), field), '\0');
    };
    auto time = [](const CallTime &t) {
        return std::string{char(t.second), char(t.minute), char(t.hour),
                           char(t.day),    char(t.month),  char(t.year)};
    };
    auto word = [](uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; };
    return word(plc) + raw(dad, 31) + raw(number1, 11) + raw(number2, 11) + word(status) +
           char(port1) + char(port2) + word(value) + char(code) + char(subcode) + time(start) +
           time(end);
}

std::string call_log(const std::vector<CallRecord> &records) {
    std::string out;
    for (const CallRecord &r : records)
        out += r.bytes();
    return out;
}

} // namespace vorn::test
