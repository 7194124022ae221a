// Which map lines the optimizer removed and what took their place, from
// the origins the check followed through the passes.
#include "conf/removed_maps.h"

#include <algorithm>
#include <set>

namespace vorn {

std::vector<RemovedMap> removed_map_lines(const table_t *table, const MapOrigins &origins) {
    const unsigned used = static_cast<unsigned>(
        std::clamp<int>(table->table_used_map_entries, 0, static_cast<int>(origins.origin.size())));
    std::set<uint32_t> reached, named;
    for (unsigned i = 0; i < used; ++i)
        reached.insert(origins.origin[i]);
    std::vector<RemovedMap> out;
    for (const MapErasure &e : origins.erasures) {
        if (e.gone == kNoOrigin || e.gone >= kStandardMapOrigin || reached.count(e.gone) != 0 ||
            !named.insert(e.gone).second)
            continue;
        RemovedMap r;
        r.line = static_cast<int>(e.gone);
        r.kept_line = e.kept < kStandardMapOrigin ? static_cast<int>(e.kept) : 0;
        r.map = e.gone_map;
        r.period = e.gone_map.map_period == 0 ? map_period_t{0, 0, 0} : e.gone_period;
        r.kept = e.kept_map;
        out.push_back(r);
    }
    std::sort(out.begin(), out.end(),
              [](const RemovedMap &a, const RemovedMap &b) { return a.line < b.line; });
    return out;
}

} // namespace vorn
