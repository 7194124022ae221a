#include "support/alarm_builder.h"

#include <algorithm>

namespace vorn::test {
namespace {

void put16(std::string &out, size_t offset, uint16_t value) {
    out[offset] = static_cast<char>(value & 0xFF);
    out[offset + 1] = static_cast<char>(value >> 8);
}

void put32(std::string &out, size_t offset, uint32_t value) {
    put16(out, offset, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, offset + 2, static_cast<uint16_t>(value >> 16));
}

void put_record(std::string &out, size_t offset, const AlarmEvent &e) {
    out[offset + 0] = static_cast<char>(e.second);
    out[offset + 1] = static_cast<char>(e.minute);
    out[offset + 2] = static_cast<char>(e.hour);
    out[offset + 3] = static_cast<char>(e.day);
    out[offset + 4] = static_cast<char>(e.month);
    out[offset + 5] = static_cast<char>(e.year);
    put16(out, offset + 6, e.pid);
    out[offset + 8] = static_cast<char>(e.err_class);
    put16(out, offset + 9, e.err_code);
}

void put_text(std::string &out, size_t offset, const std::string &text) {
    out.replace(offset, std::min<size_t>(text.size(), 60), text, 0, 60);
}

} // namespace

AlarmLogBuilder::AlarmLogBuilder(uint8_t version) : m_version(version) {}

AlarmLogBuilder &AlarmLogBuilder::whole_count(uint16_t count) {
    m_whole = count;
    return *this;
}

AlarmLogBuilder &AlarmLogBuilder::queue(int16_t size, int16_t count, int16_t overflow,
                                        int16_t first, int16_t last) {
    m_queue[0] = size;
    m_queue[1] = count;
    m_queue[2] = overflow;
    m_queue[3] = first;
    m_queue[4] = last;
    return *this;
}

AlarmLogBuilder &AlarmLogBuilder::alarm_ptr(uint32_t address) {
    m_alarm_ptr = address;
    return *this;
}

AlarmLogBuilder &AlarmLogBuilder::event(int index, const AlarmEvent &event) {
    m_events[index] = event;
    return *this;
}

AlarmLogBuilder &AlarmLogBuilder::entries(int count) {
    m_entries = count;
    return *this;
}

AlarmLogBuilder &AlarmLogBuilder::device(const std::string &name, bool terminated) {
    m_device = terminated ? name + '\0' : name;
    return *this;
}

std::string AlarmLogBuilder::build() const {
    std::string out;
    if (m_version == 1) {
        // 1 + 2 + 1 + 10 header bytes, 40 records of 11, 40 texts of 60.
        out.assign(2854, '\0');
        out[0] = 1;
        out[3] = static_cast<char>(m_whole & 0xFF);
        for (int i = 0; i < 5; ++i)
            put16(out, 4 + 2 * i, static_cast<uint16_t>(m_queue[i]));
        for (const auto &[index, e] : m_events) {
            if (index < 0 || index >= 40)
                continue;
            put_record(out, 14 + 11 * static_cast<size_t>(index), e);
            put_text(out, 454 + 60 * static_cast<size_t>(index), e.text);
        }
        return out;
    }
    int entries = m_entries.value_or(std::max<int>(m_queue[0], 0));
    out.assign(19 + 75 * static_cast<size_t>(std::max(entries, 0)), '\0');
    out[0] = static_cast<char>(m_version);
    put16(out, 3, m_whole);
    for (int i = 0; i < 5; ++i)
        put16(out, 5 + 2 * i, static_cast<uint16_t>(m_queue[i]));
    put32(out, 15, m_alarm_ptr);
    for (const auto &[index, e] : m_events) {
        if (index < 0 || index >= entries)
            continue;
        size_t entry = 19 + 75 * static_cast<size_t>(index);
        put_record(out, entry, e);
        put_text(out, entry + 11, e.text);
        put32(out, entry + 71, e.address);
    }
    if (m_device)
        out += *m_device;
    return out;
}

} // namespace vorn::test
