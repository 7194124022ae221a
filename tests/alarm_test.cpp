// The event log report, compared byte for byte with texts written out here:
// every form of the event line, the walk through the ring and the repairs of
// a damaged queue, short files, the device name, the result codes with their
// messages and the trace.
#include "frame/frame.h"
#include "logs/alarm.h"
#include "support/alarm_builder.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

using namespace std::string_literals;

const std::string kDashes = std::string(78, '-') + "\n";
const std::string kDestroyed =
    "Event structure destroyed, the following entries may be invalid and unsorted!\n";
const std::string kInvalid = " !!! INVALID ENTRY (date/time/pid) !!!";

// 4 December 2015, 13:05:09, process 2, error 3-12, at the given minute.
AlarmEvent event(uint8_t minute, const char *text, uint32_t address = 0) {
    return {4, 12, 15, 13, minute, 9, 2, 3, 12, text, address};
}
const AlarmEvent kLineDown = event(5, "Line down", 0x100);

// The report below the head: counts, dashes, lines and the closing empty line.
std::string listing(int whole, const std::string &stored, const std::string &lines) {
    return "Whole entries " + std::to_string(whole) + " (stored " + stored + ")\n" + kDashes +
           lines + "\n";
}

class AlarmTest : public ::testing::Test {
  protected:
    void SetUp() override { std::fill(std::begin(message), std::end(message), 'x'); }
    void TearDown() override { EXPECT_EQ(live_blocks(), blocks_before); }

    // Converts a version-1 or -2 log into a fresh report; the report below
    // its head.
    std::string body_of(const std::string &log) {
        std::filesystem::remove(txt);
        write_file(bin, log);
        EXPECT_EQ(mkalarm(txt.c_str(), bin.c_str(), 0, nullptr, nullptr, message), 0);
        const std::string head = report_head(log[0] == 1 ? "1" : "2");
        const std::string text = read_file(txt);
        EXPECT_EQ(text.substr(0, head.size()), head);
        return text.substr(std::min(head.size(), text.size()));
    }

    PinnedClock clock{kDec4th2015, nullptr};
    TempDir dir;
    std::string bin = dir.file("events.bin");
    std::string txt = dir.file("report.txt");
    char message[300];
    uint32_t blocks_before = live_blocks();
};

TEST_F(AlarmTest, WorkedExampleAppendsOneBlockPerConversion) {
    write_file(bin, AlarmLog{2, 17, {100, 1, 0, 0, 0}, {{0, kLineDown}}}.build());
    const std::string block =
        "Whole entries 17 (stored 1/100)\n" + kDashes +
        "[04.12.15 13:05:09]  17: PId=2 Err=3-12  \"Line down\" at <00000100>\n\n";
    ASSERT_EQ(mkalarm(txt.c_str(), bin.c_str(), 0, nullptr, nullptr, message), 0);
    EXPECT_EQ(read_file(txt), report_head("2") + block);
    EXPECT_EQ(message[0], 'x') << "a successful conversion leaves the buffer alone";

    // An empty source or headline counts as none.
    ASSERT_EQ(mkalarm(txt.c_str(), bin.c_str(), 0, "Box 1", "Nightly fetch", message), 0);
    ASSERT_EQ(mkalarm(txt.c_str(), bin.c_str(), 0, "", "", message), 0);
    EXPECT_EQ(read_file(txt), report_head("2") + block +
                                  report_head("2", "Box 1", "Nightly fetch") + block +
                                  report_head("2") + block);
}

