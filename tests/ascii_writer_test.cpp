// The configuration writer: whole files of a fresh table, every section of
// a configured one, its result codes, and tables of any content.
#include "frame/frame.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"
#include "writer/ascii_writer.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using test::TempDir;
using test::WorkTable;

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The text between the first line that begins with `from` and the next
// line that begins with `to` (exclusive).
std::string section(const std::string &text, const std::string &from, const std::string &to) {
    const size_t begin = text.find("\n" + from);
    const size_t end = text.find("\n" + to, begin + 1);
    if (begin == std::string::npos || end == std::string::npos)
        return "<section " + from + " .. " + to + " not found>";
    return text.substr(begin + 1, end - begin);
}

class AsciiWriter : public ::testing::Test {
  protected:
    void SetUp() override { set_tool_name("WRITER-TEST"); }
    void TearDown() override {
        set_tool_name("");
        set_DevInfo_none();
    }
    static void set_DevInfo_none() {
        uint8_t none[kDevInfoSize] = {};
        set_DevInfo(none);
    }

    // Writes the table (registered while the writer runs) and returns the
    // file's text.
    std::string write(WorkTable &t, int expected_result = 0, char *err_str = nullptr) {
        set_instance_table(t.get());
        const int r = write_ascii_table15(t.get(), path.c_str(), err_str);
        set_instance_table(nullptr);
        EXPECT_EQ(r, expected_result);
        return test::read_file(path);
    }

    void add_map(WorkTable &t, const std::string &escape, const std::string &code, uint8_t mode,
                 uint8_t period = 0) {
        const int i = t->table_used_map_entries;
        map_t *m = table_map_slot(t.get(), static_cast<size_t>(i));
        std::memset(m, 0, sizeof *m);
        escape.copy(m->map_escape, sizeof m->map_escape - 1);
        code.copy(m->map_code, sizeof m->map_code - 1);
        m->map_mode = mode;
        m->map_period = period;
        set_map_esclen(*m, static_cast<unsigned>(escape.size()));
        t->table_used_map_entries = static_cast<int16_t>(i + 1);
    }

    TempDir dir;
    std::string path = dir.file("out.cfg");
    test::PinnedClock clock{test::kDec4th2026};
};

