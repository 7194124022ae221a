// The shared map text: the map line of traces and listings, the minute-model
// charge words, the subscriber lines and the date text.
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "tabletext/map_text.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::written_text;

map_t make_map(const char *escape, const char *code, uint8_t mode, uint8_t period) {
    map_t m;
    std::memset(&m, 0, sizeof m);
    std::strncpy(m.map_escape, escape, sizeof m.map_escape);
    std::strncpy(m.map_code, code, sizeof m.map_code);
    m.map_mode = mode;
    m.map_period = period;
    set_map_esclen(m, static_cast<unsigned>(std::strlen(escape)));
    return m;
}

TEST(MapText, MapLineInBothChargeModels) {
    test::WorkTable t;
    t->table_period[1] = {8, 30, 0x3E};
    // Period 70 lies past the 64 records: its bytes are holiday slot 6.
    auto *bytes = t.bytes();
    bytes[offsetof(table_t, table_period) + 3 * 70] = 23;
    bytes[offsetof(table_t, table_period) + 3 * 70 + 1] = 59;
    bytes[offsetof(table_t, table_period) + 3 * 70 + 2] = 0x81;

    struct Row {
        const char *name;
        map_t map;
        bool minute_model;
        const char *prefix;
        std::string file;
    };
    map_t charged = make_map("0711", "01019", 0x02, 1);
    set_map_rank(charged, 2);
    charged.map_time = 1250;
    charged.map_charge_start = 1;
    charged.map_charge_add = 2;
    map_t org = make_map("0049", "|", 0x43, 0);
    org.map_time = MAP_TIME_ORG;
    map_t free_of_charge = make_map("1", "2", 0x01, 70);
    free_of_charge.map_charge_start = 5;
    free_of_charge.map_charge_add = 5;
    map_t long_escape = make_map("", "9", 0x80, 0);
    std::memcpy(long_escape.map_escape, "1234567890123", 13); // no terminator
    std::memset(long_escape.map_code, '7', sizeof long_escape.map_code);
    map_t minute = make_map("0800", "", 0x03, 0);
    set_map_charge_word(minute, 0x03C0140C); // M1 12, I 2, T1 2, M2 120
    map_t minute_free = make_map("0800", "", 0x03, 0);

    const Row rows[] = {
        {"charge", charged, false, "",
         "map[0003]: l04 r02 m02 i01(0830-00111110) esc:0711         code:01019 c12.50 1/2\n"},
        {"ORG in the minute model", org, true,
         "==   ", "==   map[0003]: l04 r00 m43 i00(0000-00000000) esc:0049         code:| ORG\n"},
        {"no charge, period past the records", free_of_charge, false, "t*   ",
         "t*   map[0003]: l01 r00 m01 i70(2359-10000001) esc:1            code:2\n"},
        {"unterminated escape and code", long_escape, false, "",
         "map[0003]: l00 r00 m80 i00(0000-00000000) esc:123456789012 code:" + std::string(20, '7') +
             "\n"},
        {"charge words", minute, true, "",
         "map[0003]: l04 r00 m03 i00(0000-00000000) esc:0800         code: M1=0.12 T1=60 "
         "M2=0.12 I=30 ;(03c0140c)\n\n"},
        {"minute model without charge", minute_free, true, "",
         "map[0003]: l04 r00 m03 i00(0000-00000000) esc:0800         code:\n"},
    };
    test::TraceCapture cap;
    test::DebugOn debug;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        t->table_reserved.table_options = row.minute_model ? OPT_MINUTE_MODEL : 0;
        cap.clear();
        EXPECT_EQ(written_text(
                      [&](std::FILE *f) { print_map_entry(t.get(), row.prefix, &row.map, 3, f); }),
                  row.file);
        // The trace carries the same line; the charge part differs in form.
        const std::string head = row.file.substr(0, row.file.find(" code:"));
        EXPECT_TRUE(cap.contains(head)) << cap.text();
    }

    // The trace's own charge forms: the raw word in hexadecimal.
    cap.clear();
    t->table_reserved.table_options = 0;
    print_map_entry(t.get(), "", &charged, 3, nullptr);
    EXPECT_TRUE(cap.contains("code:01019 c12.50 1/2 (04E20201)\n")) << cap.text();
    cap.clear();
    t->table_reserved.table_options = OPT_MINUTE_MODEL;
    print_map_entry(t.get(), "", &minute, 3, nullptr);
    EXPECT_TRUE(cap.text().find("code: (03C0140C) M1=120 T1=60000 M2=120 I=30000\n") !=
                std::string::npos)
        << cap.text();
}

