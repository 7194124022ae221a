// The three log converters (mkalarm, mklogcall with merge_logcall, mktrace)
// and the tool's alarm, calls, merge and trace jobs, compared whole with
// golden files under tests/golden/logs/: the reports, lists and texts of many
// logs and traces (every form of a line, damaged and short files, results and
// messages), one debug trace per export, the tool's runs, the pcapng capture
// as bytes and as tshark decodes it, and the bundled example logs.
#include "frame/export_results.h"
#include "frame/frame.h"
#include "logs/alarm.h"
#include "logs/hex_text.h"
#include "logs/logcall.h"
#include "logs/prot_trace.h"
#include "logs/text_buffer.h"
#include "support/alarm_builder.h"
#include "support/log_golden.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/run_tool.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace vorn::test {
namespace {

using namespace std::string_literals;
using B = TraceBuilder;
namespace fs = std::filesystem;

// ---- Event logs (mkalarm, vorn alarm)

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

TEST(Alarm, ReportsOfManyLogsAndTrace) {
    const uint32_t blocks = live_blocks();
    PinnedClock clock;
    TempDir dir;
    const std::string bin = dir.file("events.bin"), txt = dir.file("report.txt");
    // One mkalarm call: its result, the message buffer and the report.
    auto call = [](const std::string &name, const char *report, const char *log,
                   const char *source = nullptr, const char *headline = nullptr) {
        char message[80] = "(untouched)";
        const int result = mkalarm(report, log, 0, source, headline, message);
        return section(name, result, message, {report ? report : ""});
    };
    write_file(bin, AlarmLog{2, 17, {100, 1, 0, 0, 0}, {{0, kLineDown}}}.build());
    call("worked example", txt.c_str(), bin.c_str());
    call("appended, with source and headline", txt.c_str(), bin.c_str(), "Box 1", "Nightly");
    std::string out = call("appended again", txt.c_str(), bin.c_str(), "", "");

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
        write_file(bin, log);
        std::filesystem::remove(txt);
        out += call(name, txt.c_str(), bin.c_str());
    }

    // The report is opened after the log; the version is checked after the
    // head was written.
    const std::string log = AlarmLog{2, 1, {100, 1, 0, 0, 0}, {{0, kLineDown}}}.build();
    auto version = [&](char v) { return std::string(1, v).append(log, 1); };
    const std::string missing = dir.file("missing.bin"), no_folder = dir.file("no/r.txt");
    std::filesystem::remove(txt);
    out += call("log missing", txt.c_str(), missing.c_str(), "Box", "Head");
    out += call("log absent", txt.c_str(), nullptr);
    out += call("log a folder", txt.c_str(), dir.path().c_str());
    out += call("no report: the log is checked", nullptr, bin.c_str());
    write_file(bin, version('\x07'));
    out += call("no report, version 7", nullptr, bin.c_str());
    write_file(bin, "");
    out += call("empty log", txt.c_str(), bin.c_str());
    write_file(bin, log);
    out += call("report in a missing folder", no_folder.c_str(), bin.c_str());
    out += call("report on a full disk", "/dev/full", bin.c_str());
    write_file(bin, version('\x03'));
    call("version 3", txt.c_str(), bin.c_str(), "Box", "Head");
    write_file(bin, version('\xff'));
    out += call("version -1 after version 3", txt.c_str(), bin.c_str(), "Box", "Head");
    expect_golden("logs/alarm_reports.txt", stable(out + files_left(dir.path()), dir.path()));

    EXPECT_EQ(mkalarm(txt.c_str(), missing.c_str(), 0, nullptr, nullptr, nullptr), -1);
    // A read that ends before the file does (the length counts the whole file).
    std::FILE *file = std::fopen(bin.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::fgetc(file);
    EXPECT_EQ(convert_alarm(file, nullptr, nullptr, nullptr), Error::ShortRead);
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
        bin,
        AlarmLog{2, 17, {2, 3, 1, 0, 2}, {{0, late}, {1, odd}}, "Vorn\0"s, {}, 0x12340}.build());
    EXPECT_EQ(mkalarm(txt.c_str(), bin.c_str(), 1, "Box", nullptr, nullptr), 0);
    write_file(bin, AlarmLog{2, 0, {-1, 0, 0, 0, 0}}.build());
    EXPECT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, nullptr), 0);
    write_file(bin, "\x05");
    EXPECT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, nullptr), -4);
    EXPECT_EQ(mkalarm(txt.c_str(), missing.c_str(), 0, "", "", nullptr), -1);
    expect_golden("logs/alarm_trace.txt", stable_trace(capture, dir.path()));
}

