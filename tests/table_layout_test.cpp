// The table record's fresh state, its slot and format rules, and the number
// splitter behind the table version.  Sizes and offsets are pinned by the
// static_asserts of table.h.
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "conf/mkconf_driver.h"
#include "table/split_numbers.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

using namespace vorn;

template <typename... T> std::vector<int> ints(T... values) {
    return {static_cast<int>(values)...};
}

TEST(TableRecord, FreshTableAndWorkArea) {
    std::vector<uint8_t> buf(kWorkBufferSize, 0x5A);
    auto *t = reinterpret_cast<table_t *>(buf.data());
    const uint8_t *b = buf.data();
    fill_work_area(t); // the work area alone
    EXPECT_EQ(b[kTableSize - 1], 0x5A);
    EXPECT_EQ(std::count(b + kTableSize, b + kWorkBufferSize, 0xFF), kWorkAreaSize);
    EXPECT_EQ(table_map_slot(t, WORK_MAP_SLOTS - 1),
              reinterpret_cast<const map_t *>(b + kWorkBufferSize - kMapSize));

    std::fill(buf.begin() + kTableSize, buf.end(), 0x5A);
    init_fresh_table(t); // the record alone
    EXPECT_EQ(b[kTableSize], 0x5A);
    EXPECT_EQ(std::count(b + kTableHeadSize, b + kTableSize, 0xFF), kTableSize - kTableHeadSize);
    // The head is 0 but for 21 bytes; only the four protocol bytes are FFh.
    EXPECT_EQ(std::count(b, b + kTableHeadSize, 0), kTableHeadSize - 21);
    EXPECT_EQ(std::count(b, b + kTableHeadSize, 0xFF), 4);
    const mapcb_t &cb = t->table_mapcb;
    const dtmf_t &dtmf = t->table_dtmf;
    EXPECT_EQ(ints(t->table_nt_l2mode, t->table_te_l2mode, t->table_nt_protocol,
                   t->table_te_protocol, t->table_max_map_entries, t->table_max_redirect_entries,
                   t->table_max_callback_providers, t->table_currency.currency_div,
                   cb.mapcb_wait_dial, cb.mapcb_wait_dtmf, cb.mapcb_wait_alert, cb.mapcb_flags[0],
                   cb.mapcb_flags[1], cb.mapcb_flags[2], cb.mapcb_wait_break, cb.mapcb_area[0],
                   cb.mapcb_area[1], dtmf.dtmf_wait_dial, dtmf.dtmf_wait_dtmf, dtmf.dtmf_count),
              ints(255, 255, 255, 255, 1570, 30, 3, 1, 8, 4, 3, 1, 1, 1, 20, '0', '0', 5, 3, 30));
}

TEST(TableRecord, UnusedSlotRuleFormatCheckAndUsedSize) {
    // FFh escape: unused whatever the mode; no escape and no mode: the
    // optimizer's empty end slot; mode FFh counts only with an FFh escape.
    const int slots[][3] = {{0xFF, 0xFF, true}, {0xFF, MAP_IN, true}, {0, 0, true},
                            {'0', 0, false},    {0, MAP_OUT, false},  {'1', 0xFF, false}};
    for (const auto &s : slots) {
        map_t m{};
        m.map_escape[0] = static_cast<char>(s[0]);
        m.map_mode = static_cast<uint8_t>(s[1]);
        EXPECT_EQ(map_slot_unused(m), s[2] != 0) << s[0] << " " << s[1];
    }

    test::WorkTable t;
    EXPECT_TRUE(table_format_ok(t.get()));
    // Only six characters are compared.
    const std::pair<const char *, bool> formats[] = {
        {"TF01.50", true}, {"TF01.4 ", false}, {"tf01.5", false}, {"TF01.", false}};
    for (const auto &[format, ok] : formats) {
        std::strcpy(t->table_format, format);
        EXPECT_EQ(table_format_ok(t.get()), ok) << format;
    }
    EXPECT_FALSE(table_format_ok(nullptr));

    const std::pair<int16_t, size_t> sizes[] = {{0, 2580}, {1570, 65380}, {-1, 2540}};
    for (const auto &[used, size] : sizes) {
        t->table_used_map_entries = used;
        EXPECT_EQ(used_table_size(t.get()), size) << used;
    }

    map_t m{};
    set_map_esclen(m, 12);
    set_map_rank(m, 5);
    EXPECT_EQ(m.map_esclen_rank, 0x5C);
    set_map_esclen(m, 3);
    EXPECT_EQ(map_esclen(m) * 16 + map_rank(m), 3 * 16 + 5);
    set_map_charge_word(m, 0x12345678); // the upper half is map_time
    EXPECT_EQ(m.map_time, 0x1234);
    set_map_charge_word(m, 0xFFFF0123u);
    EXPECT_EQ(m.map_time, MAP_TIME_ORG);
    EXPECT_EQ(map_charge_word(m), 0xFFFF0123u);
}

