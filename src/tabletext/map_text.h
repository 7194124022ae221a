// Text forms of table fields that the parser, the optimizer and the writer
// all print: the one-line description of a map (traces and listings), the
// minute-model charge words and the subscriber lines.
//
// Every text written to a file also goes to the debug trace.  Write errors
// are not reported here: the stream keeps its error flag, and whoever owns
// the file checks ferror and the close result before calling it written.
#pragma once

#include "table/table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vorn {

// Interval of a minute-model charge word in seconds: interval code 0 gives
// 5, codes 1 to 3 give 15, 30 and 60.
inline unsigned charge_interval_seconds(uint32_t word) {
    const unsigned code = (word >> 9) & 3u;
    return code == 0 ? 5u : 60u >> (3u - code);
}

// One map line "<prefix>map[iiii]: lNN rNN mMM iPP(hhmm-dddddddd) esc:... code:..."
// with its charge part, for map `map` (slot `index` of `table`), to the trace
// and, when `file` is given, to the file.
void print_map_entry(const table_t *table, const char *prefix, const map_t *map, unsigned index,
                     std::FILE *file);

// The map line of every used map (empty prefix); returns the used count.
int print_map_entries(const table_t *table, std::FILE *file);

// The map lines of maps 0 to count - 1 to the trace only (count 0 or
// >= 5070: all used maps).
void trace_maps(const table_t *table, unsigned count);

// The named charge values of a minute-model charge word (" M1=0.12 T1=60
// I=30" ...): written to `file` when given and appended to `buffer` when
// given (the buffer's text is cut to empty at `buffer` first; at most
// capacity - 1 characters are stored there).  With a file,
// " ;(%08lx)" follows when M1 or M2 is not 0, then a line end.  `unit` is
// never shown.
void format_charge_word(std::FILE *file, char *buffer, size_t capacity, uint32_t word,
                        const uint32_t *unit);

// Period record `index` (0..255) of the table.  Indices past the 64 records
// read the head bytes behind them, as a damaged table's map would on the
// box; the result is always taken from inside the record.
map_period_t table_period_record(const table_t *table, unsigned index);

// The current local time as "dd.Mmm yyyy hh:mm" (day with a leading blank
// below 10): 17 characters and the terminator in a buffer of at least 18
// bytes; a smaller buffer gets the text cut.
void make_date_text(char *buffer, size_t capacity);

// The two Subscriber lines, to the trace and, when given, to the file;
// nothing when all channel and start settings are 0.
void write_subscribers(std::FILE *file, const table_t *table);

} // namespace vorn
