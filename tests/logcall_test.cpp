// The call lists of mklogcall, compared byte for byte with texts written out
// here: the list examples, every combination of the three files, records
// that are no finished call, number and port decoding, the sort order, short
// and damaged logs, and the result codes with their messages.
#include "frame/frame.h"
#include "logs/logcall.h"
#include "support/logcall_builder.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

class LogcallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        get_TmpPath(previous_tmp, sizeof previous_tmp);
        set_TmpPath(dir.file("x").c_str(), 1);
        std::fill(std::begin(message), std::end(message), 'x');
    }
    void TearDown() override {
        set_TmpPath(*previous_tmp ? (std::string(previous_tmp) + "/x").c_str() : "", 1);
        EXPECT_EQ(live_blocks(), blocks_before);
        for (const auto &entry : fs::directory_iterator(dir.path()))
            EXPECT_NE(entry.path().filename().string().substr(0, 6), "LOGCAL")
                << "the temporary copy stays behind";
    }

    // Converts `log` with the files named by `which` ("o", "oi", "or",
    // "oir"); the files' contents, missing ones as "-".
    std::vector<std::string> lists(const std::string &log, const std::string &which) {
        write_file(bin, log);
        const bool in = which.find('i') != std::string::npos;
        const bool reject = which.find('r') != std::string::npos;
        for (const auto &f : {out, inf, rej})
            fs::remove(f);
        EXPECT_EQ(mklogcall(bin.c_str(), out.c_str(), in ? inf.c_str() : nullptr,
                            reject ? rej.c_str() : nullptr, message),
                  0);
        std::vector<std::string> texts;
        for (const auto &f : {out, inf, rej})
            texts.push_back(fs::exists(f) ? read_file(f) : "-");
        return texts;
    }

    TempDir dir;
    std::string bin = dir.file("calls.bin");
    std::string out = dir.file("out.txt");
    std::string inf = dir.file("in.txt");
    std::string rej = dir.file("reject.txt");
    char message[300];
    char previous_tmp[260] = {};
    uint32_t blocks_before = live_blocks();
};

TEST_F(LogcallTest, ListExamples) {
    CallRecord outgoing;
    CallRecord no_start;
    no_start.dad = "030";
    no_start.start.day = 0xFF;
    no_start.end.minute = 9;
    EXPECT_EQ(lists(call_log({outgoing, no_start}), "o"),
              (std::vector<std::string>{
                  "->  04.12.15-13:05:09;04.12.15-13:07:41;;012;471;;12;0010;10;;3\n"
                  "<-! ;04.12.15-13:09:41;;012;471;;30;0010;10;;3\n",
                  "-", "-"}));
    CallRecord incoming;
    incoming.dad = "030";
    EXPECT_EQ(lists(call_log({incoming}), "oir"),
              (std::vector<std::string>{"", "04.12.15-13:05:09;04.12.15-13:07:41;012;030;0010;;3\n",
                                        ""}));
    EXPECT_EQ(message[0], 'x') << "a successful conversion leaves the buffer alone";
}

