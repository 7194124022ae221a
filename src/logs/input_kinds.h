// What a file handed to a log converter holds, judged from its first bytes
// and its size.  The converters take any bytes a host hands them, so a
// configuration given as a call log would come out as lines of nonsense;
// the tool asks here first and refuses the wrong kind before it writes.
//
// One check per kind of the box's files.  Each looks at a head of the file
// (kKindHeadSize bytes, or all of a shorter file) and the file's size, and
// answers whether the file is of that kind, with the reason when it is not.
// An empty file passes every check: it is a log without records, and the
// converters report it in their own words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorn::logs {

// The kinds of input the library's converters and pages read.  Table and
// Config are judged above this layer (the table's format text belongs to
// the table layer); Text is a text of no known form.
enum class InputKind { Table, Config, CallLog, CallList, EventLog, Trace, Text, Unknown };

// "a call log", "an event log", ...: the kind as a message names it.
const char *kind_name(InputKind kind);

// How much of a file the checks look at: 64 KiB, 873 call records.
inline constexpr size_t kKindHeadSize = 65536;

struct KindCheck {
    bool fits = false;
    std::string reason; // why the file is not of the kind; empty when it fits
};

// A binary call log: whole 75-byte records, and most of the records before
// the end mark with their start and end times in range (a day of 0xFF, an
// unknown start or a call not finished, stands for any time).
KindCheck check_call_log(std::string_view head, uint64_t size);
// A call list: a text whose lines have the forms the call log converter
// writes (calls with or without arrow and marker, the reject lines).
KindCheck check_call_list(std::string_view head, uint64_t size);
// An event log: version 1 or 2 and a queue header the converter can walk.
KindCheck check_event_log(std::string_view head, uint64_t size);
// A protocol trace: its first record (after unwritten 0xFF space) has a
// known type and a time in range.
KindCheck check_trace(std::string_view head, uint64_t size);

// The check of `kind` (the log kinds above; others fit).
KindCheck check_kind(InputKind kind, std::string_view head, uint64_t size);

// Which of the log kinds the head looks like, Text for other text and
// Unknown for other bytes; an empty file is Unknown.
InputKind likely_log_kind(std::string_view head, uint64_t size);

} // namespace vorn::logs