TEST(MapText, EmptyAndUnusedSlotsOnlyInTheTrace) {
    test::WorkTable t;
    t.add_maps(3);
    std::memset(t->table_map[1].map_escape, 0, sizeof t->table_map[1].map_escape);
    test::TraceCapture cap;
    test::DebugOn debug;

    const map_t unused = t->table_map[5]; // FFh
    EXPECT_EQ(written_text([&](std::FILE *f) {
                  print_map_entry(t.get(), "x", &t->table_map[1], 1, f);
                  print_map_entry(t.get(), "x", &unused, 5, f);
              }),
              "");
    EXPECT_TRUE(cap.contains("map[0001]: NULL\n"));
    EXPECT_TRUE(cap.contains("map[0005]: 0xFF\n"));

    cap.clear();
    int used = 0;
    const std::string listed =
        written_text([&](std::FILE *f) { used = print_map_entries(t.get(), f); });
    EXPECT_EQ(used, 3);
    EXPECT_NE(listed.find("map[0000]:"), std::string::npos);
    EXPECT_EQ(listed.find("map[0001]:"), std::string::npos);
    EXPECT_NE(listed.find("map[0002]:"), std::string::npos);
    EXPECT_TRUE(cap.contains("print_map_entries 0--2\n"));
    EXPECT_TRUE(cap.contains("map[0001]: 0xFF\n")); // the listing calls every gap 0xFF

    cap.clear();
    trace_maps(t.get(), 1);
    EXPECT_TRUE(cap.contains("trace    1 maps (from 3) "));
    EXPECT_TRUE(cap.contains("map[0001--0003]: ...\n"));
    EXPECT_FALSE(cap.contains("map[0002]:"));

    // Counts from a damaged head stay inside the working buffer.
    t->table_used_map_entries = 32000;
    EXPECT_EQ(print_map_entries(t.get(), nullptr), 32000);
    trace_maps(t.get(), 0);
    t->table_used_map_entries = -7;
    EXPECT_EQ(print_map_entries(t.get(), nullptr), -7);
    trace_maps(t.get(), 0);
}

TEST(MapText, ChargeWordValues) {
    struct Row {
        uint32_t word;
        const char *text;
    };
    const Row rows[] = {
        {0x00000000, ""},
        {0x0000000C, " M1=0.12 I=5"},
        {(10u << 0) | (5u << 16), " M1=0.1 S1=0.5 I=5"},              // S1 = 5 x M1
        {(7u << 16) | (3u << 7), " ST1 ST2"},                         // flags alone, no amount
        {(6u << 16) | (1u << 19), " U1 M2=0.001 I=5"},                // thousandths
        {(2u << 7) | (1500u << 19) | (3u << 9), " M2=1.5 S2=3 I=60"}, // S2 from M2
        {(2u << 7) | (3u << 0) | (1u << 9), " M1=0.03 S2=0.06 I=15"},
        {(31u << 11) | (8191u << 19), " T1=930 M2=8.191 I=5"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        char buffer[80];
        std::strcpy(buffer, "old text");
        const std::string file = written_text(
            [&](std::FILE *f) { format_charge_word(f, buffer, sizeof buffer, row.word, nullptr); });
        const bool amounts = (row.word & 0x7F) != 0 || (row.word >> 19) != 0;
        char tail[32];
        std::snprintf(tail, sizeof tail, " ;(%08x)", row.word);
        EXPECT_EQ(file, std::string(row.text) + (amounts ? tail : "") + "\n");
        EXPECT_STREQ(buffer, row.text);
    }
    // A small buffer gets the text cut, never overrun.
    char buffer[8] = "junk";
    format_charge_word(nullptr, buffer, sizeof buffer, 0x0000000C, nullptr);
    EXPECT_STREQ(buffer, " M1=0.1");
}

TEST(MapText, SubscriberLines) {
    test::WorkTable t;
    auto &r = t->table_reserved;
    r.table_chinc_first[0] = 4;
    EXPECT_EQ(written_text([&](std::FILE *f) { write_subscribers(f, t.get()); }), "");

    r.table_chinc_second[1] = 9;
    r.table_chstart[0] = CHSTART_CYC | 5;
    r.table_chstart[1] = CHSTART_ANY | 0x3F; // bit 5 is not part of the number
    EXPECT_EQ(written_text([&](std::FILE *f) { write_subscribers(f, t.get()); }),
              "Subscriber00=CHINC[05,30] CHSTART[06,CYC]\n"
              "Subscriber01=CHINC[01,10] CHSTART[32,ANY]\n");
}

TEST(MapText, DateText) {
    char text[18];
    {
        test::PinnedClock clock(test::kDec4th2026);
        make_date_text(text, sizeof text);
        EXPECT_STREQ(text, " 4.Dec 2026 14:05");
    }
    {
        test::PinnedClock clock(test::kDec4th2026 + 20 * 86400, "CET-1");
        make_date_text(text, sizeof text);
        EXPECT_STREQ(text, "24.Dec 2026 15:05");
        char small[6];
        make_date_text(small, sizeof small);
        EXPECT_STREQ(small, "24.De");
    }
}

} // namespace
