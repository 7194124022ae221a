// The optimisation phase as the compiler runs it: Optimize Off, the passes
// with separation and join, the .del listing beside the configuration, and
// the two ways separation can run out of room.
#include "frame/frame.h"
#include "optimize/optimize.h"
#include "support/map_builder.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using test::MapSpec;
using test::PeriodBlock;
using test::Registered;
using test::WorkTable;

constexpr uint8_t kOutBoth = MAP_OUT | MAP_VOICE | MAP_DATA;

// A parse as the parser hands it over: maps in file order without lengths,
// the period block, the option byte.
struct Parsed {
    WorkTable t;
    PeriodBlock block;
    Registered reg{t.get()};
    ParseState ps;
    char err_str[500] = {};

    Parsed(const std::vector<MapSpec> &maps, int max_period) {
        test::put_maps(t.get(), maps);
        for (size_t i = 0; i < maps.size(); ++i)
            set_map_esclen(*table_map_slot(t.get(), i), 0);
        t->table_max_period_entries = static_cast<int16_t>(max_period);
        block[0].mpde_days = 0xFF;
        ps.table = t.get();
        ps.mpde = block.entries;
    }

    ListingFile map_listing{"mfp"};

    int run(const char *cfgfile = nullptr) {
        return optimize_maps(ps, cfgfile, err_str, sizeof err_str, map_listing);
    }
};

std::vector<uint8_t> slot_bytes(table_t *table, unsigned index) {
    const auto *b = reinterpret_cast<const uint8_t *>(table_map_slot(table, index));
    return {b, b + sizeof(map_t)};
}

// Listings on for the calling thread while it lives.
struct ListingsOn {
    ListingsOn() { set_optimize_files(1); }
    ~ListingsOn() { set_optimize_files(0); }
};

TEST(OptimizePhase, OptimizeOffKeepsEveryMapAndClosesTheArray) {
    Parsed p({{"0711", "1"}, {"0711", "1"}, {"5", "2", kOutBoth, 1}, {"5", "2", kOutBoth, 0}}, 1);
    p.block.set(1, 8, 0, 0x3E, 2, 2);
    p.ps.option_byte = OPT_OPTIMIZE_OFF;
    EXPECT_EQ(p.run(), kOptimizeOk);
    EXPECT_EQ(p.t->table_used_map_entries, 4);
    EXPECT_EQ(test::map_texts(p.t.get()),
              (std::vector<std::string>{"0711/1/0", "0711/1/0", "5/2/0", "5/2/1"}));
    EXPECT_EQ(slot_bytes(p.t.get(), 4), std::vector<uint8_t>(40, 0));
    EXPECT_EQ(slot_bytes(p.t.get(), 5), std::vector<uint8_t>(40, 0xFF));
    EXPECT_EQ(map_esclen(*table_map_slot(p.t.get(), 0)), 4);
    EXPECT_EQ(test::period_rule_violation(p.t.get()), "");
}

TEST(OptimizePhase, PassesSeparateJoinAndRemoveUntilNothingIsLeft) {
    // Sundays and holidays from 18:00, and a Sunday section of the same
    // start: the weekday half of the first joins the second, where the copy
    // of 0711 meets the section's own 0711.
    Parsed p({{"0800", "5"},
              {"0711", "7", kOutBoth, 1},
              {"0049", "7", kOutBoth, 1},
              {"0711", "7", kOutBoth, 2},
              {"0031", "3", kOutBoth, 2}},
             2);
    p.block.set(1, 18, 0, 0x81, 1, 2);
    p.block.set(2, 18, 0, 0x01, 3, 4);
    test::TraceCapture cap;
    test::DebugOn debug;
    EXPECT_EQ(p.run(), kOptimizeOk);

    EXPECT_EQ(p.t->table_max_period_entries, 2);
    EXPECT_EQ(p.t->table_period[1].period_days, 0x80);
    EXPECT_EQ(p.t->table_period[2].period_days, 0x01);
    EXPECT_EQ(test::map_texts(p.t.get()),
              (std::vector<std::string>{"0031/3/2", "0049/7/1", "0049/7/2", "0711/7/1", "0711/7/2",
                                        "0800/5/0"}));
    EXPECT_EQ(test::period_rule_violation(p.t.get()), "");
    EXPECT_EQ(slot_bytes(p.t.get(), 6), std::vector<uint8_t>(40, 0));
    EXPECT_EQ(slot_bytes(p.t.get(), 7), std::vector<uint8_t>(40, 0xFF));
    EXPECT_TRUE(
        cap.contains("period_separation: 2 entries separated: last map = 6, periods = 3\n"));
    EXPECT_TRUE(cap.contains("#1423: Sort and optimize 3 _____________\n"));
    EXPECT_FALSE(cap.contains("Sort and optimize 4"));
}

TEST(OptimizePhase, DelListingBesideTheConfiguration) {
    test::TempDir dir;
    const std::string cfg = dir.file("box.cfg");
    ListingsOn on;
    Parsed p({{"0711", "1"}, {"0711", "2"}, {"49", "1"}}, 0);
    ASSERT_EQ(p.run(cfg.c_str()), kOptimizeOk);
    ASSERT_NE(p.map_listing.file, nullptr);
    EXPECT_EQ(p.map_listing.path, dir.file("box.map"));
    EXPECT_TRUE(p.map_listing.close());
    EXPECT_EQ(test::read_file(dir.file("box.map")), "");
    EXPECT_EQ(test::read_file(dir.file("box.del")),
              "deleted maps:\n"
              "==   : identical\n"
              "==^t : identical except from time period\n"
              "==^c : identical without charge\n"
              "t*   : identical with time independent mapping\n"
              "opt  : optimized\n"
              "\n"
              "==   map[0001]: l04 r00 mC2 i00(0000-11111111) esc:0711         code:1\n"
              "1 maps deleted\n"
              "\n");
}

TEST(OptimizePhase, SeparationOutOfRoomEndsWithTooManyEntries) {
    test::TempDir dir;
    const std::string cfg = dir.file("big.cfg");
    struct Row {
        const char *name;
        int global_maps, holiday_maps, periods;
        const char *message;
    };
    const Row rows[] = {
        {"working slots", 2000, 3000, 1, "Too many entries! (+9930)@"},
        {"period records", 1, 63, 63, "Too many entries! (+32 periods)@"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<MapSpec> maps;
        for (int i = 0; i < row.global_maps; ++i)
            maps.push_back({std::to_string(1000000 + i), "1"});
        for (int i = 0; i < row.holiday_maps; ++i)
            maps.push_back({std::to_string(2000000 + i), "1", kOutBoth,
                            static_cast<uint8_t>(row.periods == 1 ? 1 : 1 + i)});
        Parsed p(maps, row.periods);
        for (int e = 1; e <= row.periods; ++e)
            p.block.set(static_cast<unsigned>(e), static_cast<uint8_t>(e), 0,
                        row.periods == 1 || e % 2 ? 0x81 : 0x02, 0, 0);
        ListingsOn on;
        EXPECT_EQ(p.run(cfg.c_str()), kOptimizeTooManyEntries);
        EXPECT_STREQ(p.err_str, row.message);
        EXPECT_EQ(p.map_listing.file, nullptr);
        EXPECT_EQ(test::read_file(dir.file("big.map")), "");
    }
}

} // namespace
