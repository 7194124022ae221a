// Binary call logs described by their contents, not by bytes, for the tests,
// the fuzz seeds and the benchmark: one 75-byte record per CallRecord.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::test {

// A time in reading order; the record stores it from the second up.
struct CallTime {
    uint8_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
};

// The eleven bytes of a number field holding `digits` packed two to a byte
// ('0' to '9'; at most 20), ended by the half-byte 11, marker 0xBB last.
std::string packed(const std::string &digits);

// Defaults: the outgoing call of the list examples (address 812, numbers
// 012 and 471, status 0010h, code 10h, no subcode, value 3, from 04.12.15
// 13:05:09 to 13:07:41).
struct CallRecord {
    uint16_t plc = 1;
    std::string dad = "812";             // raw bytes, at most 31; "\xFF" for none
    std::string number1 = packed("012"); // raw bytes, at most 11
    std::string number2 = packed("471");
    uint16_t status = 0x0010;
    uint8_t port1 = 0x25;
    uint8_t port2 = 0xFF;
    uint16_t value = 3;
    uint8_t code = 0x10;
    uint8_t subcode = 0xFF;
    CallTime start = {4, 12, 15, 13, 5, 9};
    CallTime end = {4, 12, 15, 13, 7, 41};

    std::string bytes() const;
};

// The records one after the other.
std::string call_log(const std::vector<CallRecord> &records);

} // namespace vorn::test
