// The map origin tracker of a check (see map_origins.h).
#include "optimize/map_origins.h"

namespace vorn {

void MapOrigins::copied(unsigned from, unsigned to) {
    if (from < origin.size() && to < origin.size())
        origin[to] = origin[from];
}

void MapOrigins::erased(unsigned gone, unsigned kept, const char *mark) {
    if (table == nullptr || gone >= origin.size() || kept >= origin.size())
        return;
    const map_t &deleted = *table_map_slot(table, gone);
    const map_period_t period = deleted.map_period < MAX_PERIODS
                                    ? table->table_period[deleted.map_period]
                                    : map_period_t{0, 0, 0};
    erasures.push_back(
        {origin[gone], origin[kept], mark, *table_map_slot(table, kept), deleted, period});
}

} // namespace vorn
