// The event log report: its head, the queue repairs, the walk and every form
// of the event line, compared byte for byte with lines written out here.
#include "frame/frame.h"
#include "logs/alarm.h"
#include "support/alarm_builder.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

// 4 December 2015, 13:05:09 UTC.
constexpr const char *kEpoch = "1449234309";

const std::string kEquals = std::string(78, '=') + "\n";
const std::string kDashes = std::string(78, '-') + "\n";
const std::string kDestroyed =
    "Event structure destroyed, the following entries may be invalid and unsorted!\n";

class PinnedClock {
  public:
    PinnedClock() { setenv("SOURCE_DATE_EPOCH", kEpoch, 1); }
    ~PinnedClock() { unsetenv("SOURCE_DATE_EPOCH"); }
};

// The time line of the report for the pinned clock, in this machine's zone.
std::string time_stamp() {
    time_t t = std::strtoll(kEpoch, nullptr, 10);
    tm local{};
    localtime_r(&t, &local);
    char buf[40];
    std::snprintf(buf, sizeof buf, "[%02d.%02d.%02d %2d:%02d:%02d]", local.tm_mday,
                  local.tm_mon + 1, local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}

std::string version_text() {
    char buf[59];
    get_vorn_b32_dll_version(buf, sizeof buf);
    return buf;
}

// The block head up to and including the version line.
std::string head(const std::string &version, const char *source = nullptr,
                 const char *headline = nullptr) {
    std::string out = kEquals + time_stamp();
    if (source)
        out += std::string(" get event log from ") + source;
    out += "\n";
    if (headline)
        out += std::string(headline) + "\n";
    return out + "Alarm-Version:" + version + "\t(convert by " + version_text() + ")\n";
}

AlarmEvent line_down() {
    AlarmEvent e;
    e.day = 4;
    e.month = 12;
    e.year = 15;
    e.hour = 13;
    e.minute = 5;
    e.second = 9;
    e.pid = 2;
    e.err_class = 3;
    e.err_code = 12;
    e.text = "Line down";
    e.address = 0x100;
    return e;
}

AlarmEvent at_minute(int minute) {
    AlarmEvent e = line_down();
    e.minute = static_cast<uint8_t>(minute);
    e.address = 0;
    return e;
}

class AlarmTest : public ::testing::Test {
  protected:
    int convert(const std::string &log, const char *source = nullptr,
                const char *headline = nullptr) {
        write_file(bin, log);
        return mkalarm(txt.c_str(), bin.c_str(), 0, source, headline, message);
    }
    std::string report() const { return read_file(txt); }

    void SetUp() override { std::fill(std::begin(message), std::end(message), 'x'); }
    void TearDown() override { EXPECT_EQ(live_blocks(), blocks_before); }

    PinnedClock clock;
    TempDir dir;
    std::string bin = dir.file("events.bin");
    std::string txt = dir.file("report.txt");
    char message[300];
    uint32_t blocks_before = live_blocks();
};

TEST_F(AlarmTest, WorkedExampleOfAVersion2Event) {
    std::string log =
        AlarmLogBuilder(2).whole_count(17).queue(100, 1, 0, 0, 0).event(0, line_down()).build();
    ASSERT_EQ(convert(log), 0);
    EXPECT_EQ(report(), head("2") + "Whole entries 17 (stored 1/100)\n" + kDashes +
                            "[04.12.15 13:05:09]  17: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                            "\n");
    EXPECT_EQ(message[0], 'x') << "a successful conversion leaves the buffer alone";
}

TEST_F(AlarmTest, EmptyQueuesReportNoEntries) {
    // size -1 marks an empty log; count 0 is empty whatever the size says.
    const std::string logs[] = {
        AlarmLogBuilder(2).whole_count(9).queue(-1, 5, 0, 0, 0).build(),
        AlarmLogBuilder(2).whole_count(9).queue(100, 0, 1, 3, 4).build(),
        AlarmLogBuilder(1).whole_count(9).queue(64, 0, 0, 99, 99).build(),
    };
    for (const std::string &log : logs) {
        std::filesystem::remove(txt);
        ASSERT_EQ(convert(log), 0);
        std::string version = log[0] == 1 ? "1" : "2";
        EXPECT_EQ(report(), head(version) + "No entries\n");
    }
}

TEST_F(AlarmTest, HeaderCutShortReadsAsEmpty) {
    // Fields beyond the end of the file read as zero: count 0, no entries.
    ASSERT_EQ(convert(std::string("\x02", 1)), 0);
    EXPECT_EQ(report(), head("2") + "No entries\n");
    std::filesystem::remove(txt);
    ASSERT_EQ(convert(std::string("\x01\x00\x00\x07\x28", 5)), 0);
    EXPECT_EQ(report(), head("1") + "No entries\n");
}

TEST_F(AlarmTest, RingOrderStartsAtFirstAndWraps) {
    AlarmLogBuilder b(1);
    b.whole_count(100).queue(40, 5, 1, 38, 2);
    for (int index : {36, 37, 38, 39, 0, 1, 2, 3})
        b.event(index, at_minute(index));
    ASSERT_EQ(convert(b.build()), 0);
    EXPECT_EQ(report(), head("1") + "Whole entries 100 (stored 5/40)\n" + kDashes +
                            "[04.12.15 13:38:09]  96: PId=2 Err=3-12  \"Line down\"\n"
                            "[04.12.15 13:39:09]  97: PId=2 Err=3-12  \"Line down\"\n"
                            "[04.12.15 13:00:09]  98: PId=2 Err=3-12  \"Line down\"\n"
                            "[04.12.15 13:01:09]  99: PId=2 Err=3-12  \"Line down\"\n"
                            "[04.12.15 13:02:09] 100: PId=2 Err=3-12  \"Line down\"\n"
                            "\n");
}

TEST_F(AlarmTest, RunningNumberWrapsAt65536) {
    // A whole count below the stored count: numbering runs through 65535 so
    // that the newest event still carries the whole count.
    AlarmLogBuilder b(1);
    b.whole_count(1).queue(40, 3, 0, 0, 2);
    for (int index : {0, 1, 2})
        b.event(index, at_minute(index));
    ASSERT_EQ(convert(b.build()), 0);
    EXPECT_EQ(report(), head("1") + "Whole entries 1 (stored 3/40)\n" + kDashes +
                            "[04.12.15 13:00:09] 65535: PId=2 Err=3-12  \"Line down\"\n"
                            "[04.12.15 13:01:09]   0: PId=2 Err=3-12  \"Line down\"\n"
                            "[04.12.15 13:02:09]   1: PId=2 Err=3-12  \"Line down\"\n"
                            "\n");
}

TEST_F(AlarmTest, DamagedHeadersAreRepairedAndAnnounced) {
    struct Case {
        uint8_t version;
        int16_t size, count, overflow, first, last;
        std::string stored;       // "count/size" after the repair
        std::vector<int> minutes; // ring indexes in walk order
    };
    const Case cases[] = {
        // size 64 is no ring size: 100 for version 2, 40 for version 1.
        {2, 64, 3, 0, 0, 2, "3/100", {0, 1, 2}},
        {1, 64, 3, 0, 0, 2, "3/40", {0, 1, 2}},
        // size 0 is repaired rather than read as an empty log.
        {1, 0, 2, 0, 0, 1, "2/40", {0, 1}},
        // count beyond the size, or negative, becomes the size.
        {1, 40, 45, 0, 0, 39, "40/40", {}},
        {1, 40, -3, 0, 0, 39, "40/40", {}},
        // first out of range starts the walk at 0.
        {1, 40, 2, 1, 40, 1, "2/40", {0, 1}},
        {1, 40, 2, 1, -1, 1, "2/40", {0, 1}},
        // last out of range starts it at size - 1, after any repair of first.
        {1, 40, 2, 1, 5, 40, "2/40", {39, 0}},
        {1, 40, 2, 1, 50, -7, "2/40", {39, 0}},
        {2, 7, 2, 1, 50, 200, "2/100", {99, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " count " + std::to_string(c.count) +
                     " first " + std::to_string(c.first) + " last " + std::to_string(c.last));
        AlarmLogBuilder b(c.version);
        b.whole_count(200).queue(c.size, c.count, c.overflow, c.first, c.last).entries(100);
        for (int index = 0; index < 100; ++index)
            b.event(index, at_minute(index % 60));
        std::filesystem::remove(txt);
        ASSERT_EQ(convert(b.build()), 0);
        std::string text = report();
        std::string expected_head = head(std::to_string(c.version)) + kDestroyed +
                                    "Whole entries 200 (stored " + c.stored + ")\n" + kDashes;
        ASSERT_EQ(text.substr(0, expected_head.size()), expected_head);
        std::string body = text.substr(expected_head.size());
        if (c.minutes.empty()) {
            // A full ring of 40 events: 40 lines and the closing empty line.
            EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 41);
            EXPECT_EQ(body.substr(0, 21), "[04.12.15 13:00:09] 1");
            continue;
        }
        std::string expected;
        int number = 200 - static_cast<int>(c.minutes.size()) + 1;
        for (int minute : c.minutes) {
            char line[80];
            std::snprintf(line, sizeof line,
                          "[04.12.15 13:%02d:09] %3d: PId=2 Err=3-12  \"Line down\"\n", minute % 60,
                          number++);
            expected += line;
        }
        EXPECT_EQ(body, expected + "\n");
    }
}

TEST_F(AlarmTest, EventLineForms) {
    std::vector<AlarmEvent> events;
    auto add = [&](auto change) {
        AlarmEvent e = line_down();
        change(e);
        events.push_back(e);
    };
    add([](AlarmEvent &e) { e.minute = 75; });
    add([](AlarmEvent &e) { e.second = 61; });
    add([](AlarmEvent &e) { e.year = 115; });
    add([](AlarmEvent &e) { e.year = 115, e.second = 75; });
    add([](AlarmEvent &e) { e.err_class = 0; });
    add([](AlarmEvent &e) { e.err_code = 4711; });
    add([](AlarmEvent &e) { e.address = 0; });
    add([](AlarmEvent &e) { e.address = 0xDEADBEEF; });
    add([](AlarmEvent &e) { e.text = "     "; });
    add([](AlarmEvent &e) { e.text = " Line down"; });
    add([](AlarmEvent &e) { e.text = "Line down \t  "; });
    add([](AlarmEvent &e) { e.text = std::string(60, 'A'); });
    add([](AlarmEvent &e) { e.text = std::string(55, 'B') + "     "; });
    add([](AlarmEvent &e) { e.text = "\x01Line"; });
    add([](AlarmEvent &e) { e.text = "\xe4nderung"; });
    add([](AlarmEvent &e) { e.day = 31, e.month = 12, e.hour = 23, e.minute = 59; });
    add([](AlarmEvent &e) { e.pid = 6, e.err_class = 8; });
    add([](AlarmEvent &e) { e.day = 32; });
    add([](AlarmEvent &e) { e.month = 13; });
    add([](AlarmEvent &e) { e.hour = 24; });
    add([](AlarmEvent &e) { e.pid = 7; });
    add([](AlarmEvent &e) { e.err_class = 9; });
    add([](AlarmEvent &e) { e.pid = 0xFFFF, e.second = 60; });
    add([](AlarmEvent &e) { e.year = 100, e.second = 59; });
    add([](AlarmEvent &e) { e.year = 99; });
    AlarmLogBuilder b(2);
    b.whole_count(static_cast<uint16_t>(events.size()));
    for (size_t i = 0; i < events.size(); ++i)
        b.event(static_cast<int>(i), events[i]);
    b.queue(100, static_cast<int16_t>(events.size()), 0, 0,
            static_cast<int16_t>(events.size() - 1));
    ASSERT_EQ(convert(b.build()), 0);

    const std::string invalid = " !!! INVALID ENTRY (date/time/pid) !!!\n";
    EXPECT_EQ(report(),
              head("2") + "Whole entries 25 (stored 25/100)\n" + kDashes +
                  "[04.12.15 13:75:09]   1: PId=2" + invalid +
                  "[04.12.15 13:05   ]   2: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                  "[04.1215 13:05:09]   3: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                  "[04.1215 13:05:75]   4: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                  "[04.12.15 13:05:09]   5: PId=2     0-12  \"Line down\" at <00000100>\n"
                  "[04.12.15 13:05:09]   6: PId=2 Err=3-4711 \"Line down\" at <00000100>\n"
                  "[04.12.15 13:05:09]   7: PId=2 Err=3-12  \"Line down\"\n"
                  "[04.12.15 13:05:09]   8: PId=2 Err=3-12  \"Line down\" at <DEADBEEF>\n"
                  "[04.12.15 13:05:09]   9: PId=2 Err=3-12  at <00000100>\n"
                  "[04.12.15 13:05:09]  10: PId=2 Err=3-12  at <00000100>\n"
                  "[04.12.15 13:05:09]  11: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                  "[04.12.15 13:05:09]  12: PId=2 Err=3-12  \"" +
                  std::string(60, 'A') +
                  "\" at <00000100>\n"
                  "[04.12.15 13:05:09]  13: PId=2 Err=3-12  \"" +
                  std::string(55, 'B') +
                  "\" at <00000100>\n"
                  "[04.12.15 13:05:09]  14: PId=2 Err=3-12  at <00000100>\n"
                  "[04.12.15 13:05:09]  15: PId=2 Err=3-12  at <00000100>\n"
                  "[31.12.15 23:59:09]  16: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                  "[04.12.15 13:05:09]  17: PId=6 Err=8-12  \"Line down\" at <00000100>\n"
                  "[32.12.15 13:05:09]  18: PId=2" +
                  invalid + "[04.13.15 13:05:09]  19: PId=2" + invalid +
                  "[04.12.15 24:05:09]  20: PId=2" + invalid + "[04.12.15 13:05:09]  21: PId=7" +
                  invalid + "[04.12.15 13:05:09]  22: PId=2" + invalid +
                  "[04.12.15 13:05   ]  23: PId=65535" + invalid +
                  "[04.1200 13:05:59]  24: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                  "[04.12.99 13:05:09]  25: PId=2 Err=3-12  \"Line down\" at <00000100>\n\n");
}

TEST_F(AlarmTest, Version1TextsAndShortFiles) {
    // Version 1 keeps its texts apart from the records and has no address.
    AlarmEvent first = line_down();
    AlarmEvent second = at_minute(6);
    second.text = "Power up";
    std::string log = AlarmLogBuilder(1)
                          .whole_count(7)
                          .queue(40, 3, 0, 0, 2)
                          .event(0, first)
                          .event(1, second)
                          .build();
    ASSERT_EQ(convert(log), 0);
    EXPECT_EQ(report(), head("1") + "Whole entries 7 (stored 3/40)\n" + kDashes +
                            "[04.12.15 13:05:09]   5: PId=2 Err=3-12  \"Line down\"\n"
                            "[04.12.15 13:06:09]   6: PId=2 Err=3-12  \"Power up\"\n"
                            "[00.00.00  0:00:00]   7: PId=0     0-0  \n"
                            "\n");

    // Cut after the records: every text lies outside the file.
    std::filesystem::remove(txt);
    ASSERT_EQ(convert(log.substr(0, 460)), 0);
    EXPECT_EQ(report(), head("1") + "Whole entries 7 (stored 3/40)\n" + kDashes +
                            "[04.12.15 13:05:09]   5: PId=2 Err=3-12  \"<invalid entry>\"\n"
                            "[04.12.15 13:06:09]   6: PId=2 Err=3-12  \"<invalid entry>\"\n"
                            "[00.00.00  0:00:00]   7: PId=0     0-0   \"<invalid entry>\"\n"
                            "\n");

    // Cut inside the second record: only the first one is read.
    std::filesystem::remove(txt);
    ASSERT_EQ(convert(log.substr(0, 30)), 0);
    EXPECT_EQ(report(), head("1") + "Whole entries 7 (stored 3/40)\n" + kDashes +
                            "[04.12.15 13:05:09]   5: PId=2 Err=3-12  \"<invalid entry>\"\n"
                            "[  invalid entry\t]   6:\n"
                            "[  invalid entry\t]   7:\n"
                            "\n");
}

TEST_F(AlarmTest, Version1WithRingSize100IsWalkedAsStored) {
    // Only sizes other than 40 and 100 are repaired, so a version-1 log may
    // claim 100 slots: record 60 lies inside the text area, its text beyond
    // the file.
    std::string log = AlarmLogBuilder(1).whole_count(9).queue(100, 1, 0, 60, 60).build();
    ASSERT_EQ(convert(log), 0);
    EXPECT_EQ(report(), head("1") + "Whole entries 9 (stored 1/100)\n" + kDashes +
                            "[00.00.00  0:00:00]   9: PId=0     0-0   \"<invalid entry>\"\n\n");
}

TEST_F(AlarmTest, Version2EntriesBeyondTheFileAreInvalid) {
    AlarmLogBuilder b(2);
    b.whole_count(4).queue(100, 4, 0, 0, 3).entries(2).event(0, line_down());
    b.event(1, at_minute(6));
    // Half an entry follows the two whole ones.
    b.device(std::string(30, 'x'), false);
    ASSERT_EQ(convert(b.build()), 0);
    EXPECT_EQ(report(), head("2") + "Whole entries 4 (stored 4/100)\n" + kDashes +
                            "[04.12.15 13:05:09]   1: PId=2 Err=3-12  \"Line down\" at <00000100>\n"
                            "[04.12.15 13:06:09]   2: PId=2 Err=3-12  \"Line down\"\n"
                            "[  invalid entry\t]   3:\n"
                            "[  invalid entry\t]   4:\n"
                            "\n");
}

TEST_F(AlarmTest, DeviceNameBehindTheEntries) {
    auto log_with = [](const std::string &name, bool terminated, int16_t size = 100) {
        AlarmLogBuilder b(2);
        b.whole_count(1).queue(size, 1, 0, 0, 0).event(0, line_down()).device(name, terminated);
        return b.build();
    };
    const std::string tail = "Whole entries 1 (stored 1/100)\n" + kDashes +
                             "[04.12.15 13:05:09]   1: PId=2 Err=3-12  \"Line down\" at "
                             "<00000100>\n\n";
    struct Case {
        std::string log;
        std::string device_line;
    };
    const Case cases[] = {
        {log_with("Vorn-Box Zentrale", true),
         "Device: " + std::string(23, ' ') + "Vorn-Box Zentrale\n"},
        // Cut after 40 characters.
        {log_with(std::string(30, 'N') + "0123456789ABCDEF", true),
         "Device: " + std::string(30, 'N') + "0123456789\n"},
        // A name that runs to the end of the file.
        {log_with("Filiale", false), "Device: " + std::string(33, ' ') + "Filiale\n"},
        // A first character that cannot be printed hides the name.
        {log_with("\x01Hidden", true), ""},
        {log_with("", true), ""},
    };
    for (const Case &c : cases) {
        std::filesystem::remove(txt);
        ASSERT_EQ(convert(c.log), 0);
        EXPECT_EQ(report(), head("2") + c.device_line + tail);
    }

    // The name's place follows the stored size: with size 2 it starts
    // after two entries, and the header is repaired to 100 afterwards.
    std::filesystem::remove(txt);
    ASSERT_EQ(convert(AlarmLogBuilder(2)
                          .whole_count(1)
                          .queue(2, 1, 0, 0, 0)
                          .event(0, line_down())
                          .device("Box 2")
                          .build()),
              0);
    EXPECT_EQ(report(),
              head("2") + "Device: " + std::string(35, ' ') + "Box 2\n" + kDestroyed + tail);

    // size -1 puts the place before the entries: no name, no entries.
    std::filesystem::remove(txt);
    ASSERT_EQ(convert(AlarmLogBuilder(2).queue(-1, 1, 0, 0, 0).device("Ghost").build()), 0);
    EXPECT_EQ(report(), head("2") + "No entries\n");
}

TEST_F(AlarmTest, TwoConversionsAppendTwoBlocks) {
    std::string log =
        AlarmLogBuilder(2).whole_count(17).queue(100, 1, 0, 0, 0).event(0, line_down()).build();
    ASSERT_EQ(convert(log), 0);
    ASSERT_EQ(convert(log, "Box 1", "Nightly fetch"), 0);
    // An empty source or headline counts as none.
    ASSERT_EQ(convert(log, "", ""), 0);
    std::string block = "Whole entries 17 (stored 1/100)\n" + kDashes +
                        "[04.12.15 13:05:09]  17: PId=2 Err=3-12  \"Line down\" at <00000100>\n\n";
    EXPECT_EQ(report(),
              head("2") + block + head("2", "Box 1", "Nightly fetch") + block + head("2") + block);
}

TEST_F(AlarmTest, FailuresGiveTheirCodeAndMessage) {
    const std::string missing = dir.file("missing.bin");
    EXPECT_EQ(mkalarm(txt.c_str(), missing.c_str(), 0, nullptr, nullptr, message), -1);
    EXPECT_STREQ(message, ("Cannot Read \"" + missing + "\"!\n").c_str());
    EXPECT_FALSE(std::filesystem::exists(txt)) << "the report is opened after the log";

    // An empty log: the report file is opened but nothing is written.
    EXPECT_EQ(convert(""), -1);
    EXPECT_STREQ(message, ("Cannot Read \"" + bin + "\"!\n").c_str());
    EXPECT_EQ(report(), "");

    // A folder is no readable log.
    EXPECT_EQ(mkalarm(txt.c_str(), dir.path().c_str(), 0, nullptr, nullptr, message), -1);
    EXPECT_STREQ(message, ("Cannot Read \"" + dir.path() + "\"!\n").c_str());

    EXPECT_EQ(mkalarm(txt.c_str(), nullptr, 0, nullptr, nullptr, message), -1);
    EXPECT_STREQ(message, "Cannot Read \"NULL\"!\n");

    std::string log = AlarmLogBuilder(2).queue(100, 1, 0, 0, 0).build();
    write_file(bin, log);
    const std::string unwritable = dir.file("no/such/folder/report.txt");
    EXPECT_EQ(mkalarm(unwritable.c_str(), bin.c_str(), 0, nullptr, nullptr, message), -4);
    EXPECT_STREQ(message, ("Cannot Write \"" + unwritable + "\"!\n").c_str());
    EXPECT_EQ(mkalarm(dir.path().c_str(), bin.c_str(), 1, nullptr, nullptr, message), -4);

    // An unknown version is found after the head was written.
    std::filesystem::remove(txt);
    EXPECT_EQ(convert(std::string("\x03") + log.substr(1), "Box", "Head"), -4);
    EXPECT_STREQ(message, ("Cannot Write \"" + txt + "\"!\n").c_str());
    EXPECT_EQ(report(), head("3", "Box", "Head"));
    std::filesystem::remove(txt);
    EXPECT_EQ(convert(std::string("\xff") + log.substr(1)), -4);
    EXPECT_EQ(report(), head("-1"));

    // The buffer is optional.
    EXPECT_EQ(mkalarm(txt.c_str(), missing.c_str(), 0, nullptr, nullptr, nullptr), -1);
}

TEST_F(AlarmTest, WithoutReportTheLogIsOnlyChecked) {
    std::string good = AlarmLogBuilder(2).queue(100, 1, 0, 0, 0).event(0, line_down()).build();
    write_file(bin, good);
    EXPECT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), 0);
    write_file(bin, "");
    EXPECT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), -1);
    EXPECT_STREQ(message, ("Cannot Read \"" + bin + "\"!\n").c_str());
    write_file(bin, std::string("\x07") + good.substr(1));
    // With no report named, the version failure names the missing report.
    EXPECT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), -4);
    EXPECT_STREQ(message, "Cannot Write \"NULL\"!\n");
    // Nothing besides the log was written.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(AlarmTest, ShortReadGivesMinus3) {
    write_file(bin, AlarmLogBuilder(2).queue(100, 1, 0, 0, 0).build());
    std::FILE *file = std::fopen(bin.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    // The length counts the whole file, the read starts where the stream is.
    std::fgetc(file);
    EXPECT_EQ(convert_alarm(file, nullptr, nullptr, nullptr), -3);
    std::rewind(file);
    EXPECT_EQ(convert_alarm(file, nullptr, nullptr, nullptr), 0);
    std::fclose(file);

    std::string message_text;
    EXPECT_EQ(
        make_alarm_report(nullptr, dir.file("none").c_str(), 0, nullptr, nullptr, &message_text),
        -1);
    EXPECT_EQ(message_text, "Cannot Read \"" + dir.file("none") + "\"!\n");
}

