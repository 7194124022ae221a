// The figures of a call page, gathered from the binary call log or from a
// call list that the call log converter wrote: calls by hour and weekday,
// by day, by destination and extension, by direction, and the records that
// are no finished calls.
#pragma once

#include "logs/call_time.h"
#include "logs/logcall.h"
#include "platform/large_allocator.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::report {

struct PartyFigures {
    uint64_t calls = 0;
    uint64_t seconds = 0;
    uint64_t units = 0;
};

// The figures of each number named in a log.  A busy box's log names about
// as many different numbers as it holds calls, so the figures lie in one
// flat array (in the order the numbers first came up) with the numbers'
// bytes in one string beside it, and an open-addressed index finds them:
// a node and a string per number cost more than the counting itself.
class PartyTable {
  public:
    struct Entry {
        size_t offset = 0; // of the number in the bytes of the table
        size_t length = 0;
        PartyFigures figures;
    };

    // The figures of `number`, zero ones when it is new.
    PartyFigures &operator[](std::string_view number);
    // Starts fetching the slot of `number`, for a look-up soon after.
    void prefetch(std::string_view number) const;
    std::string_view number(const Entry &e) const { return {m_bytes.data() + e.offset, e.length}; }
    using Entries = std::vector<Entry, platform::LargeAllocator<Entry>>;
    const Entries &entries() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }
    // Room for `numbers` numbers of about `length` bytes, so that a table
    // whose size is known ahead is never rebuilt while it fills.
    void reserve(size_t numbers, size_t length);

  private:
    void rebuild(size_t slots);

    Entries m_entries;
    std::basic_string<char, std::char_traits<char>, platform::LargeAllocator<char>> m_bytes;
    // Per slot: the high half of the number's hash and its entry index + 1
    // (0: an empty slot).  Never more than half full.
    std::vector<uint64_t, platform::LargeAllocator<uint64_t>> m_slots;
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
    PartyTable destinations;          // first number of calls out
    PartyTable extensions;            // second number

    // One finished call.  `units` < 0: none recorded.
    void add_call(bool outgoing, const CallTime &start, const CallTime &end,
                  std::string_view destination, std::string_view extension, long units);
};

// Every record of a binary log, up to its end mark.
CallStats stats_of_log(const uint8_t *data, size_t size);
// Every line of a call list.
CallStats stats_of_list(std::string_view text);

} // namespace vorn::report
