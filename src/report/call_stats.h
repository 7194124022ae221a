// The figures of a call page, gathered from the binary call log or from a
// call list that the call log converter wrote: calls by hour and weekday,
// by day, by destination and extension, by direction, and the records that
// are no finished calls.
#pragma once

#include "logs/call_time.h"
#include "logs/logcall.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vorn::report {

struct PartyFigures {
    uint64_t calls = 0;
    uint64_t seconds = 0;
    uint64_t units = 0;
};

struct CallStats {
    uint64_t calls = 0; // finished calls
    uint64_t outgoing = 0;
    uint64_t incoming = 0;
    uint64_t seconds = 0;      // of the calls with both times known
    uint64_t units = 0;        // charge units of the calls that carry them
    uint64_t no_start = 0;     // finished, start time unknown
    uint64_t not_finished = 0; // no end time
    uint64_t not_closed = 0;
    uint64_t saved_before = 0;
    uint64_t not_read = 0; // a short tail, records after the end mark, lines of no known form
    uint64_t hour_day[7][24] = {};    // [weekday from Sunday][hour] of the call's start (or end)
    std::map<long, uint64_t> per_day; // days since 1970
    std::unordered_map<std::string, PartyFigures> destinations; // first number of calls out
    std::unordered_map<std::string, PartyFigures> extensions;   // second number

    // One finished call.  `units` < 0: none recorded.
    void add_call(bool outgoing, const CallTime &start, const CallTime &end,
                  const std::string &destination, const std::string &extension, long units);
};

// Every record of a binary log, up to its end mark.
CallStats stats_of_log(const uint8_t *data, size_t size);
// Every line of a call list.
CallStats stats_of_list(std::string_view text);

} // namespace vorn::report
