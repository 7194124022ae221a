// The bundled example event log and the tool's alarm command.
#include "support/alarm_builder.h"
#include "support/run_tool.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::test {
namespace {

using namespace std::string_literals;

const std::string kExample = std::string(VORN_SOURCE_DIR) + "/examples/events.bin";

// A version-2 log of a box whose ring has wrapped: six events from ring
// index 97 on, and the device name behind the entries.
std::string example_log() {
    // day, month, year, hour, minute, second, pid, class, code, text, address
    return AlarmLog{2,
                    58,
                    {100, 6, 0, 97, 2},
                    {{97, {3, 12, 15, 7, 58, 2, 0, 0, 1, "System start"}},
                     {98, {3, 12, 15, 7, 58, 3, 1, 0, 2, "Table TF01.5 loaded", 0x00012C40}},
                     {99, {4, 12, 15, 13, 5, 9, 2, 3, 12, "Line down", 0x00000100}},
                     {0, {4, 12, 15, 13, 5, 41, 2, 0, 13, "Line up"}},
                     {1, {4, 12, 15, 18, 22, 17, 4, 5, 301, "Remote access refused", 0x0001F3C8}},
                     {2, {5, 12, 15, 2, 0, 0, 3, 0, 40, "Holiday file read"}}},
                    "Vorn-Box 4S0 Zentrale\0"s,
                    {},
                    0x0040A000}
        .build();
}

// The generator of examples/events.bin: with VORN_UPDATE_EXAMPLES=1 the test
// writes the file; otherwise it checks that the committed file is current.
TEST(AlarmExample, BundledLogIsTheBuildersLog) {
    if (const char *update = std::getenv("VORN_UPDATE_EXAMPLES"); update && *update == '1')
        write_file(kExample, example_log());
    EXPECT_EQ(read_file(kExample), example_log());
}

TEST(AlarmTool, AppendsTheReportOrChecksTheLog) {
    PinnedClock clock{kDec4th2015, nullptr};
    TempDir dir;
    const std::string report = dir.file("report.txt");
    const std::string events =
        "Device:                    Vorn-Box 4S0 Zentrale\n"
        "Whole entries 58 (stored 6/100)\n" +
        std::string(78, '-') +
        "\n"
        "[03.12.15  7:58:02]  53: PId=0     0-1   \"System start\"\n"
        "[03.12.15  7:58:03]  54: PId=1     0-2   \"Table TF01.5 loaded\" at <00012C40>\n"
        "[04.12.15 13:05:09]  55: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
        "[04.12.15 13:05:41]  56: PId=2     0-13  \"Line up\"\n"
        "[04.12.15 18:22:17]  57: PId=4 Err=5-301 \"Remote access refused\" at <0001F3C8>\n"
        "[05.12.15  2:00:00]  58: PId=3     0-40  \"Holiday file read\"\n\n";
    const std::string files = shell_quote(kExample) + " " + shell_quote(report);
    ToolRun run = run_tool("alarm " + files);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, kExample + ": report appended to " + report + "\n");
    run = run_tool("alarm " + files + " --headline 'Box at the main office' --source 'COM2'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(read_file(report), report_head("2") + events +
                                     report_head("2", "COM2", "Box at the main office") + events);

    run = run_tool("alarm " + shell_quote(kExample));
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, kExample + ": event log can be converted (result 0)\n");
}

TEST(AlarmTool, FailuresAndUsage) {
    TempDir dir;
    const std::string missing = dir.file("missing.bin"), odd = dir.file("odd.bin");
    const std::string log = dir.file("log.bin"), fifo = dir.file("fifo");
    write_file(odd, "\x09 not an event log");
    write_file(log, read_file(kExample));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(log.c_str(), dir.file("link.txt").c_str()), 0);
    const struct {
        std::string args, err;
    } rows[] = {
        {shell_quote(missing) + " r.txt",
         "vorn: cannot read \"" + missing + "\" (System error 2: No such file or directory)\n"},
        {shell_quote(fifo), "vorn: \"" + fifo + "\" is a FIFO; give a regular file\n"},
        {shell_quote(dir.path()),
         "vorn: \"" + dir.path() + "\" is a folder; give a regular file\n"},
        // The report would be appended to the log itself, also through a link.
        {shell_quote(log) + " " + shell_quote(dir.file("link.txt")),
         "vorn: output \"" + dir.file("link.txt") + "\" is the input \"" + log +
             "\"; refusing to overwrite it\n"},
        {shell_quote(log) + " /dev/full", "vorn: Cannot Write \"/dev/full\"! (result -4)\n"},
        {shell_quote(odd), "vorn: Cannot Write \"NULL\"! (result -4)\n"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.args);
        ToolRun run = run_tool("alarm " + row.args);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.err, row.err);
    }
    EXPECT_EQ(read_file(log), read_file(kExample));

    for (const char *args : {"alarm", "alarm a b c", "alarm a.bin --source", "alarm a --head x"}) {
        ToolRun run = run_tool(args);
        EXPECT_EQ(run.exit_code, 2) << args;
        EXPECT_NE(run.err.find("usage: vorn alarm LOG.bin"), std::string::npos) << run.err;
    }
}

} // namespace
} // namespace vorn::test
