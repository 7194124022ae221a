// Period lines: time and day-mask notations, reuse of an entry, the last
// free entry, and the map ranges of the sections.
#include "parser/parse_state.h"
#include "parser/period_block.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;

struct Period {
    int result;
    uint32_t period;
};

Period period_line(const std::string &line, mpde_t *block, uint32_t map_count) {
    LineWords w;
    EXPECT_EQ(parse_line(line.c_str(), w), 0);
    uint32_t period = 99;
    const int r = mk_period(w.tokens, block, map_count, &period);
    return {r, period};
}

TEST(Periods, TimesAndDayMasks) {
    struct Row {
        const char *line;
        int result;
        int hour, minute, days;
    };
    const Row rows[] = {
        {"[08:00] MO TU WE TH FR", 0, 8, 0, 0x3E},
        {"[08:00] 3E", 0, 8, 0, 0x3E},
        // Three or more characters are read as binary digits: 0x3E stops at x.
        {"[08:00] 0x3E", 0, 8, 0, 0xFF},
        {"[08:00] 00111110", 0, 8, 0, 0x3E},
        {"[8.30]", 0, 8, 30, 0xFF},
        {"[18:00] sa so", 0, 18, 0, 0x41},
        {"[00:00] HO", 0, 0, 0, 0x80},
        {"[00:00] FE", 0, 0, 0, 0x80},
        {"[07:15] Monday Dienstag MIttwoch", 0, 7, 15, 0x0E},
        {"[25:99] MO", 0, 25, 99, 0x02}, // no range check
        {"[10:00] 00", 0, 10, 0, 0xFF},  // a zero mask means every day
        {"[10:00] MO XX", -1, 0, 0, 0},
        {"[10:00] 3", -1, 0, 0, 0}, // one character is a (bad) day name
        {"[10] MO", -1, 0, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        mpde_t block[kPeriodBlockEntries] = {};
        const Period p = period_line(row.line, block, 0);
        EXPECT_EQ(p.result, row.result);
        if (row.result != 0) {
            EXPECT_EQ(block[1].mpde_days, 0);
            continue;
        }
        EXPECT_EQ(p.period, 1u);
        EXPECT_EQ(block[1].mpde_hour, row.hour);
        EXPECT_EQ(block[1].mpde_minute, row.minute);
        EXPECT_EQ(block[1].mpde_days, row.days);
        EXPECT_EQ(block[0].mpde_days, 0xFF);
    }
}

TEST(Periods, SectionsReuseAndTheLastEntry) {
    mpde_t block[kPeriodBlockEntries] = {};
    // Maps 0..2 are time independent, 3..4 in the first section; the second
    // period line comes right after the third, which gives up its entry.
    EXPECT_EQ(period_line("[08:00] MO", block, 3).period, 1u);
    EXPECT_EQ(period_line("[18:00] MO", block, 5).period, 2u);
    EXPECT_EQ(period_line("[20:00] SA", block, 5).period, 2u);
    EXPECT_EQ(block[2].mpde_hour, 20);
    EXPECT_EQ(block[2].mpde_days, 0x40);
    EXPECT_EQ(std::vector<uint32_t>({block[0].mpde_first_map, block[0].mpde_last_map,
                                     block[1].mpde_first_map, block[1].mpde_last_map,
                                     block[2].mpde_first_map}),
              std::vector<uint32_t>({0, 2, 3, 4, 5}));

    // A file that begins with a period: entry 0 has no maps.
    mpde_t fresh[kPeriodBlockEntries] = {};
    period_line("[08:00]", fresh, 0);
    EXPECT_EQ(uint32_t{fresh[0].mpde_last_map}, kNoMap); // a copy: the field is packed

    // 63 sections fit; the 64th has no entry.
    mpde_t full[kPeriodBlockEntries] = {};
    for (uint32_t i = 0; i < 63; ++i)
        ASSERT_EQ(period_line("[08:00] MO", full, i + 1).period, i + 1);
    EXPECT_EQ(period_line("[08:00] MO", full, 100).result, -3);
    // ...but a line right after the last one still reuses it.
    EXPECT_EQ(period_line("[09:00] MO", full, 63).period, 63u);
}

} // namespace
