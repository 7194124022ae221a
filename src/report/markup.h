// The small markup writer under the report pages: XML-escaped text (the
// box's 8-bit texts become UTF-8), HTML tables and the SVG charts (bars,
// stacked bars, heat map, line) that the pages are made of.  Every chart is
// a <figure> with its data as a table beside the drawing, so that a screen
// reader and a copy into a spreadsheet get the same numbers; fills differ in
// lightness and carry patterns or labels, so a grey print still tells them
// apart.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::report {

// `text` for an XML text node or attribute: & < > " escaped, bytes from 80h
// on taken as Latin-1 and written as UTF-8, other control bytes as U+FFFD.
std::string escape(std::string_view text);

// "1,234,567".
std::string grouped(uint64_t value);

// An HTML table: a caption, the head row and the body rows.  Cells are
// plain text and escaped here; a row whose first cell starts with "\t" is
// drawn as a sum row.
struct Table {
    std::string caption;
    std::vector<std::string> head;
    std::vector<std::vector<std::string>> rows;
};
std::string html_table(const Table &table);

// One named row of numbers in a chart.
struct Series {
    std::string name;
    std::vector<uint64_t> values;
};

// Fill and pattern of series i in charts and legends (twelve fills, then
// again), chosen so that neighbours differ in lightness.  The periods of a
// table have colours of their own (week_grid.h).
const char *series_fill(size_t i);
// The <pattern> definitions every page carries once; ids "hatch0" to
// "hatch3" ("" for index 0 in pattern_of: no pattern).
std::string pattern_defs();
std::string pattern_of(size_t i);

// The titles of a chart's axes, each with its unit: {"hour of day (h)",
// "calls (count)"}.  The labels under the x axis (class "xlabel") never
// touch: they stand level where the widest fits its column, upright where
// it does not, and only every n-th one upright where even that is too
// narrow.
struct Axes {
    std::string x, y;
};

// Bars, one per label; a bar is labelled with its value where it fits.
// `fill` picks the series fill, so that charts of one page that count
// different things never share a colour.
std::string bar_chart(const std::string &id, const std::string &title,
                      const std::vector<std::string> &labels, const Series &values,
                      const Axes &axes, size_t fill = 0);
// Bars stacked from several series, with a legend; the series take the
// fills from `first_fill` on.
std::string stacked_chart(const std::string &id, const std::string &title,
                          const std::vector<std::string> &labels, const std::vector<Series> &series,
                          const Axes &axes, size_t first_fill = 0);
// Rows × columns of cells whose darkness follows the value; non-zero cells
// show their number.  The x axis runs along the columns, the y axis down
// the rows.
std::string heat_map(const std::string &id, const std::string &title,
                     const std::vector<std::string> &rows, const std::vector<std::string> &columns,
                     const std::vector<uint64_t> &values, const Axes &axes);
// One polyline per series, told apart by dash pattern and marker shape.
std::string line_chart(const std::string &id, const std::string &title,
                       const std::vector<std::string> &labels, const std::vector<Series> &series,
                       const Axes &axes);

// Layout of x-axis labels in slots `slot` pixels wide.
struct LabelPlan {
    size_t step = 1;      // every step-th label is drawn
    bool upright = false; // turned a quarter, reading upwards
    long depth = 16;      // room the labels take below the axis
};
LabelPlan plan_labels(const std::vector<std::string> &labels, long slot);
// Estimated width of a label in the small font (9 px): 5.5 px a character.
long label_width(const std::string &text);

} // namespace vorn::report
