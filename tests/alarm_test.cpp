// mkalarm and vorn alarm, compared whole with golden files: the reports of
// many event logs (every form of the event line, the walk through the ring,
// damaged queues, short files, device names, results and messages), the
// trace of conversions and the tool's runs.
#include "frame/frame.h"
#include "logs/alarm.h"
#include "support/alarm_builder.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::test {
namespace {

using namespace std::string_literals;

// 4 December 2015, 13:05:09, process 2, error 3-12.
AlarmEvent event(const char *text, uint32_t address = 0, uint8_t minute = 5) {
    return {4, 12, 15, 13, minute, 9, 2, 3, 12, text, address};
}
const AlarmEvent kLineDown = event("Line down", 0x100);

// A log of 100 events (minute = ring index % 60) under a damaged queue header.
std::string damaged(uint8_t version, int16_t size, int16_t count, int16_t first, int16_t last) {
    AlarmLog log{version, 200, {size, count, 1, first, last}, {}, {}, 100};
    for (int index = 0; index < 100; ++index)
        log.events[index] = event("Up", 0, static_cast<uint8_t>(index % 60));
    return log.build();
}

struct AlarmFiles {
    PinnedClock clock;
    TempDir dir;
    std::string bin = dir.file("events.bin"), txt = dir.file("report.txt");

