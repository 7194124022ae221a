// The key handlers of switches, protocols, line, currency, remote, poll,
// redirect, subscriber, call-back and DTMF lines: each line goes through the
// splitter upper-cased, as the driver's second pass hands it over, and the
// table bytes it leaves are compared with the whole working buffer before.
#include "frame/frame.h"
#include "parser/key_handlers.h"
#include "parser/key_helpers.h"
#include "support/trace_capture.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using namespace std::string_literals;
using Lines = std::vector<std::string>;

// The handlers by key, in the order of the driver's key table (prefix match).
struct Key {
    const char *prefix;
    void (*handler)(ParseState &);
};
// clang-format off
const Key kKeys[] = {
    {"OPTIONS", key_options}, {"OPTIMIZE", key_options}, {"PROTEXT", key_prot_ext},
    {"PROTINT", key_prot_int}, {"REMOTECODE", key_remote_code}, {"NMSPOLLNUMBER", key_poll_number},
    {"NMSPOLLCLI", key_poll_cli}, {"REMOTEORIGINATION", key_remote_origination},
    {"REMOTECALLBACK", key_remote_callback}, {"EMERGENCYNUMBER", key_remote_callback},
    {"EMERGENCYPAUSE", key_emergency_pause}, {"NMSPOLLINTERVAL", key_poll_interval},
    {"CALLBACKFREQUENCY", key_poll_interval}, {"NMSCDRINTERVAL", key_cdr_interval},
    {"CTRL2", key_ctrl2}, {"S2M_L1MODE", key_s2m_l1mode}, {"SUBSCRIBER", key_subscriber},
    {"FREETONE", key_free_tone}, {"CURRENCY", key_currency}, {"DROPMSN", key_drop_msn},
    {"REDIRECT", key_redirect}, {"RESTRICT", key_restrict}, {"CONTROLLER", key_controller},
    {"COUNTRYCODE", key_country_code}, {"OWNMSN", key_own_msn},
    {"MAPCALLBACK", key_mapcallback_setting}, {"DTMFWAITDIAL", key_dtmf_wait_dial},
    {"DTMFWAITDTMF", key_dtmf_wait_dtmf}, {"DTMFCOUNT", key_dtmf_count},
    {"DTMFDIALEND", key_dtmf_dial_end}, {"NOREDIRECTCAUSE", key_no_redirect_cause},
    {"ALTERNATIVELIMIT", key_alternative_limit},
};
// clang-format on

// A fresh working buffer and the state of one parse.
struct Parse {
    Parse() {
        ps.table = static_cast<table_t *>(myAlloc(kWorkBufferSize, "pt"));
        init_fresh_table(ps.table);
        fill_work_area(ps.table);
    }
    ~Parse() { myFree(ps.table, "pt"); }
    std::string image() const {
        return {reinterpret_cast<const char *>(ps.table), kWorkBufferSize};
    }

    // Lines one by one until one leaves an error level, which is returned.
    int32_t feed(const Lines &lines) {
        for (const std::string &text : lines) {
            ++ps.line_number;
            std::snprintf(ps.line, sizeof ps.line, "%s\n", text.c_str());
            std::strcpy(ps.scratch, ps.line);
            for (char *c = ps.scratch; *c; ++c)
                *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
            EXPECT_EQ(parse_line(ps.scratch, ps.words), 0) << text;
            const char *key = ps.words.tokens[0];
            for (const Key &k : kKeys) {
                if (std::strncmp(key, k.prefix, std::strlen(k.prefix)) == 0) {
                    k.handler(ps);
                    break;
                }
            }
            if (ps.error_level != 0)
                return ps.error_level;
        }
        return 0;
    }
    ParseState ps;
};

// A text field of n bytes: the text and zero bytes behind it.
std::string f(const std::string &text, size_t n) {
    return text + std::string(n - text.size(), '\0');
}
std::string redirect(const std::string &from, const std::string &to, int sin, int mode) {
    return f(from, 20) + f(to, 20) + char(sin) + char(mode);
}
const std::string k19 = "1234567890123456789";

