// The optimizer seen through mkconf: configuration text in, binary table
// out.  The deletion rules, Optimize Off, period order, dropped and split
// periods and the index as the box receives them; the .del listing; the
// "Too many entries!" ending; and the period rule over many generated
// configurations.
#include "frame/frame.h"
#include "support/config_generator.h"
#include "support/map_builder.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace vorn;
using test::TempDir;
using Texts = std::vector<std::string>;

// A compiled table read back from its binary file into a working buffer.
struct Compiled {
    int result = 0;
    std::string file; // the binary file's bytes
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kWorkBufferSize, 0xFF);

    const table_t *table() const { return reinterpret_cast<const table_t *>(buffer.data()); }
    const map_t &map(int i) const { return *table_map_slot(table(), static_cast<size_t>(i)); }

    Texts maps() const {
        Texts out;
        for (int i = 0; i < table()->table_used_map_entries; ++i)
            out.push_back(std::string(map(i).map_escape) + "/" + map(i).map_code + "/" +
                          std::to_string(map(i).map_period));
        return out;
    }
    Texts periods() const {
        Texts out;
        for (int p = 1; p <= table()->table_max_period_entries; ++p) {
            const map_period_t &r = table()->table_period[p];
            char text[16];
            std::snprintf(text, sizeof text, "%02u:%02u/%02X", r.period_hour, r.period_minute,
                          r.period_days);
            out.push_back(text);
        }
        return out;
    }
};

Compiled compile(const TempDir &dir, const std::string &text, const char *name = "box") {
    const std::string cfg = dir.file(std::string(name) + ".cfg");
    const std::string bin = dir.file(std::string(name) + ".bin");
    test::write_file(cfg, text);
    std::remove(bin.c_str());
    Compiled c;
    c.result = mkconf(cfg.c_str(), bin.c_str(), 1);
    if (c.result == 0) {
        c.file = test::read_file(bin);
        std::memcpy(c.buffer.data(), c.file.data(), std::min(c.file.size(), kTableSize));
    }
    return c;
}

std::string config(const std::string &lines) {
    return test::ascii_config("TABLE=TF01.5\nOPTIONS=NOSTANDARDMAPS\n" + lines);
}

TEST(OptimizeMkconf, TablesAsTheBoxReceivesThem) {
    struct Row {
        const char *name;
        std::string lines;
        Texts maps;    // escape/code/period in table order
        Texts periods; // table_period 1 .. max
    };
    const Row rows[] = {
        {"identical maps: the smaller code goes",
         "MapOut0711=123\nMapOut0711=456\n",
         {"0711/456/0"},
         {}},
        {"a period map under a time-independent one goes",
         "MapOut0711=1\n[08:00] MO\nMapOut0711=2 VOICE\nMapOut49=3\n",
         {"0711/1/0", "49/3/1"},
         {"08:00/02"}},
        {"MAP_OUT differs: both stay",
         "MapOut0711=1\n[08:00] MO\nMapIn0711=2\n",
         {"0711/1/0", "0711/2/1"},
         {"08:00/02"}},
        {"equal sections are one period, and their equal maps one map",
         "[08:00] MO TU\nMapOut0711=9\n[18:00] SA\nMapOut5=1\n[08:00] MO TU\nMapOut0711=9\n",
         {"0711/9/1", "5/1/2"},
         {"08:00/06", "18:00/40"}},
        {"equal maps, same days, later start with the higher number: it goes",
         "[08:00] MO\nMapOut0711=9\n[18:00] MO\nMapOut0711=9\nMapOut33=1\n",
         {"0711/9/1", "33/1/2"},
         {"08:00/02", "18:00/02"}},
        {"18:00 before 08:00 in the file",
         "[18:00] MO\nMapOut1=1\n[08:00] MO\nMapOut2=2\n",
         {"1/1/2", "2/2/1"},
         {"08:00/02", "18:00/02"}},
        {"a period whose maps all went is dropped",
         "MapOut0711=1\n[08:00] MO\nMapOut12=1\n[12:00] MO\nMapOut0711=5\n[18:00] MO\n"
         "MapOut13=1\n",
         {"0711/1/0", "12/1/1", "13/1/2"},
         {"08:00/02", "18:00/02"}},
        {"holidays and Sundays: split, the weekday half gets copies",
         "MapOut9=1\n[18:00] HO SU\nMapOut0711=1\nMapOut0712=2\nMapOut0713=3\n",
         {"0711/1/1", "0711/1/2", "0712/2/1", "0712/2/2", "0713/3/1", "0713/3/2", "9/1/0"},
         {"18:00/80", "18:00/01"}},
        {"the weekday half joins a Sunday section of the same start, its copy of 0711 goes",
         "MapOut0800=5\n[18:00] HO SU\nMapOut0711=7\nMapOut0049=7\n[18:00] SU\nMapOut0711=7\n"
         "MapOut0031=3\n",
         {"0031/3/2", "0049/7/1", "0049/7/2", "0711/7/1", "0711/7/2", "0800/5/0"},
         {"18:00/80", "18:00/01"}},
        {"Optimize Off keeps every map",
         "OPTIONS=NOOPTIMIZE\nMapOut0711=1\nMapOut0711=1\n[08:00] HO SU\nMapOut0711=2\n",
         {"0711/1/0", "0711/1/0", "0711/2/1"},
         {"08:00/81"}},
    };
    TempDir dir;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Compiled c = compile(dir, config(row.lines));
        ASSERT_EQ(c.result, 0);
        EXPECT_EQ(c.maps(), row.maps);
        EXPECT_EQ(c.periods(), row.periods);
        EXPECT_EQ(test::period_rule_violation(c.table()), "");
        // The file ends with the all-zero end slot.
        EXPECT_EQ(c.file.size(), kTableHeadSize + (row.maps.size() + 1) * kMapSize);
        EXPECT_EQ(c.file.substr(c.file.size() - kMapSize), std::string(kMapSize, '\0'));
    }
}

