// Prefixes, line continuation and the debug switches of the three trace
// entry points, per thread, and the fallback file behind ptrace.
#include "frame/frame.h"
#include "support/trace_capture.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <unistd.h>

using vorn::test::DebugOn;
using vorn::test::TraceCapture;

namespace {

// Every test starts with both switches off and restores them.
class TraceSwitches : public ::testing::Test {
  protected:
    void SetUp() override {
        vorn::set_app_reg_debug(0);
        set_debug(0);
    }
    void TearDown() override {
        vorn::set_app_reg_debug(0);
        set_debug(0);
        set_tool_name("");
    }
};

const std::regex kPrefix(R"(^\[(DEB|ERR)\] \[[0-9A-F]{3,}\]\[\d\d:\d\d:\d\d,\d\d\d\]([^:]*):)");

std::string name_of(const std::string &output) {
    std::smatch m;
    return std::regex_search(output, m, kPrefix) ? m[2].str() : "<no prefix>";
}

} // namespace

TEST_F(TraceSwitches, DebugOffWritesOnlyErrorLines) {
    TraceCapture cap;
    vorn::dbg_printf("hidden %d\n", 1);
    vorn::dbg_error("Cannot Read \"x.bin\"!\n");
    vorn::dbg_error("100% done");
    auto out = cap.outputs();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(std::regex_search(out[0], kPrefix));
    EXPECT_EQ(out[0].substr(0, 6), "[ERR] ");
    EXPECT_EQ(cap.bodies()[0], "Cannot Read \"x.bin\"!\n");
    // Not a format: the percent sign stays; without a newline CR LF is added.
    EXPECT_EQ(cap.bodies()[1], "100% done\r\n");
    EXPECT_EQ(name_of(out[1]), "Vorn_B32.DLL");
}

TEST_F(TraceSwitches, RegistrySwitchEnablesDebugPrintButNotPtrace) {
    TraceCapture cap;
    vorn::set_app_reg_debug(1);
    vorn::dbg_printf("library %s\n", "line");
    ptrace("host line\n");
    auto bodies = cap.bodies();
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], "library line\n");
    EXPECT_EQ(cap.outputs()[0].substr(0, 6), "[DEB] ");
}

TEST_F(TraceSwitches, OpenLineContinuesWithoutPrefixAcrossEntryPoints) {
    TraceCapture cap;
    DebugOn on;
    vorn::dbg_printf("abc");
    vorn::dbg_printf("def\n");
    vorn::dbg_printf("open ");
    vorn::dbg_error("error text\n");
    vorn::dbg_printf("next\n");
    auto out = cap.outputs();
    ASSERT_EQ(out.size(), 5u);
    EXPECT_TRUE(std::regex_search(out[0], kPrefix));
    EXPECT_EQ(out[1], "def\n");
    EXPECT_TRUE(std::regex_search(out[2], kPrefix));
    EXPECT_EQ(out[3], "error text\n"); // the open debug line goes on in the error line
    EXPECT_TRUE(std::regex_search(out[4], kPrefix));
}

TEST_F(TraceSwitches, LongLineIsCutAndTheNextCallContinuesIt) {
    TraceCapture cap;
    DebugOn on;
    std::string text(300, 'y');
    vorn::dbg_printf("%s\n", text.c_str());
    vorn::dbg_printf("tail\n");
    auto out = cap.outputs();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].size(), 254u);
    EXPECT_EQ(out[1], "tail\n") << "the dropped newline leaves the line open";
}

TEST_F(TraceSwitches, PtraceUsesTheToolNameOfItsThreadOnly) {
    TraceCapture cap;
    DebugOn on;
    ptrace("before name %d\n", 1);
    set_tool_name("WCFG2BIN");
    ptrace("value=%u\n", 42u);
    std::thread other([] {
        ptrace("off on this thread\n"); // its own debug level is 0
        set_debug(1);
        ptrace("other thread\n");
        set_debug(0);
    });
    other.join();
    auto out = cap.outputs();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(name_of(out[0]), ""); // time stamp directly followed by the colon
    EXPECT_EQ(name_of(out[1]), "WCFG2BIN");
    EXPECT_EQ(cap.bodies()[1], "value=42\n");
    EXPECT_EQ(name_of(out[2]), "") << "the tool name of thread A is not seen on thread B";
    EXPECT_NE(out[0].substr(6, 8), out[2].substr(6, 8)) << "thread ids differ";
}

TEST_F(TraceSwitches, ThreadIdAndPinnedTimeInThePrefix) {
    setenv("TZ", "UTC", 1);
    setenv("SOURCE_DATE_EPOCH", "1796393109", 1); // 2026-12-04 14:05:09 UTC
    TraceCapture cap;
    DebugOn on;
    vorn::dbg_printf("x\n");
    unsetenv("SOURCE_DATE_EPOCH");
    auto out = cap.outputs();
    ASSERT_EQ(out.size(), 1u);
    char tid[32];
    std::snprintf(tid, sizeof tid, "[%03X]", static_cast<unsigned>(gettid()));
    EXPECT_EQ(out[0], std::string("[DEB] ") + tid + "[14:05:09,000]Vorn_B32.DLL:x\n");
}

TEST_F(TraceSwitches, FailingOutputSendsPtraceToTheFallbackFile) {
    vorn::test::TempDir dir;
    auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    vorn::test::write_file("DBG--000.000", "taken");
    {
        TraceCapture cap;
        cap.set_failing(true);
        DebugOn on;
        set_tool_name("HOST");
        ptrace("first %s %d", "part", 7);
        ptrace(" second\n");
        vorn::dbg_printf("library lines are dropped\n");
    }
    std::string content = vorn::test::read_file("DBG--000.001");
    std::filesystem::current_path(old);
    std::regex expected(
        R"(^debug to        : DBG--000\.001\n\d\d:\d\d:\d\d,\d\d\d :first part 7 second\n$)");
    EXPECT_TRUE(std::regex_match(content, expected)) << content;

    // Closing removes every fallback file of the current directory.
    std::filesystem::current_path(dir.path());
    va_list none{};
    testing::internal::CaptureStdout();
    vorn::file_trace(nullptr, none);
    std::string said = testing::internal::GetCapturedStdout();
    bool left = std::filesystem::exists("DBG--000.000") || std::filesystem::exists("DBG--000.001");
    std::filesystem::current_path(old);
    EXPECT_FALSE(left);
    EXPECT_NE(said.find("remove          : DBG--000.001"), std::string::npos) << said;
}
