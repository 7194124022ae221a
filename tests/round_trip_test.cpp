// Generated configurations through mkconf: every compiled table keeps the
// period rule and maps that come from their lines; and once a configuration
// has been through the writer, compiling and decompiling it again changes
// nothing (the bundled example and generated ones with every setting).
#include "support/config_generator.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "table/table.h"
#include "vorn_b32.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace vorn::test {
namespace {

// What is wrong with a compiled table, "" when nothing: every map names a
// period 0 .. max whose record has days, every record 1 .. max is named,
// those behind max are empty; every map comes from a line of its section
// (or of the weekday half that separation made of a holiday section), a
// time-independent map from a time-independent line or the standard maps.
std::string table_fault(const GeneratedConfig &g, const table_t *t) {
    const int max = t->table_max_period_entries;
    bool named[MAX_PERIODS] = {};
    for (int i = 0; i < t->table_used_map_entries; ++i) {
        const map_t *m = table_map_slot(t, static_cast<size_t>(i));
        if (m->map_period > max)
            return "map " + std::to_string(i) + " names period " + std::to_string(m->map_period);
        named[m->map_period] = true;
        const map_period_t &r = t->table_period[m->map_period];
        bool found = m->map_period == 0 && std::strlen(m->map_escape) == 1 &&
                     std::strlen(m->map_code) == 2; // a standard map
        for (const GeneratedMap &line : g.maps) {
            if (line.escape != m->map_escape || line.code != m->map_code ||
                line.direction != (m->map_mode & (MAP_IN | MAP_OUT)) ||
                (line.section < 0) != (m->map_period == 0))
                continue;
            if (line.section < 0) {
                found = true;
                continue;
            }
            const GeneratedSection &s = g.sections[static_cast<size_t>(line.section)];
            const uint8_t days = s.days == 0 ? 0xFF : s.days;
            const bool split = (days & DAY_HO) && (days & 0x7F);
            found =
                found || (r.period_hour == s.hour && r.period_minute == s.minute &&
                          (r.period_days == days ||
                           (split && (r.period_days == DAY_HO || r.period_days == (days & 0x7F)))));
        }
        if (!found)
            return "map " + std::to_string(i) + " " + m->map_escape + "=" + m->map_code +
                   " comes from no line of its period";
    }
    for (int p = 1; p < MAX_PERIODS; ++p)
        if ((p <= max) != named[p] || (p <= max) != (t->table_period[p].period_days != 0))
            return "period record " + std::to_string(p) + " (of " + std::to_string(max) + ")";
    return "";
}

TEST(GeneratedConfigurations, CompiledTablesKeepThePeriodRule) {
    PinnedClock clock;
    TempDir dir;
    const std::string cfg = dir.file("g.cfg"), bin = dir.file("g.bin");
    int compiled = 0;
    for (uint64_t seed = 1; seed <= 150; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ConfigKnobs k;
        k.sections = static_cast<unsigned>(seed * 7 % 64);
        k.empty_sections = static_cast<unsigned>(seed % 4);
        k.duplicate_sections = static_cast<unsigned>(seed * 3 % 7);
        k.holiday_sections = static_cast<unsigned>(seed * 5 % 6);
        k.maps = static_cast<unsigned>(20 + seed * 37 % 400);
        k.global_maps = static_cast<unsigned>(seed * 11 % 40);
        k.shared_maps = k.maps * static_cast<unsigned>(seed % 5) / 5;
        k.standard_maps = seed % 3 != 0;
        k.optimize = seed % 11 != 0;
        const GeneratedConfig g = generate_config(seed, k);
        write_file(cfg, g.text);
        const int result = mkconf(cfg.c_str(), bin.c_str(), 1);
        if (result == -1)
            continue; // more sections than period records after separation
        ASSERT_EQ(result, 0);
        ++compiled;
        std::string image = read_file(bin);
        const std::string first = image;
        image.resize(kTableSize, '\xFF');
        EXPECT_EQ(table_fault(g, reinterpret_cast<const table_t *>(image.data())), "");
        ASSERT_EQ(mkconf(cfg.c_str(), bin.c_str(), 1), 0);
        EXPECT_EQ(read_file(bin), first); // the same table in every run
    }
    EXPECT_GT(compiled, 120);
}

// Compiles `source`, then decompiles and compiles twice: the two decompiled
// files are equal, and so are the second and third tables.  Returns the
// first decompiled text.
std::string round_trip(const std::string &source) {
    TempDir dir;
    const std::string cfg[3] = {dir.file("0.cfg"), dir.file("1.cfg"), dir.file("2.cfg")};
    const std::string bin[3] = {dir.file("1.bin"), dir.file("2.bin"), dir.file("3.bin")};
    write_file(cfg[0], source);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mkconf(cfg[i].c_str(), bin[i].c_str(), 1), 0) << i;
        if (i < 2) {
            EXPECT_EQ(mkconf(cfg[i + 1].c_str(), bin[i].c_str(), 0), 0) << i;
        }
    }
    EXPECT_EQ(read_file(cfg[1]), read_file(cfg[2]));
    EXPECT_EQ(read_file(bin[1]), read_file(bin[2]));
    return read_file(cfg[1]);
}

TEST(GeneratedConfigurations, DecompiledFilesCompileToTheSameTable) {
    PinnedClock clock(kDec4th2026);
    const std::string example =
        round_trip(read_file(std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg"));
    EXPECT_NE(example.find("\nPABXName=Hanse Logistik Bremen"), std::string::npos);
    for (uint64_t seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        ConfigKnobs knobs;
        knobs.sections = static_cast<unsigned>(seed % 9);
        knobs.empty_sections = static_cast<unsigned>(seed % 2);
        knobs.duplicate_sections = static_cast<unsigned>(seed % 3 == 0);
        knobs.holiday_sections = static_cast<unsigned>(seed % 4 == 1);
        knobs.maps = 20 + static_cast<unsigned>(seed * 7 % 120);
        knobs.standard_maps = seed % 5 != 0;
        knobs.optimize = seed % 7 != 0;
        knobs.settings = seed % 3 != 1;
        const GeneratedConfig config = generate_config(seed, knobs);
        // The first map line of each of these seeds is kept and written back.
        const GeneratedMap &first = config.maps.front();
        EXPECT_NE(round_trip(config.text).find(first.escape + "=" + first.code), std::string::npos);
    }
}

} // namespace
} // namespace vorn::test
