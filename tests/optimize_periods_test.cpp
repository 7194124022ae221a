// Periods and the index on tables built by hand: ranges without period
// lines, period numbers that damaged maps name, the two cases of a period of
// all days and holidays, and the escape-length index from any first map
// with its listing text.  Order, join and separation as configurations
// reach them are tested through mkconf.
#include "optimize/optimize.h"
#include "support/map_builder.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"

#include <cstdio>
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

struct Section {
    uint8_t hour, minute, days;
    int maps;
};

// Maps of each section (0 = time independent) in file order, with escapes
// "ssjj" (section, map), and the period block as the parser leaves it.
struct Compiled {
    WorkTable t;
    PeriodBlock block;
    Registered reg{t.get()};

    explicit Compiled(const std::vector<Section> &sections) {
        std::vector<MapSpec> maps;
        for (size_t s = 0; s < sections.size(); ++s) {
            const auto first = static_cast<uint32_t>(maps.size());
            for (int j = 0; j < sections[s].maps; ++j) {
                char escape[48];
                std::snprintf(escape, sizeof escape, "%02zu%02d", s, j);
                maps.push_back(
                    {escape, escape, MAP_OUT | MAP_VOICE | MAP_DATA, static_cast<uint8_t>(s)});
            }
            block.set(static_cast<unsigned>(s), sections[s].hour, sections[s].minute,
                      sections[s].days, first, static_cast<uint32_t>(maps.size()) - 1);
        }
        test::put_maps(t.get(), maps);
        t->table_max_period_entries = static_cast<int16_t>(sections.size() - 1);
    }

    // Period numbers of a section's maps, in slot order.
    std::vector<int> periods_of(size_t section) const {
        std::vector<int> out;
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "%02zu", section);
        for (int i = 0; i < const_cast<WorkTable &>(t).get()->table_used_map_entries; ++i) {
            const map_t *m =
                table_map_slot(const_cast<WorkTable &>(t).get(), static_cast<size_t>(i));
            if (std::strncmp(m->map_escape, prefix, 2) == 0)
                out.push_back(m->map_period);
        }
        return out;
    }

    std::vector<std::string> records() const {
        std::vector<std::string> out;
        for (int p = 1; p <= const_cast<WorkTable &>(t).get()->table_max_period_entries; ++p) {
            const map_period_t &r = const_cast<WorkTable &>(t).get()->table_period[p];
            char text[16];
            std::snprintf(text, sizeof text, "%02u:%02u/%02X", r.period_hour, r.period_minute,
                          r.period_days);
            out.push_back(text);
        }
        return out;
    }
};

TEST(PeriodNumbering, WithoutPeriodLinesEntryZeroCoversAllMaps) {
    Compiled c({{0, 0, 0, 3}});
    EXPECT_EQ(period_index(c.t.get(), c.block.entries), 1);
    EXPECT_EQ(uint32_t{c.block[0].mpde_first_map}, 0u);
    EXPECT_EQ(uint32_t{c.block[0].mpde_last_map}, 2u);
    EXPECT_EQ(period_join(c.t.get(), c.block.entries), 1);
    EXPECT_EQ(c.t->table_period[0].period_days, 0xFF);
    EXPECT_EQ(c.t->table_max_period_entries, 0);
}

