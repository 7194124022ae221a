// Removal of redundant maps: a map is dropped when another one of the same
// escape already does its work (the same map twice, a period map under a
// time-independent one, the same map in an equal period).  Deleted slots are
// cleared to zero and moved behind the entries, which closes the array.
#include "optimize/map_origins.h"
#include "optimize/optimize.h"
#include "optimize/optimize_detail.h"
#include "table/route_rule.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"

#include <cstring>

namespace vorn {

namespace {

using detail::used_count;

constexpr unsigned kLineErrorCount = 1196; // source line named by the count mismatch
constexpr const char *kIdentical = "==   ";
constexpr const char *kTimeIndependent = "t*   ";

bool same_escape(const map_t &a, const map_t &b) {
    return std::strncmp(a.map_escape, b.map_escape, sizeof a.map_escape) == 0;
}

bool same_code(const map_t &a, const map_t &b) {
    return std::strncmp(a.map_code, b.map_code, sizeof a.map_code) == 0;
}

// The four charge bytes as one number.
uint32_t charges(const map_t &map) {
    uint32_t word;
    std::memcpy(&word, &map.map_charge_start, sizeof word);
    return word;
}

// One scan of opt_duplicates: the deletions and their listing.
class DuplicateScan {
  public:
    DuplicateScan(table_t *table, unsigned first, std::FILE *dfp, MapOrigins *origins)
        : m_table(table), m_first(first), m_dfp(dfp), m_origins(origins),
          m_periods(detail::period_table(table)) {}

    // Examines the maps behind `cur` that share its escape length.
    void examine(unsigned cur, unsigned end) {
        map_t &c = slot(cur);
        unsigned k = 0; // live maps seen behind cur
        for (unsigned nxt = cur + 1; nxt < end; ++nxt) {
            map_t &n = slot(nxt);
            if (map_esclen(n) != map_esclen(c))
                return;
            if (n.map_escape[0] == 0)
                continue;
            // The maps are sorted by escape: behind a different one no map
            // can share cur's escape any more, so the scan ends here.
            if (!same_escape(c, n))
                return;
            if (n.map_period == c.map_period && n.map_mode == c.map_mode) {
                erase(nxt, cur, kIdentical, "identical");
            } else if (c.map_period == 0 && n.map_period != 0 && covers_every_time(c, n)) {
                erase(nxt, cur, kTimeIndependent, "time independent");
            } else if (n.map_period == 0 && c.map_period != 0 && covers_every_time(n, c)) {
                erase(cur, nxt, kTimeIndependent, "time independent");
                return;
            } else if (k == 0 && equal_in_equal_period(c, n)) {
                erase(cur, nxt, kIdentical, "identical");
                return;
            }
            ++k;
        }
    }

    int deleted() const { return m_deleted; }

  private:
    map_t &slot(unsigned index) { return *table_map_slot(m_table, index); }

    // cur repeats nxt in a period of the same days with a higher number.
    bool equal_in_equal_period(const map_t &c, const map_t &n) const {
        return same_code(c, n) && c.map_mode == n.map_mode && c.map_period > n.map_period &&
               detail::period_record(m_periods, c.map_period).period_days ==
                   detail::period_record(m_periods, n.map_period).period_days &&
               charges(c) == charges(n);
    }

    void erase(unsigned gone, unsigned kept, const char *mark, const char *why) {
        dbg_printf("Multiple Map Entry del map[%u] ([%u] %s)\n", gone - m_first, kept - m_first,
                   why);
        // The map lines cost a formatted text each: only for a reader.
        const bool tracing = dbg_enabled();
        if (tracing)
            print_map_entry(m_table, "     ", &slot(kept), kept, nullptr);
        if (tracing || m_dfp != nullptr)
            print_map_entry(m_table, mark, &slot(gone), gone, m_dfp);
        if (m_origins != nullptr)
            m_origins->erased(gone, kept, mark);
        std::memset(&slot(gone), 0, sizeof(map_t));
        ++m_deleted;
    }

