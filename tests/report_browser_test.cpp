// The report page as a browser shows it: the example configuration's page,
// made by `vorn report`, is opened in headless Chromium, and the screenshot's
// pixels of a few week grid cells must have the colour that the page's own
// legend gives their period.  The grid is pinned to the page's corner by
// one added style rule, so the cells' coordinates in the page are those of
// the screenshot.  Beside it: the x-axis labels of every chart measured in
// the rendered page (no two boxes meet), the page printed to A4 (the
// PDF's page count and widths, nothing wider than the printed column), and
// the dark scheme, whose drawings keep a light ground under black labels.
// Skipped where Chromium or zlib (for the PNG) is missing.
#include "report/markup.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "support/trace_capture.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <string>
#include <vector>

#ifdef VORN_HAVE_ZLIB
#include <zlib.h>
#endif

namespace vorn::test {
namespace {

bool have_chromium() {
    return run_shell("command -v chromium").exit_code == 0;
}

std::string chromium(const TempDir &dir, const std::string &args) {
    return "chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
           "--force-device-scale-factor=1 --user-data-dir=" +
           shell_quote(dir.file("profile")) + " " + args;
}

// The text a script added to the page reports, read from the DOM that
// Chromium leaves after loading `page` with the script at its end.
std::string probe(const TempDir &dir, const std::string &page, const std::string &script,
                  const std::string &flags) {
    write_file(dir.file("probe.html"), replaced(page, "</body>",
                                                "<script>(function(){var r=(function(){" + script +
                                                    "})();var p=document.createElement('pre');"
                                                    "p.id='probe';p.textContent=r;"
                                                    "document.body.appendChild(p);})();</script>"
                                                    "</body>"));
    const ToolRun run = run_shell(
        chromium(dir, flags + " --dump-dom file://" + shell_quote(dir.file("probe.html"))));
    std::smatch m;
    return std::regex_search(run.out, m, std::regex("<pre id=\"probe\">([^<]*)</pre>")) ? m[1].str()
                                                                                        : run.err;
}

// "labels N overlaps K ..." for the x-axis labels of each drawing.
const char *const kLabelProbe =
    "var n=0,k=0,out=[];document.querySelectorAll('svg').forEach(function(svg){"
    "var b=[].slice.call(svg.querySelectorAll('text.xlabel')).map(function(t){"
    "return t.getBoundingClientRect();});n+=b.length;"
    "for(var i=0;i<b.length;i++)for(var j=i+1;j<b.length;j++){var p=b[i],q=b[j];"
    "if(p.left<q.right&&q.left<p.right&&p.top<q.bottom&&q.top<p.bottom){k++;"
    "out.push(svg.id+':'+i+'/'+j);}}});return 'labels '+n+' overlaps '+k+' '+out.join(' ');";

std::string example_page(const TempDir &dir, const char *name) {
    const std::string input = std::string(VORN_SOURCE_DIR) + "/examples/" + name;
    EXPECT_EQ(run_tool("report -q " + shell_quote(input) + " -o page.html",
                       "-C " + shell_quote(dir.path()))
                  .exit_code,
              0);
    return read_file(dir.file("page.html"));
}

// The labels of every example page, and of charts over generated label
// sets (few and many columns, short and long labels), never touch.
TEST(ReportInBrowser, AxisLabelsNeverTouch) {
    if (!have_chromium())
        GTEST_SKIP() << "chromium is not installed";
    TempDir dir;
    const std::regex none("labels [1-9][0-9]* overlaps 0 ");
    for (const char *name : {"vorn-box.cfg", "calls.bin", "events.bin"}) {
        const std::string found = probe(dir, example_page(dir, name), kLabelProbe, "");
        EXPECT_TRUE(std::regex_search(found, none)) << name << ": " << found;
    }
    std::string charts;
    for (size_t count : {2, 7, 24, 60, 200})
        for (size_t length : {2, 9, 17}) {
            std::vector<std::string> labels;
            report::Series values{"calls", {}};
            for (size_t i = 0; i < count; ++i) {
                labels.push_back(std::string(length - 1, '0') + std::to_string(i % 10));
                values.values.push_back(i * 7 % 13);
            }
            std::string id = "c";
            id += std::to_string(count);
            id += '-';
            id += std::to_string(length);
            charts += report::bar_chart(id + "b", id, labels, values, {"x (unit)", "y (count)"}) +
                      report::line_chart(id + "l", id, labels, {values}, {"x (unit)", "y (count)"});
        }
    const std::string page = "<!DOCTYPE html><html><head><style>svg text{font-family:sans-serif;"
                             "font-size:11px}svg text.small{font-size:9px}</style></head><body>" +
                             charts + "</body></html>";
    const std::string found = probe(dir, page, kLabelProbe, "");
    EXPECT_TRUE(std::regex_search(found, none)) << found;
}

// Printed to A4: every page of the PDF is A4 portrait wide, the pages are
// few, and with the print rules in force at the width of the printed
// column (186 mm, 703 px) no element reaches past it.
TEST(ReportInBrowser, PrintsToA4WithoutCutting) {
    if (!have_chromium())
        GTEST_SKIP() << "chromium is not installed";
    TempDir dir;
    for (const char *name : {"vorn-box.cfg", "calls.bin", "events.bin"}) {
        SCOPED_TRACE(name);
        const std::string page = example_page(dir, name);
        write_file(dir.file("print.html"), page);
        run_shell(chromium(
            dir, "--no-pdf-header-footer --print-to-pdf=" + shell_quote(dir.file("page.pdf")) +
                     " file://" + shell_quote(dir.file("print.html"))));
        const std::string pdf = read_file(dir.file("page.pdf"));
        const std::regex box("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]");
        int pages = 0;
        for (std::sregex_iterator it(pdf.begin(), pdf.end(), box), end; it != end; ++it, ++pages) {
            EXPECT_NEAR(std::stod((*it)[1]), 595.3, 1.0) << "A4 is 210 mm wide";
            EXPECT_NEAR(std::stod((*it)[2]), 841.9, 1.0) << "A4 is 297 mm high";
        }
        EXPECT_GE(pages, 1);
        EXPECT_LE(pages, 8);

        const std::string on_screen = replaced(page, "@media print{", "@media all{");
        const std::string found =
            probe(dir, on_screen,
                  "var w=window.innerWidth,out=[];document.querySelectorAll('body *').forEach("
                  "function(e){var r=e.getBoundingClientRect();if(r.right>w+0.5)out.push(e.tagName+"
                  "':'+Math.round(r.right));});return 'width '+w+' past '+out.length+' '+"
                  "out.slice(0,5).join(' ');",
                  "--window-size=703,1000");
        EXPECT_TRUE(std::regex_search(found, std::regex("^width 703 past 0 "))) << found;
    }
}

#ifdef VORN_HAVE_ZLIB

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb; // three bytes a pixel, rows top down
    std::string colour(uint32_t x, uint32_t y) const {
        char text[8];
        const uint8_t *p = &rgb[(size_t{y} * width + x) * 3];
        std::snprintf(text, sizeof text, "#%02x%02x%02x", p[0], p[1], p[2]);
        return text;
    }
};

uint32_t big_endian(const std::string &bytes, size_t at) {
    return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
           uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]);
}

