// mklogcall, merge_logcall and the tool's calls and merge, compared whole
// with golden files: the lists of many call logs in every combination of
// files (records that are no finished call, numbers, ports, the sort order,
// short logs, results and messages), merged lists with their error lines,
// the trace of a conversion and the tool's runs.
#include "frame/frame.h"
#include "logs/logcall.h"
#include "support/log_golden.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/run_tool.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace vorn::test {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

CallRecord call(uint16_t plc, const std::string &dad, CallTime start = {4, 12, 15, 13, 5, 9},
                CallTime end = {4, 12, 15, 13, 7, 41}) {
    CallRecord r;
    r.plc = plc, r.dad = dad, r.start = start, r.end = end;
    return r;
}

// A day at the office, stored in the box's slot order: calls out and in,
// one without start time, one not finished, one not closed, one saved
// before, one over the turn of the year and one whose number is a text.
std::string example_log() {
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

struct CallFiles {
    TempDir dir;
    TmpPathIn tmp{dir.path()}; // where the copy of the log goes
    std::string bin = dir.file("calls.bin"), out = dir.file("out.txt"), in = dir.file("in.txt"),
                reject = dir.file("reject.txt");

    // One mklogcall call: result, message and the lists.
    std::string lists(const std::string &name, const std::string &log, const char *o,
                      const char *i = nullptr, const char *r = nullptr,
                      const char *from = nullptr) {
        write_file(bin, log);
        for (const auto &f : {out, in, reject})
            fs::remove(f);
        char message[80] = "(untouched)";
        const int result = mklogcall(from ? from : bin.c_str(), o, i, r, message);
        return section(name, result, message, {out, in, reject});
    }
};

TEST(Logcall, ListsOfManyLogsAndTrace) {
    const uint32_t blocks = live_blocks();
    CallFiles f;
    const char *O = f.out.c_str(), *I = f.in.c_str(), *R = f.reject.c_str();
    CallRecord no_start = call(2, "030");
    no_start.start.day = 0xFF, no_start.end.minute = 9;
    std::string out = f.lists("examples, one list", call_log({CallRecord(), no_start}), O);
    out += f.lists("example, three lists", call(1, "030").bytes(), O, I, R);
    const std::string log = example_log(), again = f.dir.path() + "/./out.txt";
    out += f.lists("one list", log, O) + f.lists("out and in", log, O, I);
    out += f.lists("out and reject", log, O, nullptr, R) + f.lists("three lists", log, O, I, R);
    out += f.lists("out named three times", log, O, O, again.c_str());

    CallRecord r = call(1, "\xFF"s + "8", {31, 1, 99, 0, 0, 0}, {255, 255, 255, 255, 255, 255});
    r.port2 = 0x45, r.subcode = 0, r.value = 0xFFFF, r.status = 0xFFFF, r.code = 0;
    out += f.lists("no address, end all 255", r.bytes(), O);
    r.end = {1, 2, 0, 3, 4, 5};
    out += f.lists("no address, the call incoming", r.bytes(), O);
    r.dad = "6" + std::string(30, '9'), r.port1 = 0xA3, r.port2 = 0x3F;
    out += f.lists("address without terminator", r.bytes(), O);
    r.dad = "", r.plc = 0xFFFE;
    out += f.lists("slot 32766 not closed", r.bytes(), O);

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
    out += f.lists("numbers and ports", call_log(fields), O);

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
    out += f.lists("sort order", call_log(order), O);

    const CallRecord later = call(1, "812", {}, {4, 12, 15, 13, 9});
    for (size_t size : {1, 74})
        out += f.lists(std::to_string(size) + " bytes", later.bytes().substr(0, size), O, I, R);
    out += f.lists("end mark",
                   call_log({later, call(0xFFFF, "8", {}, {4, 12, 15, 13, 8}), CallRecord()}), O);
    out += f.lists("short last record", CallRecord().bytes() + later.bytes().substr(0, 74), O);

    const std::string none = f.dir.file("none.bin"), no_folder = f.dir.file("no/such/file.txt");
    out += f.lists("log missing", log, O, I, R, none.c_str());
    out += f.lists("log a folder", log, O, I, R, f.dir.path().c_str());
    out += f.lists("out not creatable", log, no_folder.c_str(), I, R);
    out += f.lists("in not creatable", log, O, no_folder.c_str(), R);
    out += f.lists("reject not creatable", log, O, I, no_folder.c_str());
    out += f.lists("out not writable", log, "/dev/full", I, R);
    out += f.lists("in not writable", log, O, "/dev/full", R);
    out += f.lists("reject not writable", log, O, I, "/dev/full");
    out += f.lists("out absent", log, nullptr, I, R);
    expect_golden("logs/logcall_lists.txt", stable(out + files_left(f.dir.path()), f.dir.path()));
    char message[80];
    EXPECT_EQ(mklogcall(nullptr, O, nullptr, nullptr, message), -1);
    EXPECT_STREQ(message, "Cannot Read \"NULL\"!\n");
    EXPECT_EQ(live_blocks(), blocks);

    DebugOn debug; // the trace of a conversion and of a failed one
    TraceCapture capture;
    write_file(f.bin, example_log());
    EXPECT_EQ(mklogcall(f.bin.c_str(), O, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(mklogcall(f.bin.c_str(), "/dev/full", nullptr, nullptr, nullptr), -4);
    expect_golden("logs/logcall_trace.txt", stable_trace(capture, f.dir.path()));
}

TEST(Logcall, SortKeepsTheTailAndReportsStreamFailures) {
    TempDir dir;
    const std::string bin = dir.file("calls.bin");
    const std::string sorted = call(2, "8", {}, {4, 12, 98}).bytes() + call(1, "8").bytes();
    write_file(bin, sorted.substr(75) + sorted.substr(0, 75) + "tail");
    for (const auto &[mode, result] : {std::pair{"r+b", 0}, {"ab", -7}, {"rb", -8}}) {
        std::FILE *file = std::fopen(bin.c_str(), mode);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(sort_logcall(file), result) << mode;
        std::fclose(file);
    }
    EXPECT_EQ(read_file(bin), sorted + "tail");
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
    out += merge("replacing FIRST.TXT", a, d, first.c_str(), second.c_str(), upper.c_str());
    out +=
        merge("replacing the second list", a, d, first.c_str(), second.c_str(), second_too.c_str());
    fs::create_symlink(first, dir.file("link.txt"));
    out += merge("replacing a linked list", a, d, dir.file("link.txt").c_str(), second.c_str(),
                 nullptr);
    fs::remove(dir.file("link.txt"));
    const std::string deep = dir.file(std::string(240, 'd')), deep_list = deep + "/list.txt";
    fs::create_directory(deep);
    write_file(deep_list, "kept\n");
    const std::string no_folder = dir.file("no/such/folder/merged.txt");
    out += merge("first missing", a, d, missing.c_str(), second.c_str(), dest.c_str());
    out += merge("first absent", a, d, nullptr, second.c_str(), dest.c_str());
    out += merge("first a folder", a, d, dir.path().c_str(), second.c_str(), nullptr);
    out += merge("second missing", a, d, first.c_str(), missing.c_str(), dest.c_str());
    out +=
        merge("destination not creatable", a, d, first.c_str(), second.c_str(), no_folder.c_str());
    out += merge("no room beside the first list", a, d, deep_list.c_str(), second.c_str(), nullptr);
    out += merge("destination full", a, d, first.c_str(), second.c_str(), "/dev/full");
    EXPECT_EQ(read_file(deep_list), "kept\n");
    fs::remove_all(deep);
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
    EXPECT_EQ(merge_logcall_lines(piped, in2, merged), -5);
    for (std::FILE *file : {piped, in2, merged})
        std::fclose(file);
    expect_golden("logs/logcall_merge_trace.txt", stable_trace(capture, dir.path()));
}

TEST(LogcallTool, RunsOfTheTool) {
    TempDir dir;
    const std::string env = "TMPDIR=" + dir.path();
    auto q = [&](const char *name) { return shell_quote(dir.file(name)); };
    write_file(dir.file("calls.bin"), example_log());
    std::string out =
        tool_run("calls " + q("calls.bin") + " " + q("out.txt") + " --in " + q("in.txt") +
                     " --reject " + q("reject.txt") + " --csv " + q("calls.csv"),
                 env);
    for (const char *name : {"out.txt", "in.txt", "reject.txt", "calls.csv"})
        out += "--- " + std::string(name) + "\n" + printable(read_file(dir.file(name)));
    for (const auto &[dest, shown] : {std::pair{"m.txt", "m.txt"}, {"IN.txt", "in.txt"}}) {
        out += tool_run("merge " + q("in.txt") + " " + q("out.txt") + " " + q(dest));
        out += "--- " + std::string(shown) + "\n" + printable(read_file(dir.file(shown)));
    }
    for (const std::string &args :
         {"calls " + q("calls.bin") + " " + q("m.txt") + " --in " + q("m.txt"),
          "calls " + q("calls.bin") + " " + q("no/list.txt"),
          "calls " + q("calls.bin") + " /dev/full",
          "merge " + q("m.txt") + " " + q("m.txt") + " /dev/full",
          "merge " + q("m.txt") + " " + q("calls.bin") + " " + q("calls.bin"), "calls"s,
          "calls a b c"s, "calls a b --in"s, "calls a b --out x"s, "merge a"s, "merge --x a b"s})
        out += tool_run(args, env);
    EXPECT_EQ(read_file(dir.file("calls.bin")), example_log());
    expect_example("calls.bin", example_log()); // the log bundled with the tool
    expect_golden("logs/logcall_tool.txt", stable(out + files_left(dir.path()), dir.path()));
}

} // namespace
} // namespace vorn::test
