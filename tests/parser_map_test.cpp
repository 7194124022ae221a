// Map lines: directions, services, charges, cuts, ORG, call-back escapes,
// the minute model and the standard maps around the maps of the file.
#include "parser/parser.h"
#include "support/config_parse.h"
#include "support/table_builder.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using test::parse_config;
using test::Parsed;

TEST(MapLines, FieldsOfTheFirstMap) {
    struct Row {
        const char *line;
        int result;
        const char *escape;
        const char *code;
        int mode, period, start, add, time;
    };
    const Row rows[] = {
        {"MapOut0049=0", 0, "0049", "0", 0xC2, 0, 0, 0, 0},
        {"MapIn123=456 VOICE 30", 0, "123", "456", 0x41, 0, 0, 0, 3000},
        {"MapIn123=456 30.5 2/1", 0, "123", "456", 0xC1, 0, 2, 1, 3050},
        {"MapIn123=456 30.05", 0, "123", "456", 0xC1, 0, 0, 0, 3005},
        {"MapIn123=456 30.123", 0, "123", "456", 0xC1, 0, 0, 0, 3012},
        {"MapIn123=456 data 12,5 1/300", 0, "123", "456", 0x81, 0, 1, 44, 1250},
        {"MapIn1=2 30 5", -5, "1", "2", 0xC1, 0, 0, 0, 3000}, // no "/" in the units
        {"MapAll7=8 DATA", 0, "7", "8", 0x83, 0, 0, 0, 0},
        {"MapOut0=1 COMPRESS", 0, "0", "1", 0x12, 0, 0, 0, 0},
        {"MapOut0=1 DTMF", 0, "0", "1", 0x62, 0, 0, 0, 0},
        {"MapOut0=1 SCALL", 0, "0", "1", 0x72, 0, 0, 0, 0},
        {"MapOut0=1 DIRECT", 0, "0", "1", 0x62, 0, 0, 0, 0},
        {"MapOut0=1 DDIRECT", 0, "0", "1", 0xA2, 0, 0, 0, 0},
        {"MapOut0=1 CHARGE", 0, "0", "1", 0xD2, 0, 0, 0, 0},
        {"MapOut0=1 FOO", -5, "0", "1", 0xC2, 0, 0, 0, 0},
        {"MapIn1=2 ORG", 0, "1", "2", 0xC1, 0, 0, 0, 0xFFFF},
        {"MapIn1=2 VOICE ORG", 0, "1", "2", 0x41, 0, 0, 0, 0xFFFF},
        {"CmpMSN=123 456", 0, "123", "456", 0x00, 0, 0, 0, 0},
        {"MapCallBackIn1=0711", 0, "0711", "8c", 0xC5, 0, 0, 0, 0},
        {"MapCallBackIn2=0711 VOICE", 0, "0711", "8c", 0x49, 0, 0, 0, 0},
        {"MapCallBackIn7=0711", 0, "0711", "8c", 0xCD, 0, 0, 0, 0},
        {"MapCallBackIn1=2 ORG", -5, "2", "8c", 0xC5, 0, 0, 0, 0},
        {"MapCallBackOut1001=0800 DATA 60 1/1", 0, "001", "0800", 0xC6, 0, 1, 1, 6000},
        {"MapCallBackOut1123X=9", 0, "123", "9", 0xC6, 0, 0, 0, 0},
        {"MapCallBackOut2=5", -5, "???", "5", 0xCA, 0, 0, 0, 0},
        {"MapCallBackOut3-1=5", -5, "???", "5", 0xCE, 0, 0, 0, 0},
        {"MapCallBackOut", 0, nullptr, nullptr, 0, 0, 0, 0, 0}, // no value: skipped
        {"MapOut1234567890123=1", -4, "123456789012", "1", 0xC2, 0, 0, 0, 0},
        {"MapOut1=12345678901234567890", -4, "1", "1234567890123456789", 0xC2, 0, 0, 0, 0},
        {"[08:00] MO\nMapOut1=2", 0, "1", "2", 0xC2, 1, 0, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        const Parsed p = parse_config(std::string(row.line) + "\n");
        EXPECT_EQ(p.result, row.result) << p.err_str;
        const map_t &m = p.map(0);
        if (row.escape == nullptr) {
            EXPECT_STREQ(m.map_escape, "0"); // a standard map
            continue;
        }
        EXPECT_STREQ(m.map_escape, row.escape);
        EXPECT_STREQ(m.map_code, row.code);
        EXPECT_EQ(m.map_mode, row.mode);
        EXPECT_EQ(m.map_period, row.period);
        EXPECT_EQ(m.map_charge_start, row.start);
        EXPECT_EQ(m.map_charge_add, row.add);
        EXPECT_EQ(m.map_time, row.time);
        EXPECT_EQ(m.map_esclen_rank, 0);
    }
}

TEST(MapLines, BarCodesAndTheMapLimit) {
    // The bar is kept as bit 7 of the first digit; a bar alone marks the
    // terminator, which still ends the code.
    const Parsed p = parse_config("MapOut1=|0049\nMapOut2=|\n");
    EXPECT_EQ(std::string(p.map(0).map_code), "\xB0"
                                              "049");
    EXPECT_EQ(static_cast<uint8_t>(p.map(1).map_code[0]), 0x80);
    EXPECT_EQ(p.map(1).map_code[1], 0);

    test::WorkTable t;
    uint32_t count = MAX_WORK_MAP_ENTRIES - 1;
    const uint32_t period = 0;
    EXPECT_EQ(mk_map(t.get(), &count, "1", &period, "2", nullptr, MAP_OUT, nullptr), 0);
    EXPECT_EQ(mk_map(t.get(), &count, "1", &period, "2", nullptr, MAP_OUT, nullptr), MK_MAP_FULL);
    EXPECT_EQ(count, static_cast<uint32_t>(MAX_WORK_MAP_ENTRIES));
    EXPECT_EQ(static_cast<uint8_t>(table_map_slot(t.get(), MAX_WORK_MAP_ENTRIES)->map_escape[0]),
              0xFF);
    EXPECT_EQ(mk_map(nullptr, &count, "1", &period, "2", nullptr, MAP_OUT, nullptr), MK_MAP_SYNTAX);
}

TEST(MapLines, MinuteModelChargeWords) {
    const Parsed p = parse_config("MapOut1=2 30 1/2\n"
                                  "Currency=AOCC 1 1 X M\n"
                                  "MapOut1=2 M1=0.12 T1=60 I=30\n"
                                  "MapOut3=4 FOO M1=0,125\n"
                                  "MapOut5=6 VOICE ORG\n"
                                  "MapOut7=8 DATA\n");
    ASSERT_EQ(p.result, 0) << p.err_str;
    // The map before the Currency line keeps the plain charge words.
    EXPECT_EQ(p.map(0).map_time, 3000);
    EXPECT_EQ(p.map(0).map_charge_add, 2);
    const uint32_t m2_from_m1 = 120u << 19;
    EXPECT_EQ(map_charge_word(p.map(1)), 12u | (2u << 11) | (2u << 9) | m2_from_m1);
    // An unknown service word is a charge word in this model.
    EXPECT_EQ(p.map(2).map_mode, 0xC2);
    EXPECT_EQ(map_charge_word(p.map(2)), 13u | (125u << 19));
    EXPECT_EQ(p.map(3).map_time, 0xFFFF);
    EXPECT_EQ(map_charge_word(p.map(4)), 0u);
}

TEST(MapLines, StandardMapsOptionsRestrictAndPTarget) {
    auto escapes = [](const Parsed &p) {
        std::string out;
        for (int i = 0; i < p.used(); ++i) {
            out += p.map(static_cast<size_t>(i)).map_escape;
            out += (p.map(static_cast<size_t>(i)).map_mode & MAP_IN) ? "i " : "o ";
        }
        return out;
    };
    const std::string out_maps = "0o 1o 2o 3o 4o 5o 6o 7o 8o 9o ";
    const std::string in_maps = "0i 1i 2i 3i 4i 5i 6i 7i 8i 9i ";
    struct Row {
        const char *lines;
        std::string escapes;
    };
    const Row rows[] = {
        {"", out_maps + in_maps},
        {"OPTIONS=NoStandardMaps,LogCDR\nMapOut1=2\n", "1o "},
        {"OPTIMIZE=NOSTANDARDMAPS\n", ""},
        {"Restrict9=8\n", out_maps},
        {"Restrict9=7\n", out_maps + in_maps},
        {"Redirect1123=5\n", out_maps + "Po " + in_maps},
        {"Redirect3123=P 7\nRestrict9=8\n", out_maps + "Po "},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.lines);
        const Parsed p = parse_config(row.lines);
        ASSERT_EQ(p.result, 0) << p.err_str;
        EXPECT_EQ(escapes(p), row.escapes);
    }
    const Parsed p = parse_config("Redirect1123=5\n");
    EXPECT_STREQ(p.map(10).map_code, "9");
    EXPECT_EQ(p.map(10).map_mode, 0xC2);
}

TEST(MapLines, KeyPrefixesOfTheSettingsRows) {
    const Parsed p = parse_config("DTMFCounter=12\nOwnMSN2=77\nOwnMSN=55\nOwnMSN=\n"
                                  "MapCallBackWaitAlert=9\nMapCallBackFoo=1\n");
    ASSERT_EQ(p.result, 0) << p.err_str;
    EXPECT_EQ(p.table().table_dtmf.dtmf_count, 12);
    EXPECT_STREQ(p.table().table_reserved.table_own_msn, "55");
    EXPECT_EQ(p.table().table_mapcb.mapcb_wait_alert, 9);
}

} // namespace
