// The report page as a browser shows it: the example configuration's page,
// made by `vorn report`, is opened in headless Chromium, and the screenshot's
// pixels of a few week grid cells must have the colour that the page's own
// legend gives their period.  The grid is pinned to the page's corner by
// one added style rule, so the cells' coordinates in the page are those of
// the screenshot.  Skipped where Chromium or zlib (for the PNG) is missing.
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "support/trace_capture.h"

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

#else

TEST(ReportInBrowser, WeekGridCellsHaveTheirPeriodsColours) {
    GTEST_SKIP() << "built without zlib, which the screenshot's PNG needs";
}

#endif

} // namespace
} // namespace vorn::test
