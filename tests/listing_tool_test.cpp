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

} // namespace