TEST(PeriodNumbering, MapsNamingNoSectionBecomeTimeIndependent) {
    Compiled c({{0, 0, 0xFF, 1}, {8, 0, 0x3E, 2}});
    table_map_slot(c.t.get(), 1)->map_period = 9;   // beyond the sections
    table_map_slot(c.t.get(), 2)->map_period = 255; // beyond the block
    test::TraceCapture cap;
    test::DebugOn debug;
    handle_periods(c.t.get(), c.block.entries);
    EXPECT_TRUE(cap.contains("period_index: invalid map_index 9!!!\n"));
    EXPECT_TRUE(cap.contains("fill mpde map[0001]:"));
    EXPECT_EQ(c.t->table_max_period_entries, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(table_map_slot(c.t.get(), static_cast<size_t>(i))->map_period, 0) << i;
    EXPECT_EQ(test::period_rule_violation(c.t.get()), "");
}

TEST(PeriodNumbering, AllDaysAndHolidaysSplitOnlyBeforeWeekdaysOfItsStart) {
    LineWords work;
    Compiled alone({{0, 0, 0xFF, 1}, {8, 0, 0xFF, 2}});
    handle_periods(alone.t.get(), alone.block.entries);
    EXPECT_EQ(period_separation(alone.t.get(), alone.block.entries, work), 0);

    Compiled before({{0, 0, 0xFF, 1}, {8, 0, 0xFF, 2}, {8, 0, 0x02, 1}});
    handle_periods(before.t.get(), before.block.entries);
    test::TraceCapture cap;
    test::DebugOn debug;
    EXPECT_EQ(period_separation(before.t.get(), before.block.entries, work), 2);
    EXPECT_TRUE(cap.contains("period_separation: found overlapped W_HOLIDAY with WEEKDAY\n"));
    EXPECT_TRUE(cap.contains("PERIOD[03] (0800-01111111) m=04-04\n"));
    handle_periods(before.t.get(), before.block.entries);
    EXPECT_EQ(before.records(), (std::vector<std::string>{"08:00/80", "08:00/02", "08:00/7F"}));
    EXPECT_EQ(before.periods_of(1), (std::vector<int>{1, 1, 3, 3}));
    EXPECT_EQ(test::period_rule_violation(before.t.get()), "");
}

TEST(EscapeIndex, IndexAndRanks) {
    struct Row {
        const char *name;
        std::vector<const char *> escapes;
        unsigned from;
        std::string listing;    // what index_map writes to the .map file
        std::vector<int> ranks; // rank of each map afterwards
    };
    const Row rows[] = {
        {"0711, 0711, 07",
         {"0711", "0711", "07"},
         0,
         ";table_map_esclen[0..12]=\n;\t03 1569 02 1569 00 1569 1569 1569 1569 1569 1569 1569 "
         "1569 \n",
         {4, 2, 0}},
        {"no maps",
         {},
         0,
         ";table_map_esclen[0..12]=\n;\t00 1569 1569 1569 1569 1569 1569 1569 1569 1569 1569 "
         "1569 1569 \n",
         {}},
        {"from map 2: lengths only below it keep 1569",
         {"0711", "0712", "07", "08"},
         2,
         ";table_map_esclen[0..12]=\n;\t04 1569 02 1569 1569 1569 1569 1569 1569 1569 1569 1569 "
         "1569 \n",
         {15, 15, 1, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        WorkTable t;
        std::vector<MapSpec> maps;
        for (const char *e : row.escapes)
            maps.push_back({e, "1"});
        test::put_maps(t.get(), maps);
        std::memset(table_map_slot(t.get(), maps.size()), 0, sizeof(map_t)); // the end slot
        for (size_t i = 0; i < maps.size(); ++i)
            set_map_rank(*table_map_slot(t.get(), i), 15); // stays below `from`

        std::FILE *listing = std::tmpfile();
        ASSERT_NE(listing, nullptr);
        EXPECT_EQ(index_map(t.get(), row.from, listing), 0);
        std::rewind(listing);
        char buffer[512] = {};
        EXPECT_EQ(std::string(buffer, std::fread(buffer, 1, sizeof buffer, listing)), row.listing);
        std::fclose(listing);
        for (size_t i = 0; i < maps.size(); ++i) {
            EXPECT_EQ(map_rank(*table_map_slot(t.get(), i)), row.ranks[i]) << i;
            EXPECT_EQ(map_esclen(*table_map_slot(t.get(), i)), std::strlen(row.escapes[i]));
        }
    }
}

} // namespace
