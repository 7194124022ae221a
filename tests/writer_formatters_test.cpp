// Field formatters of the configuration writer: map lines, period lines,
// option lines with their wrapping, the poll caller-number rule and the
// protocol values of the device record.
#include "support/table_builder.h"
#include "support/text_files.h"
#include "writer/field_formatters.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::written_text;

map_t make_map(const char *escape, const char *code, uint8_t mode) {
    map_t m;
    std::memset(&m, 0, sizeof m);
    std::strncpy(m.map_escape, escape, sizeof m.map_escape);
    std::strncpy(m.map_code, code, sizeof m.map_code);
    m.map_mode = mode;
    return m;
}

std::string map_line(const table_t *t, const map_t &m) {
    char line[kMapLineSize];
    format_map_line(t, &m, line, sizeof line);
    return line;
}

TEST(WriterFormatters, MapLines) {
    test::WorkTable t;
    struct Row {
        const char *expected;
        map_t map;
        bool minute_model = false;
        uint32_t charge = 0; // bytes 36 to 39
    };
    auto charge = [](uint16_t time, uint8_t start, uint8_t add) {
        return static_cast<uint32_t>(time) << 16 | static_cast<uint32_t>(add) << 8 | start;
    };
    const Row rows[] = {
        {"MapCallBackIn2=0711", make_map("0711", "123", 0x09)},
        {"MapCallBackOut10711=123 DDIRECT", make_map("0711", "123", 0x06 | MAP_DTMF | MAP_DATA)},
        {"MapCallBackOut30711=123 DIRECT", make_map("0711", "123", 0x0E | MAP_DTMF | MAP_VOICE)},
        {"MapCallBackIn3=5", make_map("5", "", 0x0D | MAP_DTMF)}, // no dialling word when in
        {"MapOut0049=01019 VOICE", make_map("0049", "01019", MAP_OUT | MAP_VOICE)},
        {"MapIn12=34 DATA", make_map("12", "34", MAP_IN | MAP_DATA)},
        {"MapAll1=2 CHARGE", make_map("1", "2", 0x03 | MAP_DATA | MAP_VOICE | MAP_SPECIAL)},
        {"MapAll1=2", make_map("1", "2", 0x03 | MAP_SPECIAL | MAP_DTMF)}, // lost bits: no word
        {"CmpMSN=123 R456", make_map("123", "R456", 0)},
        {"0711=9", make_map("0711", "9", 0x04)}, // a mode without key starts with the escape
        {"", make_map("\xFF", "9", 0x02)},
        {"", make_map("", "9", 0x02)},
        {"MapOut0711=9 12.50 1/2", make_map("0711", "9", 0x02), false, charge(1250, 1, 2)},
        {"MapOut0711=9", make_map("0711", "9", 0x02), false, charge(0, 1, 2)},
        {"MapOut0711=9 0.05", make_map("0711", "9", 0x02), false, charge(5, 0, 0)},
        {"MapOut0711=9 ORG", make_map("0711", "9", 0x02), false, charge(MAP_TIME_ORG, 1, 2)},
        {"MapOut0711=9 ORG", make_map("0711", "9", 0x02), true, charge(MAP_TIME_ORG, 1, 2)},
        {"MapOut0711=9 M1=0.12 T1=60 M2=0.12 I=5", make_map("0711", "9", 0x02), true,
         12u | 2u << 11 | 120u << 19},
        {"MapOut0711=9", make_map("0711", "9", 0x02), true, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.expected);
        t->table_reserved.table_options = row.minute_model ? OPT_MINUTE_MODEL : 0;
        map_t m = row.map;
        set_map_charge_word(m, row.charge);
        EXPECT_EQ(map_line(t.get(), m), row.expected);
    }

    // The "|" bit is printed, and the table keeps it.
    t->table_reserved.table_options = 0;
    map_t bar = make_map("0049",
                         "\xB0"
                         "1019",
                         MAP_OUT);
    EXPECT_EQ(map_line(t.get(), bar), "MapOut0049=|01019");
    EXPECT_EQ(static_cast<uint8_t>(bar.map_code[0]), 0xB0);

    // Unterminated escape and code stay inside their fields; a short buffer
    // is cut.
    map_t full = make_map("", "", MAP_OUT);
    std::memset(full.map_escape, '1', sizeof full.map_escape);
    std::memset(full.map_code, '2', sizeof full.map_code);
    EXPECT_EQ(map_line(t.get(), full),
              "MapOut" + std::string(13, '1') + "=" + std::string(20, '2'));
    char small[10];
    format_map_line(t.get(), &full, small, sizeof small);
    EXPECT_STREQ(small, "MapOut111");
}

TEST(WriterFormatters, PeriodLines) {
    test::WorkTable t;
    t->table_period[2] = {7, 5, DAY_HO | DAY_SU | DAY_MO};
    t->table_period[3] = {23, 59, 0x7F};
    EXPECT_EQ(written_text([&](std::FILE *f) {
                  write_period(f, t.get(), 2, false);
                  write_period(f, t.get(), 2, true);
                  write_period(f, t.get(), 3, true);
              }),
              "[07.05] HO SU MO  ;(83)\n"
              "[07.05] HO SU MO" +
                  std::string(15, ' ') +
                  "  ;(83)\n"
                  "[23.59]    SU MO TU WE TH FR SA  ;(7f)\n");
}

