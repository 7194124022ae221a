// Which time period of a table applies at a given day and time, and the
// week grid that draws it.
//
// The box keeps its periods as start times with day masks, ordered by
// start.  On a day (a holiday counts as its own day, the HO bit) the period
// that applies is the one of that day that started last at or before the
// time; before the day's first start, the day's last period still runs
// from the evening before ("[18:00] MO TU WE TH FR" covers Monday 03:00).
// A day that no period names has only the global maps (period 0).
#pragma once

#include "table/table.h"

#include <string>

namespace vorn::report {

inline constexpr int kHolidayRow = 7; // day index of the holiday row
inline constexpr int kMinutesPerDay = 24 * 60;

// The period index that applies on `day` (0 Sunday to 6 Saturday, or
// kHolidayRow) at `minute` of the day (0 to 1439); 0 when none.
int period_at(const table_t &table, int day, int minute);

// Number of periods in use: 1 to table_max_period_entries, ending early at
// a record whose day mask is 0.
int period_count(const table_t &table);

// Fill colour of a period in the grid and its legend ("#ffffff" for 0).
std::string period_fill(int period);

// The grid (7 days and the holiday row × 96 quarter hours), its legend with
// each period's heading and number of maps, and the runs as a table.  Each
// cell is a <rect> with the id "q-DD-hhmm" (DD: MO..SU, HO) and the
// attributes data-period and fill.
std::string week_grid(const table_t &table);

} // namespace vorn::report
