// vorn decompile: what a user sees on success, with --quiet and
// --tool-name, and for every kind of failure.
#include "support/run_tool.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/table.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::run_tool;
using test::shell_quote;
using test::TempDir;

constexpr const char *kPinned = "TZ=UTC SOURCE_DATE_EPOCH=1796393109";

TEST(DecompileTool, WritesTheConfigurationAndSaysSo) {
    TempDir dir;
    const std::string bin = dir.file("t.bin"), cfg = dir.file("t.cfg");
    test::write_file(bin, test::bin_table_image(3));

    test::ToolRun r = run_tool("decompile " + shell_quote(bin) + " " + shell_quote(cfg), kPinned);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "Vorn_B32.DLL 1.0.0.0\n" + bin + ": configuration written to " + cfg + "\n");
    EXPECT_EQ(r.err, "");
    const std::string written = test::read_file(cfg);
    EXPECT_TRUE(written.starts_with("TABLE=TF01.5  4.Dec 2026 14:19 (Don't touch!)\n\n"));
    EXPECT_NE(written.find(";***\tget table by WBIN2CFG (Vorn_B32.DLL 1.0.0.0) on  4.Dec 2026 "
                           "14:05\n"),
              std::string::npos);

    // --quiet: the same file, nothing printed.
    r = run_tool("decompile --quiet " + shell_quote(bin) + " " + shell_quote(cfg), kPinned);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test::read_file(cfg), written);

    // A tool name of the user's: no version line, the name in the file.
    r = run_tool("--tool-name ME decompile " + shell_quote(bin) + " " + shell_quote(cfg), kPinned);
    EXPECT_EQ(r.out, bin + ": configuration written to " + cfg + "\n");
    EXPECT_NE(test::read_file(cfg).find("get table by ME ("), std::string::npos);
}

TEST(DecompileTool, Failures) {
    TempDir dir;
    const std::string bin = dir.file("t.bin"), cfg = dir.file("t.cfg");
    test::write_file(cfg, std::string(3000, 'x'));
    std::string gap = test::bin_table_image(3);
    gap[kTableHeadSize + kMapSize] = '\0'; // map 1 without escape: the count does not add up
    test::write_file(bin, gap);
    struct Row {
        std::string args;
        int exit_code;
        std::string err;
        std::string out = "";
    };
    const Row rows[] = {
        {"decompile " + bin, 2,
         "vorn: decompile needs TABLE.bin and CONFIG.cfg\n"
         "usage: vorn decompile TABLE.bin CONFIG.cfg [--quiet]\n"},
        {"decompile --fast " + bin + " " + cfg, 2,
         "vorn: unknown option '--fast'\nusage: vorn decompile TABLE.bin CONFIG.cfg [--quiet]\n"},
        {"decompile " + cfg + " " + dir.file("out.cfg"), 1,
         "vorn: \"" + cfg +
             "\" is not a binary table that can be read (missing, too short or damaged) "
             "(result -11: file read)\n"},
        {"decompile " + bin + " " + dir.file("out.cfg"), 1,
         "vorn: \"" + bin +
             "\" does not add up: its map count differs from the maps it holds (result -7: "
             "unknown error)\n",
         "Vorn_B32.DLL 1.0.0.0\n"},              // the writer was reached
        {"decompile " + bin + " " + bin, 1, ""}, // the files' check refuses it
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.args);
        const test::ToolRun r = run_tool(row.args, kPinned);
        EXPECT_EQ(r.exit_code, row.exit_code);
        if (!row.err.empty())
            EXPECT_EQ(r.err, row.err);
        else
            EXPECT_NE(r.err, "");
        EXPECT_EQ(r.out, row.out);
    }

    test::write_file(bin, test::bin_table_image(2));
    const test::ToolRun r =
        run_tool("decompile --quiet " + bin + " " + dir.file("no/folder.cfg"), kPinned);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "vorn: cannot write \"" + dir.file("no/folder.cfg") +
                         "\" (result -12: file write)\n");
}

} // namespace
