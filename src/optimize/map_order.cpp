// The orders of map entries and period entries, the sorts that use them, and
// the small helpers that every step of the optimizer shares.
#include "frame/frame.h"
#include "optimize/map_origins.h"
#include "optimize/optimize.h"
#include "optimize/optimize_detail.h"
#include "optimize/stable_sort.h"
#include "trace/trace.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vorn {

namespace detail {

namespace {

// Mode bits that decide between two maps of one escape and period:
// MAP_IN, MAP_OUT, MAP_VOICE, MAP_DATA.
constexpr uint8_t kDirectionServiceBits = 0xC3;

// Texts compared as the standard string comparison does (unsigned bytes,
// up to the first zero), but never beyond the field: a damaged slot need
// not hold a terminator.
int compare_field(const char *a, const char *b, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
    return 0;
}

int compare_escape(const map_t &a, const map_t &b) {
    return compare_field(a.map_escape, b.map_escape, sizeof a.map_escape);
}

int compare_code(const map_t &a, const map_t &b) {
    return compare_field(a.map_code, b.map_code, sizeof a.map_code);
}

// The period of a map counts as 255 while the two periods of
// cmp_map_len_holiday are weighed, so that a map without one comes first.
unsigned weighed_period(const map_t &map) {
    return map.map_period == 0 ? 255u : map.map_period;
}

unsigned start_key(const map_period_t &period) {
    return (static_cast<unsigned>(period.period_hour) << 6) | period.period_minute;
}

} // namespace

unsigned used_count(const table_t *table) {
    const int used = table->table_used_map_entries;
    if (used < 0)
        return 0;
    return used > MAX_WORK_MAP_ENTRIES ? MAX_WORK_MAP_ENTRIES : static_cast<unsigned>(used);
}

void set_used_count(table_t *table, unsigned used) {
    table->table_used_map_entries = static_cast<int16_t>(used);
}

unsigned period_count(const table_t *table) {
    const int max = table->table_max_period_entries;
    if (max < 0)
        return 1;
    return max >= kPeriodBlockEntries ? kPeriodBlockEntries : static_cast<unsigned>(max) + 1;
}

map_period_t period_record(const table_t *table, unsigned period) {
    if (table == nullptr || period >= static_cast<unsigned>(MAX_PERIODS))
        return map_period_t{};
    return table->table_period[period];
}

bool holds_entry(const map_t &map) {
    const auto first = static_cast<uint8_t>(map.map_escape[0]);
    if (first == 0 || first == 'a')
        return false;
    return !(first == UNUSED_BYTE && map.map_mode == UNUSED_BYTE);
}

unsigned escape_length(const map_t &map) {
    return static_cast<unsigned>(::strnlen(map.map_escape, sizeof map.map_escape));
}

const table_t *period_table(const table_t *fallback) {
    table_t *registered = nullptr;
    if (get_instance_table(&registered) == Error::Ok && registered != nullptr)
        return registered;
    return fallback;
}

int compare_len_holiday(const map_t &a, const map_t &b, const table_t *periods) {
    if (int r = map_esclen(b) - map_esclen(a))
        return r; // longer escape first
    if (int r = compare_escape(a, b))
        return r;
    if (a.map_period == b.map_period) {
        if (int r = (a.map_mode & kDirectionServiceBits) - (b.map_mode & kDirectionServiceBits))
            return r;
        return compare_code(b, a); // codes descending
    }

    const unsigned pa = weighed_period(a), pb = weighed_period(b);
    if ((pa == 255 || pb == 255) && pa != pb)
        return static_cast<int>(pb) - static_cast<int>(pa); // the map without a period first
    const map_period_t ra = period_record(periods, a.map_period);
    const map_period_t rb = period_record(periods, b.map_period);
    if (int r = static_cast<int>(start_key(rb)) - static_cast<int>(start_key(ra)))
        return r; // later start first
    if ((ra.period_days ^ rb.period_days) & DAY_HO)
        return (rb.period_days & DAY_HO) - (ra.period_days & DAY_HO); // holiday first
    if (ra.period_days != rb.period_days)
        return ra.period_days - rb.period_days; // smaller day mask first
    return b.map_period - a.map_period;         // higher period index first
}

int compare_mode(const map_t &a, const map_t &b, const table_t *periods) {
    if (a.map_period != b.map_period)
        return a.map_period - b.map_period;
    if ((a.map_mode ^ b.map_mode) & (MAP_IN | MAP_OUT))
        return (b.map_mode & (MAP_IN | MAP_OUT)) - (a.map_mode & (MAP_IN | MAP_OUT));
    return compare_len_holiday(a, b, periods);
}

int compare_period(const map_t &a, const map_t &b) {
    const unsigned la = map_esclen(a), lb = map_esclen(b);
    if (la == 0 || lb == 0)
        return (la == 0) - (lb == 0); // maps without a length behind all others
    if (a.map_period != b.map_period)
        return a.map_period - b.map_period;
    if (la != lb)
        return static_cast<int>(lb) - static_cast<int>(la);
    if (int r = compare_escape(a, b))
        return r;
    if (int r = (a.map_mode & kDirectionServiceBits) - (b.map_mode & kDirectionServiceBits))
        return r;
    return compare_code(a, b); // codes ascending here
}

int compare_mpde(const mpde_t &a, const mpde_t &b) {
    if (a.mpde_sort_key == kGlobalPeriodKey || b.mpde_sort_key == kGlobalPeriodKey)
        return b.mpde_sort_key - a.mpde_sort_key; // the global entry first
    if (a.mpde_first_map == kNoMap || b.mpde_first_map == kNoMap)
        return static_cast<int32_t>(b.mpde_first_map - a.mpde_first_map); // empty ones last
    if (a.mpde_hour != b.mpde_hour)
        return a.mpde_hour - b.mpde_hour;
    if (a.mpde_minute != b.mpde_minute)
        return a.mpde_minute - b.mpde_minute;
    if (a.mpde_sort_key == b.mpde_sort_key)
        return a.mpde_first_map < b.mpde_first_map ? -1 : a.mpde_first_map > b.mpde_first_map;
    if (a.mpde_sort_key < DAY_HO && b.mpde_sort_key < DAY_HO)
        return a.mpde_sort_key - b.mpde_sort_key;
    return b.mpde_sort_key - a.mpde_sort_key; // a holiday period before weekdays
}

void sort_period_block(mpde_t *mpde, unsigned count, uint8_t *order) {
    struct Indexed {
        mpde_t entry;
        uint8_t index;
    };
    Indexed items[kPeriodBlockEntries];
    if (count > static_cast<unsigned>(kPeriodBlockEntries))
        count = kPeriodBlockEntries;
    for (unsigned i = 0; i < count; ++i)
        items[i] = {mpde[i], static_cast<uint8_t>(i)};
    stable_merge_sort(items, count, [](const Indexed &a, const Indexed &b) {
        return compare_mpde(a.entry, b.entry);
    });
    for (unsigned i = 0; i < count; ++i) {
        mpde[i] = items[i].entry;
        order[i] = items[i].index;
    }
}

MaskBits::MaskBits(uint8_t mask) {
    for (int bit = 0; bit < 8; ++bit)
        text[bit] = (mask & (0x80 >> bit)) ? '1' : '0';
    text[8] = 0;
}

unsigned range_size(const mpde_t &entry) {
    if (entry.mpde_last_map == kNoMap)
        return 0;
    return entry.mpde_last_map - entry.mpde_first_map + 1;
}

void trace_period_entry(const mpde_t *mpde, unsigned index) {
    const mpde_t &e = mpde[index];
    dbg_printf("mpde[%02u] (%02u%02u-%s/%03x) map[%4d--%4d] %4u entries\n", index, e.mpde_hour,
               e.mpde_minute, MaskBits(e.mpde_days).text, e.mpde_sort_key,
               static_cast<int>(e.mpde_first_map), static_cast<int>(e.mpde_last_map),
               range_size(e));
}

} // namespace detail