TEST_F(AlarmTest, EventLineForms) {
    const std::pair<void (*)(AlarmEvent &), std::string> cases[] = {
        // Seconds from 60 on are left out; a year from 100 on loses its dot
        // and keeps two digits, whatever the seconds.
        {[](auto &e) { e.second = 61; }, "[04.12.15 13:05   ]   1: PId=2 Err=3-12  \"Up\""},
        {[](auto &e) { e.year = 115, e.second = 75; },
         "[04.1215 13:05:75]   1: PId=2 Err=3-12  \"Up\""},
        {[](auto &e) { e.year = 100, e.second = 59; },
         "[04.1200 13:05:59]   1: PId=2 Err=3-12  \"Up\""},
        {[](auto &e) { e.year = 99; }, "[04.12.99 13:05:09]   1: PId=2 Err=3-12  \"Up\""},
        // Error class 0 has no label; the code is read as 16 bits.
        {[](auto &e) { e.err_class = 0, e.err_code = 4711; },
         "[04.12.15 13:05:09]   1: PId=2     0-4711 \"Up\""},
        {[](auto &e) { e.address = 0xDEADBEEF; },
         "[04.12.15 13:05:09]   1: PId=2 Err=3-12  \"Up\" at <DEADBEEF>"},
        // Trailing blanks are trimmed, a text without terminator is kept
        // whole, a blank one or one not starting visibly is left out.
        {[](auto &e) { e.text = "Up \t  "; }, "[04.12.15 13:05:09]   1: PId=2 Err=3-12  \"Up\""},
        {[](auto &e) { e.text = std::string(60, 'A'); },
         "[04.12.15 13:05:09]   1: PId=2 Err=3-12  \"" + std::string(60, 'A') + "\""},
        {[](auto &e) { e.text = "     "; }, "[04.12.15 13:05:09]   1: PId=2 Err=3-12 "},
        {[](auto &e) { e.text = " Up"; }, "[04.12.15 13:05:09]   1: PId=2 Err=3-12 "},
        {[](auto &e) { e.text = "\x01Up"; }, "[04.12.15 13:05:09]   1: PId=2 Err=3-12 "},
        {[](auto &e) { e.text = "\xe4nderung"; }, "[04.12.15 13:05:09]   1: PId=2 Err=3-12 "},
        // The bounds of a valid entry, and one step beyond each.
        {[](auto &e) {
             e.day = 31, e.month = 12, e.hour = 23, e.minute = 59, e.pid = 6, e.err_class = 8;
         },
         "[31.12.15 23:59:09]   1: PId=6 Err=8-12  \"Up\""},
        {[](auto &e) { e.day = 32; }, "[32.12.15 13:05:09]   1: PId=2" + kInvalid},
        {[](auto &e) { e.month = 13; }, "[04.13.15 13:05:09]   1: PId=2" + kInvalid},
        {[](auto &e) { e.hour = 24; }, "[04.12.15 24:05:09]   1: PId=2" + kInvalid},
        {[](auto &e) { e.minute = 60; }, "[04.12.15 13:60:09]   1: PId=2" + kInvalid},
        {[](auto &e) { e.pid = 7; }, "[04.12.15 13:05:09]   1: PId=7" + kInvalid},
        {[](auto &e) { e.err_class = 9; }, "[04.12.15 13:05:09]   1: PId=2" + kInvalid},
        {[](auto &e) { e.pid = 0xFFFF, e.second = 60; },
         "[04.12.15 13:05   ]   1: PId=65535" + kInvalid},
    };
    for (const auto &[change, line] : cases) {
        AlarmEvent e = event(5, "Up");
        change(e);
        EXPECT_EQ(body_of(AlarmLog{2, 1, {100, 1, 0, 0, 0}, {{0, e}}}.build()),
                  listing(1, "1/100", line + "\n"));
    }
}

TEST_F(AlarmTest, EmptyQueuesReportNoEntries) {
    const std::string logs[] = {
        // Size -1 marks an empty log; it puts the device name before the
        // entries, so none is written.
        AlarmLog{2, 9, {-1, 5, 0, 0, 0}, {}, "Ghost"}.build(),
        // Count 0 is empty whatever the rest of the header says.
        AlarmLog{2, 9, {100, 0, 1, 3, 4}}.build(),
        AlarmLog{1, 9, {64, 0, 0, 99, 99}}.build(),
        // Fields beyond the end of the file read as zero.
        "\x02"s,
        "\x01\x00\x00\x07\x28"s,
    };
    for (const std::string &log : logs)
        EXPECT_EQ(body_of(log), "No entries\n");
}

