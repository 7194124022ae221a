// The markup writer of the report pages: escaping, tables and the four
// kinds of SVG chart, each drawn with its data table beside it.
#include "report/markup.h"

#include "frame/utf8_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace vorn::report {
namespace {

// Lightness steps from dark to light, alternating, so that two neighbours
// never print as the same grey.
const char *const kFills[] = {"#1f3b73", "#f2c14e", "#7a3b69", "#9bd0e8", "#b5542c", "#d9e7a7",
                              "#2e7d5b", "#f4a6a6", "#5b5b5b", "#c9b3e6", "#8c6d1f", "#bfe3cf"};
constexpr size_t kFillCount = sizeof kFills / sizeof kFills[0];
const char *const kDashes[] = {"", "8 4", "2 3", "10 3 2 3"};

std::string num(long value) {
    return std::to_string(value);
}

std::string svg_open(const std::string &id, int width, int height, const std::string &title) {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"" + id + "\" width=\"" + num(width) +
           "\" height=\"" + num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) +
           "\" role=\"img\" aria-labelledby=\"" + id + "-t\"><title id=\"" + id + "-t\">" +
           escape(title) + "</title>\n";
}

std::string text_at(long x, long y, const std::string &text, const char *anchor = "middle",
                    const char *css = "") {
    return "<text x=\"" + num(x) + "\" y=\"" + num(y) + "\" text-anchor=\"" + anchor +
           "\" class=\"" + css + "\">" + escape(text) + "</text>\n";
}

std::string rect(long x, long y, long w, long h, const std::string &fill,
                 const std::string &extra = "") {
    return "<rect x=\"" + num(x) + "\" y=\"" + num(y) + "\" width=\"" + num(w) + "\" height=\"" +
           num(h) + "\" fill=\"" + fill + "\"" + extra + "/>\n";
}

