// The week grid of a table's time periods.  Which period applies at a day
// and time is the table's routing rule (table/route_rule.h), the same that
// `vorn route` and the optimizer follow: "[18:00] MO TU WE TH FR" covers
// Monday 03:00, and a day that no period names has the global maps only.
#pragma once

#include "table/route_rule.h"
#include "table/table.h"

#include <string>

namespace vorn::report {

inline constexpr int kHolidayRow = kHolidayDay; // day index of the holiday row

using vorn::period_at;
using vorn::period_count;

// Fill colour of a period in the grid and its legend ("#ffffff" for 0).
std::string period_fill(int period);

// The grid (7 days and the holiday row × 96 quarter hours), its legend with
// each period's heading and number of maps, and the runs as a table.  Each
// cell is a <rect> with the id "q-DD-hhmm" (DD: MO..SU, HO) and the
// attributes data-period and fill.
std::string week_grid(const table_t &table);

} // namespace vorn::report