// Undoes the PNG filter of one row in place (`prior` is the row above,
// zeros for the first), `step` bytes a pixel.
void unfilter(uint8_t kind, uint8_t *row, const uint8_t *prior, size_t size, size_t step) {
    for (size_t i = 0; i < size; ++i) {
        const int a = i >= step ? row[i - step] : 0, b = prior[i],
                  c = i >= step ? prior[i - step] : 0;
        const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        const int add = kind == 1   ? a
                        : kind == 2 ? b
                        : kind == 3 ? (a + b) / 2
                        : kind == 4 ? (pa <= pb && pa <= pc ? a
                                       : pb <= pc           ? b
                                                            : c)
                                    : 0;
        row[i] = static_cast<uint8_t>(row[i] + add);
    }
}

// An 8-bit RGB or RGBA PNG without interlace, as Chromium writes its
// screenshots; false for anything else.
bool decode_png(const std::string &file, Image &image) {
    if (file.size() < 33 || file.compare(1, 3, "PNG") != 0)
        return false;
    std::string idat;
    uint8_t depth = 0, type = 0, interlace = 1;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = big_endian(file, at);
        const std::string kind = file.substr(at + 4, 4);
        if (kind == "IHDR") {
            image.width = big_endian(file, at + 8);
            image.height = big_endian(file, at + 12);
            depth = uint8_t(file[at + 16]), type = uint8_t(file[at + 17]);
            interlace = uint8_t(file[at + 20]);
        } else if (kind == "IDAT") {
            idat += file.substr(at + 8, length);
        }
        at += 12 + size_t{length};
    }
    const size_t step = type == 6 ? 4 : 3, stride = image.width * step;
    if (depth != 8 || (type != 2 && type != 6) || interlace != 0)
        return false;
    std::vector<uint8_t> raw((stride + 1) * image.height);
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef *>(idat.data()), idat.size()) !=
            Z_OK ||
        size != raw.size())
        return false;
    const std::vector<uint8_t> zeros(stride, 0);
    image.rgb.clear();
    for (uint32_t y = 0; y < image.height; ++y) {
        uint8_t *row = &raw[y * (stride + 1) + 1];
        unfilter(row[-1], row, y == 0 ? zeros.data() : row - stride - 1, stride, step);
        for (uint32_t x = 0; x < image.width; ++x)
            image.rgb.insert(image.rgb.end(), row + x * step, row + x * step + 3);
    }
    return true;
}

