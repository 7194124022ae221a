// The time periods of a compiled table: map ranges per period section,
// ordering and joining of the sections into table_period, the period number
// of every map, and the separation of holiday periods from weekday periods.
//
// How the period numbers stay right.  The box reads a map's period as an
// index into table_period, so the rule is: every map names the table_period
// record whose start and days are those of its own section, the records
// 1 .. table_max_period_entries are exactly the periods that maps use, and
// no map names one beyond.  The period definition block (mpde) is what keeps
// the sections between the steps, and the maps name its entries.  So
// whenever the entries are reordered, the maps are renumbered in the same
// step, and the block is rewritten so that entry k *is* table_period record
// k:
//   - map_2period_index sorts the entries, gives each section with maps its
//     output number k (equal neighbours, same start and days, share one k;
//     sections without maps get none), sets every map's period from its old
//     entry to that k by value, not by range, and rewrites the block with
//     entry k = record k and everything behind the last one cleared;
//   - period_separation sorts the entries too (sections that the duplicate
//     removal emptied move to the end) and renumbers the same way before it
//     adds the weekday halves as new entries behind the last one, so entry,
//     record and map numbers agree there as well, and the new entry with
//     the same start and days as an existing one is joined to it by the
//     next map_2period_index.
// Entry 0 is the time-independent period in every numbering.
#include "optimize/map_origins.h"
#include "optimize/optimize.h"
#include "optimize/optimize_detail.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"

#include <cstdio>
#include <cstring>