TEST_F(LogcallTest, EveryCombinationOfFiles) {
    CallRecord out_call; // ends 13:07:41
    CallRecord in_call;
    in_call.plc = 2, in_call.dad = "030", in_call.number1 = packed("0301234");
    in_call.number2 = "471", in_call.port2 = 0xA3, in_call.status = 0x0123;
    in_call.code = 0xAB, in_call.subcode = 7, in_call.value = 0xFFFF;
    in_call.start.minute = 6, in_call.start.second = 0;
    in_call.end.minute = 8, in_call.end.second = 0;
    CallRecord no_start;
    no_start.plc = 3, no_start.start.day = 0xFF, no_start.end.minute = 9, no_start.end.second = 0;
    CallRecord not_finished;
    not_finished.plc = 4, not_finished.end.day = 0xFF;
    CallRecord not_closed;
    not_closed.plc = 0x8005, not_closed.dad = "6123", not_closed.end.minute = 10;
    CallRecord saved;
    saved.plc = 6, saved.status = 0, saved.end.minute = 11;
    // Stored out of order: the lists follow the end times.
    const std::string log =
        call_log({not_finished, saved, no_start, not_closed, in_call, out_call});

    const std::string tail = "plc[5] dad<6123> not closed\n"
                             "plc[6] dad<812> saved before \n"
                             "   4: 04.12.15-13:05:09;-255.12.15-13:07:41; call to dad<812> not "
                             "finished (plc[4])!\n";
    const struct {
        const char *files;
        std::vector<std::string> expected;
    } cases[] = {
        {"o",
         {"->  04.12.15-13:05:09;04.12.15-13:07:41;;012;471;;12;0010;10;;3\n"
          "<-  04.12.15-13:06:00;04.12.15-13:08:00; 0/38;0301234;471; 1/2 ;30;0123;ab;7;\n"
          "->! ;04.12.15-13:09:00;;012;471;;12;0010;10;;3\n" +
              tail,
          "-", "-"}},
        // Separate lists; the reject stream is the out file, so outgoing
        // lines carry code and subcode, and the out file receives the
        // marker of every call with a start time, the incoming ones too.
        {"oi",
         {"  04.12.15-13:05:09;04.12.15-13:07:41;012;812;0010;10;ff\n"
          "  ! ;04.12.15-13:09:00;012;812;0010;10;ff\n" +
              tail,
          "04.12.15-13:06:00;04.12.15-13:08:00;0301234;030;0123;;0\n", "-"}},
        // One combined list without markers: a call without start time
        // leaves its arrow in the list and the rest of its line in the
        // reject file.
        {"or",
         {"->04.12.15-13:05:09;04.12.15-13:07:41;;012;471;;12;0010;10;;3\n"
          "<-04.12.15-13:06:00;04.12.15-13:08:00; 0/38;0301234;471; 1/2 ;30;0123;ab;7;\n"
          "->",
          "-", "04.12.15-13:09:00;;012;471;;12;0010;10;;3\n" + tail}},
        {"oir",
         {"04.12.15-13:05:09;04.12.15-13:07:41;012;812;0010\n",
          "04.12.15-13:06:00;04.12.15-13:08:00;0301234;030;0123;;0\n",
          "04.12.15-13:09:00;012;812;0010;10;ff\n" + tail}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.files);
        EXPECT_EQ(lists(log, c.files), c.expected);
    }
    // A list named twice, however, is one list.
    ASSERT_EQ(mklogcall(bin.c_str(), out.c_str(), out.c_str(), (dir.path() + "/./out.txt").c_str(),
                        message),
              0);
    EXPECT_EQ(read_file(out), cases[0].expected[0]);
}

TEST_F(LogcallTest, RecordFieldsAsWritten) {
    auto line = [&](const CallRecord &r) { return lists(r.bytes(), "o")[0]; };
    CallRecord r;
    r.port2 = 0x45; // neither form: hi 1, lo 5
    r.subcode = 0, r.value = 0xFFFF, r.status = 0xFFFF, r.code = 0;
    r.start = {31, 1, 99, 0, 0, 0};
    r.end = {255, 255, 255, 255, 255, 255};
    r.dad = "\xFF"s + "8";
    EXPECT_EQ(line(r), "   1: 31.01.99-00:00:00;-255.255.255-255:255:255; call to dad<> not "
                       "finished (plc[1])!\n");
    r.end = {1, 2, 0, 3, 4, 5};
    EXPECT_EQ(line(r), "<-  31.01.99-00:00:00;01.02.00-03:04:05; 0/38;012;471; 1/5 ;;ffff;00;0;\n")
        << "an address the box did not store is empty, and the call incoming";
    r.dad = "6" + std::string(30, '9'); // no terminator in the field
    r.port1 = 0xA3, r.port2 = 0x3F;
    EXPECT_EQ(line(r), "->  31.01.99-00:00:00;01.02.00-03:04:05; 1/2 ;012;471; 0/64;" +
                           std::string(30, '9') + ";ffff;00;0;\n");
    r.dad = "";
    r.plc = 0xFFFE;
    EXPECT_EQ(line(r), "plc[32766] dad<> not closed\n");
}

