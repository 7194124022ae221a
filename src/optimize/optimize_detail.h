// Helpers shared by the files of the optimizer: clamped counts, the period
// record of a map, the map comparisons with the period table passed in, and
// the trace line of a period entry.  Not used outside src/optimize.
#pragma once

#include "parser/period_block.h"
#include "table/table.h"

#include <cstddef>
#include <cstdint>

namespace vorn::detail {

// table_used_map_entries, kept within the working slots (0 .. 5070) so that
// slot `used` (the end slot) always exists.
unsigned used_count(const table_t *table);
void set_used_count(table_t *table, unsigned used);

// table_max_period_entries + 1, kept within the period block (1 .. 64).
unsigned period_count(const table_t *table);

// The period record of a map; an index beyond the 64 records, or no table,
// reads as an empty record.
map_period_t period_record(const table_t *table, unsigned period);

// A slot that holds a map: escape neither empty nor starting with "a", and
// not an unused slot (FFh escape with FFh mode).
bool holds_entry(const map_t &map);

// Length of a map's escape as the index keeps it (at most 15 in four bits).
unsigned escape_length(const map_t &map);

// The table whose period records the comparisons read: the one registered
// for the calling thread, or `fallback` when none is registered.
const table_t *period_table(const table_t *fallback);

// The comparisons of optimize.h with the period table given.
int compare_len_holiday(const map_t &a, const map_t &b, const table_t *periods);
int compare_mode(const map_t &a, const map_t &b, const table_t *periods);
int compare_period(const map_t &a, const map_t &b);
int compare_mpde(const mpde_t &a, const mpde_t &b);

// Sorts entries 0 .. count-1 of the period block with cmp_period.  order[i]
// receives the former index of the entry now at i.
void sort_period_block(mpde_t *mpde, unsigned count, uint8_t *order);

// A day mask as eight characters 0/1, holiday bit first.
struct MaskBits {
    char text[9];
    explicit MaskBits(uint8_t mask);
};

// "mpde[%02u] (%02u%02u-%s/%03x) map[%4d--%4d] %4u entries\n".
void trace_period_entry(const mpde_t *mpde, unsigned index);

// Number of maps in an entry's range (0 when it has none).
unsigned range_size(const mpde_t &entry);

} // namespace vorn::detail