struct Row {
    Lines lines;
    size_t offset;     // first byte the lines may change
    std::string bytes; // what those bytes hold afterwards; every other byte stays
    int32_t level;
};

void check_rows(const std::vector<Row> &rows) {
    for (const Row &row : rows) {
        SCOPED_TRACE(row.lines.back());
        Parse p;
        std::string want = p.image();
        want.replace(row.offset, row.bytes.size(), row.bytes);
        EXPECT_EQ(p.feed(row.lines), row.level);
        const std::string got = p.image();
        EXPECT_EQ(got.substr(row.offset, row.bytes.size()), row.bytes);
        EXPECT_TRUE(got == want) << "a byte outside the expected field changed";
    }
}

TEST(KeyHandlers, SwitchesProtocolsAndLine) {
    check_rows({
        {{"OPTIONS=NoStandardMaps,LogCDR", "OPTIMIZE=Off"},
         2361,
         "\x03"s + f("", 31) + "\x04\x00"s,
         0},
        {{"OPTIONS=OFFLINE specialsin"}, 2361, "\x05"s, 0},
        {{"OPTIONS=aocTransparency, AutoDown DeActTransparency,LogEPICErr,NoOptimize"},
         2361,
         "\xF1"s,
         0},
        {{"OPTIONS=SignallingNoCarrier FSKSignal PeriodTest NoBootAlarm SendDTE NoAutoActL2",
          "OPTIONS=LogCDR RLICount NoSetupRepeat IgnoreStatusMessage AOCSTransparency SaveTEI foo"},
         2393,
         "\x3F\x3F"s,
         0},
        {{"ProtExt=DSS1 PMP"}, 314, "\xFF\x18\xFF\x00"s, 0},
        {{"ProtExt=1TR6 PMP"}, 314, "\xFF\x14\xFF\x01"s, 0},
        {{"ProtInt=BILING PP"}, 314, "\x15\xFF\x02\xFF"s, 0},
        {{"ProtInt=EDSS1"}, 314, "\xFF\xFF\x00\xFF"s, 0},
        {{"ProtExt=BILING PP"}, 314, "\xFF\x15\xFF\x50"s, 3},
        {{"ProtExt=DEFAULT PP"}, 314, "\xFF\x15\xFF\x50"s, 3},
        {{"ProtInt=AUTO X"}, 314, "\x50\xFF\x50\xFF"s, 3},
        {{"ProtExt=DSS1 PP", "ProtInt=DSS1 PMP"}, 314, "\x14\x15\x00\x00"s, 3},
        {{"ProtInt=DSS1 PMP", "ProtExt=1TR6 PP"}, 314, "\x14\x15\x00\x01"s, 3},
        {{"ProtExt=DSS1 PMP", "ProtInt=DSS1 PP"}, 314, "\x15\x18\x00\x00"s, 0},
        // Only the second protocol line judges the pair.
        {{"ProtExt=DSS1 PP", "ProtInt=AUTO", "ProtInt=DSS1 PMP"}, 314, "\x14\x15\x00\x00"s, 0},
        {{"S2M_L1Mode=DOUBLEFRAME", "S2M_L1Mode=CRC4x"}, 2362, "\x01"s, 0},
        {{"S2M_L1Mode=CRC4", "S2M_L1Mode=E1"}, 2362, "\x00"s, 0},
        {{"Ctrl2=Escape"}, 318, "\x01"s, 0},
        {{"Ctrl2=Escape", "Ctrl2=other"}, 318, "\x02"s, 0},
        {{"FreeTone=1000 4000"}, 2369, "\xFF"s + f("", 47) + "\x0A\x28\xFF"s, 0},
        {{"FreeTone=1000 4000", "FreeTone=Normal"}, 2369, "\x00"s + f("", 47) + "\x0A\x28\xFF"s, 0},
        {{"FreeTone=Continual"}, 2369, "\x00"s, 0},
        {{"FreeTone=100 200 300 400 500 600 700 800 900 1000 1100"},
         2369,
         "\xFF"s + f("", 47) + "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A"s,
         0},
        {{"FreeTone=500 x 700"}, 2369, "\xFF"s + f("", 47) + "\x05\xFF"s, 0},
        {{"Controller3=A", "Controller15=~x"}, 2087, "\0\0\0A"s + f("", 11) + "~", 0},
        {{"Controller65539=B"}, 2090, "B", 0}, // the index is taken as 16 bits
        {{"Controller16=A", "Controller2=\xC4", "Controller=\x7F"}, 2087, "", 0},
        {{"CountryCode=351"}, 2060, "\x87"s, 0},
        {{"CountryCode=49"}, 2060, "\x31"s, 0},
        {{"CountryCode=65887"}, 2060, "\x87"s, 0},
        {{"CountryCode=300"}, 2060, "\x2C"s, 0},
    });
}