TEST(WriterFormatters, OptionLinesWrapBeforeColumn79) {
    const std::string help_lines =
        "\n"
        "; possible options: \n"
        "; AOCTransparency AOCSTransparency AutoDown DeActTransparency \n"
        "; IgnoreStatusMessage NoAutoActL2 NoBootAlarm NoSetupRepeat "
        "LogCDR SendDTE \n"
        "; SignallingNoCarrier SpecialSIN SaveTEI \n";
    EXPECT_EQ(written_text([](std::FILE *f) { write_options(f, 0xF7, 0x3F3F, true); }),
              "\n"
              "; possible optimize options: On Off NoStandardMaps \n"
              "Optimize=Off NoStandardMaps \n" +
                  help_lines +
                  "Options=AOCTransparency AOCSTransparency AutoDown DeActTransparency FSKSignal \n"
                  "Options=IgnoreStatusMessage LogCDR LogEPICErr NoAutoActL2 NoBootAlarm \n"
                  "Options=NoSetupRepeat PeriodTest RLICount SendDTE SignalingNoCarrier \n"
                  "Options=SpecialSIN SaveTEI \n");
    // Without help: nothing at all for no options; the minute-model bit and
    // the unused bits have no word.
    EXPECT_EQ(written_text([](std::FILE *f) { write_options(f, 0, 0, false); }), "");
    EXPECT_EQ(written_text([](std::FILE *f) { write_options(f, OPT_MINUTE_MODEL, 0xC0C0, false); }),
              "\nOptimize=On \nOptions=\n");
    EXPECT_EQ(written_text([](std::FILE *f) {
                  EXPECT_EQ(append_option_word(f, "P=", 70, "12345678"), 78u);
                  EXPECT_EQ(append_option_word(f, "P=", 78, "1"), 3u);
              }),
              "12345678\nP=1");
}

TEST(WriterFormatters, PollCallerNumberRule) {
    struct Row {
        const char *name;
        std::string cli; // up to 20 bytes
        bool help;
        const char *expected;
    };
    const Row rows[] = {
        {"plain word", "SERIAL", true, "NMSPollCLI=SERIAL\n"},
        {"coded with maximum",
         std::string("\x97\x07"
                     "0711",
                     6),
         true, "NMSPollCLI=Serial CgS max7 Binaer 0711\t;CdS CgPN ASCII \n"},
        {"coded, nothing set", "\x80", true,
         "NMSPollCLI=ASCII\t;<digits> Serial CgS CdS CgPN maxN Binaer \n"},
        {"coded, all set",
         std::string("\xBF\xFF"
                     "1",
                     3),
         false, "NMSPollCLI=Serial CgS CdS CgPN max255 Binaer 1\n"},
        // Without help and without flags the line has no end.
        {"no flags, no help",
         "\x80"
         "12",
         false, "NMSPollCLI=ASCII 12"},
        {"digits fill the field", "\x81" + std::string(19, '9'), true,
         "NMSPollCLI=Binaer 9999999999999999999\t;Serial CgS CdS CgPN maxN ASCII \n"},
        {"empty with help", "", true,
         "NMSPollCLI=\t;<digits> Serial CgS CdS CgPN maxN Binaer|ASCII\n"},
        {"empty without help", "", false, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        char cli[20] = {};
        std::memcpy(cli, row.cli.data(), row.cli.size());
        EXPECT_EQ(written_text([&](std::FILE *f) { write_poll_cli(f, cli, row.help); }),
                  row.expected);
    }
}

TEST(WriterFormatters, DeviceProtocolValues) {
    uint8_t dev[90] = {};
    ProtocolValues v{};
    EXPECT_EQ(conf_get_l2prot(nullptr, &v), 1);
    EXPECT_EQ(v.ext_protocol, PROT_AUTO);
    EXPECT_EQ(v.int_l2mode, L2_AUTO);
    dev[34] = L2_PMP; // data without the flag in byte 0 does not count
    EXPECT_EQ(conf_get_l2prot(dev, &v), 1);
    dev[0] = 1;
    dev[34] = dev[35] = dev[36] = dev[37] = 0; // flag without data neither
    EXPECT_EQ(conf_get_l2prot(dev, &v), 1);
    dev[34] = L2_PMP;
    dev[35] = PROT_1TR6;
    dev[36] = L2_PMP_ALT;
    dev[37] = 0x33;
    EXPECT_EQ(conf_get_l2prot(dev, &v), 0);
    EXPECT_EQ(v.int_l2mode, L2_PMP);
    EXPECT_EQ(v.int_protocol, PROT_1TR6);
    EXPECT_EQ(v.ext_l2mode, L2_PMP_ALT);
    EXPECT_EQ(v.ext_protocol, 0x33);
    EXPECT_STREQ(protocol_word(0x33), "???");
    EXPECT_STREQ(l2mode_word(L2_PMP_ALT), "PMP");
    EXPECT_STREQ(l2mode_word(0x16), "???");
}

} // namespace
