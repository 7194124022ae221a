// The bundled example event log and the tool's alarm command.
#include "support/alarm_builder.h"
#include "support/run_tool.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace vorn::test {
namespace {

const std::string kExample = std::string(VORN_SOURCE_DIR) + "/examples/events.bin";

AlarmEvent event(uint8_t day, uint8_t hour, uint8_t minute, uint8_t second, uint16_t pid,
                 uint8_t err_class, uint16_t err_code, const char *text, uint32_t address) {
    AlarmEvent e;
    e.day = day;
    e.month = 12;
    e.year = 15;
    e.hour = hour;
    e.minute = minute;
    e.second = second;
    e.pid = pid;
    e.err_class = err_class;
    e.err_code = err_code;
    e.text = text;
    e.address = address;
    return e;
}

// The bundled example: a version-2 log of a box whose ring has wrapped, six
// events from ring index 97 on, and the device name behind the entries.
std::string example_log() {
    return AlarmLogBuilder(2)
        .whole_count(58)
        .queue(100, 6, 0, 97, 2)
        .alarm_ptr(0x0040A000)
        .event(97, event(3, 7, 58, 2, 0, 0, 1, "System start", 0))
        .event(98, event(3, 7, 58, 3, 1, 0, 2, "Table TF01.5 loaded", 0x00012C40))
        .event(99, event(4, 13, 5, 9, 2, 3, 12, "Line down", 0x00000100))
        .event(0, event(4, 13, 5, 41, 2, 0, 13, "Line up", 0))
        .event(1, event(4, 18, 22, 17, 4, 5, 301, "Remote access refused", 0x0001F3C8))
        .event(2, event(5, 2, 0, 0, 3, 0, 40, "Holiday file read", 0))
        .device("Vorn-Box 4S0 Zentrale")
        .build();
}

const char *const kExampleEvents =
    "Device:                    Vorn-Box 4S0 Zentrale\n"
    "Whole entries 58 (stored 6/100)\n"
    "------------------------------------------------------------------------------\n"
    "[03.12.15  7:58:02]  53: PId=0     0-1   \"System start\"\n"
    "[03.12.15  7:58:03]  54: PId=1     0-2   \"Table TF01.5 loaded\" at <00012C40>\n"
    "[04.12.15 13:05:09]  55: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
    "[04.12.15 13:05:41]  56: PId=2     0-13  \"Line up\"\n"
    "[04.12.15 18:22:17]  57: PId=4 Err=5-301 \"Remote access refused\" at <0001F3C8>\n"
    "[05.12.15  2:00:00]  58: PId=3     0-40  \"Holiday file read\"\n"
    "\n";

// The generator of examples/events.bin: with VORN_UPDATE_EXAMPLES=1 the test
// writes the file; otherwise it checks that the committed file is current.
TEST(AlarmExample, BundledLogIsTheBuildersLog) {
    if (const char *update = std::getenv("VORN_UPDATE_EXAMPLES"); update && *update == '1')
        write_file(kExample, example_log());
    EXPECT_EQ(read_file(kExample), example_log());
}

class ClockAt {
  public:
    explicit ClockAt(const char *epoch) : m_epoch(epoch) { setenv("SOURCE_DATE_EPOCH", epoch, 1); }
    ~ClockAt() { unsetenv("SOURCE_DATE_EPOCH"); }
    std::string stamp() const {
        time_t t = std::strtoll(m_epoch, nullptr, 10);
        tm local{};
        localtime_r(&t, &local);
        char buf[40];
        std::snprintf(buf, sizeof buf, "[%02d.%02d.%02d %2d:%02d:%02d]", local.tm_mday,
                      local.tm_mon + 1, local.tm_year % 100, local.tm_hour, local.tm_min,
                      local.tm_sec);
        return buf;
    }

  private:
    const char *m_epoch;
};

TEST(AlarmTool, AppendsTheReportOfTheExample) {
    ClockAt clock("1449287000");
    TempDir dir;
    const std::string report = dir.file("report.txt");
    char version[59];
    get_vorn_b32_dll_version(version, sizeof version);
    const std::string head_rest =
        std::string("Alarm-Version:2\t(convert by ") + version + ")\n" + kExampleEvents;
    const std::string equals = std::string(78, '=') + "\n";

    ToolRun run = run_tool("alarm " + shell_quote(kExample) + " " + shell_quote(report));
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, kExample + ": report appended to " + report + "\n");
    run = run_tool("alarm " + shell_quote(kExample) + " " + shell_quote(report) +
                   " --headline 'Box at the main office' --source 'COM2'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(read_file(report), equals + clock.stamp() + "\n" + head_rest + equals +
                                     clock.stamp() + " get event log from COM2\n" +
                                     "Box at the main office\n" + head_rest);

    run = run_tool("alarm " + shell_quote(kExample));
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, kExample + ": event log can be converted (result 0)\n");
}

TEST(AlarmTool, FailuresAndUsage) {
    TempDir dir;
    const std::string missing = dir.file("missing.bin");
    ToolRun run = run_tool("alarm " + shell_quote(missing) + " " + shell_quote(dir.file("r.txt")));
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "vorn: Cannot Read \"" + missing + "\"! (result -1)\n");

    const std::string odd = dir.file("odd.bin");
    write_file(odd, "\x09 not an event log");
    run = run_tool("alarm " + shell_quote(odd));
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "vorn: Cannot Write \"NULL\"! (result -4)\n");

    for (const char *args : {"alarm", "alarm a b c", "alarm a.bin --source", "alarm a --head x"}) {
        SCOPED_TRACE(args);
        run = run_tool(args);
        EXPECT_EQ(run.exit_code, 2);
        EXPECT_NE(run.err.find("usage: vorn alarm LOG.bin"), std::string::npos) << run.err;
    }
}

} // namespace
} // namespace vorn::test
