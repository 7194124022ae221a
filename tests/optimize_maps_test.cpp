// Map ordering and duplicate removal: the comparison functions, the sort's
// stability, count_maps, the deletion rules that no configuration reaches
// through the parser (the others are tested through mkconf), and the end
// slot and freed slots that a pass leaves.
#include "optimize/optimize.h"
#include "support/map_builder.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using test::MapSpec;
using test::put_maps;
using test::Registered;
using test::WorkTable;

constexpr uint8_t kOutBoth = MAP_OUT | MAP_VOICE | MAP_DATA; // C2h
constexpr uint8_t kInBoth = MAP_IN | MAP_VOICE | MAP_DATA;   // C1h

int sign(int value) {
    return (value > 0) - (value < 0);
}

map_t make_map(const MapSpec &spec) {
    WorkTable t;
    test::put_map(t.get(), 0, spec);
    return *table_map_slot(t.get(), 0);
}

// What a stream holds from its start, read back after the writes.
std::string stream_text(std::FILE *file) {
    std::fflush(file);
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}

TEST(MapOrder, ComparisonFunctionsOrderPairsAsTheBoxNeeds) {
    WorkTable t;
    Registered reg(t.get());
    t->table_period[1] = {8, 0, 0x3E};
    t->table_period[2] = {18, 0, 0x3E};
    t->table_period[3] = {8, 0, 0xBE};

    struct Row {
        const char *name;
        int (*cmp)(const void *, const void *);
        MapSpec a, b;
        int expected; // sign of cmp(a, b)
    };
    const Row rows[] = {
        {"len_holiday: longer escape first", cmp_map_len_holiday, {"0711", "1"}, {"07", "1"}, -1},
        {"len_holiday: escape ascending", cmp_map_len_holiday, {"0712", "1"}, {"0711", "1"}, 1},
        {"len_holiday: same period, mode ascending",
         cmp_map_len_holiday,
         {"07", "1", kInBoth},
         {"07", "1", kOutBoth},
         -1},
        {"len_holiday: same period, codes descending",
         cmp_map_len_holiday,
         {"07", "1"},
         {"07", "2"},
         1},
        {"len_holiday: map without period first",
         cmp_map_len_holiday,
         {"07", "1", kOutBoth, 1},
         {"07", "1", kOutBoth, 0},
         1},
        {"len_holiday: later start first",
         cmp_map_len_holiday,
         {"07", "1", kOutBoth, 2},
         {"07", "1", kOutBoth, 1},
         -1},
        {"len_holiday: holiday period first",
         cmp_map_len_holiday,
         {"07", "1", kOutBoth, 1},
         {"07", "1", kOutBoth, 3},
         1},
        {"len_holiday: bits C3h only",
         cmp_map_len_holiday,
         {"07", "1", 0x0E},
         {"07", "1", 0x02},
         0},
        {"mode: period ascending",
         cmp_map_mode,
         {"07", "1", kOutBoth, 2},
         {"0711", "1", kOutBoth, 1},
         1},
        {"mode: outgoing before incoming",
         cmp_map_mode,
         {"0711", "1", kInBoth},
         {"07", "1", kOutBoth},
         1},
        {"mode: then as len_holiday",
         cmp_map_mode,
         {"07", "1", kOutBoth},
         {"0711", "1", kOutBoth},
         1},
        {"period: no length behind all", cmp_map_period, {"", ""}, {"07", "1", kOutBoth, 9}, 1},
        {"period: two without length equal", cmp_map_period, {"", ""}, {"", "x"}, 0},
        {"period: period ascending",
         cmp_map_period,
         {"0711", "1", kOutBoth, 2},
         {"07", "1", kOutBoth, 1},
         1},
        {"period: longer escape first", cmp_map_period, {"07", "1"}, {"0711", "1"}, 1},
        {"period: codes ascending", cmp_map_period, {"07", "1"}, {"07", "2"}, -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const map_t a = make_map(row.a), b = make_map(row.b);
        EXPECT_EQ(sign(row.cmp(&a, &b)), row.expected);
        EXPECT_EQ(sign(row.cmp(&b, &a)), -row.expected);
    }
}

TEST(MapOrder, PeriodEntriesGlobalFirstEmptyLastHolidayBeforeWeekdays) {
    auto entry = [](uint8_t hour, uint8_t minute, uint16_t key, uint32_t first) {
        mpde_t e{};
        e.mpde_hour = hour;
        e.mpde_minute = minute;
        e.mpde_days = static_cast<uint8_t>(key);
        e.mpde_sort_key = key;
        e.mpde_first_map = first;
        e.mpde_last_map = first;
        return e;
    };
    struct Row {
        const char *name;
        mpde_t a, b;
        int expected;
    };
    const Row rows[] = {
        {"global entry first", entry(23, 0, 0x3E, 0), entry(0, 0, kGlobalPeriodKey, 5), 1},
        {"entry without maps last", entry(0, 0, 0x3E, kNoMap), entry(9, 0, 0x3E, 7), 1},
        {"hour ascending", entry(18, 0, 0x3E, 1), entry(8, 30, 0x3E, 9), 1},
        {"minute ascending", entry(8, 15, 0x3E, 1), entry(8, 30, 0x3E, 0), -1},
        {"equal keys: first map ascending", entry(8, 0, 0x3E, 9), entry(8, 0, 0x3E, 2), 1},
        {"weekday keys ascending", entry(8, 0, 0x41, 1), entry(8, 0, 0x3E, 2), 1},
        {"holiday before weekdays", entry(8, 0, 0x01, 1), entry(8, 0, 0x80, 2), 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(sign(cmp_period(&row.a, &row.b)), row.expected);
        EXPECT_EQ(sign(cmp_period(&row.b, &row.a)), -row.expected);
    }
}

TEST(MapOrder, EqualMapsKeepTheirOrder) {
    WorkTable t;
    Registered reg(t.get());
    // 600 maps over 30 escapes; maps of one escape differ only in their
    // charges, which no comparison looks at.
    std::vector<MapSpec> maps;
    for (int i = 0; i < 600; ++i)
        maps.push_back({std::to_string(100 + i % 30), "5", kOutBoth, 0, static_cast<uint16_t>(i)});
    std::mt19937 rng(7);
    std::shuffle(maps.begin(), maps.end(), rng);
    put_maps(t.get(), maps);

    sort_maps(t.get(), 0, 600, MapOrder::LenHoliday);
    for (unsigned i = 1; i < 600; ++i) {
        const map_t *a = table_map_slot(t.get(), i - 1), *b = table_map_slot(t.get(), i);
        ASSERT_LE(cmp_map_len_holiday(a, b), 0) << i;
        if (std::strcmp(a->map_escape, b->map_escape) == 0) {
            // map_time records the position each map had before the sort.
            const auto before = [&](uint16_t time) {
                for (size_t k = 0; k < maps.size(); ++k)
                    if (maps[k].time == time)
                        return k;
                return maps.size();
            };
            ASSERT_LT(before(a->map_time), before(b->map_time)) << i;
        }
    }
}

TEST(MapCount, CountsEntriesOnlyAndNotTheEscapeA) {
    WorkTable t;
    put_maps(t.get(), {{"0711", "1"}, {"a12", "1"}, {"", ""}, {"9", "1"}});
    std::memset(table_map_slot(t.get(), 2), 0, sizeof(map_t)); // a deleted slot
    // Slot 4 is a fresh FFh slot, slot 5 holds FFh in its escape only.
    table_map_slot(t.get(), 5)->map_mode = 0x02;
    EXPECT_EQ(count_maps(t.get(), 0, 6), 3);
    EXPECT_EQ(count_maps(t.get(), 1, 4), 1);
    EXPECT_EQ(count_maps(t.get(), 0, 1u << 30), count_maps(t.get(), 0, WORK_MAP_SLOTS));
}

TEST(MapDuplicates, DeletionRulesAndTheirDelLines) {
    struct Row {
        const char *name;
        std::vector<MapSpec> maps;
        std::string del; // what opt_duplicates writes to the .del file
        std::vector<std::string> left;
    };
    const Row rows[] = {
        {"a period map that sorts before the time-independent one goes as well",
         {{"0711", "2", kOutBoth, 0}, {"0711", "1", kOutBoth, 255}},
         "\nt*   map[0000]: l04 r00 mC2 i255(0000-00000000) esc:0711         code:1\n"
         "1 maps deleted\n",
         {"0711/2/0"}},
        {"equal maps, same start and days: the higher period goes",
         {{"0711", "9", kOutBoth, 2}, {"0711", "9", kOutBoth, 5}},
         "\n==   map[0000]: l04 r00 mC2 i05(0800-00111110) esc:0711         code:9\n"
         "1 maps deleted\n",
         {"0711/9/2"}},
        {"equal maps, other days: both stay",
         {{"0711", "9", kOutBoth, 2}, {"0711", "9", kOutBoth, 6}},
         "\n",
         {"0711/9/2", "0711/9/6"}},
        {"equal maps, later start with the lower index: both stay",
         {{"0711", "9", kOutBoth, 2}, {"0711", "9", kOutBoth, 7}},
         "\n",
         {"0711/9/2", "0711/9/7"}},
        {"equal maps, different charges: both stay",
         {{"0711", "9", kOutBoth, 2, 100}, {"0711", "9", kOutBoth, 5}},
         "\n",
         {"0711/9/5", "0711/9/2"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        WorkTable t;
        Registered reg(t.get());
        t->table_period[2] = {8, 0, 0x3E};
        t->table_period[3] = {18, 0, 0x3E};
        t->table_period[5] = {8, 0, 0x3E};
        t->table_period[6] = {8, 0, 0x41};
        t->table_period[7] = {6, 0, 0x3E};
        put_maps(t.get(), row.maps);
        std::FILE *del = std::tmpfile();
        ASSERT_NE(del, nullptr);

        const int deleted = opt_duplicates(t.get(), 0, del);
        EXPECT_EQ(stream_text(del), row.del);
        std::fclose(del);
        EXPECT_EQ(deleted, static_cast<int>(row.maps.size() - row.left.size()));

        // Closing the array shows the maps that stay.
        sort_and_fill(t.get(), 0, static_cast<unsigned>(row.left.size()),
                      static_cast<unsigned>(deleted));
        t->table_used_map_entries = static_cast<int16_t>(row.left.size());
        EXPECT_EQ(test::map_texts(t.get()), row.left);
    }
}

TEST(MapDuplicates, PassLeavesZeroEndSlotAndFreedSlotsUnused) {
    WorkTable t;
    Registered reg(t.get());
    test::PeriodBlock block;
    put_maps(t.get(), {{"1", "a"}, {"1", "a"}, {"22", "b"}, {"1", "a"}, {"22", "b"}});
    test::TraceCapture cap;
    test::DebugOn debug;

    EXPECT_EQ(sort_and_delete_map(t.get(), 0, block.entries, nullptr), 3);
    EXPECT_EQ(t->table_used_map_entries, 2);
    EXPECT_EQ(test::map_texts(t.get()), (std::vector<std::string>{"22/b/0", "1/a/0"}));
    const auto *bytes = reinterpret_cast<const uint8_t *>(table_map_slot(t.get(), 2));
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 40), std::vector<uint8_t>(40, 0));
    EXPECT_EQ(std::vector<uint8_t>(bytes + 40, bytes + 160), std::vector<uint8_t>(120, 0xFF));
    // Slot 5 was an unused slot before and stays one.
    EXPECT_EQ(bytes[160], 0xFF);

    EXPECT_TRUE(cap.contains("Multiple Map Entry del map[1] ([0] identical)\n"));
    EXPECT_TRUE(cap.contains("sort_and_fill: fill 3 maps from [0002]\n"));
    EXPECT_TRUE(cap.contains("sort_and_delete_map: used_map_entries after: 2, 3 deleted\n"));
    EXPECT_FALSE(cap.contains("ERROR!"));
}

} // namespace