TEST(KeyHandlers, Currency) {
    auto cur = [](int mode, int value, int div, const std::string &sign) {
        return std::string{char(mode), char(value & 0xFF), char(value >> 8), char(div & 0xFF),
                           char(div >> 8)} +
               f(sign, 10);
    };
    check_rows({
        {{"Currency=CH"}, 319, cur(2, 10, 10, "FR. "), 0},
        {{"Currency=NL 5"}, 319, cur(3, 5, 1, "N40*"), 0},
        {{"Currency=CH 20 100 eur"}, 319, cur(2, 20, 100, "EUR"), 0},
        {{"Currency=CH 20 100 eur", "Currency=AOCU"}, 319, cur(0, 20, 100, "EUR"), 0},
        {{"Currency=AOCUD 65537 3 ABCDEFGHIJKL"}, 319, cur(6, 1, 3, "ABCDEFGHI"), 0},
        {{"Currency=E2 1 1 \"abc\""}, 319, cur(9, 1, 1, "ABC"), 0},
        {{"Currency=G 1 1 \"ABCDEFGHI\""}, 319, cur(11, 1, 1, "ABCDEFGHI"), 0},
        {{"Currency=AOCU 1 0"}, 319, cur(0, 1, 0, ""), 3},
        {{"Currency=P 1 1 \"ABC M"}, 319, cur(10, 1, 1, ""), 3},
        {{"Currency=P 1 1 \"ABCDEFGHIJ\""}, 319, cur(10, 1, 1, ""), 3},
        {{"Currency=XYZ 5 5"}, 319, cur(0, 0, 1, ""), 3},
    });
    // The minute model is kept in the option byte, for every later map line.
    Parse p;
    EXPECT_EQ(p.feed({"Currency=AOCC 1 1 X M", "OPTIONS=LogCDR", "Currency=AOCC 1 1 X"}), 0);
    EXPECT_EQ(p.ps.table->table_reserved.table_options, OPT_MINUTE_MODEL);
}

