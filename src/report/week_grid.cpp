// The week grid of a table's time periods: the lookup of the period at a
// quarter hour and its drawing, legend and text table.
#include "report/week_grid.h"

#include "report/markup.h"
#include "writer/field_formatters.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace vorn::report {
namespace {

// Rows from Monday, as a week reads in the box's country; day index and
// name.
const struct {
    int day;
    const char *name;
} kRows[] = {{1, "MO"}, {2, "TU"}, {3, "WE"}, {4, "TH"},
             {5, "FR"}, {6, "SA"}, {0, "SU"}, {kHolidayRow, "HO"}};

constexpr int kQuarters = kMinutesPerDay / 15;
constexpr int kCell = 7, kRowHeight = 22, kLeft = 34, kTop = 18;

std::string clock_text(int minute) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", (minute / 60) % 100, minute % 60);
    return text;
}

int map_count(const table_t &table, int period) {
    const int used = std::min<int>(table.table_used_map_entries, MAX_MAP_TABLE_ENTRIES);
    int count = 0;
    for (int i = 0; i < used; ++i)
        if (!map_slot_unused(table.table_map[i]) && table.table_map[i].map_period == period)
            ++count;
    return count;
}

std::string legend_table(const table_t &table, int periods) {
    std::string out = "<table>\n<caption>Periods</caption>\n<tr><th scope=\"col\">colour</th>"
                      "<th scope=\"col\">period</th><th scope=\"col\">heading</th>"
                      "<th scope=\"col\">maps</th></tr>\n";
    for (int k = 0; k <= periods; ++k) {
        const std::string heading =
            k == 0 ? "global maps only" : period_heading(&table, static_cast<unsigned>(k), false);
        out += "<tr><td><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" height=\"14\">" +
               std::string("<rect width=\"24\" height=\"14\" fill=\"") + period_fill(k) +
               "\" stroke=\"#000\"/>" +
               (k > 0 && !pattern_of(k - 1).empty()
                    ? "<rect width=\"24\" height=\"14\" fill=\"" + pattern_of(k - 1) + "\"/>"
                    : "") +
               "</svg></td><td>" + std::to_string(k) + "</td><th scope=\"row\">" + escape(heading) +
               "</th><td>" + std::to_string(map_count(table, k)) + "</td></tr>\n";
    }
    return out + "</table>\n";
}

// One row of the grid: a cell per quarter hour, and the runs of equal
// periods as pattern overlays and as text.
std::string grid_row(const table_t &table, size_t row, Table &runs) {
    const int y = kTop + static_cast<int>(row) * kRowHeight;
    std::string out = "<text x=\"" + std::to_string(kLeft - 4) + "\" y=\"" +
                      std::to_string(y + 15) + "\" text-anchor=\"end\">" + kRows[row].name +
                      "</text>\n";
    std::string overlays;
    int run_start = 0;
    int run_period = period_at(table, kRows[row].day, 0);
    for (int q = 0; q <= kQuarters; ++q) {
        const int period = q < kQuarters ? period_at(table, kRows[row].day, q * 15) : -1;
        if (q < kQuarters) {
            const std::string time = clock_text(q * 15);
            out += "<rect id=\"q-" + std::string(kRows[row].name) + "-" + time.substr(0, 2) +
                   time.substr(3) + "\" x=\"" + std::to_string(kLeft + q * kCell) + "\" y=\"" +
                   std::to_string(y) + "\" width=\"" + std::to_string(kCell) + "\" height=\"" +
                   std::to_string(kRowHeight - 2) + "\" fill=\"" + period_fill(period) +
                   "\" data-period=\"" + std::to_string(period) + "\"/>\n";
        }
        if (period == run_period)
            continue;
        if (run_period > 0 && !pattern_of(run_period - 1).empty())
            overlays += "<rect x=\"" + std::to_string(kLeft + run_start * kCell) + "\" y=\"" +
                        std::to_string(y) + "\" width=\"" +
                        std::to_string((q - run_start) * kCell) + "\" height=\"" +
                        std::to_string(kRowHeight - 2) + "\" fill=\"" + pattern_of(run_period - 1) +
                        "\"/>\n";
        runs.rows.push_back({kRows[row].name, clock_text(run_start * 15),
                             q == kQuarters ? "24:00" : clock_text(q * 15),
                             std::to_string(run_period)});
        run_start = q;
        run_period = period;
    }
    return out + overlays;
}

} // namespace

// The periods' own colours, none of them a fill of the page's charts, so
// that a colour on the page means one thing.
const char *const kPeriodFills[] = {"#4e79a7", "#f28e2b", "#59a14f", "#edc948",
                                    "#b07aa1", "#76b7b2", "#ff9da7", "#9c755f"};

std::string period_fill(int period) {
    return period <= 0 ? "#ffffff"
                       : kPeriodFills[static_cast<size_t>(period - 1) %
                                      (sizeof kPeriodFills / sizeof kPeriodFills[0])];
}

std::string week_grid(const table_t &table) {
    const int periods = period_count(table);
    const int width = kLeft + kQuarters * kCell + 10;
    const int grid_bottom = kTop + 8 * kRowHeight;
    const int height = grid_bottom + 22;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"week\" width=\"" +
                      std::to_string(width) + "\" height=\"" + std::to_string(height) +
                      "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) +
                      "\" role=\"img\" aria-labelledby=\"week-t\"><title id=\"week-t\">"
                      "Time periods over the week</title>\n";
    for (int hour = 0; hour <= 24; hour += 3)
        svg += "<text x=\"" + std::to_string(kLeft + hour * 4 * kCell) +
               "\" y=\"12\" text-anchor=\"middle\" class=\"small xlabel\">" +
               clock_text(hour * 60).substr(0, 2) + "</text>\n";
    svg += "<text x=\"" + std::to_string(kLeft + kQuarters * kCell / 2) + "\" y=\"" +
           std::to_string(grid_bottom + 14) +
           "\" text-anchor=\"middle\" class=\"axis\">time of day (h, the box's clock)</text>\n";
    Table runs{"Periods by day and time", {"day", "from", "to", "period"}, {}};
    for (size_t row = 0; row < sizeof kRows / sizeof kRows[0]; ++row)
        svg += grid_row(table, row, runs);
    return "<figure>\n" + svg + "</svg>\n" + legend_table(table, periods) + "</figure>\n" +
           html_table(runs);
}

} // namespace vorn::report
