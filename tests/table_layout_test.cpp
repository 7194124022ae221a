// The table record's fresh state, its slot and format rules, and the number
// splitter behind the table version.
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/conftool.h"
#include "table/split_numbers.h"
#include "table/table.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace vorn;

uint16_t le16(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

TEST(TableRecord, FreshTableHoldsTheDefaultsAtTheirFileOffsets) {
    std::vector<uint8_t> buf(kTableSize, 0x5A);
    init_fresh_table(reinterpret_cast<table_t *>(buf.data()));
    const uint8_t *b = buf.data();

    // Every map slot, the end slot included, starts unused.
    for (size_t i = kTableHeadSize; i < kTableSize; ++i)
        ASSERT_EQ(b[i], 0xFF) << "map byte " << i;
    // The four protocol bytes are the only head bytes that start as FFh.
    for (size_t i = 0; i < kTableHeadSize; ++i) {
        if (i >= 314 && i <= 317)
            EXPECT_EQ(b[i], 0xFF) << i;
        else
            EXPECT_NE(b[i], 0xFF) << i;
    }
    EXPECT_EQ(le16(b + 364), 1570);
    EXPECT_EQ(le16(b + 366), 0);
    EXPECT_EQ(le16(b + 368), 30);
    EXPECT_EQ(le16(b + 370), 3);
    EXPECT_EQ(b[319], 0);        // currency mode
    EXPECT_EQ(le16(b + 320), 0); // currency value
    EXPECT_EQ(le16(b + 322), 1); // currency divisor
    EXPECT_EQ(b[324], 0);        // currency sign empty
    EXPECT_EQ(b[664], 8);        // mapcb_wait_dial
    EXPECT_EQ(b[665], 4);        // mapcb_wait_dtmf
    EXPECT_EQ(b[754], 3);        // mapcb_wait_alert
    EXPECT_EQ(b[755], 1);        // mapcb_flags, three providers
    EXPECT_EQ(b[756], 1);
    EXPECT_EQ(b[757], 1);
    EXPECT_EQ(b[758], 20);  // mapcb_wait_break
    EXPECT_EQ(b[759], 0);   // mapcb_wait_disc
    EXPECT_EQ(b[760], '0'); // mapcb_area, not terminated
    EXPECT_EQ(b[761], '0');
    EXPECT_EQ(b[762], 5);  // dtmf_wait_dial
    EXPECT_EQ(b[763], 3);  // dtmf_wait_dtmf
    EXPECT_EQ(b[764], 30); // dtmf_count
    // Everything else of the head is 0: the texts, the reserved block.
    size_t nonzero = 0;
    for (size_t i = 0; i < kTableHeadSize; ++i)
        nonzero += b[i] != 0;
    // 314-317, 322, 364-365 (0622h), 368, 370, 664-665, 754-758, 760-761,
    // 762-764.
    EXPECT_EQ(nonzero, 21u);

    // The work area of a working buffer is filled on its own.
    std::vector<uint8_t> work(kWorkBufferSize, 0);
    fill_work_area(reinterpret_cast<table_t *>(work.data()));
    EXPECT_EQ(work[kTableSize - 1], 0);
    EXPECT_EQ(work[kTableSize], 0xFF);
    EXPECT_EQ(work[kWorkBufferSize - 1], 0xFF);
    EXPECT_EQ(table_map_slot(reinterpret_cast<table_t *>(work.data()), WORK_MAP_SLOTS - 1),
              reinterpret_cast<map_t *>(work.data() + kWorkBufferSize - kMapSize));
}

TEST(TableRecord, UnusedSlotRuleAndFormatCheck) {
    map_t m;
    std::memset(&m, 0xFF, sizeof m);
    EXPECT_TRUE(map_slot_unused(m));
    m.map_mode = MAP_IN; // an FFh escape marks the slot whatever the mode
    EXPECT_TRUE(map_slot_unused(m));

    std::memset(&m, 0, sizeof m); // the optimizer's empty end slot
    EXPECT_TRUE(map_slot_unused(m));
    std::strcpy(m.map_escape, "0049"); // mode 0 with an escape: a CmpMSN entry
    EXPECT_FALSE(map_slot_unused(m));
    m.map_escape[0] = 0; // no escape but a mode: still a map
    m.map_mode = MAP_OUT;
    EXPECT_FALSE(map_slot_unused(m));
    std::strcpy(m.map_escape, "1");
    m.map_mode = 0xFF; // mode FFh counts only together with an FFh escape
    EXPECT_FALSE(map_slot_unused(m));

    test::WorkTable t;
    EXPECT_TRUE(table_format_ok(t.get()));
    std::strcpy(t->table_format, "TF01.50");
    EXPECT_TRUE(table_format_ok(t.get())); // only six characters are compared
    std::strcpy(t->table_format, "TF01.4 ");
    EXPECT_FALSE(table_format_ok(t.get()));
    std::strcpy(t->table_format, "tf01.5");
    EXPECT_FALSE(table_format_ok(t.get()));
    std::strcpy(t->table_format, "TF01.");
    EXPECT_FALSE(table_format_ok(t.get()));
    EXPECT_FALSE(table_format_ok(nullptr));
}

TEST(TableRecord, UsedSizeAndPackedMapFields) {
    test::WorkTable t;
    EXPECT_EQ(used_table_size(t.get()), 2580u);
    t->table_used_map_entries = 1570;
    EXPECT_EQ(used_table_size(t.get()), 65380u);
    t->table_used_map_entries = -1;
    EXPECT_EQ(used_table_size(t.get()), 2540u);

    map_t m{};
    set_map_esclen(m, 12);
    set_map_rank(m, 5);
    EXPECT_EQ(m.map_esclen_rank, 0x5C);
    set_map_esclen(m, 3);
    EXPECT_EQ(map_esclen(m), 3);
    EXPECT_EQ(map_rank(m), 5);

    set_map_charge_word(m, 0x12345678);
    const auto *raw = reinterpret_cast<const uint8_t *>(&m);
    EXPECT_EQ(raw[36], 0x78);
    EXPECT_EQ(raw[39], 0x12);
    EXPECT_EQ(m.map_time, 0x1234);
    set_map_charge_word(m, 0xFFFF0000u | 0x0123);
    EXPECT_EQ(m.map_time, MAP_TIME_ORG);
    EXPECT_EQ(map_charge_word(m), 0xFFFF0123u);
}

TEST(SplitNumbers, PiecesFractionsAndMissingParts) {
    uint16_t a = 9, b = 9, c = 9;
    EXPECT_EQ(split_numbers("12:30]", ":.", &a, &b, nullptr), 0);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 30); // the conversion stops at "]"
    EXPECT_EQ(split_numbers("..7.08.1999", ".", &a, &b, &c), 0);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 8);
    EXPECT_EQ(c, 1999);

    // Hundredths behind "^": one digit is tenths, longer pieces keep two.
    EXPECT_EQ(split_numbers("1^5", "^", &a, &b, nullptr), 0);
    EXPECT_EQ(b, 50);
    EXPECT_EQ(split_numbers("1^05", "^", &a, &b, nullptr), 0);
    EXPECT_EQ(b, 5);
    EXPECT_EQ(split_numbers("1^123", "^", &a, &b, nullptr), 0);
    EXPECT_EQ(b, 12);
    // Only the first delimiter character selects hundredths.
    EXPECT_EQ(split_numbers("1^5", ".^", &a, &b, nullptr), 0);
    EXPECT_EQ(b, 5);

    a = b = c = 9;
    EXPECT_EQ(split_numbers("14", ":.", &a, &b, &c), -1);
    EXPECT_EQ(a, 14);
    EXPECT_EQ(b, 0); // set before its piece was looked for
    EXPECT_EQ(c, 9); // never reached
    EXPECT_EQ(split_numbers("4.5", ".", &a, &b, &c), -1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(split_numbers("...", ".", &a, nullptr, nullptr), -1);
    EXPECT_EQ(split_numbers("", ".", &a, nullptr, nullptr), -1);
    EXPECT_EQ(split_numbers(nullptr, ".", &a, nullptr, nullptr), -1);
    // c without b takes the second piece.
    EXPECT_EQ(split_numbers("1.2", ".", nullptr, nullptr, &c), 0);
    EXPECT_EQ(c, 2);
    // Read like atoi, kept to 16 bits.
    EXPECT_EQ(split_numbers("-1.70000.x", ".", &a, &b, &c), 0);
    EXPECT_EQ(a, 65535);
    EXPECT_EQ(b, static_cast<uint16_t>(70000));
    EXPECT_EQ(c, 0);
}

TEST(TableVersion, MajorAndMinorOfTheTextBehindTF) {
    test::TraceCapture cap;
    test::DebugOn debug;
    EXPECT_EQ(get_table_version("01.5  Vorn-Box Default-Table Oct 27 2015 "), 0x0105);
    EXPECT_EQ(cap.bodies().back(), "get_table_version: major=0001 minor=0005 version=0105\n");
    EXPECT_EQ(get_table_version("01.4"), 0x0104);
    EXPECT_EQ(get_table_version("1.5"), 0x0105);
    EXPECT_EQ(get_table_version("01"), 0x0100);
    EXPECT_EQ(get_table_version(""), 0);
    EXPECT_EQ(get_table_version(nullptr), 0);
    EXPECT_EQ(get_table_version("300.261"), 0x2C05); // low bytes only
    EXPECT_EQ(cap.bodies().back(), "get_table_version: major=012C minor=0105 version=2C05\n");

    test::WorkTable t;
    EXPECT_EQ(table_version(t.get()), 0x0105);
    std::memset(t->table_format, '7', sizeof t->table_format); // no terminator
    // An overlong number saturates; its low byte FFh is the major.
    EXPECT_EQ(table_version(t.get()), 0xFF00);
}

} // namespace