// The colour most pixels inside the cell have: a hatched period draws
// thin lines over its fill.
std::string cell_colour(const Image &image, int x, int y, int width, int height) {
    std::map<std::string, int> count;
    for (int py = y + 2; py < y + height - 2; ++py)
        for (int px = x + 1; px < x + width - 1; ++px)
            if (px >= 0 && py >= 0 && uint32_t(px) < image.width && uint32_t(py) < image.height)
                ++count[image.colour(uint32_t(px), uint32_t(py))];
    std::string best;
    for (const auto &[colour, n] : count)
        if (best.empty() || n > count[best])
            best = colour;
    return best;
}

int attribute(const std::string &element, const char *name) {
    std::smatch m;
    const std::regex pattern(std::string(" ") + name + "=\"(\\d+)\"");
    return std::regex_search(element, m, pattern) ? std::stoi(m[1]) : -1;
}

TEST(ReportInBrowser, WeekGridCellsHaveTheirPeriodsColours) {
    if (run_shell("command -v chromium").exit_code != 0)
        GTEST_SKIP() << "chromium is not installed";
    TempDir dir;
    const std::string example = std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg";
    ASSERT_EQ(
        run_tool("report " + shell_quote(example) + " -o box.html", "-C " + shell_quote(dir.path()))
            .exit_code,
        0);
    std::string page = read_file(dir.file("box.html"));

    // The legend: the fill of each period by the days of its heading.
    std::map<std::string, std::string> fill_of; // heading -> "#rrggbb"
    const std::regex legend(
        R"re(fill="(#[0-9a-f]{6})" stroke="#000"/>(?:<rect[^>]*/>)?</svg></td><td>\d+</td><th scope="row">([^<]*)</th>)re");
    for (std::sregex_iterator it(page.begin(), page.end(), legend), end; it != end; ++it)
        fill_of[(*it)[2]] = (*it)[1];
    ASSERT_GE(fill_of.size(), 4u) << "the legend lists the example's periods";

    std::smatch svg;
    ASSERT_TRUE(std::regex_search(page, svg, std::regex(R"(<svg[^>]* id="week"[^>]*>)")));
    const int width = attribute(svg[0], "width"), height = attribute(svg[0], "height");
    page = replaced(page, "</head>",
                    "<style>#week{position:absolute;left:0;top:0;z-index:9;background:#fff}"
                    "</style></head>");
    write_file(dir.file("pinned.html"), page);
    const ToolRun shot = run_shell(
        "chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
        "--force-device-scale-factor=1 --user-data-dir=" +
        shell_quote(dir.file("profile")) + " --window-size=" + std::to_string(width) + "," +
        std::to_string(height) + " --screenshot=" + shell_quote(dir.file("shot.png")) + " file://" +
        shell_quote(dir.file("pinned.html")));
    Image image;
    ASSERT_TRUE(decode_png(read_file(dir.file("shot.png")), image)) << shot.err;
    ASSERT_GE(image.width, uint32_t(width));

    // A weekend morning, a working day's office hours and evening, and a
    // holiday, each in the period the example's headings give it.
    const struct {
        const char *cell, *heading;
    } points[] = {{"q-SA-0730", "[00.00] SU SA"},
                  {"q-SU-2345", "[00.00] SU SA"},
                  {"q-HO-1200", "[00.00] HO"},
                  {"q-MO-1200", "[08.00] MO TU WE TH FR"},
                  {"q-FR-2000", "[18.00] MO TU WE TH FR"}};
    for (const auto &point : points) {
        SCOPED_TRACE(point.cell);
        std::smatch cell;
        ASSERT_TRUE(std::regex_search(
            page, cell, std::regex(std::string("<rect id=\"") + point.cell + "\"[^>]*/>")));
        ASSERT_EQ(fill_of.count(point.heading), 1u) << "no legend row " << point.heading;
        EXPECT_EQ(cell_colour(image, attribute(cell[0], "x"), attribute(cell[0], "y"),
                              attribute(cell[0], "width"), attribute(cell[0], "height")),
                  fill_of[point.heading]);
    }
}

// Light, dark, and dark forced on the page by the browser: the page's
// ground follows the scheme, the week grid keeps its white ground and its
// hour labels stay dark ink on it.
TEST(ReportInBrowser, DarkSchemeKeepsDrawingsReadable) {
    if (!have_chromium())
        GTEST_SKIP() << "chromium is not installed";
    TempDir dir;
    std::string page = example_page(dir, "vorn-box.cfg");
    std::smatch svg;
    ASSERT_TRUE(std::regex_search(page, svg, std::regex(R"(<svg[^>]* id="week"[^>]*>)")));
    const int width = attribute(svg[0], "width"), height = attribute(svg[0], "height");
    write_file(dir.file("pinned.html"),
               replaced(page, "</head>",
                        "<style>#week{position:absolute;left:0;top:0;z-index:9}</style></head>"));
    const struct {
        const char *flags, *ground;
    } kSchemes[] = {{"", "#ffffff"},
                    {"--force-dark-mode", "#161616"},
                    {"--force-dark-mode --blink-settings=forceDarkModeEnabled=true", "#161616"}};
    for (const auto &scheme : kSchemes) {
        SCOPED_TRACE(scheme.flags);
        const ToolRun shot = run_shell(chromium(
            dir, std::string(scheme.flags) + " --window-size=" + std::to_string(width + 40) + "," +
                     std::to_string(height + 20) +
                     " --screenshot=" + shell_quote(dir.file("shot.png")) + " file://" +
                     shell_quote(dir.file("pinned.html"))));
        Image image;
        ASSERT_TRUE(decode_png(read_file(dir.file("shot.png")), image)) << shot.err;
        EXPECT_EQ(image.colour(uint32_t(width) + 20, 5), scheme.ground);
        EXPECT_EQ(image.colour(2, 2), "#ffffff") << "the grid's own ground";
        // The hour label "12" above the grid's middle: dark ink on white.
        int ink = 0;
        for (uint32_t y = 2; y < 14; ++y)
            for (uint32_t x = 360; x < 380; ++x) {
                const std::string c = image.colour(x, y);
                ink += c[1] < '6' && c[3] < '6' && c[5] < '6' ? 1 : 0;
            }
        EXPECT_GE(ink, 4) << "the hour labels are drawn dark";
    }
}

#else

TEST(ReportInBrowser, WeekGridCellsHaveTheirPeriodsColours) {
    GTEST_SKIP() << "built without zlib, which the screenshot's PNG needs";
}

#endif

} // namespace
} // namespace vorn::test
