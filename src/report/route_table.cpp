// The routing section of a table page: escapes by periods, from the same
// table the week grid draws and with the same colours.
#include "report/route_table.h"

#include "report/markup.h"
#include "report/page.h"
#include "report/week_grid.h"
#include "table/route_rule.h"
#include "writer/field_formatters.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

namespace vorn::report {
namespace {

struct Column {
    int period;
    std::string heading, note;
};

// Global first, then the periods by number, the holiday periods last
// with the holiday dates.
std::vector<Column> columns_of(const table_t &table) {
    std::vector<Column> out{{0, "global (every time)", ""}}, holidays;
    std::string dates;
    const int count = std::clamp<int>(table.table_holiday_entries, 0, MAX_HOLIDAYS);
    for (int i = 0; i < count; ++i) {
        char date[8];
        std::snprintf(date, sizeof date, "%02u.%02u", table.table_holiday[i].holiday_day % 100u,
                      table.table_holiday[i].holiday_month % 100u);
        if (!dates.empty())
            dates += ' ';
        dates += date;
    }
    for (int k = 1; k <= period_count(table); ++k) {
        Column c{k, period_heading(&table, static_cast<unsigned>(k), false), ""};
        if (table.table_period[k].period_days == DAY_HO) {
            c.note = dates.empty() ? "no holidays listed" : "holidays: " + dates;
            holidays.push_back(c);
        } else {
            out.push_back(c);
        }
    }
    out.insert(out.end(), holidays.begin(), holidays.end());
    return out;
}

std::string escape_text(const map_t &m) {
    return std::string(m.map_escape, ::strnlen(m.map_escape, sizeof m.map_escape));
}

// "0101900 (01019)", "90 standard map", with the service when the map
// serves only one.
std::string cell_text(const map_t &m) {
    const std::string provider = provider_digits(m);
    std::string text = map_code_digits(m);
    if (is_standard_map(m))
        text += " standard map";
    else if (!provider.empty())
        text += " (" + provider + ")";
    const uint8_t services = m.map_mode & (MAP_VOICE | MAP_DATA);
    if (services == MAP_VOICE)
        text += " VOICE";
    else if (services == MAP_DATA)
        text += " DATA";
    return text;
}

std::string map_line_text(const table_t &table, const map_t &m) {
    char line[kMapLineSize] = {};
    format_map_line(&table, &m, line, sizeof line);
    return line;
}

// A column for the period of a removed map that no period of the table
// matches any more (its maps all went): headed as the configuration wrote it.
Column vanished_column(const map_period_t &period) {
    auto scratch = std::make_unique<table_t>();
    std::memset(static_cast<void *>(scratch.get()), 0, sizeof(table_t));
    scratch->table_period[1] = period;
    scratch->table_max_period_entries = 1;
    return {-1, period_heading(scratch.get(), 1, false), "no map left in this period"};
}

// The columns a removed map stood in: its period's start and days, which
// the period split may have divided among several periods since.
std::vector<size_t> removed_columns(const table_t &table, const std::vector<Column> &columns,
                                    const RemovedMap &r) {
    std::vector<size_t> out;
    for (size_t c = 0; c < columns.size(); ++c) {
        const int k = columns[c].period;
        if (k < 0) { // a vanished period: the removed maps of its heading
            if (r.period.period_days != 0 &&
                vanished_column(r.period).heading == columns[c].heading)
                out.push_back(c);
            continue;
        }
        if (r.period.period_days == 0
                ? k == 0
                : k != 0 && table.table_period[k].period_hour == r.period.period_hour &&
                      table.table_period[k].period_minute == r.period.period_minute &&
                      (table.table_period[k].period_days & ~r.period.period_days) == 0)
            out.push_back(c);
    }
    return out;
}

std::string swatch(int period) {
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"14\" height=\"10\" "
                      "aria-hidden=\"true\"><rect width=\"14\" height=\"10\" fill=\"" +
                      period_fill(period) + "\" stroke=\"#000\"/>";
    if (period > 0 && !pattern_of(static_cast<size_t>(period - 1)).empty())
        out += "<rect width=\"14\" height=\"10\" fill=\"" +
               pattern_of(static_cast<size_t>(period - 1)) + "\"/>";
    return out + "</svg> ";
}

using RowKey = std::pair<std::string, std::string>; // key word, escape
using Cells = std::vector<std::string>;             // per column, markup

} // namespace

std::string routing_section(const table_t &table, const std::vector<RemovedMap> &removed) {
    std::vector<Column> columns = columns_of(table);
    for (const RemovedMap &r : removed)
        if (removed_columns(table, columns, r).empty())
            columns.push_back(vanished_column(r.period));
    std::map<RowKey, Cells> rows;
    auto row_of = [&](const map_t &m) -> Cells & {
        const char *key = map_key_word(m.map_mode);
        Cells &cells = rows[{key != nullptr ? key : "(no key)", escape_text(m)}];
        cells.resize(columns.size());
        return cells;
    };
    const int used = std::clamp<int>(table.table_used_map_entries, 0, MAX_MAP_TABLE_ENTRIES);
    for (int i = 0; i < used; ++i) {
        const map_t &m = table.table_map[i];
        if (map_slot_unused(m) || m.map_escape[0] == 0)
            continue;
        for (size_t c = 0; c < columns.size(); ++c)
            if (columns[c].period == m.map_period) {
                std::string &cell = row_of(m)[c];
                if (!cell.empty())
                    cell += "<br/>";
                cell += is_standard_map(m) ? "<span class=\"standard\">" : "<span>";
                cell += escape(cell_text(m)) + "</span>";
            }
    }
    for (const RemovedMap &r : removed) {
        const std::string instead =
            r.kept_line != 0
                ? "line " + std::to_string(r.kept_line) + " takes its place"
                : "the standard map " + map_line_text(table, r.kept) + " takes its place";
        for (size_t c : removed_columns(table, columns, r)) {
            std::string &cell = row_of(r.map)[c];
            if (!cell.empty())
                cell += "<br/>";
            cell += "<del>" + escape(cell_text(r.map)) + "</del> <span class=\"removed\">line " +
                    std::to_string(r.line) + " removed: " + escape(instead) + "</span>";
        }
    }

    std::string out = section_open("routing", "Routing by period");
    out += paragraph("Each cell: the code that replaces the escape and, in brackets, the provider "
                     "digits in front of the number; \"standard map\" marks a map the compiler "
                     "adds. The longest escape that begins a number wins; a global map applies "
                     "in every period. Struck through: a map line the compiler removed.");
    out += "<table class=\"routing\">\n<caption>Maps by escape and period</caption>\n<tr><th "
           "scope=\"col\">map</th>";
    for (const Column &c : columns)
        out += "<th scope=\"col\" data-period=\"" + std::to_string(c.period) + "\">" +
               (c.period >= 0 ? swatch(c.period) : std::string()) + escape(c.heading) +
               (c.note.empty() ? "" : "<br/><span class=\"dates\">" + escape(c.note) + "</span>") +
               "</th>";
    out += "</tr>\n";
    for (const auto &[key, cells] : rows) {
        out += "<tr><th scope=\"row\">" + escape(key.first + " " + key.second) + "</th>";
        for (const std::string &cell : cells)
            out += "<td>" + cell + "</td>";
        out += "</tr>\n";
    }
    return out + "</table>\n" + section_close();
}

} // namespace vorn::report
