// The minute-model charge scanner: how named charge parameters are read,
// rounded, capped and packed into the 32-bit charge word.
#include "parser/parser.h"
#include "tabletext/map_text.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;

struct Fields {
    unsigned m1, s1, t1, m2, s2, i;
    bool operator==(const Fields &) const = default;
};

Fields fields_of(uint32_t w) {
    return {w & 0x7F, (w >> 16) & 7, (w >> 11) & 0x1F, w >> 19, (w >> 7) & 3, (w >> 9) & 3};
}

std::ostream &operator<<(std::ostream &os, const Fields &f) {
    return os << "M1=" << f.m1 << " S1=" << f.s1 << " T1=" << f.t1 << " M2=" << f.m2
              << " S2=" << f.s2 << " I=" << f.i;
}

int scan(std::vector<std::string> words, uint32_t *word, uint32_t *unit = nullptr) {
    std::vector<char *> list;
    for (std::string &w : words)
        list.push_back(w.data());
    list.push_back(nullptr);
    return scan_charge_parameter(list.data(), word, unit);
}

TEST(ChargeScanner, PackingRoundingAndCaps) {
    struct Row {
        std::vector<std::string> words;
        Fields fields;
    };
    const Row rows[] = {
        {{"M1=0.12", "T1=60", "I=30"}, {12, 0, 2, 120, 0, 2}},
        {{"M1", "0.12", "T1", "60", "I", "30"}, {12, 0, 2, 120, 0, 2}},
        {{"M1=2"}, {127, 0, 0, 1270, 0, 0}},
        {{"m1=0,125"}, {13, 0, 0, 125, 0, 0}},
        {{"I=20"}, {0, 0, 0, 0, 0, 1}},
        {{"I=0"}, {0, 0, 0, 0, 0, 0}},
        {{"I=120"}, {0, 0, 0, 0, 0, 3}},
        {{"T1=1000"}, {0, 0, 31, 0, 0, 0}},
        {{"T1=14"}, {0, 0, 0, 0, 0, 0}},
        {{"T1=15"}, {0, 0, 1, 0, 0, 0}},
        {{"M1=0.10", "S1=0.5"}, {10, 5, 0, 100, 0, 0}},
        {{"M1=0.10", "S1=0.9"}, {10, 5, 0, 100, 0, 0}},
        {{"M1=0.10", "S1=0.2", "S2=0.1"}, {10, 2, 0, 100, 1, 0}},
        {{"M2=0.050", "S2=0.1"}, {0, 0, 0, 50, 2, 0}}, // S2 in steps of M2 without M1
        {{"U1", "ST1"}, {0, 6, 0, 0, 0, 0}},
        {{"ST1"}, {0, 7, 0, 0, 0, 0}},
        {{"ST2", "S2=1"}, {0, 0, 0, 0, 3, 0}},
        {{"M1=0.12345"}, {0, 0, 0, 0, 0, 0}},
        {{"M1=X", "0.12"}, {0, 0, 0, 0, 0, 0}}, // the value word is skipped
        {{"M1=0.05", "M1=0.07", "FOO", "T1"}, {7, 0, 0, 70, 0, 0}},
        {{"M2=99"}, {0, 0, 0, 8191, 0, 0}},
        {{"M1=.5"}, {50, 0, 0, 500, 0, 0}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.words.front());
        uint32_t w = 0xDEADBEEF;
        ASSERT_EQ(scan(row.words, &w), 0);
        EXPECT_EQ(fields_of(w), row.fields);
    }
}

TEST(ChargeScanner, EmptyListsAndTheUnit) {
    uint32_t w = 1;
    EXPECT_EQ(scan({}, &w), -1);
    EXPECT_EQ(scan({"", "M1=1"}, &w), -1);
    EXPECT_EQ(scan_charge_parameter(nullptr, &w, nullptr), -1);
    EXPECT_EQ(w, 0u);

    uint32_t unit = 7;
    EXPECT_EQ(scan({"U=1.5", "M1=0.1"}, &w, &unit), 0);
    EXPECT_EQ(unit, 1500u);
    EXPECT_EQ(fields_of(w).m1, 10u);
    EXPECT_EQ(scan({"U1"}, &w, &unit), -1); // U1 needs a U value when one is asked for
    EXPECT_EQ(scan({"U1", "U=2"}, &w, &unit), 0);
    EXPECT_EQ(scan({"U1"}, &w), 0);

    EXPECT_EQ(charge_interval_seconds(0u << 9), 5u);
    EXPECT_EQ(charge_interval_seconds(1u << 9), 15u);
    EXPECT_EQ(charge_interval_seconds(3u << 9), 60u);
}

} // namespace
