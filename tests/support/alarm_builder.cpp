#include "support/alarm_builder.h"

#include <algorithm>

namespace vorn::test {
namespace {

// Little-endian, as the box stores its fields.
void put(std::string &out, size_t offset, uint32_t value, size_t bytes) {
    for (size_t i = 0; i < bytes; ++i)
        out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

std::string AlarmLog::build() const {
    // Version 1: 1 + 2 + 1 + 10 header bytes, 40 records of 11, 40 texts of
    // 60.  Version 2: 19 header bytes, entries of 75 (record, text, address).
    const bool v1 = version == 1;
    const int stored = v1 ? 40 : std::max(entries.value_or(queue[0]), 0);
    std::string out(v1 ? 2854 : 19 + 75 * static_cast<size_t>(stored), '\0');
    out[0] = static_cast<char>(version);
    put(out, 3, whole_count, v1 ? 1 : 2);
    for (size_t i = 0; i < 5; ++i)
        put(out, (v1 ? 4 : 5) + 2 * i, static_cast<uint16_t>(queue[i]), 2);
    if (!v1)
        put(out, 15, alarm_ptr, 4);
    for (const auto &[index, e] : events) {
        if (index < 0 || index >= stored)
            continue;
        const auto i = static_cast<size_t>(index);
        const size_t record = v1 ? 14 + 11 * i : 19 + 75 * i;
        const uint8_t time[] = {e.second, e.minute, e.hour, e.day, e.month, e.year};
        for (size_t b = 0; b < 6; ++b)
            put(out, record + b, time[b], 1);
        put(out, record + 6, e.pid, 2);
        put(out, record + 8, e.err_class, 1);
        put(out, record + 9, e.err_code, 2);
        out.replace(v1 ? 454 + 60 * i : record + 11, std::min<size_t>(e.text.size(), 60), e.text, 0,
                    60);
        if (!v1)
            put(out, record + 71, e.address, 4);
    }
    return v1 ? out : out + device;
}

} // namespace vorn::test