    // One mkalarm call: its result, the message buffer and the report.
    std::string call(const std::string &name, const char *report, const char *log,
                     const char *source = nullptr, const char *headline = nullptr) {
        char message[80] = "(untouched)";
        const int result = mkalarm(report, log, 0, source, headline, message);
        return section(name, result, message, {report ? report : ""});
    }
};

TEST(Alarm, ReportsOfManyLogsAndTrace) {
    const uint32_t blocks = live_blocks();
    AlarmFiles f;
    write_file(f.bin, AlarmLog{2, 17, {100, 1, 0, 0, 0}, {{0, kLineDown}}}.build());
    f.call("worked example", f.txt.c_str(), f.bin.c_str());
    f.call("appended, with source and headline", f.txt.c_str(), f.bin.c_str(), "Box 1", "Nightly");
    std::string out = f.call("appended again", f.txt.c_str(), f.bin.c_str(), "", "");

    // Every form of the event line, one event per ring index: the seconds,
    // the year, the error class and code, the address, texts that are cut,
    // left out or written, and each bound of a valid entry and beyond.
    // day month year hour minute second pid class code text address
    // clang-format off
    const AlarmEvent forms[] = {
        {4, 12, 15, 13, 5, 61, 2, 3, 12, "Up"},  {4, 12, 115, 13, 5, 75, 2, 3, 12, "Up"},
        {4, 12, 99, 13, 5, 9, 2, 0, 4711, "Up"}, {4, 12, 15, 13, 5, 9, 2, 3, 12, "Up", 0xDEADBEEF},
        {4, 12, 15, 13, 5, 9, 2, 3, 12, "Up \t"}, {4, 12, 15, 13, 5, 9, 2, 3, 12, "   "},
        {4, 12, 15, 13, 5, 9, 2, 3, 12, " Up"},  {4, 12, 15, 13, 5, 9, 2, 3, 12, "\x01U"},
        {4, 12, 15, 13, 5, 9, 2, 3, 12, "\xe4nderung"},
        {4, 12, 15, 13, 5, 9, 2, 3, 12, std::string(60, 'A')},
        {31, 12, 15, 23, 59, 9, 6, 8, 12, "Up"}, {32, 12, 15, 13, 5, 9, 2, 3, 12, "Up"},
        {4, 13, 15, 13, 5, 9, 2, 3, 12, "Up"},   {4, 12, 15, 24, 5, 9, 2, 3, 12, "Up"},
        {4, 12, 15, 13, 60, 9, 2, 3, 12, "Up"},  {4, 12, 15, 13, 5, 9, 7, 3, 12, "Up"},
        {4, 12, 15, 13, 5, 9, 2, 9, 12, "Up"},   {4, 12, 15, 13, 5, 60, 0xFFFF, 3, 12, "Up"}};
    // clang-format on
    const int16_t count = std::size(forms);
    AlarmLog lines{2, static_cast<uint16_t>(count), {100, count, 0, 0, int16_t(count - 1)}};
    for (int i = 0; i < count; ++i)
        lines.events[i] = forms[i];

    const AlarmLog v1{1, 7, {40, 3, 0, 0, 2}, {{0, kLineDown}, {1, event("Power up", 0, 6)}}};
    AlarmLog ring{1, 100, {40, 5, 1, 38, 2}};
    for (uint8_t index : {38, 39, 0, 1, 2})
        ring.events[index] = event("", 0, index);
    const std::pair<std::string, std::string> logs[] = {
        {"every form of the event line", lines.build()},
        {"size -1 is empty, no device", AlarmLog{2, 9, {-1, 5, 0, 0, 0}, {}, "Ghost"}.build()},
        {"count 0 is empty", AlarmLog{1, 9, {64, 0, 0, 99, 99}}.build()},
        {"a version byte alone", "\x02"s},
        {"ring wrapping from index 38", ring.build()},
        {"version 1, numbers through 65535", AlarmLog{1, 1, v1.queue, v1.events}.build()},
        {"version 1 cut after the records", v1.build().substr(0, 460)},
        {"version 1 cut in the second record", v1.build().substr(0, 30)},
        {"version 1 of size 100", AlarmLog{1, 9, {100, 1, 0, 60, 60}}.build()},
        {"version 2, two and a half entries",
         AlarmLog{2, 1004, {100, 4, 0, 0, 3}, v1.events, std::string(30, 'x'), 2}.build()},
        {"damaged: v2 size 64", damaged(2, 64, 3, 0, 2)},
        {"damaged: v1 size 0", damaged(1, 0, 2, 0, 1)},
        {"damaged: count above size", damaged(1, 40, 45, 0, 39)},
        {"damaged: count negative", damaged(1, 40, -3, 0, 39)},
        {"damaged: first = size", damaged(1, 40, 2, 40, 1)},
        {"damaged: first negative", damaged(1, 40, 2, -1, 1)},
        {"damaged: last = size", damaged(1, 40, 2, 5, 40)},
        {"damaged: v2 size 7, first and last out", damaged(2, 7, 2, 50, -7)},
        {"device name", AlarmLog{2, 1, {100, 1}, {{0, kLineDown}}, "Vorn-Box Zentrale\0"s}.build()},
        {"device name cut",
         AlarmLog{2, 1, {100, 1}, {}, std::string(30, 'N') + "0123456789ABCDEF"}.build()},
        {"device name unended", AlarmLog{2, 1, {100, 1}, {}, "Filiale"}.build()},
        {"device name not printable", AlarmLog{2, 1, {100, 1}, {}, "\x01Hidden\0"s}.build()},
        {"device name behind 2 entries", AlarmLog{2, 1, {2, 1}, {}, "Box 2\0"s}.build()},
    };
    for (const auto &[name, log] : logs) {
        write_file(f.bin, log);
        std::filesystem::remove(f.txt);
        out += f.call(name, f.txt.c_str(), f.bin.c_str());
    }

    // The report is opened after the log; the version is checked after the
    // head was written.
    const std::string log = AlarmLog{2, 1, {100, 1, 0, 0, 0}, {{0, kLineDown}}}.build();
    auto version = [&](char v) { return std::string(1, v).append(log, 1); };
    const std::string missing = f.dir.file("missing.bin"), no_folder = f.dir.file("no/r.txt");
    std::filesystem::remove(f.txt);
    out += f.call("log missing", f.txt.c_str(), missing.c_str(), "Box", "Head");
    out += f.call("log absent", f.txt.c_str(), nullptr);
    out += f.call("log a folder", f.txt.c_str(), f.dir.path().c_str());
    out += f.call("no report: the log is checked", nullptr, f.bin.c_str());
    write_file(f.bin, version('\x07'));
    out += f.call("no report, version 7", nullptr, f.bin.c_str());
    write_file(f.bin, "");
    out += f.call("empty log", f.txt.c_str(), f.bin.c_str());
    write_file(f.bin, log);
    out += f.call("report in a missing folder", no_folder.c_str(), f.bin.c_str());
    out += f.call("report on a full disk", "/dev/full", f.bin.c_str());
    write_file(f.bin, version('\x03'));
    f.call("version 3", f.txt.c_str(), f.bin.c_str(), "Box", "Head");
    write_file(f.bin, version('\xff'));
    out += f.call("version -1 after version 3", f.txt.c_str(), f.bin.c_str(), "Box", "Head");
    expect_golden("logs/alarm_reports.txt", stable(out + files_left(f.dir.path()), f.dir.path()));

    EXPECT_EQ(mkalarm(f.txt.c_str(), missing.c_str(), 0, nullptr, nullptr, nullptr), -1);
    // A read that ends before the file does (the length counts the whole file).
    std::FILE *file = std::fopen(f.bin.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::fgetc(file);
    EXPECT_EQ(convert_alarm(file, nullptr, nullptr, nullptr), -3);
    std::fclose(file);
    EXPECT_EQ(live_blocks(), blocks);

    // The trace of conversions: a damaged version-2 log with a device name,
    // the rarer forms of the time and an invalid entry, then an empty log,
    // an unknown version and a missing one.
    DebugOn debug;
    TraceCapture capture;
    AlarmEvent late = kLineDown, odd = event("Odd");
    late.second = 61, odd.year = 115;
    write_file(
        f.bin,
        AlarmLog{2, 17, {2, 3, 1, 0, 2}, {{0, late}, {1, odd}}, "Vorn\0"s, {}, 0x12340}.build());
    EXPECT_EQ(mkalarm(f.txt.c_str(), f.bin.c_str(), 1, "Box", nullptr, nullptr), 0);
    write_file(f.bin, AlarmLog{2, 0, {-1, 0, 0, 0, 0}}.build());
    EXPECT_EQ(mkalarm(nullptr, f.bin.c_str(), 0, nullptr, nullptr, nullptr), 0);
    write_file(f.bin, "\x05");
    EXPECT_EQ(mkalarm(nullptr, f.bin.c_str(), 0, nullptr, nullptr, nullptr), -4);
    EXPECT_EQ(mkalarm(f.txt.c_str(), missing.c_str(), 0, "", "", nullptr), -1);
    expect_golden("logs/alarm_trace.txt", stable_trace(capture, f.dir.path()));
}

// A version-2 log of a box whose ring has wrapped: six events from ring
// index 97 on, and the device name behind the entries.
std::string example_log() {
    AlarmLog log{2, 58, {100, 6, 0, 97, 2}, {}, "Vorn-Box 4S0 Zentrale\0"s, {}, 0x0040A000};
    // day, month, year, hour, minute, second, pid, class, code, text, address
    log.events[97] = {3, 12, 15, 7, 58, 2, 0, 0, 1, "System start"};
    log.events[98] = {3, 12, 15, 7, 58, 3, 1, 0, 2, "Table TF01.5 loaded", 0x00012C40};
    log.events[99] = {4, 12, 15, 13, 5, 9, 2, 3, 12, "Line down", 0x00000100};
    log.events[0] = {4, 12, 15, 13, 5, 41, 2, 0, 13, "Line up"};
    log.events[1] = {4, 12, 15, 18, 22, 17, 4, 5, 301, "Remote access refused", 0x0001F3C8};
    log.events[2] = {5, 12, 15, 2, 0, 0, 3, 0, 40, "Holiday file read"};
    return log.build();
}

TEST(AlarmTool, RunsOfTheTool) {
    AlarmFiles f;
    auto q = [&](const char *name) { return shell_quote(f.dir.file(name)); };
    write_file(f.dir.file("odd.bin"), "\x09 not an event log");
    write_file(f.bin, example_log());
    ASSERT_EQ(::mkfifo(f.dir.file("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(f.bin.c_str(), f.dir.file("link.txt").c_str()), 0);
    std::string out = tool_run("alarm " + q("events.bin") + " " + q("report.txt"));
    out += tool_run("alarm " + q("events.bin") + " " + q("report.txt") +
                    " --headline 'Main office' --source COM2");
    out += "--- report.txt\n" + printable(read_file(f.txt));
    for (const std::string &args :
         {q("events.bin"), q("missing.bin") + " r.txt", q("fifo"), shell_quote(f.dir.path()),
          q("events.bin") + " " + q("link.txt"), q("events.bin") + " /dev/full", q("odd.bin"), ""s,
          "a b c"s, "a.bin --source"s, "a --head x"s})
        out += tool_run("alarm " + args);
    expect_golden("logs/alarm_tool.txt", stable(out, f.dir.path()));
    EXPECT_EQ(read_file(f.bin), example_log());
    expect_example("events.bin", example_log()); // the log bundled with the tool
}

} // namespace
} // namespace vorn::test