TEST(OptimizeMkconf, EscapeLengthIndexAndRanks) {
    TempDir dir;
    const Compiled c = compile(dir, config("MapOut07=3\nMapIn0711=2\nMapOut0711=1\n"));
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(c.maps(), (Texts{"0711/2/0", "0711/1/0", "07/3/0"}));
    EXPECT_EQ(map_rank(c.map(0)), 4);
    EXPECT_EQ(map_rank(c.map(1)), 2);
    EXPECT_EQ(map_rank(c.map(2)), 0);
    const std::vector<int16_t> index(c.table()->table_map_esclen, c.table()->table_map_esclen + 13);
    EXPECT_EQ(index, (std::vector<int16_t>{3, 1569, 2, 1569, 0, 1569, 1569, 1569, 1569, 1569, 1569,
                                           1569, 1569}));

    const Compiled empty = compile(dir, config(""));
    ASSERT_EQ(empty.result, 0);
    EXPECT_EQ(empty.file.size(), 2580u);
    EXPECT_EQ(
        std::vector<int16_t>(empty.table()->table_map_esclen, empty.table()->table_map_esclen + 13),
        (std::vector<int16_t>{0, 1569, 1569, 1569, 1569, 1569, 1569, 1569, 1569, 1569, 1569, 1569,
                              1569}));
}

TEST(OptimizeMkconf, DelListingBesideTheConfiguration) {
    TempDir dir;
    set_optimize_files(1);
    const Compiled c =
        compile(dir, config("MapOut0711=1\nMapOut0711=2\n[08:00] MO\nMapOut0711=3 30 1/2\n"));
    set_optimize_files(0);
    ASSERT_EQ(c.result, 0);
    EXPECT_EQ(test::read_file(dir.file("box.del")),
              "deleted maps:\n"
              "==   : identical\n"
              "==^t : identical except from time period\n"
              "==^c : identical without charge\n"
              "t*   : identical with time independent mapping\n"
              "opt  : optimized\n"
              "\n"
              "==   map[0001]: l04 r00 mC2 i00(0000-11111111) esc:0711         code:1\n"
              "t*   map[0002]: l04 r00 mC2 i01(0800-00000010) esc:0711         code:3 c30.00 1/2\n"
              "2 maps deleted\n"
              "\n");
}

TEST(OptimizeMkconf, ListingThatCannotBeWrittenFailsTheCompilation) {
    for (const char *extension : {".del", ".map"}) {
        SCOPED_TRACE(extension);
        TempDir dir;
        const std::string listing = dir.file(std::string("box") + extension);
        // Every write to the full device fails once it reaches the device.
        ASSERT_EQ(symlink("/dev/full", listing.c_str()), 0);
        set_optimize_files(1);
        test::TraceCapture cap;
        const Compiled c = compile(dir, config("MapOut0711=1\nMapOut0711=2\n"));
        set_optimize_files(0);
        EXPECT_EQ(c.result, VORN_CONF_CANNOT_WRITE);
        const auto errors = test::error_lines(cap);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), "Cannot Write \"" + listing + "\"!\n");
        EXPECT_FALSE(std::ifstream(dir.file("box.bin")).good());
    }
}