TEST_F(AlarmTest, WalkOrderNumberingAndShortFiles) {
    const AlarmLog v1{1, 7, {40, 3, 0, 0, 2}, {{0, kLineDown}, {1, event(6, "Power up")}}};
    AlarmLog ring{1, 100, {40, 5, 1, 38, 2}};
    for (uint8_t index : {38, 39, 0, 1, 2})
        ring.events[index] = event(index, "");
    const std::string outside = "\"<invalid entry>\"\n";
    const std::pair<std::string, std::string> cases[] = {
        // Oldest first from `first`, wrapping at the size; the newest event
        // carries the whole count.
        {ring.build(), listing(100, "5/40",
                               "[04.12.15 13:38:09]  96: PId=2 Err=3-12 \n"
                               "[04.12.15 13:39:09]  97: PId=2 Err=3-12 \n"
                               "[04.12.15 13:00:09]  98: PId=2 Err=3-12 \n"
                               "[04.12.15 13:01:09]  99: PId=2 Err=3-12 \n"
                               "[04.12.15 13:02:09] 100: PId=2 Err=3-12 \n")},
        // Numbers run through 65535; version 1 keeps its texts apart from
        // the records and has no address.
        {AlarmLog{v1.version, 1, v1.queue, v1.events}.build(),
         listing(1, "3/40",
                 "[04.12.15 13:05:09] 65535: PId=2 Err=3-12  \"Line down\"\n"
                 "[04.12.15 13:06:09]   0: PId=2 Err=3-12  \"Power up\"\n"
                 "[00.00.00  0:00:00]   1: PId=0     0-0  \n")},
        // Cut after the records: every text lies outside the file.
        {v1.build().substr(0, 460),
         listing(7, "3/40",
                 "[04.12.15 13:05:09]   5: PId=2 Err=3-12  " + outside +
                     "[04.12.15 13:06:09]   6: PId=2 Err=3-12  " + outside +
                     "[00.00.00  0:00:00]   7: PId=0     0-0   " + outside)},
        // Cut inside the second record: only the first one is read.
        {v1.build().substr(0, 30),
         listing(7, "3/40",
                 "[04.12.15 13:05:09]   5: PId=2 Err=3-12  " + outside +
                     "[  invalid entry\t]   6:\n[  invalid entry\t]   7:\n")},
        // Only sizes other than 40 and 100 are repaired: record 60 of a
        // version-1 log lies inside the text area, its text beyond the file.
        {AlarmLog{1, 9, {100, 1, 0, 60, 60}}.build(),
         listing(9, "1/100", "[00.00.00  0:00:00]   9: PId=0     0-0   " + outside)},
        // Version 2 with two entries and half a third one; its whole count
        // has 16 bits.
        {AlarmLog{2, 1004, {100, 4, 0, 0, 3}, v1.events, std::string(30, 'x'), 2}.build(),
         listing(1004, "4/100",
                 "[04.12.15 13:05:09] 1001: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                 "[04.12.15 13:06:09] 1002: PId=2 Err=3-12  \"Power up\"\n"
                 "[  invalid entry\t] 1003:\n[  invalid entry\t] 1004:\n")},
    };
    for (const auto &[log, expected] : cases)
        EXPECT_EQ(body_of(log), expected);
}

// A line of the walk below, where the event at ring index i has minute i % 60.
std::string walked(int minute, int number) {
    char line[80];
    std::snprintf(line, sizeof line, "[04.12.15 13:%02d:09] %3d: PId=2 Err=3-12  \"Up\"\n", minute,
                  number);
    return line;
}