TEST_F(AsciiWriter, FreshTableLineByLine) {
    WorkTable t;
    const std::vector<std::string> expected = {
        "TABLE=TF01.5  4.Dec 2026 14:19 (Don't touch!)\n",
        "\n",
        "COMMENT=\n",
        "PABXName=\n",
        "\n",
        ";***\tget table by WRITER-TEST (Vorn_B32.DLL 1.0.0.0) on  4.Dec 2026 14:05\n",
        ";***\tName                    : \n",
        ";***\tmax map entries         :  1569\n",
        ";***\tused map entries        :     0 (0.0%)\n",
        "\n",
        "; L3 protocols and HDLC modes\n",
        "ProtExt=DSS1 PP\n",
        "ProtInt=BILING PP\n",
        "\n",
        "; options\n",
        "Ctrl2;=[ASSOCIATE|ESCAPE]\n",
        "FreeTone=Normal\n",
        "\n",
        "; possible optimize options: On Off NoStandardMaps \n",
        "Optimize=On \n",
        "\n",
        "; possible options: \n",
        "; AOCTransparency AOCSTransparency AutoDown DeActTransparency \n",
        "; IgnoreStatusMessage NoAutoActL2 NoBootAlarm NoSetupRepeat LogCDR SendDTE \n",
        "; SignallingNoCarrier SpecialSIN SaveTEI \n",
        "Options=\n",
        "\n",
        "CountryCode=0\t;30 | 31 | 33 | 351 | 39 | 43 | 44 | 47 | 49\n",
        "Currency=AOCU \n",
        "\n",
        "; poll and emergency numbers and intervalls\n",
        "NMSPollInterval=0:00:00\t; CallBackFrequency\n",
        "NMSPollNumber=\n",
        "NMSPollCLI=\t;<digits> Serial CgS CdS CgPN maxN Binaer|ASCII\n",
        "\n",
        "EmergencyNumber= ; for emergency call (formerly RemoteCallback)\n",
        "EmergencyPause=0:00:00\t; Pause between two emergency calls\n",
        "\n",
        "; remote call in\n",
        "RemotePassword=\n",
        "RemoteCode=\n",
        "RemoteOrigination=\n",
        ";MapIn8XXXXXXX=xxxxxxx DATA ; MapIn for Remote\n",
        ";MapIn8YYYYYYY=yyyyyyy* DATA ; MapIn for Ping\n",
        "\n",
        "\n",
        ";+++++++++++++++++++++++++ routings +++++++++++++++++++++++++\n",
        "\n",
        "; time independent entries\n",
        "\n",
        "MapCallBackWaitAlert=3\n",
        "MapCallBackWaitDial=8\n",
        "MapCallBackWaitDtmf=4\n",
        "MapCallBackWaitBreak=20\n",
        "MapCallBackWaitDisc=0\n",
        "MapCallBackArea=00\n",
        "MapCallBackCallEnd=\n",
        "\n",
        "; provider 1\n",
        "MapCallBackDialFirst1=\n",
        "MapCallBackDialEnd1=\n",
        "MapCallBackPin1=\n",
        "MapCallBackArea1=  \n",
        "MapCallBackToUSA1=1\n",
        "MapCallBackBusy1=0\n",
        "\n",
        "; provider 2\n",
        "MapCallBackDialFirst2=\n",
        "MapCallBackDialEnd2=\n",
        "MapCallBackPin2=\n",
        "MapCallBackArea2=  \n",
        "MapCallBackToUSA2=1\n",
        "MapCallBackBusy2=0\n",
        "\n",
        "; provider 3\n",
        "MapCallBackDialFirst3=\n",
        "MapCallBackDialEnd3=\n",
        "MapCallBackPin3=\n",
        "MapCallBackArea3=  \n",
        "MapCallBackToUSA3=1\n",
        "MapCallBackBusy3=0\n",
        "\n",
        "DTMFWaitDtmf=3\n",
        "DTMFWaitDial=5\n",
        "DTMFCount=30\n",
        "DTMFDialEnd=\n",
    };
    const std::vector<std::string> lines = lines_of(write(t));
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST_F(AsciiWriter, HeadProtocolsAndDeviceRecord) {
    WorkTable t;
    t->table_te_protocol = PROT_1TR6;
    t->table_te_l2mode = L2_PMP_ALT;
    t->table_nt_protocol = 0x33;
    t->table_nt_l2mode = L2_AUTO;
    t->table_reserved.table_s2m_l1mode = S2M_L1_DOUBLEFRAME;
    std::memset(t->table_comment, 'c', sizeof t->table_comment); // no terminator
    const std::string head = write(t);
    EXPECT_NE(head.find("COMMENT=" + std::string(76, 'c') + "\n"), std::string::npos);
    EXPECT_NE(head.find("ProtExt=1TR6 PMP\nProtInt=??? AUTO\n"
                        "S2M_L1Mode=DOUBLEFRAME ; AUTO | CRC4\n\n; options\n"),
              std::string::npos);

    // A device record with protocol data and a name: its values are shown,
    // and its name (cut to 39 characters) becomes the exchange's.
    uint8_t dev[kDevInfoSize] = {};
    dev[0] = 1;
    dev[34] = L2_PMP;
    dev[35] = PROT_AUTO;
    dev[36] = L2_PP;
    dev[37] = PROT_DSS1;
    std::memset(dev + 48, 'N', 40);
    std::memcpy(dev + 48, "S2M-", 4);
    set_DevInfo(dev);
    t->table_reserved.table_s2m_l1mode = 7;
    const std::string name = "S2M-" + std::string(35, 'N');
    const std::string with_device = write(t);
    EXPECT_NE(with_device.find("PABXName=" + name + " \n\n"), std::string::npos);
    EXPECT_NE(with_device.find(";***\tName                    : " + name + "\n"),
              std::string::npos);
    EXPECT_NE(with_device.find("ProtExt=DSS1 PP\nProtInt=AUTO PMP\n"
                               "S2M_L1Mode=AUTO ; CRC4 | DOUBLEFRAME\n"),
              std::string::npos);
    EXPECT_EQ(std::string(t->table_init_name), name); // the table keeps the name

    // A name of the table's own wins over the device's.
    std::snprintf(t->table_init_name, sizeof t->table_init_name, "Exchange 1");
    EXPECT_NE(write(t).find("PABXName=Exchange 1" + std::string(30, ' ') + "\n\n"),
              std::string::npos);
}

TEST_F(AsciiWriter, OptionSectionCountryAndCurrency) {
    WorkTable t;
    auto &r = t->table_reserved;
    t->table_escape = TABLE_ESCAPE_ASSOCIATE;
    r.table_free_tone = FREE_TONE_CADENCE;
    r.table_free_tone_cadence[0] = 5;
    r.table_free_tone_cadence[1] = 10;
    r.table_free_tone_cadence[2] = 0xFF;
    r.table_chstart[1] = CHSTART_INV | 2;
    r.table_controller[3] = 'A';
    r.table_controller[15] = '~';
    r.table_options = OPT_MINUTE_MODEL | OPT_NO_STANDARD_MAPS;
    r.table_options2 = OPT2_LOG_CDR;
    std::snprintf(t->table_currency.currency_sign, sizeof t->table_currency.currency_sign, "EUR");
    t->table_currency.currency_mode = CURRENCY_E2;
    t->table_currency.currency_value = 12;
    t->table_currency.currency_div = 100;
    const std::string text = write(t);
    EXPECT_EQ(section(text, "Ctrl2", "; possible optimize"),
              "Ctrl2=ASSOCIATE\n"
              "Subscriber00=CHINC[01,30] CHSTART[01,LIN]\n"
              "Subscriber01=CHINC[01,30] CHSTART[03,INV]\n"
              "FreeTone=500 1000 \n"
              "\n");
    EXPECT_EQ(section(text, "Options=", "; poll"), "Options=LogCDR \n"
                                                   "\n"
                                                   "Controller3=A\n"
                                                   "Controller15=~\n"
                                                   "\n"
                                                   "CountryCode=0\t;30 | 31 | 33 | 351 | 39 | 43 | "
                                                   "44 | 47 | 49\n"
                                                   "Currency=E2 12 100 EUR M\n"
                                                   "\n");
    EXPECT_NE(text.find("Optimize=NoStandardMaps \n"), std::string::npos);

    struct Country {
        uint8_t code;
        const char *line;
    };
    const Country countries[] = {
        {135, "CountryCode=351 ; Portugal\n"},
        {32, "CountryCode=32\t;30 | 31 | 33 | 351 | 39 | 43 | 44 | 47 | 49\n"},
        {49, "CountryCode=49 ; Deutschland\n"},
        {43, "CountryCode=43 ; Oestereich\n"},
    };
    r.table_options = 0;
    t->table_currency.currency_mode = 12; // beyond the known modes
    for (const Country &c : countries) {
        SCOPED_TRACE(c.line);
        r.table_country_code = c.code;
        EXPECT_EQ(section(write(t), "CountryCode", "\n"),
                  std::string(c.line) + "Currency=??? 12 100 EUR\n");
    }
}

TEST_F(AsciiWriter, PollEmergencyAndRemoteAccess) {
    WorkTable t;
    auto &r = t->table_reserved;
    r.table_poll_interval = 3 * 3600 + 25 * 60 + 7;
    std::snprintf(r.table_remote_poll, sizeof r.table_remote_poll, "0711555");
    std::snprintf(r.table_poll_cli, sizeof r.table_poll_cli, "SERIAL");
    std::snprintf(t->table_remote_callback, sizeof t->table_remote_callback, "110");
    r.table_emergency_pause = 59;
    r.table_cdr_interval = 86400 * 2;
    std::snprintf(t->table_password, sizeof t->table_password, "Secret-1");
    std::snprintf(t->table_remote_code, sizeof t->table_remote_code, "4711");
    std::snprintf(t->table_remote_oad[2], sizeof t->table_remote_oad[2], "0815");
    add_map(t, "77", "4711", MAP_IN | MAP_DATA);    // remote
    add_map(t, "78", "4711*", 0x03 | MAP_DATA);     // ping, with MapAll
    add_map(t, "79", "4711", MAP_OUT | MAP_DATA);   // not incoming
    add_map(t, "80", "4711", MAP_IN | MAP_DATA, 1); // not in period 0
    t->table_period[0] = {0, 0, 0xFF};
    t->table_period[1] = {8, 0, 0x3E};
    t->table_max_period_entries = 1;
    EXPECT_EQ(section(write(t), "NMSPollInterval", "\n;+++"),
              "NMSPollInterval=3:25:07\t; CallBackFrequency\n"
              "NMSPollNumber=0711555\n"
              "NMSPollCLI=SERIAL\n"
              "\n"
              "EmergencyNumber=110 ; for emergency call (formerly RemoteCallback)\n"
              "EmergencyPause=0:00:59\t; Pause between two emergency calls\n"
              "\n"
              "NMSCDRInterval=48:00:00\t\n"
              "; remote call in\n"
              "RemotePassword=Secret-1\n"
              "RemoteCode=4711\n"
              "RemoteOrigination=\n"
              "RemoteOrigination=0815\n"
              "MapAll78=4711* DATA ; MapIn for Ping\n"
              "MapIn77=4711 DATA ; MapIn for Remote\n"
              "\n");
}

TEST_F(AsciiWriter, TwentyOneRemoteMapInsAndTheStandardOnes) {
    WorkTable t;
    for (int i = 0; i < 21; ++i)
        add_map(t, i == 3 ? std::string("8YYYYYYY") : std::to_string(510 + i), "99",
                MAP_IN | MAP_DATA);
    // Without a remote code only the two standard escapes count.
    std::string text = write(t);
    EXPECT_EQ(section(text, "RemoteOrigination", "\n"),
              "RemoteOrigination=\n"
              ";MapIn8YYYYYYY=yyyyyyy* DATA ; MapIn for Ping\n"
              ";MapIn8XXXXXXX=xxxxxxx DATA ; MapIn for Remote\n");

    std::snprintf(t->table_remote_code, sizeof t->table_remote_code, "99");
    text = write(t);
    // Sorted: the eight-digit escape first (a remote map-in now, by its
    // code), then 510 .. 530; the first twenty go to the remote block.
    std::string remote = "RemoteOrigination=\nMapIn8YYYYYYY=99 DATA ; MapIn for Remote\n";
    for (int n = 510; n < 530; ++n)
        if (n != 513)
            remote += "MapIn" + std::to_string(n) + "=99 DATA ; MapIn for Remote\n";
    remote += ";MapIn8YYYYYYY=99* DATA ; MapIn for Ping\n";
    EXPECT_EQ(section(text, "RemoteOrigination", "\n"), remote);
    // The twenty-first is written with the other maps.
    EXPECT_EQ(section(text, ";+++", "; time independent entries"),
              ";+++++++++++++++++++++++++ routings +++++++++++++++++++++++++\n"
              "\n"
              "MapIn530=99 DATA\n"
              "\n");
}

TEST_F(AsciiWriter, CmpMsnPassesAndMsns) {
    WorkTable t;
    add_map(t, "11", "I1", 0);
    add_map(t, "22", "R2", 0);
    add_map(t, "33", "3", 0);
    add_map(t, "44", "4", MAP_OUT);
    std::snprintf(t->table_reserved.table_own_msn, sizeof t->table_reserved.table_own_msn, "12");
    std::snprintf(t->table_reserved.table_drop_msn, sizeof t->table_reserved.table_drop_msn, "34");
    EXPECT_EQ(section(write(t), "OwnMSN", "; time independent entries"),
              "OwnMSN=12\n"
              "CmpMSN=22 R2\n"
              "CmpMSN=33 3\n"
              "CmpMSN=11 I1\n"
              "CmpMSN=33 3\n"
              "DropMSN=34\n"
              "\n"
              ";+++++++++++++++++++++++++ routings +++++++++++++++++++++++++\n"
              "\n"
              "MapOut44=4\n"
              "\n");
}

TEST_F(AsciiWriter, HolidaysPeriodsAndGroupedMaps) {
    WorkTable t;
    t->table_holiday[0] = {1, 1};
    t->table_holiday[1] = {24, 12};
    t->table_holiday[2] = {0, 5};
    t->table_holiday[3] = {3, 10}; // behind the end of the list
    t->table_period[0] = {0, 0, 0xFF};
    t->table_period[1] = {8, 0, 0x3E};
    t->table_period[2] = {18, 30, 0xC1};
    t->table_max_period_entries = 2;
    add_map(t, "0049", "01019", MAP_OUT, 2);
    add_map(t, "0049", "01033", MAP_OUT, 1);
    add_map(t, "5", "55", MAP_IN | MAP_VOICE);
    add_map(t, "0711", "9", MAP_OUT | MAP_DATA | MAP_VOICE);
    add_map(t, "1", "2", 0x03);
    add_map(t, "6", "", 0x0A | MAP_DTMF);
    map_t *charged = table_map_slot(t.get(), 3);
    charged->map_time = 1250;
    charged->map_charge_start = 1;
    charged->map_charge_add = 2;
    EXPECT_EQ(section(write(t), "Holiday", "; time independent entries"),
              "Holiday= 1.01\n"
              "Holiday=24.12\n"
              "\n"
              ";  1. period of time\t[08.00]" +
                  std::string(6, ' ') + " MO TU WE TH FR" + std::string(3, ' ') +
                  "  ;(3e)\n"
                  ";  2. period of time\t[18.30] HO SU" +
                  std::string(15, ' ') +
                  " SA  ;(c1)\n"
                  "\n"
                  "; time independent mappings\n"
                  "\n"
                  "MapAll1=2\n"
                  "\n"
                  "MapOut0711=9 12.50 1/2\n"
                  "\n"
                  "MapCallBackOut26= DIRECT\n"
                  "\n"
                  "MapIn5=55 VOICE\n"
                  "\n"
                  "\n"
                  "; 1. period of time\n"
                  "[08.00] MO TU WE TH FR  ;(3e)\n"
                  "MapOut0049=01033\n"
                  "\n"
                  "; 2. period of time\n"
                  "[18.30] HO SU SA  ;(c1)\n"
                  "MapOut0049=01019\n"
                  "\n");
}

TEST_F(AsciiWriter, RedirectsLimitsAndCallBack) {
    WorkTable t;
    auto set_redirect = [&](int slot, const char *from, const char *to, uint8_t mode, uint8_t sin) {
        redirect_t &r = t->table_redirect[slot];
        std::snprintf(r.redirect_from, sizeof r.redirect_from, "%s", from);
        std::snprintf(r.redirect_to, sizeof r.redirect_to, "%s", to);
        r.redirect_mode = mode;
        r.redirect_sin = sin;
    };
    set_redirect(0, "9", "8", RE_MODE_RESTRICT, 0);
    std::string text = write(t);
    // A restriction alone is no redirect: no cause or limit lines.
    EXPECT_EQ(section(text, "; time independent entries", "MapCallBackWaitAlert"),
              "; time independent entries\nRestrict9=8\n\n");

    set_redirect(1, "21", "0711", RE_MODE_REDIRECT2, 7);
    set_redirect(4, "23", "0712", 0x14, 0); // high bits do not change the key
    set_redirect(5, "24", "0713", 0x0F, 0);
    set_redirect(6, "25", "0714", 0xFF, 1); // free slot
    text = write(t);
    EXPECT_EQ(section(text, "; time independent entries", "MapCallBackWaitAlert"),
              "; time independent entries\n"
              "Restrict9=8\n"
              "Redirect221=0711 07\n"
              "Redirect323=0712\n"
              "24=0713\n"
              ";NoRedirectCause=a2 af\t; no redirecting inside this cause value range (hex)\n"
              ";AlternativeLimit=nn% HOURLY | DAILY [ALARM]\n"
              "\n");

    auto &r = t->table_reserved;
    r.table_no_redirect_cause[0] = 0xB0;
    r.table_no_redirect_cause[1] = 0xBF;
    r.table_alternative_limit = ALT_LIMIT_HOURLY | 25;
    text = write(t);
    EXPECT_NE(text.find("NoRedirectCause=b0 bf\t; no redirecting inside this cause value range "
                        "(hex)\nAlternativeLimit=25% HOURLY\t; ALARM\n"),
              std::string::npos);
    r.table_alternative_limit = ALT_LIMIT_ALARM | 60;
    EXPECT_NE(write(t).find("AlternativeLimit=60% DAILY ALARM\n"), std::string::npos);

    mapcb_t &cb = t->table_mapcb;
    std::snprintf(cb.mapcb_dial_first[1], sizeof cb.mapcb_dial_first[1], "00");
    std::snprintf(cb.mapcb_dial_end[1], sizeof cb.mapcb_dial_end[1], "#");
    std::snprintf(cb.mapcb_pin[1], sizeof cb.mapcb_pin[1], "1111");
    std::snprintf(r.table_callback_pins[1][1], 20, "2222");
    std::snprintf(r.table_callback_pins[1][3], 20, "4444"); // behind an empty slot
    std::memcpy(r.table_callback_area[1], "49", 2);
    cb.mapcb_flags[1] = MAPCB_FLAG_BUSY;
    std::memcpy(cb.mapcb_call_end, "*#*#", 4); // no terminator
    text = write(t);
    EXPECT_NE(text.find("MapCallBackCallEnd=*#*#\n"), std::string::npos);
    EXPECT_EQ(section(text, "; provider 2", "; provider 3"), "; provider 2\n"
                                                             "MapCallBackDialFirst2=00\n"
                                                             "MapCallBackDialEnd2=#\n"
                                                             "MapCallBackPin2=1111,2222\n"
                                                             "MapCallBackArea2=49\n"
                                                             "MapCallBackToUSA2=0\n"
                                                             "MapCallBackBusy2=1\n"
                                                             "\n");
}

TEST_F(AsciiWriter, ResultCodes) {
    WorkTable t;
    t.add_maps(3);
    test::TraceCapture cap;

    // A slot inside the used range without escape: refused, and the file
    // ends after the statistics.
    std::memset(table_map_slot(t.get(), 1)->map_escape, 0, 13);
    char err_str[kWriterMessageSize] = {};
    std::string text = write(t, -1, err_str);
    EXPECT_STREQ(err_str, "real used maps (2) is different to table value (3)\n");
    EXPECT_TRUE(text.ends_with(";***\tused map entries        :     2 (0.1%)\n\n")) << text;
    EXPECT_EQ(test::error_lines(cap), std::vector<std::string>{err_str});
    cap.clear();
    write(t, -1); // no message buffer: nothing on the error trace
    EXPECT_TRUE(test::error_lines(cap).empty());

    for (int16_t used : {-1, 1571, 32767}) {
        SCOPED_TRACE(used);
        t->table_used_map_entries = used;
        write(t, -1);
    }

    std::memcpy(t->table_format, "TF01.4", 6);
    EXPECT_EQ(write(t, -3), "TABLE=TF01.4  4.Dec 2026 14:19 (Don't touch!)\n\n");

    cap.clear();
    path = dir.file("missing/out.cfg");
    write(t, -2);
    const std::vector<std::string> errors = test::error_lines(cap);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Cannot Write \"" + path + "\"!\n");
    EXPECT_TRUE(errors[1].starts_with("System error 2: ")) << errors[1];

    // A write that fails on the way is no success.
    std::memcpy(t->table_format, "TF01.5", 6);
    t.add_maps(3);
    path = "/dev/full";
    set_instance_table(t.get());
    EXPECT_EQ(write_ascii_table15(t.get(), path.c_str(), nullptr), -2);
    set_instance_table(nullptr);
}

