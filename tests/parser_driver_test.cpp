// The parser driver: error levels with their results and messages, the
// line reader, the first-pass keys, TABLE, the end of parsing and the
// standard maps, checked through the table record.
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "support/config_parse.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vorn;
using test::parse_config;
using test::Parsed;

std::string repeat(const std::string &line, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += line;
    return out;
}

// 4 Dec 2026 14:19 UTC.
constexpr long long kDec4th2026At1419 = 1796393940;

TEST(ParserDriver, ErrorLevelsGiveTheirResultsAndTheLineMessage) {
    const std::string long_line =
        "MAPOUT0=1 FOO ; A COMMENT THAT MAKES THIS LINE LONGER THAN FIFTY CHARACTERS\n";
    struct Row {
        std::string lines;
        int result;
        std::string err_str;
    };
    const Row rows[] = {
        {"RemotePassword=abcDEFghiJKLmnoPQRstuVWXY\n", -4,
         "Line 2:@REMOTEPASSWORD=ABCDEFGHIJKLMNOPQRSTUVWXY\n@"},
        {"[10] MO\n", -5, "Line 2:@[10] MO\n@"},
        {"CmpMSN=123\n", -5, "Line 2:@CMPMSN=123\n@"},
        {"MapOut1=2\nHoliday=5\nMapOut2=3\n", -5, "Line 3:@HOLIDAY=5\n@"},
        {"Holiday=31.13\n", -6, "Line 2:@HOLIDAY=31.13\n@"},
        {repeat("[08:00] MO\nMapOut1=2\n", 64), -8, "Line 128:@[08:00] MO\n@"},
        {long_line, -5, "Line 2:@" + long_line.substr(0, 50) + "...@"},
        // A last line without its line end is read; the message has no line end.
        {"MapOut0=1 FOO", -5, "Line 2:@MAPOUT0=1 FOO@"},
        // A TABLE line of another format stops the parse at once, without message.
        {"MapOut1=2\nTABLE=TF01.4\nMapOut1=2 FOO\n", -9, ""},
        {repeat("MapOut1=2\n", 5071), -11, "Line 5072:@MAPOUT1=2\n@"},
        {repeat("MapOut1=2\n", 5070), 0, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.err_str);
        const Parsed p = parse_config(row.lines);
        EXPECT_EQ(p.result, row.result);
        EXPECT_EQ(p.err_str, row.err_str);
    }
    // The cut password keeps the case of the line.
    EXPECT_STREQ(parse_config(rows[0].lines).table().table_password, "abcDEFghiJKLmnoPQRs");
    // Values of the lines before the failing one stay in the record.
    EXPECT_STREQ(parse_config(rows[3].lines).map(0).map_escape, "1");
    // No TABLE line at all: the compiler's format check at the end; no
    // file: -2.
    test::TempDir dir;
    test::write_file(dir.file("n.cfg"), "MapOut1=2\n");
    char err_str[kErrStrSize] = "x";
    table_t *table = nullptr;
    EXPECT_EQ(read_ascii_table15(&table, dir.file("n.cfg").c_str(), err_str), -9);
    myFree(table, "pt");
    set_instance_table(nullptr);
    table = nullptr;
    EXPECT_EQ(read_ascii_table15(&table, "/nonexistent/box.cfg", err_str), -2);
    EXPECT_EQ(table, nullptr);
    EXPECT_STREQ(err_str, "");
}

