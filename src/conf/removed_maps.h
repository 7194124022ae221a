// The map lines of a configuration that the optimizer removed, each with
// the map that took its place, for the routing table of a report page.
#pragma once

#include "conf/check.h"
#include "optimize/map_origins.h"

#include <vector>

namespace vorn {

// The removed maps whose line has no map left in `table`, each once, in
// the order of the lines (a line copied by the period split and removed
// in one copy only still reached the table).
std::vector<RemovedMap> removed_map_lines(const table_t *table, const MapOrigins &origins);

} // namespace vorn