TEST_F(AlarmTest, TraceLines) {
    DebugOn debug;
    TraceCapture capture;
    std::string log = AlarmLogBuilder(2)
                          .whole_count(17)
                          .queue(100, 1, 0, 0, 0)
                          .alarm_ptr(0x12340)
                          .event(0, line_down())
                          .device("Vorn")
                          .build();
    write_file(bin, log);
    ASSERT_EQ(mkalarm(txt.c_str(), bin.c_str(), 0, "Box", nullptr, message), 0);
    auto has = [&](const std::string &body) {
        auto bodies = capture.bodies();
        return std::find(bodies.begin(), bodies.end(), body) != bodies.end();
    };
    EXPECT_TRUE(has("mkalarm(\"" + txt + "\", \"" + bin + "\", 0, \"Box\", \"NULL\",)\n"));
    EXPECT_TRUE(has(bin + " -> " + txt + "\n"));
    EXPECT_TRUE(has("alarm_buffer_t  size = 2854\n"));
    EXPECT_TRUE(has("alarm_buffer2_t size = 19\n"));
    EXPECT_TRUE(has("alarm_entry_t\t size = 75\n"));
    EXPECT_TRUE(has("binary size\t\t = 7524\n"));
    EXPECT_TRUE(has("Alarm-Version:2\n"));
    EXPECT_TRUE(has("Device: 56\n"));
    EXPECT_TRUE(has("Device: Vorn\n"));
    EXPECT_TRUE(has("event version 2\n"));
    EXPECT_TRUE(has("acq->size = 100 ->count = 1\n"));
    EXPECT_TRUE(has("mkalarm: queue=size100 count01 overflow0 first00 last00 whole count=17\n"));
    EXPECT_TRUE(has("alarm_ptr\t  = 12340\n"));
    EXPECT_TRUE(has("sizeof(alarm_buffer2_t) = 19\n"));
    EXPECT_TRUE(has("index=0 off=19\n"));
    EXPECT_TRUE(has("[04.12.15 13:05:09]  17: PId=2 Err=3- 12"));
    EXPECT_TRUE(has(" <100>"));
    EXPECT_TRUE(has("  queue=size100 count00 overflow0 first01 last00\n"));
    EXPECT_TRUE(has("mkalarm: end\n"));

    capture.clear();
    ASSERT_EQ(mkalarm(txt.c_str(), bin.c_str(), 1, nullptr, nullptr, message), 0);
    EXPECT_TRUE(has(txt + " -> " + bin + "\n"));

    capture.clear();
    write_file(bin, AlarmLogBuilder(2).queue(-1, 0, 0, 0, 0).build());
    ASSERT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), 0);
    EXPECT_TRUE(has("mkalarm(\"NULL\", \"" + bin + "\", 0, \"NULL\", \"NULL\",)\n"));
    EXPECT_TRUE(has("mkalarm: No entries\n"));
    EXPECT_FALSE(has(bin + " -> NULL\n"));

    capture.clear();
    write_file(bin, AlarmLogBuilder(2).whole_count(3).queue(64, 3, 0, 0, 2).entries(1).build());
    ASSERT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), 0);
    EXPECT_TRUE(has(kDestroyed));
    EXPECT_TRUE(has("[\tinvalid entry  ]   2:\n"));

    capture.clear();
    write_file(bin, "\x05");
    ASSERT_EQ(mkalarm(nullptr, bin.c_str(), 0, nullptr, nullptr, message), -4);
    EXPECT_TRUE(has("invalid event version 5\n"));

    capture.clear();
    const std::string missing = dir.file("missing.bin");
    ASSERT_EQ(mkalarm(txt.c_str(), missing.c_str(), 0, nullptr, nullptr, message), -1);
    EXPECT_TRUE(has("Cannot Read \"" + missing + "\"!\n"));
    EXPECT_TRUE(has("\n"));
}

} // namespace
} // namespace vorn::test
