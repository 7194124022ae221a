// The vorn tool's global options and the password command.
#include "platform/platform.h"
#include "support/run_tool.h"

#include "support/trace_capture.h"

#include <gtest/gtest.h>
#include <regex>

using vorn::test::run_tool;

TEST(Tool, HelpVersionAndUsageErrors) {
    auto help = run_tool("--help");
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("usage: vorn"), std::string::npos);
    EXPECT_NE(help.out.find("password encode|decode TEXT"), std::string::npos);

    auto version = run_tool("--version");
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, std::string("Vorn_B32.DLL ") + vorn::platform::library_version() + "\n");

    for (const char *bad :
         {"", "--bogus", "frobnicate", "--tool-name", "password", "password sideways x"}) {
        auto run = run_tool(bad);
        EXPECT_EQ(run.exit_code, 2) << bad;
        EXPECT_EQ(run.err.rfind("vorn: ", 0), 0u) << bad << ": " << run.err;
        EXPECT_EQ(run.out, "") << bad;
    }
}

TEST(Tool, PasswordEncodeDecodeRoundTrip) {
    auto enc = run_tool("password encode 'Box-Pass.42'");
    ASSERT_EQ(enc.exit_code, 0);
    ASSERT_EQ(enc.out.size(), 12u);
    EXPECT_NE(enc.out, "Box-Pass.42\n");
    EXPECT_EQ(enc.out[3], '-');
    std::string scrambled = enc.out.substr(0, 11);
    auto dec = run_tool("password decode " + vorn::test::shell_quote(scrambled));
    EXPECT_EQ(dec.exit_code, 0);
    EXPECT_EQ(dec.out, "Box-Pass.42\n");
}

TEST(Tool, DebugOptionSendsTheTraceToStandardError) {
    // Reading the version allocates its block through the tracked allocator,
    // which leaves debug lines.
    auto run = run_tool("--debug --version");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.err.find("[DEB] "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("GlobalAlloc FVData"), std::string::npos) << run.err;
    auto quiet = run_tool("--version");
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(run.out, quiet.out);
}

TEST(Tool, LibraryLoadWritesItsVersionLineToTheDebugOutputFile) {
    vorn::test::TempDir dir;
    std::string sink = dir.file("trace.log");
    auto run = run_tool("password encode x",
                        "VORN_B32_DEBUG_OUTPUT=" + vorn::test::shell_quote(sink) +
                            " XDG_CONFIG_HOME=" + vorn::test::shell_quote(dir.path()));
    EXPECT_EQ(run.exit_code, 0);
    std::string trace = vorn::test::read_file(sink);
    std::regex line(
        R"(^\[DEB\] \[[0-9A-F]{3,}\]\[\d\d:\d\d:\d\d,\d\d\d\]Vorn_B32\.DLL:Vorn_B32\.DLL )" +
        std::string(vorn::platform::library_version()) + "\n$");
    EXPECT_TRUE(std::regex_match(trace, line)) << trace;
}
