// Binary event logs of versions 1 and 2 described by their contents, not by
// bytes, for the tests, the fuzz seeds and the example generator.
#pragma once

#include "support/text_files.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace vorn::test {

struct AlarmEvent {
    uint8_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    uint16_t pid = 0;
    uint8_t err_class = 0;
    uint16_t err_code = 0;
    std::string text = {}; // at most 60 bytes are stored; 60 leave no terminator
    uint32_t address = 0;  // version 2 only
};

struct AlarmLog {
    uint8_t version = 2;                   // 1 lays the log out as version 1, all else as 2
    uint16_t whole_count = 0;              // version 1 keeps the low byte
    std::array<int16_t, 5> queue = {};     // size, count, overflow, first, last
    std::map<int, AlarmEvent> events = {}; // by ring index
    // Version 2: the bytes behind the entries (the device name), the number
    // of 75-byte entries (default: the queue size, none when not positive)
    // and the box address of the first one.
    std::string device = {};
    std::optional<int> entries = {};
    uint32_t alarm_ptr = 0;

    std::string build() const;
};

} // namespace vorn::test