// ---- the comparison functions ----------------------------------------------------------

namespace {

// The period records of the table registered for the calling thread; none
// registered reads every period record as an empty one.
const table_t *registered_periods() {
    table_t *table = nullptr;
    get_instance_table(&table);
    return table;
}

} // namespace

int cmp_map_len_holiday(const void *a, const void *b) {
    return detail::compare_len_holiday(*static_cast<const map_t *>(a),
                                       *static_cast<const map_t *>(b), registered_periods());
}

int cmp_map_mode(const void *a, const void *b) {
    return detail::compare_mode(*static_cast<const map_t *>(a), *static_cast<const map_t *>(b),
                                registered_periods());
}

int cmp_map_period(const void *a, const void *b) {
    return detail::compare_period(*static_cast<const map_t *>(a), *static_cast<const map_t *>(b));
}

int cmp_period(const void *a, const void *b) {
    return detail::compare_mpde(*static_cast<const mpde_t *>(a), *static_cast<const mpde_t *>(b));
}

namespace {

// Sorts the maps with `compare`; the origins of a tracker, when there is
// one, move with their maps.  A check then sorts the slot numbers instead
// of the maps (four bytes moved rather than a whole map) and puts maps and
// origins in that order afterwards.  The same stable sort and comparison
// decide both orders, so the maps come out the same with or without a
// tracker.
template <class Compare>
void sort_range(map_t *maps, unsigned from, unsigned count, MapOrigins *origins, Compare compare) {
    if (origins == nullptr || origins->origin.size() < from + count) {
        stable_merge_sort(maps, count, compare);
        return;
    }
    std::vector<uint32_t> order(count);
    for (unsigned i = 0; i < count; ++i)
        order[i] = i;
    stable_merge_sort(order.data(), count, [maps, &compare](uint32_t a, uint32_t b) {
        return compare(maps[a], maps[b]);
    });
    std::vector<map_t> sorted(count);
    std::vector<uint32_t> moved(count);
    const uint32_t *origin = origins->origin.data() + from;
    for (unsigned i = 0; i < count; ++i) {
        sorted[i] = maps[order[i]];
        moved[i] = origin[order[i]];
    }
    std::copy(sorted.begin(), sorted.end(), maps);
    std::copy(moved.begin(), moved.end(), origins->origin.begin() + from);
}

} // namespace

void sort_maps(table_t *table, unsigned from, unsigned count, MapOrder order, MapOrigins *origins) {
    if (from >= static_cast<unsigned>(WORK_MAP_SLOTS))
        return;
    if (count > WORK_MAP_SLOTS - from)
        count = WORK_MAP_SLOTS - from;
    map_t *maps = table_map_slot(table, from);
    const table_t *periods = detail::period_table(table);
    switch (order) {
    case MapOrder::LenHoliday:
        sort_range(maps, from, count, origins, [periods](const map_t &a, const map_t &b) {
            return detail::compare_len_holiday(a, b, periods);
        });
        break;
    case MapOrder::Mode:
        sort_range(maps, from, count, origins, [periods](const map_t &a, const map_t &b) {
            return detail::compare_mode(a, b, periods);
        });
        break;
    case MapOrder::Period:
        sort_range(maps, from, count, origins, detail::compare_period);
        break;
    }
}

} // namespace vorn