TEST(KeyHandlers, NumbersIntervalsAndPolling) {
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char *>(&v), 4); };
    check_rows({
        {{"RemoteCode=123456", "RemoteCode=12"}, 214, f("12", 20), 0},
        {{"RemoteCode=" + k19 + "0123"}, 214, f(k19, 20), 1},
        {{"NMSPollNumber=0301"}, 2032, f("0301", 20), 0},
        {{"RemoteCallback=1", "EmergencyNumber=110"}, 294, f("110", 20), 0},
        {{"OwnMSN=4711"}, 2395, f("4711", 20), 0},
        {{"DropMSN=" + k19 + "9"}, 2370, f(k19, 20), 1},
        {{"RemoteOrigination=1", "RemoteOrigination=2", "RemoteOrigination=3"},
         234,
         f("1", 20) + f("2", 20) + f("3", 20),
         0},
        {{"RemoteOrigination=1", "RemoteOrigination=2", "RemoteOrigination=3",
          "RemoteOrigination=4"},
         234,
         f("1", 20) + f("2", 20) + f("3", 20),
         1},
        {{"EmergencyPause=0:10"}, 2052, u32(600), 0},
        {{"EmergencyPause=2"}, 2052, u32(7200), 0},
        {{"NMSPollInterval=1:00:30"}, 2028, u32(3630), 0},
        {{"CallBackFrequency=0:0:45"}, 2028, u32(45), 0},
        {{"NMSCDRInterval=65535:59:59"}, 2056, u32(65535u * 3600 + 3599), 0},
        {{"NMSPollCLI=0301 SERIAL MAX5"},
         2061,
         f("\x86\x05"s
           "0301",
           20),
         0},
        {{"NMSPollCLI=SERIAL"}, 2061, f("SERIAL", 20), 0},
        {{"NMSPollCLI=0301,serial"}, 2061, f("0301", 20), 0},
        {{"NMSPollCLI=Binaer,CgPN 0301 0302"},
         2061,
         f("\x89"s
           "0302",
           20),
         0},
        {{"NMSPollCLI=Binaer ASCII CgS,CdS 12"},
         2061,
         f("\xB0"s
           "12",
           20),
         0},
        // A maximum of 0 writes no maximum byte although flag 04h is set.
        {{"NMSPollCLI=MAX0 12"},
         2061,
         f("\x84"s
           "12",
           20),
         0},
        {{"NMSPollCLI=" + k19 + " CgS MAX9"}, 2061, "\x94\x09"s + f(k19.substr(0, 17), 18), 1},
        {{"NMSPollCLI=" + k19 + " CdS"}, 2061, "\xA0"s + f(k19.substr(0, 18), 19), 1},
        {{"NMSPollCLI=" + k19}, 2061, f(k19, 20), 0},
        {{"NMSPollCLI=12", "NMSPollCLI=34"}, 2061, f("12", 20), 1},
    });
}

TEST(KeyHandlers, RedirectsAndLimits) {
    check_rows({
        {{"Redirect1123=5"}, 768, redirect("123", "P", 0, 1), 0},
        {{"Redirect2123=p 7"}, 768, redirect("123", "P", 7, 2), 0},
        {{"Redirect3123=456 16", "Redirect5124=457"},
         768,
         redirect("123", "456", 16, 4) + redirect("124", "457", 0, 6),
         0},
        {{"Redirect4123=456"}, 768, redirect("123", "456", 0, 0), 0},
        {{"Redirect6123=456"}, 768, "", 3},
        {{"RedirectA123=456"}, 768, "", 3},
        {{"Redirect1123=456 17"}, 768, "", 3},
        {{"Redirect1123=456 -1"}, 768, "", 3},
        {{"Restrict9=8", "Restrict0049=0 3"},
         768,
         redirect("9", "8", 0, 8) + redirect("0049", "0", 3, 8),
         0},
        {{"Redirect1" + k19 + "99=" + k19 + "9"}, 768, redirect(k19, k19, 0, 1), 1},
        {{"Restrict" + std::string(80, '7') + "=1"},
         768,
         redirect(std::string(19, '7'), "1", 0, 8),
         1},
        {{"NoRedirectCause=10 1F"}, 2390, "\x90\x9F"s, 0},
        {{"NoRedirectCause=0x7F"}, 2390, "\xFF\x00"s, 0},
        {{"AlternativeLimit=75 HOURLY ALARM"}, 2392, "\xFC"s, 0},
        {{"AlternativeLimit=30 DAILY"}, 2392, "\x1E"s, 0},
        {{"AlternativeLimit=40 Hour"}, 2392, "\xA8"s, 0},
        {{"AlternativeLimit=40 HOURLY DAILY"}, 2392, "\x28"s, 0},
        {{"AlternativeLimit=300"}, 2392, "\x2C"s, 0}, // the low byte is capped, not the value
    });
    // Thirty slots; further Redirect and Restrict lines are dropped.
    Parse p;
    Lines lines;
    for (int i = 0; i < 32; ++i)
        lines.push_back((i % 2 ? "Restrict" : "Redirect1") + std::to_string(i) + "=5");
    const std::string before = p.image();
    EXPECT_EQ(p.feed(lines), 0);
    EXPECT_EQ(p.ps.redirect_count, 30);
    EXPECT_TRUE(p.ps.p_target);
    EXPECT_EQ(std::string(p.ps.table->table_redirect[29].redirect_from), "29");
    EXPECT_EQ(p.image().substr(2028), before.substr(2028));
}