TEST(OptimizeMkconf, SeparationOutOfRoomEndsWithTooManyEntries) {
    // 3,000 copies beside 5,000 maps: beyond the working slots.
    std::string slots;
    for (int i = 0; i < 2000; ++i)
        slots += "MapOut" + std::to_string(1000000 + i) + "=1\n";
    slots += "[08:00] HO SU\n";
    for (int i = 0; i < 3000; ++i)
        slots += "MapOut" + std::to_string(2000000 + i) + "=1\n";
    // 63 sections, every other one of holidays and Sundays: 32 weekday
    // halves but no period record left for them.
    std::string records;
    for (int p = 0; p < 63; ++p) {
        char section[64];
        std::snprintf(section, sizeof section, "[%d:00] %s\nMapOut%d=1\n", p,
                      p % 2 ? "MO" : "HO SU", 100 + p);
        records += section;
    }
    const struct {
        const char *name;
        std::string lines;
        const char *message;
    } rows[] = {
        {"working slots", slots, "Too many entries! (+9930)@Warning\r\n"},
        {"period records", records, "Too many entries! (+32 periods)@Warning\r\n"},
    };
    TempDir dir;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        set_optimize_files(1);
        test::TraceCapture cap;
        const Compiled c = compile(dir, config(row.lines), "big");
        set_optimize_files(0);
        EXPECT_EQ(c.result, VORN_CONF_WARNING);
        const auto errors = test::error_lines(cap);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.back(), row.message);
        EXPECT_EQ(test::read_file(dir.file("big.map")), "");
        EXPECT_FALSE(std::ifstream(dir.file("big.bin")).good());
    }
}

// Every kept map names the record of the section it came from (or of the
// weekday half that separation made of it); time-independent maps come
// from time-independent lines or are standard maps.
std::string origin_violation(const test::GeneratedConfig &g, const table_t *t) {
    for (int i = 0; i < t->table_used_map_entries; ++i) {
        const map_t *m = table_map_slot(t, static_cast<size_t>(i));
        const map_period_t &r = t->table_period[m->map_period];
        const bool standard = std::strlen(m->map_escape) == 1 && std::strlen(m->map_code) == 2;
        bool found = m->map_period == 0 && standard;
        for (const test::GeneratedMap &line : g.maps) {
            if (line.escape != m->map_escape || line.code != m->map_code ||
                line.direction != (m->map_mode & (MAP_IN | MAP_OUT)))
                continue;
            if (m->map_period == 0) {
                found = found || line.section < 0;
                continue;
            }
            if (line.section < 0)
                continue;
            const test::GeneratedSection &s = g.sections[static_cast<size_t>(line.section)];
            const uint8_t days = s.days == 0 ? 0xFF : s.days;
            const bool split = (days & DAY_HO) && (days & 0x7F);
            if (r.period_hour == s.hour && r.period_minute == s.minute &&
                (r.period_days == days ||
                 (split && (r.period_days == DAY_HO || r.period_days == (days & 0x7F)))))
                found = true;
        }
        if (!found)
            return "map " + std::to_string(i) + " " + m->map_escape + "=" + m->map_code +
                   " names period " + std::to_string(m->map_period);
    }
    return "";
}

TEST(OptimizeMkconf, PeriodRuleOverGeneratedConfigurations) {
    test::PinnedClock clock;
    TempDir dir;
    int compiled = 0;
    for (uint64_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        test::ConfigKnobs k;
        k.sections = static_cast<unsigned>(seed * 7 % 64);
        k.empty_sections = static_cast<unsigned>(seed % 4);
        k.duplicate_sections = static_cast<unsigned>(seed * 3 % 7);
        k.holiday_sections = static_cast<unsigned>(seed * 5 % 6);
        k.maps = static_cast<unsigned>(20 + seed * 37 % 400);
        k.global_maps = static_cast<unsigned>(seed * 11 % 40);
        k.shared_maps = k.maps * static_cast<unsigned>(seed % 5) / 5;
        k.standard_maps = seed % 3 != 0;
        k.optimize = seed % 11 != 0;
        const test::GeneratedConfig g = test::generate_config(seed, k);

        const Compiled c = compile(dir, g.text);
        if (c.result == -1)
            continue; // more sections than period records after separation
        ASSERT_EQ(c.result, 0);
        ++compiled;
        EXPECT_EQ(test::period_rule_violation(c.table()), "");
        EXPECT_EQ(origin_violation(g, c.table()), "");
        // The same table in every run.
        EXPECT_EQ(compile(dir, g.text).file, c.file);
    }
    EXPECT_GT(compiled, 120);
}

} // namespace