TEST(LogcallNumbers, PackedAndText) {
    const struct {
        const char *name;
        std::string field;
        std::string text;
    } cases[] = {
        {"packed", "\x12\x3B"s + std::string(8, '\0') + "\xBB", "012"},
        {"twenty digits", packed("01234567890123456789"), "01234567890123456789"},
        {"half-bytes 0 and 12 to 15", "\x0C\xDE\xFB"s + std::string(7, '\0') + "\xBB", "/;<=>"},
        {"text", "0301234\0"s + "\0\0\x55"s, "0301234"},
        {"text filling the field", "12345678901", "12345678901"},
        {"first byte 0 with marker", "\0\x12\x3B"s + std::string(7, '\0') + "\xBB", ""},
        {"first byte FFh", "\xFF\x12\x3B"s + std::string(7, '\0') + "\xBB", ""},
        {"first byte FFh, text",
         "\xFF"
         "123"s,
         ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CallRecord r;
        r.number1 = c.field;
        r.number2 = c.field;
        const std::string bytes = r.bytes();
        logcall_t record;
        std::memcpy(&record, bytes.data(), sizeof record);
        char first[kLogcallNumberSize], second[kLogcallNumberSize];
        std::fill(std::begin(first), std::end(first), 'x');
        get_logcall_numbers(&record, first, second);
        EXPECT_EQ(std::string(first), c.text);
        EXPECT_EQ(std::string(second), c.text);
    }
}

TEST(LogcallNumbers, PortCodes) {
    const struct {
        uint8_t code;
        unsigned hi, lo;
    } cases[] = {{0x25, 0, 38}, {0xA3, 1, 2},    {0xE0, 0x20, 1}, {0x7F, 1, 64},
                 {0x45, 1, 5},  {0xFF, 0x2F, 2}, {0x00, 0, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        const PortPair port = logcall_port(c.code);
        EXPECT_EQ(port.hi, c.hi);
        EXPECT_EQ(port.lo, c.lo);
    }
}

TEST(LogcallSort, CompareOrder) {
    auto record = [](const CallRecord &r) {
        logcall_t out;
        std::memcpy(&out, r.bytes().data(), sizeof out);
        return out;
    };
    CallRecord base;
    CallRecord later_start = base;
    later_start.start.second = 10;
    CallRecord year98 = base, year03 = base;
    year98.end.year = 98, year03.end.year = 3;
    CallRecord unfinished = base, next_month = base;
    unfinished.end.day = 0xFF, next_month.end.month = 1, next_month.end.year = 16;
    CallRecord start97 = base, start03 = base;
    start97.start.year = 97, start03.start.year = 3; // the start year counts as stored
    CallRecord other_slot = base;
    other_slot.plc = 0x8123;
    CallRecord other_status = base;
    other_status.status = 0x0011;
    const struct {
        const char *name;
        CallRecord a, b;
        int order;
    } cases[] = {
        {"same end, start decides", base, later_start, -1},
        {"year 98 before year 3", year98, year03, -1},
        {"not finished after the finished calls of the month", base, unfinished, -1},
        {"not finished before the next month", unfinished, next_month, -1},
        {"start year without correction", start03, start97, -1},
        {"slot takes no part", base, other_slot, 0},
        {"other bytes after the times", base, other_status, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const logcall_t a = record(c.a), b = record(c.b);
        EXPECT_EQ(compare_logcall(&a, &b), c.order);
        EXPECT_EQ(compare_logcall(&b, &a), -c.order);
    }
}

TEST_F(LogcallTest, SortKeepsTheTailAndReportsStreamFailures) {
    CallRecord a, b, c;
    a.end.year = 3, b.end.year = 98, c.end.year = 99;
    const std::string tail = "tail bytes";
    write_file(bin, call_log({a, c, b}) + tail);
    {
        FILE *f = std::fopen(bin.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(sort_logcall(f), 0);
        EXPECT_EQ(std::ftell(f), 0) << "rewound for the converter";
        std::fclose(f);
    }
    EXPECT_EQ(read_file(bin), call_log({b, c, a}) + tail);

    // A stream that cannot be read, and one that cannot be written.
    FILE *append = std::fopen(bin.c_str(), "ab");
    ASSERT_NE(append, nullptr);
    EXPECT_EQ(sort_logcall(append), -7);
    std::fclose(append);
    FILE *read_only = std::fopen(bin.c_str(), "rb");
    ASSERT_NE(read_only, nullptr);
    EXPECT_EQ(sort_logcall(read_only), -8);
    std::fclose(read_only);
    EXPECT_EQ(read_file(bin), call_log({b, c, a}) + tail);
}

TEST_F(LogcallTest, ShortAndEndedLogs) {
    CallRecord r, later = r, end_mark = r;
    later.end.minute = 9;
    end_mark.plc = 0xFFFF, end_mark.end.minute = 8;
    for (size_t size : {0, 1, 74}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(lists(r.bytes().substr(0, size), "oir"), (std::vector<std::string>{"", "", ""}));
    }
    const std::string line = "04.12.15-13:05:09;04.12.15-13:07:41;012;812;0010\n";
    EXPECT_EQ(lists(call_log({later, end_mark, r}), "oir")[0], line)
        << "the end mark ends the log where it sorts";
    EXPECT_EQ(lists(r.bytes() + r.bytes().substr(0, 74), "oir")[0], line);
}

TEST_F(LogcallTest, ResultsAndMessages) {
    CallRecord incoming, not_closed;
    incoming.dad = "030", not_closed.plc = 0x8002;
    write_file(bin, call_log({CallRecord(), incoming, not_closed}));
    const std::string missing = dir.file("no/such/folder/file.txt");
    const struct {
        const char *name;
        std::string binfile, outfile, infile, rejectfile;
        int result;
        std::string text;
    } cases[] = {
        {"log missing", dir.file("none.bin"), out, "", "", -1,
         "Cannot Read \"" + dir.file("none.bin") + "\"!\n"},
        {"log a folder", dir.path(), out, "", "", -1, "Cannot Read \"" + dir.path() + "\"!\n"},
        {"out not creatable", bin, missing, "", "", -4, "Cannot Write \"LOGout\"!\n"},
        {"in not creatable", bin, out, missing, "", -5, "Cannot Write \"LOGin\"!\n"},
        {"reject not creatable", bin, out, inf, missing, -6, "Cannot Write \"LOGreject\"!\n"},
        {"out not writable", bin, "/dev/full", "", "", -4, "Cannot Write \"LOGout\"!\n"},
        {"in not writable", bin, out, "/dev/full", "", -5, "Cannot Write \"LOGin\"!\n"},
        {"reject not writable", bin, out, inf, "/dev/full", -6, "Cannot Write \"LOGreject\"!\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::fill(std::begin(message), std::end(message), 'x');
        EXPECT_EQ(mklogcall(c.binfile.c_str(), c.outfile.c_str(),
                            c.infile.empty() ? nullptr : c.infile.c_str(),
                            c.rejectfile.empty() ? nullptr : c.rejectfile.c_str(), message),
                  c.result);
        EXPECT_EQ(std::string(message), c.text);
    }
    // Absent names and an absent buffer.
    EXPECT_EQ(mklogcall(nullptr, out.c_str(), nullptr, nullptr, message), -1);
    EXPECT_STREQ(message, "Cannot Read \"NULL\"!\n");
    EXPECT_EQ(mklogcall(bin.c_str(), nullptr, nullptr, nullptr, nullptr), -4);
    // A failure to create a later file leaves the earlier ones, empty.
    fs::remove(out);
    EXPECT_EQ(mklogcall(bin.c_str(), out.c_str(), missing.c_str(), nullptr, message), -5);
    EXPECT_EQ(read_file(out), "");
}

TEST_F(LogcallTest, TraceOfAConversion) {
    DebugOn debug;
    TraceCapture capture;
    CallRecord saved;
    saved.status = 0;
    write_file(bin, call_log({CallRecord(), saved}));
    ASSERT_EQ(mklogcall(bin.c_str(), out.c_str(), nullptr, nullptr, message), 0);
    const std::string trace = capture.text();
    for (const std::string &line :
         {"mklogcall(\"" + bin + "\", \"" + out + "\",\"NULL\",\"NULL\"\n",
          "copy 150 bytes, err=0\n"s, "err=0 feof(intmp)=1 size=150\n"s,
          "sort_logcall: allsize=150\n"s, "sort_logcall: elements=2 size=75\n"s,
          "sort_logcall: write 150 err=0\n"s, "   1: ;012;471;;\n"s,
          "plc[1] dad<812> saved before \n"s}) {
        EXPECT_NE(trace.find(line), std::string::npos) << line;
    }
    EXPECT_NE(trace.find("LOGCALL#"), std::string::npos);
    EXPECT_NE(trace.find(": end convert_logcall\n"), std::string::npos);

    capture.clear();
    EXPECT_EQ(mklogcall(bin.c_str(), "/dev/full", nullptr, nullptr, nullptr), -4);
    EXPECT_TRUE(capture.contains("mklogcall:Error -4 (Cannot Write \"LOGout\"!\n)\n"));
}

} // namespace
} // namespace vorn::test