TEST(KeyHandlers, CallBackAndDtmf) {
    check_rows({
        {{"MapCallBackWaitDial=10", "MapCallBackWaitDtmf=11"}, 664, "\x0A\x0B"s, 0},
        {{"MapCallBackWaitAlert=9", "MapCallBackWaitBreak=300", "MapCallBackWaitDisc=2"},
         754,
         "\x09\x01\x01\x01\x2C\x02"s,
         0},
        {{"MapCallBackDialFirst=0049"}, 666, f("0049", 6) + f("0049", 6) + f("0049", 6), 0},
        {{"MapCallBackDialFirst2=004912"}, 672, f("00491", 6), 1},
        {{"MapCallBackDialFirst0=01"}, 666, f("01", 6) + f("01", 6) + f("01", 6), 0},
        {{"MapCallBackDialEnd3=#9"}, 688, "#\0"s, 0},
        {{"MapCallBackDialEnd=*"}, 684, "*\0*\0*\0"s, 0},
        {{"MapCallBackCallEnd=#*#*"}, 750, "#*#\0"s, 0},
        {{"MapCallBackToUSA2=0"}, 756, "\x00"s, 0},
        {{"MapCallBackToUSA=0", "MapCallBackBusy3=1"}, 755, "\x00\x00\x08"s, 0},
        {{"MapCallBackBusy=1"}, 755, "\x09\x09\x09"s, 0},
        {{"MapCallBackBusy4=1"}, 755, "", 3},
        {{"MapCallBackToUSA1=2"}, 755, "", 3},
        {{"MapCallBackBusy1=-1"}, 755, "", 3},
        {{"MapCallBackArea2=30", "MapCallBackArea1=7"},
         2363,
         "7\0"
         "30"s,
         0},
        {{"MapCallBackArea=49", "MapCallBackArea4=5"}, 760, "5\0"s, 0},
        {{"MapCallBackArea=123"}, 760, "", 3},
        {{"MapCallBackOut1=0049 123", "MapCallBackIn2=0711", "MapCallBackFoo=1"}, 0, "", 0},
        {{"MapCallBackPin=9999"}, 690, f("9999", 20) + f("9999", 20) + f("9999", 20), 0},
        {{"MapCallBackPin2=" + k19 + "0"}, 710, f(k19, 20), 1},
        {{"MapCallBackPin4=1234", "MapCallBackPinX=1"}, 0, "", 0},
        {{"DTMFWaitDial=7", "DTMFWaitDtmf=260", "DTMFCount=12", "DTMFDialEnd=#*"},
         762,
         "\x07\x04\x0C#*\0"s,
         0},
        {{"DTMFDialEnd=123"}, 765, "12\0"s, 1},
    });
}

TEST(KeyHandlers, PinListKeepsTheFirstPinAndFourEntries) {
    Parse p;
    const auto &pins = p.ps.table->table_reserved.table_callback_pins[0];
    EXPECT_EQ(p.feed({"MapCallBackPin1=1111,2222,3333"}), 0);
    EXPECT_EQ(std::string(pins[0], 80), f("1111", 20) + f("2222", 20) + f("3333", 20) + f("", 20));
    EXPECT_EQ(p.feed({"MapCallBackPin1=4444 5555", "MapCallBackPin2=77"}), 0);
    EXPECT_EQ(std::string(pins[0], 80),
              f("1111", 20) + f("2222", 20) + f("3333", 20) + f("4444", 20));
    EXPECT_EQ(std::string(p.ps.table->table_mapcb.mapcb_pin[0], 60),
              f("1111", 20) + f("77", 20) + f("", 20));
}

