// The markup writer of the report pages: escaping, tables and the four
// kinds of SVG chart, each drawn with its data table beside it.
#include "report/markup.h"

#include "frame/utf8_text.h"

#include <algorithm>
#include <cstdio>

namespace vorn::report {
namespace {

// Lightness steps from dark to light, alternating, so that two neighbours
// never print as the same grey.
const char *const kFills[] = {"#1f3b73", "#f2c14e", "#7a3b69", "#9bd0e8",
                              "#b5542c", "#d9e7a7", "#2e7d5b", "#f4a6a6"};
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

// Label of every n-th column, so that long axes stay readable.
size_t label_step(size_t count) {
    return count <= 31 ? 1 : (count + 30) / 31;
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

std::string legend(const std::vector<Series> &series, long y, bool lines) {
    std::string out;
    long x = 50;
    for (size_t i = 0; i < series.size(); ++i) {
        if (lines)
            out += "<line x1=\"" + num(x) + "\" y1=\"" + num(y - 4) + "\" x2=\"" + num(x + 24) +
                   "\" y2=\"" + num(y - 4) + "\" stroke=\"#000\" stroke-width=\"2\" " +
                   "stroke-dasharray=\"" + kDashes[i % 4] + "\"/>\n";
        else
            out += rect(x, y - 10, 24, 12, series_fill(i), " stroke=\"#000\"") +
                   (pattern_of(i).empty() ? "" : rect(x, y - 10, 24, 12, pattern_of(i)));
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
    std::string out = "<table>\n<caption>" + escape(table.caption) + "</caption>\n<tr>";
    for (const std::string &h : table.head)
        out += "<th scope=\"col\">" + escape(h) + "</th>";
    out += "</tr>\n";
    for (const auto &row : table.rows) {
        const bool sum = !row.empty() && !row[0].empty() && row[0][0] == '\t';
        out += sum ? "<tr class=\"sum\">" : "<tr>";
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string cell = i == 0 && sum ? row[i].substr(1) : row[i];
            out += (i == 0 ? "<th scope=\"row\">" : "<td>") + escape(cell) +
                   (i == 0 ? "</th>" : "</td>");
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

std::string bar_chart(const std::string &id, const std::string &title,
                      const std::vector<std::string> &labels, const Series &values) {
    const long n = static_cast<long>(labels.size());
    const long bar = std::clamp(640 / std::max(n, 1L), 6L, 40L);
    const long width = 60 + bar * n + 20, height = 220;
    const uint64_t top = std::max<uint64_t>(largest(values.values), 1);
    std::string svg = svg_open(id, static_cast<int>(width), height, title);
    svg += "<line x1=\"50\" y1=\"180\" x2=\"" + num(width - 10) +
           "\" y2=\"180\" stroke=\"#000\"/>\n" + text_at(45, 30, grouped(top), "end");
    const size_t step = label_step(labels.size());
    for (long i = 0; i < n; ++i) {
        const uint64_t v = i < static_cast<long>(values.values.size()) ? values.values[i] : 0;
        const long h = static_cast<long>(v * 150 / top);
        const long x = 55 + i * bar;
        svg += rect(x, 180 - h, bar - 2, h, series_fill(0));
        if (v != 0 && bar >= 14)
            svg += text_at(x + bar / 2, 176 - h, grouped(v), "middle", "small");
        if (static_cast<size_t>(i) % step == 0)
            svg += text_at(x + bar / 2, 196, labels[i], "middle", "small");
    }
    return figure(svg, series_table(title, labels, {values}));
}

std::string stacked_chart(const std::string &id, const std::string &title,
                          const std::vector<std::string> &labels,
                          const std::vector<Series> &series) {
    const long n = static_cast<long>(labels.size());
    const long bar = std::clamp(640 / std::max(n, 1L), 6L, 40L);
    const long width = std::max({60 + bar * n + 20, 400L, legend_width(series)}), height = 240;
    std::vector<uint64_t> sums(labels.size(), 0);
    for (const Series &s : series)
        for (size_t i = 0; i < sums.size() && i < s.values.size(); ++i)
            sums[i] += s.values[i];
    const uint64_t top = std::max<uint64_t>(largest(sums), 1);
    std::string svg = svg_open(id, static_cast<int>(width), height, title);
    svg += "<line x1=\"50\" y1=\"180\" x2=\"" + num(width - 10) +
           "\" y2=\"180\" stroke=\"#000\"/>\n" + text_at(45, 30, grouped(top), "end");
    const size_t step = label_step(labels.size());
    for (long i = 0; i < n; ++i) {
        long base = 180;
        const long x = 55 + i * bar;
        for (size_t k = 0; k < series.size(); ++k) {
            const uint64_t v =
                static_cast<size_t>(i) < series[k].values.size() ? series[k].values[i] : 0;
            const long h = static_cast<long>(v * 150 / top);
            if (h == 0)
                continue;
            base -= h;
            svg +=
                rect(x, base, bar - 2, h, series_fill(k), " stroke=\"#000\" stroke-width=\"0.5\"");
            if (!pattern_of(k).empty())
                svg += rect(x, base, bar - 2, h, pattern_of(k));
        }
        if (static_cast<size_t>(i) % step == 0)
            svg += text_at(x + bar / 2, 196, labels[i], "middle", "small");
    }
    svg += legend(series, 226, false);
    return figure(svg, series_table(title, labels, series));
}

std::string heat_map(const std::string &id, const std::string &title,
                     const std::vector<std::string> &rows, const std::vector<std::string> &columns,
                     const std::vector<uint64_t> &values) {
    const long cell = 28, left = 40, top_edge = 20;
    const long width = left + cell * static_cast<long>(columns.size()) + 10;
    const long height = top_edge + cell * static_cast<long>(rows.size()) + 10;
    const uint64_t top = std::max<uint64_t>(largest(values), 1);
    std::string svg = svg_open(id, static_cast<int>(width), static_cast<int>(height), title);
    for (size_t c = 0; c < columns.size(); ++c)
        svg += text_at(left + cell * static_cast<long>(c) + cell / 2, 14, columns[c], "middle",
                       "small");
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
    return figure(svg, data);
}

std::string line_chart(const std::string &id, const std::string &title,
                       const std::vector<std::string> &labels, const std::vector<Series> &series) {
    const long n = static_cast<long>(labels.size());
    const long step_x = std::clamp(640 / std::max(n, 1L), 4L, 40L);
    const long width = std::max({60 + step_x * n + 20, 400L, legend_width(series)}), height = 240;
    uint64_t top = 1;
    for (const Series &s : series)
        top = std::max(top, largest(s.values));
    std::string svg = svg_open(id, static_cast<int>(width), height, title);
    svg += "<line x1=\"50\" y1=\"180\" x2=\"" + num(width - 10) +
           "\" y2=\"180\" stroke=\"#000\"/>\n" + text_at(45, 30, grouped(top), "end");
    const size_t step = label_step(labels.size());
    for (long i = 0; i < n; ++i)
        if (static_cast<size_t>(i) % step == 0)
            svg += text_at(55 + i * step_x + step_x / 2, 196, labels[i], "middle", "small");
    for (size_t k = 0; k < series.size(); ++k) {
        std::string points;
        for (long i = 0; i < n; ++i) {
            const uint64_t v =
                static_cast<size_t>(i) < series[k].values.size() ? series[k].values[i] : 0;
            const long x = 55 + i * step_x + step_x / 2, y = 180 - static_cast<long>(v * 150 / top);
            if (i != 0)
                points += ' ';
            points += num(x) + "," + num(y);
            // Squares and circles alternate: markers that a grey print keeps.
            if (k % 2 == 0)
                svg += rect(x - 3, y - 3, 6, 6, "#000");
            else
                svg += "<circle cx=\"" + num(x) + "\" cy=\"" + num(y) +
                       "\" r=\"3\" fill=\"#fff\" stroke=\"#000\"/>\n";
        }
        svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"#000\" " +
               "stroke-width=\"1.5\" stroke-dasharray=\"" + kDashes[k % 4] + "\"/>\n";
    }
    svg += legend(series, 226, true);
    return figure(svg, series_table(title, labels, series));
}

} // namespace vorn::report
