// The .map listing of the output step: head, index, map lines and legend.
#include "frame/frame.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "vorn_b32.h"
#include "writer/map_listing.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::WorkTable;

void put_map(WorkTable &t, int i, const char *escape, const char *code, uint8_t mode,
             uint8_t period, uint16_t time) {
    map_t *m = table_map_slot(t.get(), static_cast<size_t>(i));
    std::memset(m, 0, sizeof *m);
    std::memcpy(m->map_escape, escape, std::strlen(escape));
    std::memcpy(m->map_code, code, std::strlen(code));
    m->map_mode = mode;
    m->map_period = period;
    m->map_time = time;
    set_map_esclen(*m, static_cast<unsigned>(std::strlen(escape)));
}

std::string listing(WorkTable &t) {
    return test::written_text([&](std::FILE *f) { write_map_listing(t.get(), f); });
}

class MapListing : public ::testing::Test {
  protected:
    void SetUp() override { set_tool_name(""); }
    test::PinnedClock clock{test::kDec4th2026};
};

TEST_F(MapListing, WholeListing) {
    WorkTable t;
    t->table_period[1] = {8, 0, 0x3E};
    t->table_max_period_entries = 1;
    put_map(t, 0, "0711", "9", MAP_OUT, 0, 1250);
    table_map_slot(t.get(), 0)->map_charge_start = 1;
    table_map_slot(t.get(), 0)->map_charge_add = 2;
    put_map(t, 1, "0049", "01019", MAP_OUT, 0, MAP_TIME_ORG);
    put_map(t, 2, "5", "55", MAP_IN, 1, 0);
    std::memset(table_map_slot(t.get(), 3), 0, kMapSize); // the end slot
    t->table_used_map_entries = 3;

    EXPECT_EQ(listing(t),
              ";write by Vorn-Tools Vorn_B32.DLL 1.0.0.0 on  4.Dec 2026 14:05\n"
              ";i01=[08.00]       MO TU WE TH FR     ;(3e)\n"
              ";3 map entries\n"
              ";table_map_esclen[0..12]=\n"
              ";\t03 02 1569 1569 00 1569 1569 1569 1569 1569 1569 1569 1569 \n"
              "map[0000]: l04 r01 m02 i00(0000-00000000) esc:0711         code:9 c12.50 1/2\n"
              "map[0001]: l04 r00 m02 i00(0000-00000000) esc:0049         code:01019 ORG\n"
              "map[0002]: l01 r00 m01 i01(0800-00111110) esc:5            code:55\n"
              "\n"
              "\n"
              ";Legende:\n"
              ";lnn\tLaenge der zu mappenden Nummer\n"
              ";\t\tsiehe auch table_map_esclen:\n"
              ";\t\tEintraege mit Laenge  4 ab Index 0\n"
              ";\t\tEintraege mit Laenge  1 ab Index 2\n"
              ";rnn\tRang: Naechstes Mapping unterscheidet sich ab Ziffern-Position nn\n"
              ";mMM\tMap-Mode\n"
              ";\t\t01h\tMAP_IN\n"
              ";\t\t02h\tMAP_OUT\n"
              ";\t\t04h\tMAP_CALLBACK1\n"
              ";\t\t08h\tMAP_CALLBACK2\n"
              ";\t\t0Ch\tMAP_CALLBACK3\n"
              ";\t\t10h\tMAP_SPECIAL\n"
              ";\t\t10h\tMAP_COMPRESS\n"
              ";\t\t20h\tMAP_DTMF\n"
              ";\t\t40h\tMAP_VOICE\n"
              ";\t\t80h\tMAP_DATA\n"
              ";iPP\tZeitperiode (0=Global)\n"
              ";esc\tzu mappenden Nummer\n"
              ";code\tersetzte Nummer\n"
              ";c\tGeb\xFC"
              "hrengenerierung (Sekunden.Hunderstel start/add)\n");
}

TEST_F(MapListing, TooManyMapsAndNoFile) {
    WorkTable t;
    t.add_maps(1571);
    set_tool_name("WCFG2BIN");
    const std::string text = listing(t);
    EXPECT_NE(text.find(";write by WCFG2BIN Vorn_B32.DLL"), std::string::npos);
    EXPECT_NE(text.find("\n;1571 map entries\n;!!! 1 too many map entries !!!\n"),
              std::string::npos);
    EXPECT_NE(text.find("\nmap[1570]: "), std::string::npos);

    // Without a listing the index is still built.
    WorkTable u;
    u.add_maps(2);
    std::memset(table_map_slot(u.get(), 2), 0, kMapSize);
    write_map_listing(u.get(), nullptr);
    EXPECT_EQ(u->table_map_esclen[4], 0);
    EXPECT_EQ(u->table_map_esclen[0], 2);
}

} // namespace