TEST(ParserDriver, LinesKeysAndPrefixMatches) {
    test::PinnedClock clock(kDec4th2026At1419);
    const Parsed p = parse_config("; comment\n"
                                  "rem MapOut1=2\n"
                                  "REM MapOut1=2\n"
                                  "\n"
                                  "Foo=1\n"
                                  "MapOut3\n"              // a key without value is skipped
                                  "   mapinxyz = 5 \r\n"   // MapIn with the escape XYZ
                                  "TABLES=TF01.5x later\n" // a TABLE line too
                                  "COMMENT=" +
                                  std::string(142, 'c') +
                                  "\n" // cut at 98
                                  "PABXName=Next line\n");
    ASSERT_EQ(p.result, 0) << p.err_str;
    EXPECT_STREQ(p.map(0).map_escape, "XYZ");
    EXPECT_STREQ(p.map(0).map_code, "5");
    EXPECT_EQ(p.map(0).map_mode, 0xC1);
    EXPECT_STREQ(p.table().table_format, "TF01.5  4.Dec 2026 14:19");
    EXPECT_EQ(std::string(p.table().table_comment), std::string(75, 'c'));
    EXPECT_STREQ(p.table().table_init_name, "Next line");
    EXPECT_STREQ(p.map(1).map_escape, "0"); // then the standard maps
}

TEST(ParserDriver, CommentStampAndExchangeName) {
    test::PinnedClock clock(kDec4th2026At1419);
    char version[23];
    get_vorn_b32_dll_version(version, sizeof version);
    const std::string stamp =
        std::string("write by WCFG2BIN (") + version + ") on  4.Dec 2026 14:19";
    struct Row {
        const char *line;
        std::string comment;
    };
    const Row rows[] = {
        {"COMMENT=  Office, 3rd floor  \n", "Office, 3rd floor"},
        {"COMMENT=Default table of 2015\n", stamp},
        {"COMMENT=Vorn-Box Default-Table\n", stamp},
        {"COMMENT=Customer default table\n", stamp},
        {"COMMENT=Built-in\n", stamp},
        {"COMMENT=write by WCFG2BIN (old) on 1.Jan 2000\n", stamp},
        {"COMMENT=write by mkroute 1.2\n", "write by mkroute 1.2"},
        // A key without a value is skipped before the first-pass keys look at
        // it, so an empty comment stays empty (and gets no stamp).
        {"COMMENT=\n", ""},
    };
    set_tool_name("WCFG2BIN");
    platform::set_console_quiet(true); // no version lines among the test output
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(parse_config(row.line).table().table_comment, row.comment);
    }
    // Without a tool name the stamp names the tools; a long one is cut.
    set_tool_name("");
    EXPECT_EQ(std::string(parse_config(rows[1].line).table().table_comment),
              std::string("write by Vorn-Tools (") + version + ") on  4.Dec 2026 14:19");
    platform::set_console_quiet(false);
    set_tool_name(std::string(79, 'T').c_str());
    EXPECT_EQ(std::string(parse_config(rows[1].line).table().table_comment),
              "write by " + std::string(66, 'T'));
    set_tool_name("");

    EXPECT_STREQ(parse_config("PABXName=  Box  of Kemax  \n").table().table_init_name,
                 "Box  of Kemax");
    EXPECT_EQ(std::string(
                  parse_config("pabxname=" + std::string(50, 'n') + "\n").table().table_init_name),
              std::string(39, 'n'));
}