TEST(SplitNumbers, PiecesFractionsAndMissingParts) {
    enum { A = 1, B = 2, C = 4 };
    struct Row {
        const char *text, *delims;
        int pass, result;
        uint16_t a, b, c; // 9: not passed or never reached
    };
    const Row rows[] = {
        {"12:30]", ":.", A | B, 0, 12, 30, 9}, // the conversion stops at "]"
        {"..7.08.1999", ".", A | B | C, 0, 7, 8, 1999},
        // Hundredths behind "^" (the first delimiter only): one digit is
        // tenths, longer pieces keep two.
        {"1^5", "^", A | B, 0, 1, 50, 9},
        {"1^05", "^", A | B, 0, 1, 5, 9},
        {"1^123", "^", A | B, 0, 1, 12, 9},
        {"1^5", ".^", A | B, 0, 1, 5, 9},
        // A missing piece: outputs are set to 0 before their piece is looked for.
        {"14", ":.", A | B | C, -1, 14, 0, 9},
        {"4.5", ".", A | B | C, -1, 4, 5, 0},
        {"...", ".", A, -1, 0, 9, 9},
        {nullptr, ".", A, -1, 0, 9, 9},
        {"1.2", ".", C, 0, 9, 9, 2}, // c without b takes the second piece
        {"-1.70000.x", ".", A | B | C, 0, 65535, 70000 & 0xFFFF, 0}, // atoi, 16 bits
    };
    for (const Row &row : rows) {
        uint16_t a = 9, b = 9, c = 9;
        EXPECT_EQ(split_numbers(row.text, row.delims, row.pass & A ? &a : nullptr,
                                row.pass & B ? &b : nullptr, row.pass & C ? &c : nullptr),
                  row.result)
            << (row.text ? row.text : "NULL");
        EXPECT_EQ(std::vector<int>({a, b, c}), std::vector<int>({row.a, row.b, row.c}))
            << (row.text ? row.text : "NULL") << " " << row.delims;
    }
}

TEST(TableVersion, MajorAndMinorOfTheTextBehindTF) {
    test::TraceCapture cap;
    test::DebugOn debug;
    EXPECT_EQ(get_table_version("01.5  Vorn-Box Default-Table Oct 27 2015 "), 0x0105);
    EXPECT_EQ(cap.bodies().back(), "get_table_version: major=0001 minor=0005 version=0105\n");
    const std::pair<const char *, int> rows[] = {
        {"01.4", 0x0104}, {"01", 0x0100}, {"", 0}, {nullptr, 0}};
    for (const auto &[text, version] : rows)
        EXPECT_EQ(get_table_version(text), version) << (text ? text : "NULL");
    EXPECT_EQ(get_table_version("300.261"), 0x2C05); // low bytes only
    EXPECT_EQ(cap.bodies().back(), "get_table_version: major=012C minor=0105 version=2C05\n");

    test::WorkTable t;
    EXPECT_EQ(table_version(t.get()), 0x0105);
    std::memset(t->table_format, '7', sizeof t->table_format); // no terminator
    // An overlong number saturates; its low byte FFh is the major.
    EXPECT_EQ(table_version(t.get()), 0xFF00);
}

} // namespace
