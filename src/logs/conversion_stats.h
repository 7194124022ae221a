// What a conversion did, counted by the converters as they go, for a host
// that tells its user (the tool's summary line).  Each converter takes an
// optional pointer to its record and fills it when it is given.
#pragma once

#include <cstdint>
#include <cstdio>

namespace vorn {
struct logcall_t;
}

namespace vorn::logs {

// mklogcall.  Every converted record is one line of one list: outgoing and
// incoming calls, and the rejects (not closed, saved before, not finished,
// unknown start).  Records from the end mark on are not converted.
struct LogcallStats {
    uint64_t records = 0;     // whole records in the log
    uint64_t outgoing = 0;    // lines of the outgoing (or combined) list
    uint64_t incoming = 0;    // lines that belong to the incoming list
    uint64_t rejected = 0;    // lines that belong to the reject list
    uint64_t unconverted = 0; // records from the end mark on
    uint64_t tail_bytes = 0;  // bytes behind the last whole record (a log cut short)
};

// Counts the line that the converted record `r` became.
void count_logcall_line(LogcallStats &stats, const logcall_t &r);
// After a conversion of the log `log`: its whole records, those left from
// the end mark on, and the bytes of a record cut short at its end.
void count_logcall_records(LogcallStats &stats, std::FILE *log);

// mkalarm: the events listed (invalid entries included).
struct AlarmStats {
    uint64_t events = 0;
    uint64_t invalid = 0; // of them, entries outside the file
};

// mktrace: the records written as lines.
struct TraceStats {
    uint64_t records = 0;
    bool invalid_data = false; // the trace ended at invalid data
};

// merge_logcall: the lines taken from each list; the merged list holds both.
struct MergeStats {
    uint64_t first = 0;
    uint64_t second = 0;
};

} // namespace vorn::logs