TEST(KeyHandlers, Subscribers) {
    check_rows({
        {{"Subscriber01=CHINC[1,30] CHSTART[5,CYC]"}, 2081, "\0\0\0\x1D\0\x44"s, 0},
        {{"Subscriber00=CHINC[31,0] CHSTART[30,ANY]"}, 2081, "\0\0\x1D\0\xDD\0"s, 0},
        {{"Subscriber00=Foo[1,2] CHSTART[2,INV]", "Subscriber11=CHSTART[2,xyz]"},
         2085,
         "\x81\x01"s,
         0},
        {{"Subscriber02=CHINC[2,3]", "Subscriber19=CHINC[2,3]"}, 2081, "", 0},
        {{"Subscriber01=CHINC[3]"}, 2081, "", 3},
    });
}

TEST(KeyHandlers, DebugLines) {
    Parse p;
    test::TraceCapture cap;
    test::DebugOn debug;
    for (const std::string &line :
         {"OPTIONS=LogCDR"s, "ProtExt=Biling PP"s, "S2M_L1Mode=CRC4"s, "Controller3=A"s,
          "CountryCode=351"s, "Currency=AOCU 1 0"s, "RemoteCode=" + k19 + "0",
          "EmergencyPause=0:10"s, "Redirect1123=5"s, "Restrict9=8"s, "NoRedirectCause=10 1F"s,
          "AlternativeLimit=30 DAILY"s, "MapCallBackBusy2=1"s, "MapCallBackPin1=11,22"s,
          "NMSPollCLI=0301 Max5"s, "Subscriber01=CHINC[1,30] CHSTART[5,CYC]"s}) {
        p.feed({line});
        p.ps.error_level = 0;
    }
    EXPECT_EQ(cap.bodies(), (Lines{"parse_options:sn[1]=<LOGCDR>\n",
                                   "opt=00/00 opt2=0004/0004 p1=<LOGCDR>\n",
                                   "conf_check_l2prot(1, BILING, PP, 0000)\n",
                                   "WARNING: prot or l2mode not available (ProtExt=Biling PP\n)\n",
                                   "table_te_l2mode=21\n",
                                   "S2M_L1MODE=CRC4 -> S2M_L1Mode = 1\n",
                                   "#865: Controller3=A\n",
                                   "#874: CountryCode=135\n",
                                   "invalid currency divisor 0\n",
                                   "Currency: mode=0 value=1 div=0 sign=<> \n",
                                   "WARNING: cut number in 7\n",
                                   "table_remote_code=" + k19 + "\n",
                                   "EmergencyPause=0:10\n",
                                   "EmergencyPause=600\n",
                                   "Redirect art1 sin0\n",
                                   "table_redirect[0]=123->P RE_MODE=0x01\n",
                                   "table_redirect[1]=9->8 8 sin=0\n",
                                   "NoRedirectCause=90 9F\n",
                                   "AlternativeLimit=30% DAILY  ; ALARM\n",
                                   "set_cb_mode pi=2(2) pv=1(1) mode=8\n",
                                   "set_cb_mode cb_mode[1]=09\n",
                                   "mk_pin(<11>,0)\n",
                                   "mk_pin(<22>,0) -> i=1\n",
                                   "parse_poll_cli:sn[1]=<0301>\n",
                                   "cli=00 p1=<0301> max=0\n",
                                   "parse_poll_cli:sn[2]=<MAX5>\n",
                                   "cli=04 p1=<MAX5> max=5\n",
                                   "cli=04 84 clis=<0301> max=5\n",
                                   "table_poll_cli=\x84\x05"
                                   "0301\n",
                                   "Subscriber00=CHINC[01,30] CHSTART[01,LIN]\n",
                                   "Subscriber01=CHINC[01,30] CHSTART[05,CYC]\n"}));
}

TEST(KeyHandlers, LinesWithoutValuesChangeNoMap) {
    // The driver skips such lines; called anyway, no handler may read or
    // write past its fields.
    for (const Key &k : kKeys) {
        SCOPED_TRACE(k.prefix);
        Parse p;
        const std::string before = p.image();
        ASSERT_EQ(parse_line(k.prefix, p.ps.words), 0);
        k.handler(p.ps);
        EXPECT_EQ(p.image().substr(kTableHeadSize), before.substr(kTableHeadSize));
    }
}

} // namespace