namespace vorn {

namespace {

using detail::period_count;
using detail::range_size;
using detail::trace_period_entry;
using detail::used_count;

constexpr int kNoNumber = -1;

// The numbering of one reordering: order[i] is the former index of the entry
// now at position i, number[i] the period number that position receives
// (kNoNumber: no maps).
struct Numbering {
    unsigned count = 0;
    uint8_t order[kPeriodBlockEntries] = {};
    int number[kPeriodBlockEntries] = {};
};

void close_range(mpde_t *mpde, unsigned p, unsigned end) {
    mpde_t &e = mpde[p];
    e.mpde_last_map = static_cast<uint32_t>(end) - 1;
    if (p == 0) {
        e.mpde_sort_key = kGlobalPeriodKey;
        e.mpde_days = 0xFF;
    } else {
        e.mpde_sort_key = e.mpde_days;
    }
    dbg_printf("period_index: period[%u] ends\n", p);
    trace_period_entry(mpde, p);
}

// Gives every map the number of its period's new position, rewrites the
// block so that entry k holds period k, and writes table_period to match.
// A map whose period has no number (none in the block) becomes a
// time-independent map.
void apply_numbering(table_t *table, mpde_t *mpde, const Numbering &numbering) {
    uint8_t new_number[256] = {};
    int highest = 0;
    for (unsigned i = 0; i < numbering.count; ++i)
        if (numbering.number[i] != kNoNumber) {
            new_number[numbering.order[i]] = static_cast<uint8_t>(numbering.number[i]);
            if (numbering.number[i] > highest)
                highest = numbering.number[i];
        }

    const unsigned used = used_count(table);
    for (unsigned i = 0; i < used; ++i) {
        map_t *map = table_map_slot(table, i);
        if (map->map_escape[0] != 0 && !map_slot_unused(*map))
            map->map_period = new_number[map->map_period];
    }

    mpde_t block[kPeriodBlockEntries] = {};
    block[0].mpde_days = 0xFF;
    block[0].mpde_sort_key = kGlobalPeriodKey;
    block[0].mpde_first_map = kNoMap;
    block[0].mpde_last_map = kNoMap;
    bool filled[kPeriodBlockEntries] = {};
    for (unsigned i = 0; i < numbering.count; ++i) {
        const int k = numbering.number[i];
        if (k == kNoNumber || filled[k])
            continue;
        filled[k] = true;
        block[k] = mpde[i];
        table->table_period[k] = {mpde[i].mpde_hour, mpde[i].mpde_minute, mpde[i].mpde_days};
    }
    std::memcpy(mpde, block, sizeof block);
    for (int k = highest + 1; k < MAX_PERIODS; ++k)
        table->table_period[k] = map_period_t{};
    table->table_max_period_entries = static_cast<int16_t>(highest);
}

// The join of period_join: sorts the entries, numbers them, writes
// table_period.  Fills `numbering` for map_2period_index.
int join_periods(table_t *table, mpde_t *mpde, Numbering &numbering) {
    const unsigned n = period_count(table);
    dbg_printf("period_join: join of %u map-periods\n", n);
    mpde[0].mpde_sort_key = kGlobalPeriodKey;

    dbg_printf("period_join: sort of %u map-periods (cmp_period)\n", n);
    detail::sort_period_block(mpde, n, numbering.order);
    numbering.count = n;
    trace_period_entry(mpde, 0);

    unsigned k = 0;
    for (unsigned i = 0; i < n; ++i)
        numbering.number[i] = kNoNumber;
    for (unsigned i = 0; i < n; ++i) {
        const mpde_t &e = mpde[i];
        if (e.mpde_days == 0)
            break;
        if (e.mpde_first_map == kNoMap)
            continue;
        if (i > 0) {
            const mpde_t &before = mpde[i - 1];
            if (e.mpde_hour != before.mpde_hour || e.mpde_minute != before.mpde_minute ||
                e.mpde_sort_key != before.mpde_sort_key)
                ++k;
        }
        table->table_period[k] = {e.mpde_hour, e.mpde_minute, e.mpde_days};
        numbering.number[i] = static_cast<int>(k);
        dbg_printf("PERIOD[%02u] mpde[%02u] %2u.%02u mask=%02x map[%4d--%4d] %4u entries\n", k, i,
                   e.mpde_hour, e.mpde_minute, e.mpde_days, static_cast<int>(e.mpde_first_map),
                   static_cast<int>(e.mpde_last_map), range_size(e));
    }
    // Records behind the last period would lengthen the list for a reader
    // that stops at the first empty one.
    for (unsigned r = k + 1; r < static_cast<unsigned>(MAX_PERIODS); ++r)
        table->table_period[r] = map_period_t{};
    table->table_max_period_entries = static_cast<int16_t>(k);
    dbg_printf("period_join:new count of periods -> %u\n", k + 1);
    return static_cast<int>(k + 1);
}

// Map ranges of the entries from the maps as they stand, sorted by period.
void ranges_from_maps(table_t *table, mpde_t *mpde, unsigned n) {
    for (unsigned e = 0; e < n; ++e)
        mpde[e].mpde_first_map = mpde[e].mpde_last_map = kNoMap;
    const unsigned used = used_count(table);
    for (unsigned i = 0; i < used; ++i) {
        const map_t *map = table_map_slot(table, i);
        if (map_esclen(*map) == 0 || map->map_period >= n)
            continue;
        mpde_t &e = mpde[map->map_period];
        if (e.mpde_first_map == kNoMap)
            e.mpde_first_map = i;
        e.mpde_last_map = i;
    }
    for (unsigned e = 0; e < n; ++e)
        if (mpde[e].mpde_first_map != kNoMap)
            mpde[e].mpde_sort_key = e == 0 ? kGlobalPeriodKey : mpde[e].mpde_days;
    mpde[0].mpde_sort_key = kGlobalPeriodKey;
    mpde[0].mpde_days = 0xFF;
}

// A period that holds the holiday bit and weekdays is split.  A period of
// all days and holidays (FFh) only when a weekday period with the same start
// follows it, since on its own it already covers every day alike.
bool needs_separation(const mpde_t *mpde, unsigned i) {
    const uint8_t days = mpde[i].mpde_days;
    if (!(days & DAY_HO) || !(days & 0x7F))
        return false;
    if (days != 0xFF)
        return true;
    if (i + 1 >= static_cast<unsigned>(kPeriodBlockEntries))
        return false;
    const mpde_t &next = mpde[i + 1];
    return next.mpde_days != 0 && next.mpde_hour == mpde[i].mpde_hour &&
           next.mpde_minute == mpde[i].mpde_minute && next.mpde_days != 0xFF;
}

// A map whose period lies beyond the block ends the ranges there.
void trace_invalid_period(table_t *table, const map_t *map, unsigned i) {
    dbg_printf("period_index: invalid map_index %u!!!\n", map->map_period);
    print_map_entry(table, "fill mpde ", map, i, nullptr);
}

void trace_period_change(unsigned p, unsigned q, unsigned n) {
    dbg_printf("period_index: period index changes [%u->%u]\n", p, q);
    for (unsigned skipped = p + 1; skipped < q && skipped < n; ++skipped)
        dbg_printf("period_index: no maps in period[%u]\n", skipped);
}

// Sorts the maps by period and numbers the sections that still hold maps
// 1, 2, ... in the order of the block; sections that lost all their maps
// move behind the others and are dropped, so that their records are free
// for the weekday halves.
void drop_empty_sections(table_t *table, mpde_t *mpde, unsigned used, MapOrigins *origins) {
    dbg_printf("period_separation:sort %u maps for map-periods (cmp_map_period)\n", used);
    sort_maps(table, 0, used, MapOrder::Period, origins);
    const unsigned n = period_count(table);
    dbg_printf("sort %u map-periods (cmp_period)\n", n);
    ranges_from_maps(table, mpde, n);
    Numbering numbering;
    detail::sort_period_block(mpde, n, numbering.order);
    numbering.count = n;
    int k = 0;
    for (unsigned i = 0; i < n; ++i)
        numbering.number[i] = mpde[i].mpde_first_map == kNoMap ? kNoNumber : i == 0 ? 0 : ++k;
    apply_numbering(table, mpde, numbering);
}

// The sections to be split and their map ranges, kept aside because
// mk_period moves the end of the entry before each new one.
struct Separations {
    bool marked[kPeriodBlockEntries] = {};
    uint32_t first_map[kPeriodBlockEntries] = {};
    uint32_t last_map[kPeriodBlockEntries] = {};
    unsigned count = 0;  // sections to split
    unsigned needed = 0; // maps to copy
};

Separations find_separations(const mpde_t *mpde) {
    Separations sep;
    for (unsigned i = 1; i < static_cast<unsigned>(kPeriodBlockEntries) && mpde[i].mpde_days != 0;
         ++i) {
        trace_period_entry(mpde, i);
        if (!needs_separation(mpde, i) || mpde[i].mpde_first_map == kNoMap)
            continue;
        dbg_printf("period_separation: found overlapped W_HOLIDAY with WEEKDAY\n");
        sep.marked[i] = true;
        sep.first_map[i] = mpde[i].mpde_first_map;
        sep.last_map[i] = mpde[i].mpde_last_map;
        ++sep.count;
        sep.needed += range_size(mpde[i]);
        dbg_printf("period_separation: separation of %u entries necessary\n", range_size(mpde[i]));
    }
    return sep;
}

// Splits every marked section: the section keeps the holidays, a new entry
// with the same start takes its weekdays, and copies of its maps behind the
// used ones name the new entry.  Returns the new count of used map slots.
unsigned split_sections(table_t *table, mpde_t *mpde, LineWords &work, const Separations &sep,
                        unsigned used, MapOrigins *origins) {
    unsigned next = used;
    uint32_t created = 0;
    for (unsigned j = 1; j < static_cast<unsigned>(kPeriodBlockEntries); ++j) {
        if (!sep.marked[j])
            continue;
        mpde_t &old = mpde[j];
        char line[40];
        std::snprintf(line, sizeof line, "[%02u.%02u] %02x", old.mpde_hour, old.mpde_minute,
                      old.mpde_days & 0x7F);
        uint32_t c = 0;
        if (parse_line(line, work) != Error::Ok ||
            mk_period(work.tokens, mpde, next, &c) != Error::Ok)
            break; // cannot happen: the line is well formed and a record is free
        created = c;
        table->table_period[c] = {mpde[c].mpde_hour, mpde[c].mpde_minute, mpde[c].mpde_days};
        table->table_period[j].period_days = DAY_HO;
        old.mpde_days = DAY_HO;
        for (uint32_t m = sep.first_map[j]; m <= sep.last_map[j]; ++m) {
            if (origins != nullptr)
                origins->copied(m, next);
            map_t *copy = table_map_slot(table, next++);
            *copy = *table_map_slot(table, m);
            copy->map_period = static_cast<uint8_t>(c);
        }
    }
    if (created != 0) {
        mpde[created].mpde_last_map = next - 1;
        table->table_max_period_entries = static_cast<int16_t>(created);
        if (created + 1 < static_cast<unsigned>(kPeriodBlockEntries))
            mpde[created + 1] = mpde_t{};
    }
    return next;
}

} // namespace

int period_index(table_t *table, mpde_t *mpde, MapOrigins *origins) {
    const unsigned n = period_count(table);
    const unsigned used = used_count(table);
    dbg_printf("period_index: start\n");
    dbg_printf("period_index: sort of %u map for map-periods (cmp_map_period)\n", used);
    sort_maps(table, 0, used, MapOrder::Period, origins);

    dbg_printf("period_index: set indices of %u map-periods\n", n);
    for (unsigned e = 0; e < n; ++e)
        mpde[e].mpde_first_map = mpde[e].mpde_last_map = kNoMap;

    unsigned p = 0;
    unsigned end = used;
    if (used > 0) {
        const map_t *first = table_map_slot(table, 0);
        if (first->map_period < n) {
            p = first->map_period;
            mpde[p].mpde_first_map = 0;
        } else {
            trace_invalid_period(table, first, 0);
            end = 0;
        }
    }
    for (unsigned i = 0; i < end; ++i) {
        const map_t *map = table_map_slot(table, i);
        const unsigned q = map->map_period;
        if (q > p && q != 0xFF) {
            trace_period_change(p, q, n);
            close_range(mpde, p, i);
            if (q >= n) {
                trace_invalid_period(table, map, i);
                end = i;
                break;
            }
            p = q;
            mpde[q].mpde_first_map = i;
            dbg_printf("period_index: period[%u] begins\n", q);
        } else if (q < p) {
            // The cleared slots (period 0, no length) stand at the end.
            if (map_esclen(*map) != 0)
                dbg_printf("ERROR! map_index=%u\n", i);
            end = i;
            break;
        }
    }
    close_range(mpde, p, end);
    dbg_printf("period_index:new count of periods -> %u\n", p + 1);
    return static_cast<int>(p + 1);
}

int period_join(table_t *table, mpde_t *mpde) {
    Numbering numbering;
    return join_periods(table, mpde, numbering);
}

int map_2period_index(table_t *table, mpde_t *mpde, MapOrigins *origins) {
    dbg_printf("map_2period_index: start\n");
    period_index(table, mpde, origins);
    Numbering numbering;
    const int m = join_periods(table, mpde, numbering);
    dbg_printf("map_2period_index: set new index\n");
    for (unsigned j = 0; j < numbering.count; ++j) {
        const mpde_t &e = mpde[j];
        if (e.mpde_last_map != kNoMap && e.mpde_first_map != kNoMap)
            dbg_printf("new index map[%4u--%4u] %4u entries\n", e.mpde_first_map, e.mpde_last_map,
                       range_size(e));
    }
    apply_numbering(table, mpde, numbering);
    return m;
}

int handle_periods(table_t *table, mpde_t *mpde, MapOrigins *origins) {
    const int before = table->table_max_period_entries;
    dbg_printf("handle_periods(%u)\n", static_cast<unsigned>(before + 1));
    map_2period_index(table, mpde, origins);
    const int deleted = before - table->table_max_period_entries;
    dbg_printf("handle_periods: %d map periods deleted\n", deleted);
    return deleted;
}

int period_separation(table_t *table, mpde_t *mpde, LineWords &work, unsigned *missing_periods,
                      MapOrigins *origins) {
    if (missing_periods != nullptr)
        *missing_periods = 0;
    const unsigned used = used_count(table);
    dbg_printf("period_separation: start\n");
    dbg_printf("period_separation:separate maps with holidays\n");
    drop_empty_sections(table, mpde, used, origins);

    const Separations sep = find_separations(mpde);
    if (sep.needed == 0) {
        dbg_printf("period_separation: no separation necessary\n");
        return 0;
    }
    dbg_printf("period_separation: in all separation of %u entries necessary\n", sep.needed);
    if (used + sep.needed > static_cast<unsigned>(MAX_WORK_MAP_ENTRIES))
        return -static_cast<int>(sep.needed);
    const unsigned free_records =
        static_cast<unsigned>(kPeriodBlockEntries - 1 - table->table_max_period_entries);
    if (sep.count > free_records) {
        if (missing_periods != nullptr)
            *missing_periods = sep.count - free_records;
        return -static_cast<int>(sep.needed);
    }

    const unsigned next = split_sections(table, mpde, work, sep, used, origins);
    detail::set_used_count(table, next);
    dbg_printf("period_separation: %u entries separated: last map = %u, periods = %u\n",
               next - used, next - 1, static_cast<unsigned>(table->table_max_period_entries));
    return static_cast<int>(next - used);
}

} // namespace vorn