// A version-2 log of a box whose ring has wrapped: six events from ring
// index 97 on, and the device name behind the entries.
std::string events_example() {
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

// ---- Call logs (mklogcall, merge_logcall, vorn calls and merge)

CallRecord call(uint16_t plc, const std::string &dad, CallTime start = {4, 12, 15, 13, 5, 9},
                CallTime end = {4, 12, 15, 13, 7, 41}) {
    CallRecord r;
    r.plc = plc, r.dad = dad, r.start = start, r.end = end;
    return r;
}

// A day at the office, stored in the box's slot order: calls out and in,
// one without start time, one not finished, one not closed, one saved
// before, one over the turn of the year and one whose number is a text.
std::string calls_example() {
    CallRecord out1 = call(1, "80301234567", {4, 12, 15, 13, 5, 9}, {4, 12, 15, 13, 7, 41});
    out1.number1 = packed("0301234567");
    CallRecord in1 = call(2, "0891234", {4, 12, 15, 13, 10, 0}, {4, 12, 15, 13, 12, 30});
    in1.number1 = packed("0891234"), in1.number2 = packed("30");
    in1.port1 = 0x21, in1.port2 = 0xA3, in1.status = 0x0011, in1.value = 0xFFFF, in1.code = 0;
    CallRecord no_start = call(3, "60221234", {0xFF, 0, 0, 0, 0, 0}, {4, 12, 15, 14, 0, 10});
    no_start.number1 = packed("0221234"), no_start.value = 12, no_start.subcode = 4;
    CallRecord unfinished = call(4, "8040555", {4, 12, 15, 15, 30, 0}, {0xFF, 12, 15, 0, 0, 0});
    CallRecord not_closed = call(0x8005, "812", {4, 12, 15, 16, 0, 0}, {4, 12, 15, 16, 1, 0});
    CallRecord saved = call(6, "812", {4, 12, 15, 17, 0, 0}, {4, 12, 15, 17, 2, 0});
    saved.status = 0;
    CallRecord new_year = call(7, "80049301", {31, 12, 15, 23, 59, 30}, {1, 1, 16, 0, 1, 0});
    new_year.number1 = packed("0049301"), new_year.value = 41;
    CallRecord text_number = call(8, "030", {4, 12, 15, 18, 0, 0}, {4, 12, 15, 18, 0, 45});
    text_number.number1 = "Ext,\"12\"";
    return call_log({saved, new_year, out1, in1, no_start, unfinished, not_closed, text_number});
}

TEST(Logcall, ListsOfManyLogsAndTrace) {
    const uint32_t blocks = live_blocks();
    TempDir dir;
    TmpPathIn tmp{dir.path()}; // where the copy of the log goes
    const std::string bin = dir.file("calls.bin"), out_txt = dir.file("out.txt"),
                      in_txt = dir.file("in.txt"), reject_txt = dir.file("reject.txt");
    // One mklogcall call: result, message and the lists.
    auto lists = [&](const std::string &name, const std::string &log, const char *o,
                     const char *i = nullptr, const char *r = nullptr, const char *from = nullptr) {
        write_file(bin, log);
        for (const auto &file : {out_txt, in_txt, reject_txt})
            fs::remove(file);
        char message[80] = "(untouched)";
        const int result = mklogcall(from ? from : bin.c_str(), o, i, r, message);
        return section(name, result, message, {out_txt, in_txt, reject_txt});
    };
    const char *O = out_txt.c_str(), *I = in_txt.c_str(), *R = reject_txt.c_str();
    CallRecord no_start = call(2, "030");
    no_start.start.day = 0xFF, no_start.end.minute = 9;
    std::string out = lists("examples, one list", call_log({CallRecord(), no_start}), O);
    out += lists("example, three lists", call(1, "030").bytes(), O, I, R);
    const std::string log = calls_example(), again = dir.path() + "/./out.txt";
    out += lists("one list", log, O) + lists("out and in", log, O, I);
    out += lists("out and reject", log, O, nullptr, R) + lists("three lists", log, O, I, R);
    out += lists("out named three times", log, O, O, again.c_str());

    CallRecord r = call(1, "\xFF"s + "8", {31, 1, 99, 0, 0, 0}, {255, 255, 255, 255, 255, 255});
    r.port2 = 0x45, r.subcode = 0, r.value = 0xFFFF, r.status = 0xFFFF, r.code = 0;
    out += lists("no address, end all 255", r.bytes(), O);
    r.end = {1, 2, 0, 3, 4, 5};
    out += lists("no address, the call incoming", r.bytes(), O);
    r.dad = "6" + std::string(30, '9'), r.port1 = 0xA3, r.port2 = 0x3F;
    out += lists("address without terminator", r.bytes(), O);
    r.dad = "", r.plc = 0xFFFE;
    out += lists("slot 32766 not closed", r.bytes(), O);

    // Number fields (packed, text, first byte 0 or FFh) and port codes.
    const std::string numbers[][2] = {
        {"\x12\x3B"s + std::string(8, '\0') + "\xBB", packed("01234567890123456789")},
        {"\x0C\xDE\xFB"s + std::string(7, '\0') + "\xBB", "0301234\0\0\0\x55"s},
        {"12345678901", "\0\x12\x3B"s + std::string(7, '\0') + "\xBB"},
        {"\xFF\x12\x3B"s + std::string(7, '\0') + "\xBB", "\xFF"s + "123"}};
    const uint8_t ports[][2] = {{0x25, 0xA3}, {0xE0, 0x7F}, {0x45, 0x00}, {0xFF, 0x25}};
    std::vector<CallRecord> fields;
    for (uint8_t i = 0; i < 4; ++i) {
        fields.push_back(call(i, "812", {}, {4, 12, 15, 14, i, 0}));
        fields[i].number1 = numbers[i][0], fields[i].number2 = numbers[i][1];
        fields[i].port1 = ports[i][0], fields[i].port2 = ports[i][1];
    }
    out += lists("numbers and ports", call_log(fields), O);

    // By end date and time (years 97 to 99 first), then start (its year as
    // stored), then the other bytes.
    // clang-format off
    std::vector<CallRecord> order = {
        call(1, "8-year-3", {4, 12}, {4, 12, 3}), call(2, "8-year-98", {4, 12}, {4, 12, 98}),
        call(3, "8-unfinished", {4, 12}, {0xFF, 12, 15}), call(4, "8-next-month", {}, {4, 1, 16}),
        call(5, "8-start-year-97", {4, 12, 97}), call(6, "8-start-year-3", {4, 12, 3}),
        call(7, "8-later-start", {4, 12, 15, 13, 5, 10}), call(8, "812"), CallRecord()};
    // clang-format on
    order[7].status = 0x11;
    out += lists("sort order", call_log(order), O);

    const CallRecord later = call(1, "812", {}, {4, 12, 15, 13, 9});
    for (size_t size : {1, 74})
        out += lists(std::to_string(size) + " bytes", later.bytes().substr(0, size), O, I, R);
    out += lists("end mark",
                 call_log({later, call(0xFFFF, "8", {}, {4, 12, 15, 13, 8}), CallRecord()}), O);
    out += lists("short last record", CallRecord().bytes() + later.bytes().substr(0, 74), O);

    const std::string none = dir.file("none.bin"), no_folder = dir.file("no/such/file.txt");
    out += lists("log missing", log, O, I, R, none.c_str());
    out += lists("log a folder", log, O, I, R, dir.path().c_str());
    for (const std::string &bad : {no_folder, "/dev/full"s}) { // not creatable, not writable
        const char *to = bad.c_str();
        out += lists("out " + bad, log, to, I, R) + lists("in " + bad, log, O, to, R);
        out += lists("reject " + bad, log, O, I, to);
    }
    out += lists("out absent", log, nullptr, I, R);
    expect_golden("logs/logcall_lists.txt", stable(out + files_left(dir.path()), dir.path()));
    char message[80];
    EXPECT_EQ(mklogcall(nullptr, O, nullptr, nullptr, message), -1);
    EXPECT_STREQ(message, "Cannot Read \"NULL\"!\n");
    EXPECT_EQ(live_blocks(), blocks);

    DebugOn debug; // the trace of a conversion and of a failed one
    TraceCapture capture;
    write_file(bin, calls_example());
    EXPECT_EQ(mklogcall(bin.c_str(), O, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(mklogcall(bin.c_str(), "/dev/full", nullptr, nullptr, nullptr), -4);
    expect_golden("logs/logcall_trace.txt", stable_trace(capture, dir.path()));
}

TEST(Logcall, SortKeepsTheTailAndReportsStreamFailures) {
    TempDir dir;
    const std::string bin = dir.file("calls.bin");
    const std::string sorted = call(2, "8", {}, {4, 12, 98}).bytes() + call(1, "8").bytes();
    write_file(bin, sorted.substr(75) + sorted.substr(0, 75) + "tail");
    for (const auto &[mode, result] : {std::pair{"r+b", Error::Ok},
                                       {"ab", Error::SortShortRead},
                                       {"rb", Error::SortShortWrite}}) {
        std::FILE *file = std::fopen(bin.c_str(), mode);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(sort_logcall(file), result) << mode;
        std::fclose(file);
    }
    EXPECT_EQ(read_file(bin), sorted + "tail");
}

// The times of the records of a sort test: few distinct ones, times of a
// year as a box writes them, or any bytes at all.
enum class Times { Few, OfAYear, Any };

// Records of such times, a third of them copies of one before but for the
// slot word, so that equal keys and equal records are common.
std::vector<logcall_t> sort_test_records(size_t count, Times times, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<logcall_t> records(count);
    for (size_t n = 0; n < records.size(); ++n) {
        logcall_t &r = records[n];
        if (n > 0 && rng() % 3 == 0) {
            r = records[n - 1 - rng() % std::min<size_t>(n, 8)];
        } else {
            auto *bytes = reinterpret_cast<uint8_t *>(&r);
            for (size_t i = 0; i < sizeof r; ++i)
                bytes[i] = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : i % 3);
            r.dad[0] = "806\xFF"[rng() % 4];
            for (logcall_time_t *t : {&r.start, &r.end}) {
                const auto any = [&](unsigned below) { return uint8_t(rng() % below); };
                const uint8_t day = rng() % 3 ? 4 : 0xFF;
                *t = times == Times::Few
                         ? logcall_time_t{any(2), 0, any(2), day, 12, uint8_t(rng() % 3 ? 15 : 98)}
                     : times == Times::OfAYear ? logcall_time_t{any(60),
                                                                any(60),
                                                                any(24),
                                                                uint8_t(1 + any(28)),
                                                                uint8_t(1 + any(12)),
                                                                uint8_t(15 + any(2))}
                                               : logcall_time_t{any(256), any(256), any(256),
                                                                any(256), any(256), any(256)};
            }
        }
        r.plc = static_cast<uint16_t>(rng() % 0xFFFF);
    }
    return records;
}

// The sort must give the order of a stable sort by compare_logcall, whether
// the times pack into few bits or not, in small logs and in one large enough
// to be sorted in place; mklogcall must write the same lists whether it
// converts from memory (trace off) or from the sorted copy.
TEST(Logcall, SortedOrderAndListsOfBothPaths) {
    TempDir dir;
    TmpPathIn tmp{dir.path()};
    const std::string tail = "tail";
    const std::string bin = dir.file("calls.bin");
    for (const auto &[count, times, lists] : {std::tuple{size_t{3000}, Times::Few, true},
                                              {size_t{3000}, Times::Any, true},
                                              {size_t{40000}, Times::Few, false},
                                              {size_t{40000}, Times::OfAYear, false},
                                              {size_t{40000}, Times::Any, false}}) {
        std::vector<logcall_t> records = sort_test_records(count, times, 2024);
        const std::string log(reinterpret_cast<const char *>(records.data()), count * 75);
        std::stable_sort(
            records.begin(), records.end(),
            [](const logcall_t &a, const logcall_t &b) { return compare_logcall(&a, &b) < 0; });
        write_file(bin, log + tail);
        std::FILE *file = std::fopen(bin.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(sort_logcall(file), Error::Ok);
        std::fclose(file);
        EXPECT_EQ(read_file(bin),
                  std::string(reinterpret_cast<const char *>(records.data()), log.size()) + tail)
            << count << " records, times " << static_cast<int>(times);
        if (!lists)
            continue;

        const std::string o = dir.file("o.txt"), i = dir.file("i.txt"), r = dir.file("r.txt");
        const char *no = nullptr;
        for (const auto &[in, reject] :
             {std::pair{no, no}, {i.c_str(), no}, {no, r.c_str()}, {i.c_str(), r.c_str()}}) {
            std::string texts[2];
            for (std::string &text : texts) {
                write_file(bin, log + tail);
                TraceCapture capture;
                std::optional<DebugOn> debug;
                if (&text == &texts[1])
                    debug.emplace();
                EXPECT_EQ(mklogcall(bin.c_str(), o.c_str(), in, reject, nullptr), 0);
                text = read_file(o) + "|" + (in ? read_file(in) : "") + "|" +
                       (reject ? read_file(reject) : "");
            }
            EXPECT_GT(texts[0].size(), count * 20);
            EXPECT_EQ(texts[0], texts[1]) << (in != nullptr) << (reject != nullptr);
        }
    }
}

TEST(LogcallMerge, MergedListsErrorLinesAndTrace) {
    TempDir dir;
    const std::string first = dir.file("first.txt"), second = dir.file("second.txt"),
                      dest = dir.file("merged.txt"), missing = dir.file("missing.txt");
    auto merge = [&](const std::string &name, const std::string &list1, const std::string &list2,
                     const char *a, const char *b, const char *destination) {
        write_file(first, list1);
        write_file(second, list2);
        fs::permissions(first, fs::perms::owner_read | fs::perms::owner_write);
        fs::remove(dest);
        TraceCapture capture;
        std::string out =
            section(name, merge_logcall(a, b, destination), nullptr, {first, second, dest});
        for (const std::string &line : capture.bodies())
            out += "error line: " + printable(line);
        const bool kept = (fs::status(first).permissions() & fs::perms::all) ==
                          (fs::perms::owner_read | fs::perms::owner_write);
        return out + (kept ? "" : "first.txt lost its permissions\n");
    };
    // Lines as mklogcall writes them: with arrow and marker, without start
    // time, in separate lists.
    const std::string a = "->  04.12.15-13:05:09;04.12.15-13:07:41;012;471;;12;0010;10;;3\n";
    const std::string b = "<-! ;04.12.15-13:07:42;012;471;;30\n", c = ";04.12.15-13:07:44;ff\n";
    const std::string d = "04.12.15-13:05:09;04.12.15-13:07:43;0010\n";
    const std::string e = "04.12.15-13:05:09;03.01.16-00:00:00;0010\n";
    const std::string g = "04.12.15-13:05:09;31.12.98-23:59:59;0010\n";
    const std::string z = "04.12.15-13:05:09;04.12.15-13:07:41;" + std::string(300, 'z') + "\n";
    const std::tuple<const char *, std::string, std::string> orders[] = {
        {"every line form", a + d + e, b + c + g},
        {"an empty first list", "", a + b},
        {"an empty second list", d + c, ""},
        {"equal keys: the second list first", a, "->  01.01.15" + a.substr(12)},
        {"keys equal but for case", replaced(d, "0010", "abc"), replaced(d, "0010", "ABC")},
        {"a line of 300 characters", z, d},
        {"CR LF line ends", "x\r\n" + a.substr(0, a.size() - 1) + "\r\n", ""}};
    std::string out;
    for (const auto &[name, list1, list2] : orders)
        out += merge(name, list1, list2, first.c_str(), second.c_str(), dest.c_str());
    const std::string upper = dir.file("FIRST.TXT"), second_too = dir.path() + "//second.txt";
    out += merge("replacing the first list", a, d, first.c_str(), second.c_str(), nullptr);
    // The destination names the first list only as the same file: on a file
    // system that tells letters apart, FIRST.TXT is a list of its own.
    out += merge("FIRST.TXT beside first.txt", a, d, first.c_str(), second.c_str(), upper.c_str());
    out +=
        merge("replacing the second list", a, d, first.c_str(), second.c_str(), second_too.c_str());
    fs::create_symlink(first, dir.file("link.txt"));
    out += merge("replacing a linked list", a, d, dir.file("link.txt").c_str(), second.c_str(),
                 nullptr);
    fs::remove(dir.file("link.txt"));
    // A folder path of more than 300 characters: names are not cut at 260.
    const std::string deep = dir.file(std::string(200, 'd')) + "/" + std::string(200, 'e');
    const std::string deep_list = deep + "/list.txt";
    fs::create_directories(deep);
    write_file(deep_list, a);
    const std::string no_folder = dir.file("no/such/folder/merged.txt");
    out += merge("first missing", a, d, missing.c_str(), second.c_str(), dest.c_str());
    out += merge("first absent", a, d, nullptr, second.c_str(), dest.c_str());
    out += merge("first a folder", a, d, dir.path().c_str(), second.c_str(), nullptr);
    out += merge("second missing", a, d, first.c_str(), missing.c_str(), dest.c_str());
    out +=
        merge("destination not creatable", a, d, first.c_str(), second.c_str(), no_folder.c_str());
    out += merge("a list in a deep folder", a, d, deep_list.c_str(), second.c_str(), nullptr);
    ASSERT_EQ(merge_logcall(first.c_str(), second.c_str(), dest.c_str()), 0);
    EXPECT_EQ(read_file(deep_list), read_file(dest));
    out += merge("destination full", a, d, first.c_str(), second.c_str(), "/dev/full");
    fs::remove_all(dir.file(std::string(200, 'd')));
    expect_golden("logs/logcall_merge.txt", stable(out + files_left(dir.path()), dir.path()));

    // The trace of a merge that replaces the first list, and of one whose
    // input, a pipe, has no length to read up to.
    DebugOn debug;
    TraceCapture capture;
    write_file(first, a);
    EXPECT_EQ(merge_logcall(first.c_str(), second.c_str(), nullptr), 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x\n", 2), 2);
    close(fds[1]);
    std::FILE *piped = fdopen(fds[0], "r"), *in2 = std::fopen(second.c_str(), "r");
    std::FILE *merged = std::fopen(dest.c_str(), "w");
    EXPECT_EQ(merge_logcall_lines(piped, in2, merged), Error::InputGrew);
    for (std::FILE *file : {piped, in2, merged})
        std::fclose(file);
    expect_golden("logs/logcall_merge_trace.txt", stable_trace(capture, dir.path()));
}

// ---- Protocol traces (mktrace, vorn trace)

// convert_trace through temporary streams: the result and the text.
std::string converted(const std::string &name, const std::string &trace, const char *label = {}) {
    TempDir dir;
    write_file(dir.file("t.bin"), trace);
    std::FILE *binary = std::fopen(dir.file("t.bin").c_str(), "rb");
    std::FILE *text = std::fopen(dir.file("t.txt").c_str(), "w");
    const int result = export_result(ResultFamily::Converter, convert_trace(binary, text, label));
    std::fclose(binary);
    std::fclose(text);
    return section(name, result, nullptr, {dir.file("t.txt")});
}

// Lists handed in blocks to one writing thread, interleaved: each file gets
// its own text whole and in order, and a file that cannot be written fails
// its own buffer only.
TEST(LogText, BuffersSharingAWriter) {
    TempDir dir;
    const std::string paths[2] = {dir.file("a.txt"), dir.file("b.txt")};
    std::string wanted[2];
    std::FILE *files[3] = {std::fopen(paths[0].c_str(), "wb"), std::fopen(paths[1].c_str(), "wb"),
                           std::fopen("/dev/full", "wb")};
    for (std::FILE *f : files)
        ASSERT_NE(f, nullptr);
    {
        logs::BlockWriter writer;
        logs::TextBuffer lists[3] = {logs::TextBuffer(files[0], &writer),
                                     logs::TextBuffer(files[1], &writer),
                                     logs::TextBuffer(files[2], &writer)};
        for (int i = 0; i < 300000; ++i) {
            const std::string line = std::to_string(i) + (i % 7 ? "\n" : " a longer line\n");
            lists[i % 3 == 0].put(line.data(), line.size());
            wanted[i % 3 == 0] += line;
            lists[2].put(line.data(), line.size());
        }
        EXPECT_TRUE(lists[0].finish());
        EXPECT_TRUE(lists[1].finish());
        EXPECT_FALSE(lists[2].finish());
    }
    for (std::FILE *f : files)
        std::fclose(f);
    EXPECT_EQ(read_file(paths[0]), wanted[0]);
    EXPECT_EQ(read_file(paths[1]), wanted[1]);
}

// The frame bytes' hex, sixteen at a time where the processor can, must be
// printf's " %02x" of each byte for every length and every byte value,
// whether or not the bytes after the piece may be read, and must write
// nothing beyond its slack.
TEST(ProtTrace, FrameHexOfAnyLengthAndByte) {
    std::vector<uint8_t> bytes(300);
    std::mt19937 rng(7);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i < 256 ? i : rng());
    std::string expected;
    for (uint8_t b : bytes) {
        char piece[4];
        std::snprintf(piece, sizeof piece, " %02x", b);
        expected += piece;
    }
    for (size_t from : {size_t{0}, size_t{5}, size_t{250}})
        for (size_t count = 0; count + from <= bytes.size(); count += count < 40 ? 1 : 37) {
            for (size_t readable : {count, bytes.size() - from}) {
                std::string text(3 * count + logs::kHexSlack + 8, '#');
                char *end = logs::put_spaced_hex(text.data(), bytes.data() + from, count, readable);
                EXPECT_EQ(static_cast<size_t>(end - text.data()), 3 * count);
                EXPECT_EQ(text.substr(3 * count + logs::kHexSlack), "########");
                text.resize(3 * count);
                EXPECT_EQ(text, expected.substr(3 * from, 3 * count))
                    << from << "+" << count << " of " << readable;
            }
        }
}

TEST(ProtTrace, TextsOfManyTraces) {
    auto at = [] { return B().at(5, 9, 37); };
    const B worked = B().at(5, 9).time(13, 4, 12, 15).at(5, 9, 37).state(1, 13);
    const std::pair<const char *, B> records[] = {
        {"states", at().state(1, 13).state(3, 12).state(0, 5).state(1, 0x1F).state(100, 4)},
        {"state, length field not read", at().record('1', 1, bytes_of({13}), 0)},
        {"error states", at().error(3, 9).error(0, 29)},
        {"connections", at().connect(1, 2, 3, 1, 0).connect(2, 1, 0, 2, 1).record('c', 1, "")},
        {"connection cut short", at().record('c', 1, bytes_of({1, 2, 3}))},
        {"connection longer than the buffer",
         at().record('c', 4, bytes_of({4, 1, 5, 2, 7}) + std::string(400, 'z')).boot()},
        {"frames", at().frame('r', 1, bytes_of({2, 1, 0x7F})).frame('s', 12, "").boot()},
        {"length below 4", at().record('s', 1, "", 2).boot()},
        {"frame longer than the buffer", at().frame('r', 7, counting_bytes(300)).boot()},
        {"frame cut by the end of the file", at().record('r', 1, bytes_of({2, 1}), 10)},
        {"tick doubled in 16 bits, times as stored", B().at(5, 9, 40000).boot().at(75, 61).boot()},
        {"worked examples", B(worked).frame('r', 1, bytes_of({2, 1, 0x7F})).at(6, 30, 5).boot()},
        {"empty", B()},
    };
    B names = at(); // every name of a line state, on both sides, and of an error state
    for (uint8_t code = 0; code < 30; ++code)
        names.state(1, code).state(2, code).error(0, code);
    std::string out = converted("every name", names.bytes());
    for (const auto &[name, trace] : records)
        out += converted(name, trace.bytes());
    out += converted("header cut short", B().at(5, 9).boot().bytes() + "\x01\x02\x03");
    for (int type : {0x00, int{'x'}, int{'R'}, 0xFE})
        out +=
            converted("invalid type " + std::to_string(type),
                      B().at(5, 9).boot().at(5, 10).record(uint8_t(type), 2, "abc").boot().bytes());
    auto one = [] { return B().at(1, 2).frame('r', 1, bytes_of({2, 1, 0x7F})); }; // 11 bytes
    auto one16 = [] { return B().at(1, 2).frame('r', 1, bytes_of({2, 1, 0x7F, 0, 0, 0, 0, 0})); };
    auto then = [](B b) { return b.at(2, 0).frame('s', 3, bytes_of({0, 1, 0x73})).bytes(); };
    const std::pair<const char *, std::string> fillings[] = {
        {"run ending inside a block", then(one().ff(20))},
        {"a single 0xFF byte", then(one().ff(1))},
        {"run of whole blocks", then(one().ff(16))},
        {"trace starting with filling", then(B().ff(8))},
        {"filling up to a segment end", then(one().fill_to(65536))},
        {"whole blocks up to a segment end", then(one16().fill_to(65536))},
        {"an empty segment between two", then(one().fill_to(2 * 65536))},
        {"file ending at a segment end", one16().fill_to(65536).bytes()},
        // Against the edge-case list: filling that does not end in a whole
        // block leaves a negative count of bytes left and ends the walk
        // before the segment end is seen.
        {"file ending at a segment end, partial last block", one().fill_to(65536).bytes()},
        {"file ending in whole blocks of filling", one16().ff(24).bytes()},
        {"file ending in filling of a partial block", one().ff(20).bytes()}};
    for (const auto &[name, trace] : fillings)
        out += converted(name, trace);

    B progress; // 200 records of 20 bytes
    for (int i = 0; i < 200; ++i)
        progress.at(0, static_cast<uint8_t>(i % 60)).frame('r', 1, std::string(12, 'x'));
    testing::internal::CaptureStdout();
    const std::string quiet = converted("progress", progress.bytes());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(converted("progress", progress.bytes(), "LBL"), quiet);
    out += "progress: " + printable(testing::internal::GetCapturedStdout()) + "\n";
    expect_golden("logs/prot_trace_texts.txt", out);
}

// mktrace as a host calls it: the text, the message in the label buffer,
// the temporary copy deleted and the blocks given back on every path; and
// the trace of the export.
TEST(ProtTrace, ExportResultsAndTrace) {
    TempDir dir;
    TmpPathIn tmp(dir.path());
    auto file = [&](const char *name) { return dir.file(name); };
    write_file(file("good.bin"), B().at(5, 9, 37).frame('r', 1, bytes_of({2, 1, 0x7F})).bytes());
    write_file(file("empty.bin"), "");
    write_file(file("odd.bin"), B().record('?', 0, "").bytes());
    const std::string rows[][2] = {
        {file("good.bin"), file("t.txt")},    {file("empty.bin"), file("t.txt")},
        {file("odd.bin"), file("t.txt")},     {file("none.bin"), file("t.txt")},
        {dir.path(), file("t.txt")},          {"", file("t.txt")},
        {file("good.bin"), file("no/t.txt")}, {file("good.bin"), ""},
        {file("good.bin"), "/dev/full"}};
    const uint32_t blocks = live_blocks();
    std::string out;
    for (const auto &[binfile, textfile] : rows) {
        std::remove(file("t.txt").c_str());
        char label[80] = "LBL";
        testing::internal::CaptureStdout();
        const int result = mktrace(binfile.empty() ? nullptr : binfile.c_str(),
                                   textfile.empty() ? nullptr : textfile.c_str(), label);
        testing::internal::GetCapturedStdout();
        out +=
            section("mktrace(" + binfile + ", " + textfile + ")", result, label, {file("t.txt")});
    }
    EXPECT_EQ(live_blocks(), blocks);
    expect_golden("logs/prot_trace_export.txt", stable(out + files_left(dir.path()), dir.path()));
    testing::internal::CaptureStdout();
    EXPECT_EQ(mktrace(file("good.bin").c_str(), file("t.txt").c_str(), nullptr), 0);
    EXPECT_EQ(mktrace(file("none.bin").c_str(), file("t.txt").c_str(), nullptr), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // The trace of a conversion that skips filling and ends at invalid data.
    B skips = B().at(1, 2).frame('r', 1, bytes_of({2, 1, 0x7F})).ff(20).boot().ff(16);
    write_file(file("t.bin"), skips.state(2, 4).record('?', 1, counting_bytes(30)).bytes());
    DebugOn debug;
    TraceCapture capture;
    EXPECT_EQ(mktrace(file("t.bin").c_str(), file("t.txt").c_str(), nullptr), 1);
    EXPECT_EQ(mktrace(file("none.bin").c_str(), file("t.txt").c_str(), nullptr), -1);
    expect_golden("logs/prot_trace_trace.txt", stable_trace(capture, dir.path()));
}

// A call set up and cleared on port 1, where the box is the user side
// towards the network, and a call from a terminal on port 3, where the box
// is the network side.  LAPD frames start with their address field: SAPI 0
// (call control), C/R, TEI 0.  The first frame comes before any time stamp.
std::string call_trace() {
    // clang-format off
    return B().at(1, 6, 25).frame('s', 1, "\x00\x01\x7F"s) // SABME, unanswered
        .at(5, 9).time(13, 4, 12, 15).at(5, 9, 37).state(1, 13)
        .frame('r', 1, "\x02\x01\x7F"s).frame('s', 1, "\x02\x01\x73"s) // SABME from the network, UA
        // I: SETUP to 123, then CALL PROCEEDING on B1
        .at(5, 10, 2).frame('s', 1, "\x00\x01\x00\x00\x08\x01\x01\x05\x04\x03\x80\x90\xA3\x70\x04\x81\x31\x32\x33"s)
        .at(5, 10, 20).frame('r', 1, "\x02\x01\x00\x02\x08\x01\x81\x02\x18\x01\x89"s)
        .at(5, 12).connect(1, 1, 3, 1, 1) // I: SETUP from a terminal, ALERTING
        .frame('r', 3, "\x00\x01\x00\x00\x08\x01\x02\x05\x04\x03\x80\x90\xA3"s)
        .frame('s', 3, "\x02\x01\x00\x02\x08\x01\x82\x01"s)
        .at(59, 58).frame('r', 1, "\x02\x01\x02\x02\x08\x01\x81\x07"s) // CONNECT
        // DISCONNECT, an hour having passed without a time stamp
        .at(0, 3, 10).frame('s', 1, "\x00\x01\x02\x04\x08\x01\x01\x45\x08\x02\x80\x90"s)
        .error(3, 15).bytes();
    // clang-format on
}

// ---- The tool's log jobs

// The session of tests/golden/logs/tools.commands in one folder, then the
// capture of the trace job as tshark decodes it.
TEST(LogTools, RunsOfTheTool) {
    PinnedClock clock; // and TZ=UTC for the capture's times
    TempDir dir;
    write_file(dir.file("events.bin"), events_example());
    write_file(dir.file("odd.bin"), "\x09 not an event log");
    write_file(dir.file("calls.bin"), calls_example());
    // An end mark sorted between the calls: the later two stay unconverted.
    CallRecord mark, late;
    mark.plc = 0xFFFF;
    mark.end.hour = late.end.hour = 14;
    late.end.minute = 30;
    write_file(dir.file("ended.bin"), call_log({late, CallRecord{}, late, mark}));
    // A log cut short inside its last record converts its whole records.
    write_file(dir.file("cut.bin"), call_log({late, CallRecord{}}) + "\x01\x02\x03");
    write_file(dir.file("t.bin"), call_trace());
    write_file(dir.file("e.bin"), "");
    write_file(dir.file("bad.bin"), B().boot().record('?', 1, "").boot().bytes());
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(dir.file("events.bin").c_str(), dir.file("link.txt").c_str()), 0);
    const std::string out = run_session("logs/tools.commands", dir.path(), "TMPDIR=" + dir.path());
    expect_golden("logs/tools.txt", stable(out + files_left(dir.path()), dir.path()));
    std::filesystem::create_directory(dir.file("tmp"));
    const std::string conventions =
        run_session("logs/conventions.commands", dir.path(), "TMPDIR=" + dir.file("tmp"));
    expect_golden("logs/conventions.txt",
                  stable(conventions + files_left(dir.file("tmp")), dir.path()));
    const std::pair<const char *, std::string> inputs[] = {
        {"events.bin", events_example()}, {"calls.bin", calls_example()}, {"t.bin", call_trace()}};
    for (const auto &[name, bytes] : inputs) {
        EXPECT_EQ(read_file(dir.file(name)), bytes) << name << " is never written";
        if (name[0] != 't')
            expect_example(name, bytes); // the logs bundled with the tool
    }

    if (std::system("command -v tshark >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark is not installed (apt-get install tshark); the capture was "
                        "compared as bytes but not decoded";
    const std::string q = shell_quote(dir.file("t.pcapng"));
    EXPECT_EQ(std::system(("TZ=UTC tshark -r " + q +
                           " -T fields -E separator=';' -e frame.time_epoch -e frame.interface_name"
                           " -e frame.packet_flags_direction -e _ws.col.Source"
                           " -e _ws.col.Destination -e _ws.col.Protocol -e _ws.col.Info >" +
                           q + ".out 2>/dev/null")
                              .c_str()),
              0);
    expect_golden("logs/prot_trace_tshark.txt", read_file(dir.file("t.pcapng.out")));
}

} // namespace
} // namespace vorn::test