TEST(ParserDriver, EndOfParseHolidaysMapsAndPeriods) {
    const Parsed p = parse_config("Holiday=24.12\nHoliday=01.01\nHoliday=25.12\nHoliday=24.12\n"
                                  "MapOut5=1 DATA\n[08:00] MO\nMapOut1=2\n[18:00] SA\n");
    ASSERT_EQ(p.result, 0) << p.err_str;
    const table_t &t = p.table();
    EXPECT_EQ(t.table_holiday_entries, 3);
    const uint8_t holidays[] = {1, 1, 24, 12, 25, 12, 0, 0};
    EXPECT_EQ(std::memcmp(t.table_holiday, holidays, sizeof holidays), 0);
    EXPECT_EQ(t.table_max_period_entries, 2); // the last section opened
    // Two maps of the file, then 0..9 -> 90..99 out (5 gets VOICE beside
    // the DATA map of the file) and 0..9 -> 80..89 in.
    ASSERT_EQ(p.used(), 22);
    EXPECT_EQ(p.map(0).map_mode, 0x82);
    EXPECT_EQ(p.map(1).map_period, 1);
    std::vector<std::string> added;
    for (int i = 2; i < p.used(); ++i) {
        const map_t &m = p.map(static_cast<size_t>(i));
        char text[64];
        std::snprintf(text, sizeof text, "%s>%s:%02X:%u", m.map_escape, m.map_code, m.map_mode,
                      m.map_period);
        added.emplace_back(text);
    }
    EXPECT_EQ(added, (std::vector<std::string>{
                         "0>90:C2:0", "1>91:C2:0", "2>92:C2:0", "3>93:C2:0", "4>94:C2:0",
                         "5>95:42:0", "6>96:C2:0", "7>97:C2:0", "8>98:C2:0", "9>99:C2:0",
                         "0>80:C1:0", "1>81:C1:0", "2>82:C1:0", "3>83:C1:0", "4>84:C1:0",
                         "5>85:C1:0", "6>86:C1:0", "7>87:C1:0", "8>88:C1:0", "9>89:C1:0"}));

    // A map of the file in period 0 with both services keeps its standard map out.
    const Parsed q = parse_config("MapOut5=77\nMapIn5=66 VOICE\n");
    ASSERT_EQ(q.used(), 2 + 9 + 10);
    EXPECT_STREQ(q.map(2 + 5).map_escape, "6");
    EXPECT_EQ(q.map(2 + 9 + 5).map_mode, 0x81); // incoming 5 gets DATA
}

TEST(ParserDriver, PeriodTestStartsThePeriodsMinuteByMinute) {
    // 23:59 UTC: the second period wraps to the next hour, which is 0.
    test::PinnedClock clock(1796428740);
    test::TempDir dir;
    test::write_file(dir.file("p.cfg"), "TABLE=TF01.5\nOPTIONS=PeriodTest\n[08:00] MO\nMapOut1=2\n"
                                        "[09:00] TU\nMapOut1=3\n[10:00] WE\n");
    ParseState ps;
    table_t *table = nullptr;
    char err[kErrStrSize];
    ASSERT_EQ(parse_ascii_config(ps, &table, dir.file("p.cfg").c_str(), err), 0);
    ASSERT_NE(ps.mpde, nullptr);
    std::vector<int> starts;
    for (int i = 1; i <= 3; ++i) {
        starts.push_back(ps.mpde[i].mpde_hour);
        starts.push_back(ps.mpde[i].mpde_minute);
    }
    EXPECT_EQ(starts, (std::vector<int>{23, 59, 0, 0, 0, 1}));
    EXPECT_EQ(ps.mpde[3].mpde_first_map, 2u);
    EXPECT_EQ(ps.mpde[3].mpde_last_map, 1u); // the empty last section
    release_period_block(ps);
    myFree(table, "pt");
    set_instance_table(nullptr);
}

TEST(ParserDriver, TwoThreadsCompileAtTheSameTime) {
    test::TempDir dir;
    const std::string cfg[2] = {dir.file("a.cfg"), dir.file("b.cfg")};
    test::write_file(cfg[0], test::ascii_config("TABLE=TF01.5\nMapOut0049=01019 DATA 30 1/2\n"
                                                "[08:00] MO\nMapIn1=2\nCountryCode=49\n"));
    test::write_file(cfg[1], test::ascii_config("TABLE=TF01.5\nOPTIONS=NoStandardMaps\n"
                                                "MapOut5=6 VOICE\nRemoteCode=4711\n"));
    auto compile = [&](int which, int round) {
        const std::string bin = dir.file(std::to_string(which) + "-" + std::to_string(round));
        EXPECT_EQ(mkconf(cfg[which].c_str(), bin.c_str(), 1), 0);
        std::string image = test::read_file(bin);
        return image.size() > 78 ? image.substr(78) : image; // behind checksum and date
    };
    const std::string expected[2] = {compile(0, 0), compile(1, 0)};
    auto worker = [&](int which) {
        for (int round = 1; round <= 20; ++round)
            EXPECT_EQ(compile(which, round), expected[which]) << which << " round " << round;
    };
    std::thread a(worker, 0);
    std::thread b(worker, 1);
    a.join();
    b.join();
}

} // namespace