uint64_t largest(const std::vector<uint64_t> &values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// The figure around a drawing and its data table.
std::string figure(const std::string &svg, const Table &data) {
    return "<figure>\n" + svg + "</svg>\n" + html_table(data) + "</figure>\n";
}

// A cell that holds a quantity ("1,234", "12%", "3.5"), set to the right
// so that its digits line up; numbers that name something (a phone
// number, "0421...") stay text, as do times and dates.
bool is_quantity(const std::string &cell) {
    if (cell.empty() || cell.find_first_not_of("0123456789,.%-+ ") != std::string::npos ||
        cell.find_first_of("0123456789") == std::string::npos)
        return false;
    return !(cell.size() > 1 && cell[0] == '0' &&
             std::isdigit(static_cast<unsigned char>(cell[1])));
}

// One x-axis label centred on `x`, under the axis at `axis_y`.
std::string x_label(long x, long axis_y, const std::string &text, const LabelPlan &plan) {
    if (!plan.upright)
        return text_at(x, axis_y + 16, text, "middle", "small xlabel");
    // Turned about its end: the text runs down from the axis, its glyphs
    // to the left of the turned baseline.
    const long bx = x + 3, by = axis_y + 4;
    return "<text x=\"" + num(bx) + "\" y=\"" + num(by) +
           "\" text-anchor=\"end\" transform=\"rotate(-90 " + num(bx) + " " + num(by) +
           ")\" class=\"small xlabel\">" + escape(text) + "</text>\n";
}

// The x-axis title at `y` under the middle of the plot, the y-axis title
// turned along the left edge.
std::string axis_titles(const Axes &axes, long x_mid, long y, long y_mid) {
    return text_at(x_mid, y, axes.x, "middle", "axis") + "<text x=\"12\" y=\"" + num(y_mid) +
           "\" text-anchor=\"middle\" transform=\"rotate(-90 12 " + num(y_mid) +
           ")\" class=\"axis\">" + escape(axes.y) + "</text>\n";
}

Table series_table(const std::string &title, const std::vector<std::string> &labels,
                   const std::vector<Series> &series) {
    Table t{title, {""}, {}};
    for (const Series &s : series)
        t.head.push_back(s.name);
    for (size_t i = 0; i < labels.size(); ++i) {
        std::vector<std::string> row{labels[i]};
        for (const Series &s : series)
            row.push_back(grouped(i < s.values.size() ? s.values[i] : 0));
        t.rows.push_back(std::move(row));
    }
    return t;
}

// Width that the legend of `series` takes.
long legend_width(const std::vector<Series> &series) {
    long width = 60;
    for (const Series &s : series)
        width += 40 + static_cast<long>(s.name.size()) * 7;
    return width;
}

std::string legend(const std::vector<Series> &series, long y, bool lines, size_t first_fill = 0) {
    std::string out;
    long x = 50;
    for (size_t i = 0; i < series.size(); ++i) {
        if (lines)
            out += "<line x1=\"" + num(x) + "\" y1=\"" + num(y - 4) + "\" x2=\"" + num(x + 24) +
                   "\" y2=\"" + num(y - 4) + "\" stroke=\"#000\" stroke-width=\"2\" " +
                   "stroke-dasharray=\"" + kDashes[i % 4] + "\"/>\n";
        else
            out += rect(x, y - 10, 24, 12, series_fill(first_fill + i), " stroke=\"#000\"") +
                   (pattern_of(first_fill + i).empty()
                        ? ""
                        : rect(x, y - 10, 24, 12, pattern_of(first_fill + i)));
        out += text_at(x + 28, y, series[i].name, "start");
        x += 40 + static_cast<long>(series[i].name.size()) * 7;
    }
    return out;
}

} // namespace

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // A configuration written in UTF-8 keeps its characters: the table
        // holds their bytes as written.
        if (const size_t n = c >= 0x80 ? utf8_sequence(text.substr(i)) : 0; n != 0) {
            out.append(text.substr(i, n));
            i += n - 1;
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (c >= 0x80) { // a byte of the box's 8-bit character set: Latin-1
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x20 && c != '\t' && c != '\n') {
                out += "\xEF\xBF\xBD";
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string grouped(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string html_table(const Table &table) {
    // A table of many columns (the hours of a day) wraps its cells in print.
    std::string out = std::string(table.head.size() > 12 ? "<table class=\"wide\">" : "<table>") +
                      "\n<caption>" + escape(table.caption) + "</caption>\n<tr>";
    for (const std::string &h : table.head)
        out += "<th scope=\"col\">" + escape(h) + "</th>";
    out += "</tr>\n";
    for (const auto &row : table.rows) {
        const bool sum = !row.empty() && !row[0].empty() && row[0][0] == '\t';
        out += sum ? "<tr class=\"sum\">" : "<tr>";
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string cell = i == 0 && sum ? row[i].substr(1) : row[i];
            out += (i == 0              ? "<th scope=\"row\">"
                    : is_quantity(cell) ? "<td class=\"num\">"
                                        : "<td>") +
                   escape(cell) + (i == 0 ? "</th>" : "</td>");
        }
        out += "</tr>\n";
    }
    return out + "</table>\n";
}

const char *series_fill(size_t i) {
    return kFills[i % kFillCount];
}

std::string pattern_defs() {
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"0\" height=\"0\" "
           "class=\"defs\" aria-hidden=\"true\"><defs>\n"
           "<pattern id=\"hatch1\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\">"
           "<path d=\"M0 6L6 0\" stroke=\"#000\" stroke-width=\"1\"/></pattern>\n"
           "<pattern id=\"hatch2\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\">"
           "<circle cx=\"3\" cy=\"3\" r=\"1.2\" fill=\"#000\"/></pattern>\n"
           "<pattern id=\"hatch3\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\">"
           "<path d=\"M0 3H6M3 0V6\" stroke=\"#000\" stroke-width=\"0.8\"/></pattern>\n"
           "</defs></svg>\n";
}

std::string pattern_of(size_t i) {
    const size_t kind = (i / 2) % 4; // two neighbours differ by fill already
    return kind == 0 ? "" : "url(#hatch" + num(static_cast<long>(kind)) + ")";
}

long label_width(const std::string &text) {
    return static_cast<long>(text.size()) * 11 / 2 + 2;
}

LabelPlan plan_labels(const std::vector<std::string> &labels, long slot) {
    constexpr long kGap = 4;         // between two level labels
    constexpr long kLineHeight = 12; // of an upright label, across the axis
    long widest = 0;
    for (const std::string &label : labels)
        widest = std::max(widest, label_width(label));
    LabelPlan plan;
    if (widest + kGap <= slot)
        return plan;
    plan.upright = true;
    slot = std::max(slot, 1L);
    plan.step = static_cast<size_t>((kLineHeight + slot - 1) / slot);
    plan.depth = widest + 8;
    return plan;
}

namespace {

constexpr long kAxisY = 180; // the x axis of the bar and line charts
constexpr long kPlotHeight = 150;

// The frame every bar and line chart shares: the axis, the largest value,
// the labels and the axis titles; returns the y below them.
long chart_frame(std::string &svg, const std::vector<std::string> &labels, long slot, long width,
                 uint64_t top, const Axes &axes) {
    const LabelPlan plan = plan_labels(labels, slot);
    svg += "<line x1=\"50\" y1=\"" + num(kAxisY) + "\" x2=\"" + num(width - 10) + "\" y2=\"" +
           num(kAxisY) + "\" stroke=\"#000\"/>\n" + text_at(45, 30, grouped(top), "end");
    for (size_t i = 0; i < labels.size(); i += plan.step)
        svg += x_label(55 + static_cast<long>(i) * slot + slot / 2, kAxisY, labels[i], plan);
    const long title_y = kAxisY + plan.depth + 14;
    svg += axis_titles(axes, 50 + (width - 60) / 2, title_y, kAxisY - kPlotHeight / 2);
    return title_y + 6;
}

std::string drawing(const std::string &id, const std::string &title, long width, long height,
                    const std::string &body) {
    return svg_open(id, static_cast<int>(width), static_cast<int>(height), title) + body;
}

} // namespace

std::string bar_chart(const std::string &id, const std::string &title,
                      const std::vector<std::string> &labels, const Series &values,
                      const Axes &axes, size_t fill) {
    const long n = static_cast<long>(labels.size());
    const long bar = std::clamp(640 / std::max(n, 1L), 6L, 40L);
    const long width = std::max(60 + bar * n + 20, 300L);
    const uint64_t top = std::max<uint64_t>(largest(values.values), 1);
    std::string body;
    const long bottom = chart_frame(body, labels, bar, width, top, axes);
    for (long i = 0; i < n; ++i) {
        const uint64_t v = i < static_cast<long>(values.values.size()) ? values.values[i] : 0;
        const long h = static_cast<long>(v * kPlotHeight / top);
        const long x = 55 + i * bar;
        body += rect(x, kAxisY - h, bar - 2, h, series_fill(fill));
        if (v != 0 && label_width(grouped(v)) <= bar)
            body += text_at(x + bar / 2, kAxisY - 4 - h, grouped(v), "middle", "small");
    }
    return figure(drawing(id, title, width, bottom, body), series_table(title, labels, {values}));
}

std::string stacked_chart(const std::string &id, const std::string &title,
                          const std::vector<std::string> &labels, const std::vector<Series> &series,
                          const Axes &axes, size_t first_fill) {
    const long n = static_cast<long>(labels.size());
    const long bar = std::clamp(640 / std::max(n, 1L), 6L, 40L);
    const long width = std::max({60 + bar * n + 20, 400L, legend_width(series)});
    std::vector<uint64_t> sums(labels.size(), 0);
    for (const Series &s : series)
        for (size_t i = 0; i < sums.size() && i < s.values.size(); ++i)
            sums[i] += s.values[i];
    const uint64_t top = std::max<uint64_t>(largest(sums), 1);
    std::string body;
    const long bottom = chart_frame(body, labels, bar, width, top, axes);
    for (long i = 0; i < n; ++i) {
        long base = kAxisY;
        const long x = 55 + i * bar;
        for (size_t k = 0; k < series.size(); ++k) {
            const uint64_t v =
                static_cast<size_t>(i) < series[k].values.size() ? series[k].values[i] : 0;
            const long h = static_cast<long>(v * kPlotHeight / top);
            if (h == 0)
                continue;
            base -= h;
            const size_t f = first_fill + k;
            body +=
                rect(x, base, bar - 2, h, series_fill(f), " stroke=\"#000\" stroke-width=\"0.5\"");
            if (!pattern_of(f).empty())
                body += rect(x, base, bar - 2, h, pattern_of(f));
        }
    }
    body += legend(series, bottom + 16, false, first_fill);
    return figure(drawing(id, title, width, bottom + 24, body),
                  series_table(title, labels, series));
}

std::string heat_map(const std::string &id, const std::string &title,
                     const std::vector<std::string> &rows, const std::vector<std::string> &columns,
                     const std::vector<uint64_t> &values, const Axes &axes) {
    const long cell = 28, left = 50, top_edge = 20;
    const long grid_width = cell * static_cast<long>(columns.size());
    const long grid_height = cell * static_cast<long>(rows.size());
    const long width = left + grid_width + 10, height = top_edge + grid_height + 26;
    const uint64_t top = std::max<uint64_t>(largest(values), 1);
    std::string svg = svg_open(id, static_cast<int>(width), static_cast<int>(height), title);
    for (size_t c = 0; c < columns.size(); ++c)
        svg += text_at(left + cell * static_cast<long>(c) + cell / 2, 14, columns[c], "middle",
                       "small xlabel");
    Table data{title, {""}, {}};
    data.head.insert(data.head.end(), columns.begin(), columns.end());
    for (size_t r = 0; r < rows.size(); ++r) {
        const long y = top_edge + cell * static_cast<long>(r);
        svg += text_at(left - 4, y + cell / 2 + 4, rows[r], "end", "small");
        std::vector<std::string> row{rows[r]};
        for (size_t c = 0; c < columns.size(); ++c) {
            const size_t at = r * columns.size() + c;
            const uint64_t v = at < values.size() ? values[at] : 0;
            // Lightness 97% for nothing down to 25% for the largest count.
            const long light = v == 0 ? 97 : 85 - static_cast<long>(v * 60 / top);
            const long x = left + cell * static_cast<long>(c);
            svg += rect(x, y, cell - 1, cell - 1, "hsl(210,60%," + num(light) + "%)",
                        " data-count=\"" + std::to_string(v) + "\"");
            if (v != 0)
                svg += text_at(x + cell / 2, y + cell / 2 + 4, grouped(v), "middle",
                               light < 55 ? "small light" : "small");
            row.push_back(grouped(v));
        }
        data.rows.push_back(std::move(row));
    }
    svg += axis_titles(axes, left + grid_width / 2, top_edge + grid_height + 18,
                       top_edge + grid_height / 2);
    return figure(svg, data);
}

std::string line_chart(const std::string &id, const std::string &title,
                       const std::vector<std::string> &labels, const std::vector<Series> &series,
                       const Axes &axes) {
    const long n = static_cast<long>(labels.size());
    const long step_x = std::clamp(640 / std::max(n, 1L), 4L, 40L);
    const long width = std::max({60 + step_x * n + 20, 400L, legend_width(series)});
    uint64_t top = 1;
    for (const Series &s : series)
        top = std::max(top, largest(s.values));
    std::string body;
    const long bottom = chart_frame(body, labels, step_x, width, top, axes);
    for (size_t k = 0; k < series.size(); ++k) {
        std::string points;
        for (long i = 0; i < n; ++i) {
            const uint64_t v =
                static_cast<size_t>(i) < series[k].values.size() ? series[k].values[i] : 0;
            const long x = 55 + i * step_x + step_x / 2,
                       y = kAxisY - static_cast<long>(v * kPlotHeight / top);
            if (i != 0)
                points += ' ';
            points += num(x) + "," + num(y);
            // Squares and circles alternate: markers that a grey print keeps.
            if (k % 2 == 0)
                body += rect(x - 3, y - 3, 6, 6, "#000");
            else
                body += "<circle cx=\"" + num(x) + "\" cy=\"" + num(y) +
                        "\" r=\"3\" fill=\"#fff\" stroke=\"#000\"/>\n";
        }
        body += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"#000\" " +
                "stroke-width=\"1.5\" stroke-dasharray=\"" + kDashes[k % 4] + "\"/>\n";
    }
    body += legend(series, bottom + 16, true);
    return figure(drawing(id, title, width, bottom + 24, body),
                  series_table(title, labels, series));
}

} // namespace vorn::report
