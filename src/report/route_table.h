// The routing section of a table page: the escapes (rows) by the periods
// (columns, headed as the configuration writes them, the holidays a column
// of their own with their dates), each cell the code and its provider
// digits, the standard maps marked, and the map lines the optimizer removed
// struck through with the line that took their place.  The column heads
// carry the colours of the week grid, so one period has one colour on the
// whole page.
#pragma once

#include "conf/check.h"
#include "table/table.h"

#include <string>
#include <vector>

namespace vorn::report {

std::string routing_section(const table_t &table, const std::vector<RemovedMap> &removed);

} // namespace vorn::report
