// The call log of the box and what the library does with it.
//
// The box records every call it switches as one 75-byte record `logcall_t`.
// A host fetches the log as a file; mklogcall copies it, sorts the copy by
// the time each call ended and writes lists of outgoing, incoming and
// rejected calls (or one combined list with direction arrows).
// merge_logcall merges two such text lists into one, ordered by end time,
// either into a new file or in place of the first list.  The tool can also
// write the records as a CSV table for spreadsheets and databases.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "frame/error.h"
#include "logs/conversion_stats.h"

namespace vorn {

// Records are memory images of the box's little-endian layout.
static_assert(std::endian::native == std::endian::little,
              "call records are little-endian memory images");

#pragma pack(push, 1)
// A point in time as the box stores it.  A day of 0xFF means unknown (start)
// or not finished (end).
struct logcall_time_t {
    uint8_t second;
    uint8_t minute;
    uint8_t hour;
    uint8_t day;
    uint8_t month;
    uint8_t year; // two digits
};

struct logcall_t {
    uint16_t plc;        // bits 0-14: slot; bit 15: not closed; 0xFFFF: end of log
    char dad[31];        // dialled address, zero-terminated; first byte 0xFF: none
    uint8_t number1[11]; // packed digits with marker 0xBB in the last byte, or text
    uint8_t number2[11];
    uint16_t status; // 0: saved before
    uint8_t port1;   // packed port pair of the first number
    uint8_t port2;   // of the second number; 0xFF: none
    uint16_t value;  // 0xFFFF: none
    uint8_t code;
    uint8_t subcode; // 0xFF: none
    logcall_time_t start;
    logcall_time_t end;
};
#pragma pack(pop)

static_assert(sizeof(logcall_time_t) == 6);
static_assert(offsetof(logcall_time_t, minute) == 1 && offsetof(logcall_time_t, hour) == 2 &&
              offsetof(logcall_time_t, day) == 3 && offsetof(logcall_time_t, month) == 4 &&
              offsetof(logcall_time_t, year) == 5);
static_assert(sizeof(logcall_t) == 75);
static_assert(offsetof(logcall_t, dad) == 2 && offsetof(logcall_t, number1) == 33 &&
              offsetof(logcall_t, number2) == 44 && offsetof(logcall_t, status) == 55 &&
              offsetof(logcall_t, port1) == 57 && offsetof(logcall_t, port2) == 58 &&
              offsetof(logcall_t, value) == 59 && offsetof(logcall_t, code) == 61 &&
              offsetof(logcall_t, subcode) == 62 && offsetof(logcall_t, start) == 63 &&
              offsetof(logcall_t, end) == 69);

inline constexpr size_t kLogcallSize = sizeof(logcall_t);
inline constexpr uint16_t kLogcallEnd = 0xFFFF;
inline constexpr uint16_t kLogcallNotClosed = 0x8000;
inline constexpr uint8_t kPackedMarker = 0xBB;
inline constexpr uint8_t kUnknownDay = 0xFF;
// Room for a decoded number: 23 characters and the terminator.
inline constexpr size_t kLogcallNumberSize = 24;

// ---- converting (mklogcall) ---------------------------------------------------

// The two numbers of a record as text (each at most 23 characters).  Packed
// digits are decoded; a stored text is taken up to its terminator, never
// beyond its own 11-byte field.
void get_logcall_numbers(const logcall_t *record, char *first, char *second);

// The two small numbers packed into a port code byte.
struct PortPair {
    unsigned hi;
    unsigned lo;
};
PortPair logcall_port(uint8_t code);

// Writes the records of the sorted binary log, from its read position, to
// the three streams.  `in` and `reject` may be the `out` stream: out == in is
// the combined list with direction arrows, out == reject adds the markers in
// front of the start time.  Returns Ok.
// The lines are counted into `stats` when it is given.
Error convert_logcall(std::FILE *sorted, std::FILE *out, std::FILE *in, std::FILE *reject,
                      logs::LogcallStats *stats = nullptr);

// The files of one conversion.  Absent in and reject files send their lines
// to the out file; the CSV table is the tool's addition and left out by the
// export.
struct LogcallFiles {
    const char *binfile = nullptr;
    const char *outfile = nullptr;
    const char *infile = nullptr;
    const char *rejectfile = nullptr;
    const char *csvfile = nullptr;
    // What the conversion did, filled when given.
    logs::LogcallStats *stats = nullptr;
};

// All of mklogcall: copy, sort, convert, close, delete the copy.  The
// outcome's error is Ok; CannotRead, ShortRead or a temporary copy's error
// (log unreadable); NoMemory; CannotWrite, IncomingNotWritten,
// RejectedNotWritten (out/in/reject file not writable); SortShortRead,
// SortShortWrite (sorting failed) or CsvNotWritten, with the file it
// concerns.  On a failure `message` (when given) receives the host's
// message, empty for a failed sort.
JobOutcome make_logcall_lists(const LogcallFiles &files, std::string *message);

// One CSV row per record of the sorted binary log (from its read position)
// below a header row; RFC 4180 with CR LF line ends.  Returns Ok.
Error write_logcall_csv(std::FILE *sorted, std::FILE *csv);

// ---- sorting ----------------------------------------------------------------

// Order of two records by end time, then start time, then the other bytes
// (the slot word takes no part).  End years below 97 count as 2000 and
// later.  Negative, 0 or positive, for an ascending sort.
int compare_logcall(const logcall_t *a, const logcall_t *b);

// Sorts the whole records of the binary log in place (a tail shorter than a
// record stays as it was) and rewinds the stream.  Returns Ok; NoMemory,
// SortShortRead when fewer records could be read than the length promised,
// SortShortWrite when fewer could be written back.
Error sort_logcall(std::FILE *binary);

// ---- merging ----------------------------------------------------------------

// Merges two call lists line by line by the end time of each line.  Returns
// Ok; CannotWrite when a write to `out` failed, InputGrew when an input was
// read beyond the length it had at the start.
// The lines taken from each list are counted into `stats` when it is given.
Error merge_logcall_lines(std::FILE *in1, std::FILE *in2, std::FILE *out,
                          logs::MergeStats *stats = nullptr);

// The error line "LCMERGE: ERROR <code>" with merge_logcall's number for
// the error, and the runtime's last error in angle brackets when one is
// set; always written.  Nothing for Ok.
void report_merge_error(Error failure);

// All of merge_logcall.  The outcome's error is Ok; FirstListUnreadable
// (first list absent or unreadable, also a failed replacement),
// SecondListUnreadable, CannotCreate (output not creatable), CannotWrite
// (output not writable) or InputGrew (an input grew during the merge),
// with the file it concerns.
JobOutcome merge_call_lists(const char *first, const char *second, const char *destination,
                            logs::MergeStats *stats = nullptr);

} // namespace vorn
