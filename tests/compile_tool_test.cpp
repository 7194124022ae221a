// vorn compile: the bundled example configuration, progress lines, and the
// compiler-style report of a failing line.
#include "support/run_tool.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/table.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::read_file;
using test::run_tool;
using test::shell_quote;
using test::TempDir;
using test::write_file;

TEST(CompileTool, BundledExampleCompiles) {
    TempDir dir;
    const std::string cfg = std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg";
    const std::string bin = dir.file("box.bin");
    const test::ToolRun run = run_tool("compile " + shell_quote(cfg) + " " + shell_quote(bin),
                                       "SOURCE_DATE_EPOCH=1796393940 TZ=UTC");
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out.starts_with("Vorn_B32.DLL ")) << run.out;
    // Progress of the parser and of each optimizer pass, the last one
    // ending its line.
    EXPECT_TRUE(run.out.ends_with("\nParsing table...\nSorting (43) ...\noptimizing (  43) ...\r"
                                  "optimizing (  45) ...\roptimizing (  45) ...\n" +
                                  cfg + " -> " + bin + "\n"))
        << run.out;

    const std::string image = read_file(bin);
    ASSERT_GE(image.size(), kTableHeadSize + kMapSize);
    const auto &t = *reinterpret_cast<const table_t *>(image.data());
    EXPECT_STREQ(t.table_format, "TF01.5  4.Dec 2026 14:19");
    EXPECT_STREQ(t.table_init_name, "Hanse Logistik Bremen");
    EXPECT_EQ(t.table_holiday_entries, 8);
    // Saturdays, Sundays and holidays split into holidays and weekend.
    EXPECT_EQ(t.table_max_period_entries, 4);
    const uint8_t periods[] = {0, 0, 0x80, 0, 0, 0x41, 8, 0, 0x3E, 18, 0, 0x3E};
    EXPECT_EQ(std::memcmp(&t.table_period[1], periods, sizeof periods), 0);
    EXPECT_EQ(t.table_reserved.table_country_code, 49);
    EXPECT_STREQ(t.table_currency.currency_sign, "EUR");
    EXPECT_EQ(t.table_reserved.table_options2 & 0x0004, 0x0004); // LogCDR
    EXPECT_STREQ(t.table_redirect[0].redirect_to, "0421555200");
    EXPECT_GT(t.table_used_map_entries, 20);
    EXPECT_EQ(image.size(), kTableHeadSize + (t.table_used_map_entries + 1u) * kMapSize);

    const test::ToolRun verify = run_tool("verify " + shell_quote(bin));
    EXPECT_EQ(verify.exit_code, 0) << verify.out << verify.err;
}

TEST(CompileTool, FailuresNameTheFileAndLine) {
    TempDir dir;
    const std::string cfg = dir.file("box.cfg");
    const std::string bin = dir.file("box.bin");
    const std::string args = "compile " + shell_quote(cfg) + " " + shell_quote(bin);
    struct Row {
        std::string text;
        std::string err;
    };
    const Row rows[] = {
        {test::ascii_config("TABLE=TF01.5\n; fine\nMapOut0=1 foo\n"),
         cfg + ":3: error: Syntax Error\n    MapOut0=1 foo\n"
               "vorn: compile failed: Syntax Error (result -72)\n"},
        {test::ascii_config("TABLE=TF01.5\r\nHoliday=31.13\r\n"),
         cfg + ":2: error: Wrong Value\n    Holiday=31.13\n"
               "vorn: compile failed: Wrong Value (result -71)\n"},
        {test::ascii_config("TABLE=TF01.5\nRemoteCode=" + std::string(25, '1') + "\n"),
         cfg + ":2: error: Warning\n    RemoteCode=" + std::string(25, '1') +
             "\nvorn: compile failed: Warning (result -1)\n"},
        {"TABLE=TF01.5\n", cfg + ": error: Cannot Read\n    Cannot Read \"" + cfg +
                               "\"!\nvorn: compile failed: Cannot Read (result -11)\n"},
        {test::ascii_config("TABLE=TF01.4\n"),
         cfg + ": error: Wrong Table Format (TABLE=TFxx.x)\n"
               "vorn: compile failed: Wrong Table Format (TABLE=TFxx.x) (result -70)\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.err);
        write_file(cfg, row.text);
        const test::ToolRun run = run_tool(args + " --quiet");
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, row.err);
        EXPECT_EQ(read_file(bin), "");
    }

    write_file(cfg, test::ascii_config("TABLE=TF01.5\n"));
    const test::ToolRun quiet = run_tool(args + " --quiet");
    EXPECT_EQ(quiet.exit_code, 0) << quiet.err;
    EXPECT_EQ(quiet.out + quiet.err, "");
    EXPECT_EQ(run_tool(args + " --fast").exit_code, 2);
    EXPECT_EQ(run_tool("compile " + shell_quote(cfg)).exit_code, 2);
    EXPECT_EQ(run_tool("compile " + shell_quote(dir.file("none.cfg")) + " x.bin").exit_code, 1);
    EXPECT_EQ(run_tool("compile " + shell_quote(cfg) + " " + shell_quote(cfg)).exit_code, 1);
}

} // namespace
