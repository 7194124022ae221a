// The per-thread map origin tracker of a check (see map_origins.h).
#include "optimize/map_origins.h"

namespace vorn {

namespace {
thread_local MapOrigins *t_origins = nullptr;
} // namespace

void MapOrigins::copied(unsigned from, unsigned to) {
    if (from < origin.size() && to < origin.size())
        origin[to] = origin[from];
}

void MapOrigins::erased(unsigned gone, unsigned kept, const char *mark) {
    if (gone >= origin.size() || kept >= origin.size())
        return;
    const map_t &deleted = *table_map_slot(table, gone);
    const map_period_t period = deleted.map_period < MAX_PERIODS
                                    ? table->table_period[deleted.map_period]
                                    : map_period_t{0, 0, 0};
    erasures.push_back(
        {origin[gone], origin[kept], mark, *table_map_slot(table, kept), deleted, period});
}

MapOrigins *map_origins_of(const table_t *table) {
    return t_origins != nullptr && t_origins->table == table ? t_origins : nullptr;
}

ScopedMapOrigins::ScopedMapOrigins(MapOrigins *origins) : m_previous(t_origins) {
    t_origins = origins;
}

ScopedMapOrigins::~ScopedMapOrigins() {
    t_origins = m_previous;
}

} // namespace vorn