TEST_F(AlarmTest, DamagedQueuesAreRepairedAndAnnounced) {
    struct Case {
        uint8_t version;
        int16_t size, count, first, last;
        std::string stored;                   // "count/size" after the repair
        int lines;                            // events listed
        std::vector<std::pair<int, int>> top; // (minute, number) of the first lines
    };
    const Case cases[] = {
        // Size 64 is no ring size: 100 for version 2, 40 for version 1.  Size
        // 0 is repaired rather than read as an empty log.
        {2, 64, 3, 0, 2, "3/100", 3, {{0, 198}, {1, 199}, {2, 200}}},
        {1, 64, 3, 0, 2, "3/40", 3, {{0, 198}, {1, 199}, {2, 200}}},
        {1, 0, 2, 0, 1, "2/40", 2, {{0, 199}, {1, 200}}},
        // A count beyond the size, or negative, becomes the size.
        {1, 40, 45, 0, 39, "40/40", 40, {{0, 161}, {1, 162}}},
        {1, 40, -3, 0, 39, "40/40", 40, {{0, 161}, {1, 162}}},
        // A first out of range starts the walk at 0; a last out of range at
        // size - 1, after any repair of first.
        {1, 40, 2, 40, 1, "2/40", 2, {{0, 199}, {1, 200}}},
        {1, 40, 2, -1, 1, "2/40", 2, {{0, 199}, {1, 200}}},
        {1, 40, 2, 5, 40, "2/40", 2, {{39, 199}, {0, 200}}},
        {1, 40, 2, 50, -7, "2/40", 2, {{39, 199}, {0, 200}}},
        {2, 7, 2, 50, 200, "2/100", 2, {{39, 199}, {0, 200}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " count " + std::to_string(c.count) +
                     " first " + std::to_string(c.first) + " last " + std::to_string(c.last));
        AlarmLog log{c.version, 200, {c.size, c.count, 1, c.first, c.last}, {}, {}, 100};
        for (int index = 0; index < 100; ++index)
            log.events[index] = event(static_cast<uint8_t>(index % 60), "Up");
        std::string top;
        for (auto [minute, number] : c.top)
            top += walked(minute, number);
        const std::string body = body_of(log.build());
        const std::string expected = kDestroyed + listing(200, c.stored, top);
        if (c.top.size() == static_cast<size_t>(c.lines)) {
            EXPECT_EQ(body, expected);
            continue;
        }
        // A full ring: its first lines, then as many lines as it holds.
        EXPECT_EQ(body.substr(0, expected.size() - 1), expected.substr(0, expected.size() - 1));
        EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 4 + c.lines);
    }
}

TEST_F(AlarmTest, DeviceNameBehindTheEntries) {
    struct Case {
        int16_t size;
        std::string device;
        std::string expected;
    };
    const Case cases[] = {
        {100, "Vorn-Box Zentrale\0"s, "Device: " + std::string(23, ' ') + "Vorn-Box Zentrale\n"},
        // Cut after 40 characters.
        {100, std::string(30, 'N') + "0123456789ABCDEF\0"s,
         "Device: " + std::string(30, 'N') + "0123456789\n"},
        // A name without terminator runs to the end of the file.
        {100, "Filiale", "Device: " + std::string(33, ' ') + "Filiale\n"},
        // A first character that cannot be printed hides the name.
        {100, "\x01Hidden\0"s, ""},
        {100, "\0"s, ""},
        // The name follows the stored size: with size 2 it starts after two
        // entries, and the header is repaired to 100 afterwards.
        {2, "Box 2\0"s, "Device: " + std::string(35, ' ') + "Box 2\n" + kDestroyed},
    };
    for (const Case &c : cases)
        EXPECT_EQ(body_of(AlarmLog{2, 1, {c.size, 1, 0, 0, 0}, {{0, kLineDown}}, c.device}.build()),
                  c.expected + listing(1, "1/100",
                                       "[04.12.15 13:05:09]   1: PId=2 Err=3-12  \"Line down\" at "
                                       "<00000100>\n"));
}