    table_t *m_table;
    unsigned m_first;
    std::FILE *m_dfp;
    MapOrigins *m_origins; // follows the deletions for a check; nullptr in a compile
    const table_t *m_periods;
    int m_deleted = 0;
};

} // namespace

int count_maps(const table_t *table, unsigned from, unsigned to) {
    unsigned count = 0;
    const unsigned end = to < static_cast<unsigned>(WORK_MAP_SLOTS) ? to : WORK_MAP_SLOTS;
    for (unsigned i = from; i < end; ++i)
        if (detail::holds_entry(*table_map_slot(table, i)))
            ++count;
    dbg_printf("count_maps(,%u,%u) -> %u\n", from, to, count);
    return static_cast<int>(count);
}

int opt_duplicates(table_t *table, unsigned from, std::FILE *dfp, MapOrigins *origins) {
    const unsigned end = used_count(table);
    const unsigned first = from < end ? from : end;
    dbg_printf("opt_duplicates: sort %u maps for len (cmp_map_len_holiday)\n", end - first);
    sort_maps(table, first, end - first, MapOrder::LenHoliday, origins);
    if (dbg_enabled())
        trace_maps(table, 0);
    if (dfp != nullptr)
        std::fputs("\n", dfp);

    DuplicateScan scan(table, first, dfp, origins);
    for (unsigned cur = first; cur < end; ++cur)
        if (table_map_slot(table, cur)->map_escape[0] != 0)
            scan.examine(cur, end);

    if (dfp != nullptr && scan.deleted() > 0)
        std::fprintf(dfp, "%d maps deleted\n", scan.deleted());
    dbg_printf("opt_duplicates: %d maps deleted\n", scan.deleted());
    return scan.deleted();
}

int sort_and_fill(table_t *table, unsigned from, unsigned used, unsigned deleted,
                  MapOrigins *origins) {
    dbg_printf("sort_and_fill(%p, %u, %u, %u)\n", static_cast<void *>(table), from, used, deleted);
    // The end slot and the freed slots behind it must lie in the buffer.
    if (used > static_cast<unsigned>(MAX_WORK_MAP_ENTRIES))
        used = MAX_WORK_MAP_ENTRIES;
    if (deleted > MAX_WORK_MAP_ENTRIES - used)
        deleted = MAX_WORK_MAP_ENTRIES - used;
    const unsigned n = from < used + deleted ? used + deleted - from : 0;
    if (n > 1) {
        dbg_printf("sort_and_fill: sort of %u maps (cmp_map_len_holiday)\n", n);
        sort_maps(table, from, n, MapOrder::LenHoliday, origins);
    }
    dbg_printf("sort_and_fill: fill %u maps from [%04u]\n", deleted, used);
    std::memset(table_map_slot(table, used), 0, sizeof(map_t));
    if (deleted > 0)
        std::memset(table_map_slot(table, used + 1), UNUSED_BYTE, deleted * sizeof(map_t));
    return 0;
}

int sort_and_delete_map(table_t *table, unsigned from, mpde_t *mpde, std::FILE *dfp,
                        MapOrigins *origins) {
    const unsigned n = used_count(table);
    dbg_printf("sort_and_delete_map: used_map_entries before: %d\n", n);
    const int d = opt_duplicates(table, from, dfp, origins);
    period_index(table, mpde, origins);
    const unsigned c = static_cast<unsigned>(count_maps(table, 0, n));
    const unsigned removed = n - c;
    detail::set_used_count(table, c);
    if (static_cast<unsigned>(d) != removed)
        dbg_printf("%s#%u: ERROR! n=%u ret=%u\n", "OPTIMIZE", kLineErrorCount, d, removed);
    sort_and_fill(table, from, c, static_cast<unsigned>(d), origins);
    dbg_printf("sort_and_delete_map: used_map_entries after: %d, %u deleted\n", c, removed);
    return static_cast<int>(removed);
}

} // namespace vorn
