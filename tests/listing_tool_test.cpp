// vorn compile --listings: the .map and .del listings beside the
// configuration, and the names they may not take.
#include "support/run_tool.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::run_tool;
using test::shell_quote;

TEST(ListingTool, ListingsNeverOverwriteTheConfigurationOrTheTable) {
    test::TempDir dir;
    const std::string example =
        test::read_file(std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg");
    const std::string map_cfg = dir.file("box.map"), cfg = dir.file("box.cfg");
    test::write_file(map_cfg, example);
    test::write_file(cfg, example);

    test::ToolRun r = run_tool("compile --listings " + shell_quote(map_cfg) + " " +
                               shell_quote(dir.file("box.bin")));
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "vorn: output \"" + map_cfg + "\" is the input \"" + map_cfg +
                         "\"; refusing to overwrite it\n");
    EXPECT_EQ(test::read_file(map_cfg), example);

    r = run_tool("compile --listings " + shell_quote(cfg) + " " + shell_quote(dir.file("box.del")));
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "vorn: the table \"" + dir.file("box.del") +
                         "\" would be overwritten by a listing; name it differently\n");

    // Without --listings the same names are fine, and no listing appears.
    std::filesystem::remove(map_cfg);
    r = run_tool("compile --quiet " + shell_quote(cfg) + " " + shell_quote(dir.file("box.del")));
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("box.map")));
}

TEST(ListingTool, CompileWritesBothListingsBesideTheConfiguration) {
    test::TempDir dir;
    const std::string cfg = dir.file("box.cfg");
    test::write_file(cfg, test::read_file(std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg"));
    const test::ToolRun r = run_tool("compile --quiet --listings " + shell_quote(cfg) + " " +
                                         shell_quote(dir.file("box.bin")),
                                     "TZ=UTC SOURCE_DATE_EPOCH=1796393109");
    ASSERT_EQ(r.exit_code, 0) << r.err;

    const std::string map = test::read_file(dir.file("box.map"));
    EXPECT_TRUE(map.starts_with(";write by WCFG2BIN Vorn_B32.DLL 1.0.0.0 on  4.Dec 2026 14:05\n"
                                ";i01=[00.00] HO                       ;(80)\n"
                                ";i02=[00.00]    SU                SA  ;(41)\n"
                                ";i03=[08.00]       MO TU WE TH FR     ;(3e)\n"))
        << map;
    EXPECT_NE(map.find(" map entries\n;table_map_esclen[0..12]=\n;\t"), std::string::npos);
    EXPECT_NE(map.find("\nmap[0000]: l"), std::string::npos);
    EXPECT_TRUE(map.ends_with(";c\tGeb\xFC"
                              "hrengenerierung (Sekunden.Hunderstel start/add)\n"));
    EXPECT_TRUE(test::read_file(dir.file("box.del"))
                    .starts_with("deleted maps:\n==   : identical\n==^t : identical except from "
                                 "time period\n==^c : identical without charge\nt*   : identical "
                                 "with time independent mapping\nopt  : optimized\n"));
}

} // namespace