TEST_F(AlarmTest, FailuresGiveTheirCodeAndMessage) {
    auto expect = [&](const std::string &report, const char *log, int code,
                      const std::string &text) {
        std::fill(std::begin(message), std::end(message), '\0');
        EXPECT_EQ(
            mkalarm(report.empty() ? nullptr : report.c_str(), log, 0, "Box", "Head", message),
            code);
        EXPECT_EQ(message, text);
    };
    auto cannot = [](const char *what, const std::string &name) {
        return "Cannot " + std::string(what) + " \"" + name + "\"!\n";
    };
    const std::string missing = dir.file("missing.bin");
    expect(txt, missing.c_str(), -1, cannot("Read", missing));
    EXPECT_FALSE(std::filesystem::exists(txt)) << "the report is opened after the log";
    expect(txt, nullptr, -1, cannot("Read", "NULL"));
    expect(txt, dir.path().c_str(), -1, cannot("Read", dir.path())); // a folder is no log

    // Without a report the log is only checked, and a version failure names
    // the missing report.  A successful call leaves the buffer alone.
    const std::string log = AlarmLog{2, 1, {100, 1, 0, 0, 0}, {{0, kLineDown}}}.build();
    write_file(bin, log);
    expect("", bin.c_str(), 0, "");
    write_file(bin, "\x07" + log.substr(1));
    expect("", bin.c_str(), -4, cannot("Write", "NULL"));
    write_file(bin, "");
    expect("", bin.c_str(), -1, cannot("Read", bin));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "nothing besides the log was written";

    // An empty log: the report is opened but nothing is written.
    expect(txt, bin.c_str(), -1, cannot("Read", bin));
    EXPECT_EQ(read_file(txt), "");
    write_file(bin, log);
    const std::string unwritable = dir.file("no/such/folder/report.txt");
    expect(unwritable, bin.c_str(), -4, cannot("Write", unwritable));
    expect("/dev/full", bin.c_str(), -4, cannot("Write", "/dev/full")); // lost on the way out
    // An unknown version is found after the head was written.
    for (char version : {'\x03', '\xff'}) {
        write_file(bin, version + log.substr(1));
        expect(txt, bin.c_str(), -4, cannot("Write", txt));
    }
    EXPECT_EQ(read_file(txt), report_head("3", "Box", "Head") + report_head("-1", "Box", "Head"));
    EXPECT_EQ(mkalarm(txt.c_str(), missing.c_str(), 0, nullptr, nullptr, nullptr), -1)
        << "the buffer is optional";

    // A read that ends before the file does: the length counts the whole
    // file, the read starts where the stream is.
    write_file(bin, log);
    std::FILE *file = std::fopen(bin.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::fgetc(file);
    EXPECT_EQ(convert_alarm(file, nullptr, nullptr, nullptr), -3);
    std::rewind(file);
    EXPECT_EQ(convert_alarm(file, nullptr, nullptr, nullptr), 0);
    std::fclose(file);
}

TEST_F(AlarmTest, TraceLines) {
    DebugOn debug;
    TraceCapture capture;
    auto expect_traced = [&](std::initializer_list<std::string> bodies) {
        const auto traced = capture.bodies();
        for (const std::string &body : bodies)
            EXPECT_NE(std::find(traced.begin(), traced.end(), body), traced.end()) << body;
        capture.clear();
    };
    write_file(
        bin, AlarmLog{2, 17, {100, 1, 0, 0, 0}, {{0, kLineDown}}, "Vorn\0"s, {}, 0x12340}.build());
    ASSERT_EQ(mkalarm(txt.c_str(), bin.c_str(), 0, "Box", nullptr, message), 0);
    expect_traced({"mkalarm(\"" + txt + "\", \"" + bin + "\", 0, \"Box\", \"NULL\",)\n",
                   bin + " -> " + txt + "\n", "alarm_buffer_t  size = 2854\n",
                   "alarm_buffer2_t size = 19\n", "alarm_entry_t\t size = 75\n",
                   "binary size\t\t = 7524\n", "Alarm-Version:2\n", "Device: 56\n",
                   "Device: Vorn\n", "event version 2\n", "acq->size = 100 ->count = 1\n",
                   "mkalarm: queue=size100 count01 overflow0 first00 last00 whole count=17\n",
                   "alarm_ptr\t  = 12340\n", "sizeof(alarm_buffer2_t) = 19\n", "index=0 off=19\n",
                   "[04.12.15 13:05:09]  17: PId=2 Err=3- 12", " <100>",
                   "  queue=size100 count00 overflow0 first01 last00\n", "mkalarm: end\n"});
    ASSERT_EQ(mkalarm(txt.c_str(), bin.c_str(), 1, nullptr, nullptr, message), 0);
    expect_traced({txt + " -> " + bin + "\n"});

    write_file(bin, AlarmLog{2, 0, {-1, 0, 0, 0, 0}}.build());
    ASSERT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), 0);
    EXPECT_FALSE(capture.contains(" -> "));
    expect_traced(
        {"mkalarm(\"NULL\", \"" + bin + "\", 0, \"NULL\", \"NULL\",)\n", "mkalarm: No entries\n"});

    write_file(bin, AlarmLog{2, 3, {64, 3, 0, 0, 2}, {}, {}, 1}.build());
    ASSERT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), 0);
    expect_traced({kDestroyed, "[\tinvalid entry  ]   2:\n"});

    write_file(bin, "\x05");
    ASSERT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), -4);
    expect_traced({"invalid event version 5\n"});

    const std::string missing = dir.file("missing.bin");
    ASSERT_EQ(mkalarm(txt.c_str(), missing.c_str(), 0, nullptr, nullptr, message), -1);
    expect_traced({"Cannot Read \"" + missing + "\"!\n", "\n"});
}

} // namespace
} // namespace vorn::test