// Any bytes in head and maps: the writer stays inside the record, prints
// unknown codes as "???" and refuses only what does not add up.
TEST_F(AsciiWriter, TablesOfAnyContent) {
    std::mt19937 random(20261204);
    WorkTable t;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        uint8_t *bytes = t.bytes();
        for (size_t i = 0; i < kTableSize; ++i)
            bytes[i] = static_cast<uint8_t>(random());
        std::memcpy(t->table_format, "TF01.5", 6);
        // Half of the rounds get a used count that matches its slots, so
        // that the whole file is written.
        if (round % 2 == 0) {
            const int used = static_cast<int>(random() % 40);
            for (int i = 0; i < used; ++i) {
                map_t *m = table_map_slot(t.get(), static_cast<size_t>(i));
                m->map_escape[0] = static_cast<char>('0' + random() % 10);
                if (m->map_mode == 0xFF)
                    m->map_mode = 0x02;
            }
            t->table_used_map_entries = static_cast<int16_t>(used);
        }
        set_instance_table(t.get());
        const int r = write_ascii_table15(t.get(), path.c_str(), nullptr);
        set_instance_table(nullptr);
        EXPECT_TRUE(r == 0 || r == -1) << r;
        if (round % 2 == 0) {
            EXPECT_EQ(r, 0);
            EXPECT_TRUE(test::read_file(path).find("DTMFDialEnd=") != std::string::npos);
        }
    }
}

} // namespace
