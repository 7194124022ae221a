// The protocol trace converter: record lines, the 0xFF filling between and
// after the records, the progress display and the export mktrace.
#include "frame/frame.h"
#include "logs/prot_trace.h"
#include "support/prot_trace_builder.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

using B = TraceBuilder;

struct Converted {
    int result;
    std::string text;
};

Converted convert(const std::string &trace, const char *label = nullptr) {
    std::FILE *binary = std::tmpfile();
    std::FILE *text = std::tmpfile();
    EXPECT_TRUE(binary && text);
    EXPECT_EQ(std::fwrite(trace.data(), 1, trace.size(), binary), trace.size());
    std::rewind(binary);
    Converted out{convert_trace(binary, text, label), ""};
    std::rewind(text);
    for (int c; (c = std::fgetc(text)) != EOF;)
        out.text += static_cast<char>(c);
    std::fclose(binary);
    std::fclose(text);
    return out;
}

std::string head(size_t length) {
    return "binaer file length " + std::to_string(length) + " bytes\n";
}

TEST(ProtTrace, RecordLines) {
    struct Row {
        const char *what;
        std::string trace;
        std::string lines;
        std::string closing = "[ 0.00.00 00:05:09]\n";
    };
    auto at = [] { return B().at(5, 9, 37); };
    const std::string long_frame = counting_bytes(300);
    const Row rows[] = {
        {"state, terminal side", at().state(1, 13).bytes(),
         "[05:09.74]  [01]: SBC dn AI10 (0d) -----------"},
        {"state, network side", at().state(3, 12).bytes(),
         "[05:09.74]  [03]: SBC up AI   (0c) -----------"},
        {"state without a name", at().state(0, 5).bytes(),
         "[05:09.74]  [00]: SBC dn      (05) -----------"},
        {"state beyond the table", at().state(1, 0x1F).bytes(),
         "[05:09.74]  [01]: SBC dn      (1f) -----------"},
        {"state, length field not read", at().record('1', 1, bytes_of({13}), 0).bytes(),
         "[05:09.74]  [01]: SBC dn AI10 (0d) -----------"},
        {"three-digit port", at().state(100, 4).bytes(),
         "[05:09.74]  [100]: SBC up RSY  (04) -----------"},
        {"error state", at().error(3, 9).bytes(),
         "[05:09.74]  [03]: error state E_COLLISION  (9) -----------"},
        {"error state beyond the table", at().error(0, 29).bytes(),
         "[05:09.74]  [00]: error state              (29) -----------"},
        {"connection off", at().connect(1, 2, 3, 1, 0).bytes(),
         "[05:09.74]      : switch 1/2 x 3/1 off"},
        {"connection on", at().connect(2, 1, 0, 2, 1).bytes(),
         "[05:09.74]      : switch 2/1 - 0/2 ON"},
        {"connection without data", at().record('c', 1, "").bytes(), "[05:09.74]      : "},
        {"connection cut short", at().record('c', 1, bytes_of({1, 2, 3})).bytes(),
         "[05:09.74]      : switch 1/2 x 3/0 off"},
        {"connection longer than the buffer",
         at().record('c', 4, bytes_of({4, 1, 5, 2, 7}) + std::string(400, 'z')).boot().bytes(),
         "[05:09.74]      : switch 4/1 - 5/2 ON\n"
         "[05:09.74]        boot ======================="},
        {"received frame", at().frame('r', 1, bytes_of({0x02, 0x01, 0x7F})).bytes(),
         "[05:09.74] r[01]: 02 01 7f"},
        {"sent frame", at().frame('s', 12, bytes_of({0x00, 0x01, 0x73})).bytes(),
         "[05:09.74] s[12]: 00 01 73"},
        {"frame without data", at().frame('r', 1, "").bytes(), "[05:09.74] r[01]:"},
        {"length below 4", at().record('s', 1, "", 2).boot().bytes(),
         "[05:09.74] s[01]:\n[05:09.74]        boot ======================="},
        {"frame longer than the buffer", at().frame('r', 7, long_frame).boot().bytes(),
         "[05:09.74] r[07]:" + hex_bytes(long_frame) +
             "\n[05:09.74]        boot ======================="},
        {"frame cut by the end of the file", at().record('r', 1, bytes_of({2, 1}), 10).bytes(),
         "[05:09.74] r[01]: 02 01"},
        {"boot", at().boot().bytes(), "[05:09.74]        boot ======================="},
        {"tick doubled in 16 bits", B().at(5, 9, 40000).boot().bytes(),
         "[05:09.14464]        boot ======================="},
        {"time fields as stored", B().at(75, 61, 0).boot().bytes(),
         "[75:61.00]        boot =======================", "[ 0.00.00 00:75:61]\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const Converted out = convert(row.trace);
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.text, head(row.trace.size()) + row.lines + "\n" + row.closing);
    }
}

TEST(ProtTrace, WorkedExamples) {
    const std::string trace = B().at(5, 9)
                                  .time(13, 4, 12, 15)
                                  .at(5, 9, 37)
                                  .state(1, 13)
                                  .frame('r', 1, bytes_of({0x02, 0x01, 0x7F}))
                                  .at(6, 30, 5)
                                  .boot()
                                  .bytes();
    const Converted out = convert(trace);
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.text, head(trace.size()) + "[ 4.12.15 13:05:09]\n"
                                             "[05:09.74]  [01]: SBC dn AI10 (0d) -----------\n"
                                             "[05:09.74] r[01]: 02 01 7f\n"
                                             "[06:30.10]        boot =======================\n"
                                             "[ 4.12.15 13:06:30]\n");

    const Converted empty = convert("");
    EXPECT_EQ(empty.result, -19);
    EXPECT_EQ(empty.text, "binaer file length 0 bytes\n"
                          "binaer trace file have zero length!\nBREAK!\n");

    // A header cut short by the end of the file is not a record.
    const Converted cut = convert(B().at(5, 9).boot().bytes() + "\x01\x02\x03");
    EXPECT_EQ(cut.result, 0);
    EXPECT_EQ(cut.text,
              head(11) + "[05:09.00]        boot =======================\n[ 0.00.00 00:05:09]\n");
}

TEST(ProtTrace, InvalidTypesEndTheConversion) {
    for (int type : {0x00, int{'x'}, int{'R'}, 0x7F, 0xFE}) {
        SCOPED_TRACE(type);
        const std::string trace = B().at(5, 9)
                                      .boot()
                                      .at(5, 10)
                                      .record(static_cast<uint8_t>(type), 2, "abc")
                                      .at(5, 11)
                                      .boot()
                                      .bytes();
        const Converted out = convert(trace);
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.text, head(trace.size()) +
                                "[05:09.00]        boot =======================\n" + "[05:10.00] " +
                                static_cast<char>(type) +
                                "[02]: invalid data\n[ 0.00.00 00:05:09]\n");
    }
}

TEST(ProtTrace, FillingIsSkipped) {
    const std::string first = "[01:02.00] r[01]: 02 01 7f\n";
    const std::string first16 = "[01:02.00] r[01]: 02 01 7f 00 00 00 00 00\n";
    const std::string next = "[02:00.00] s[03]: 00 01 73\n";
    const std::string block = "           0xff block detected (size=";
    const std::string segment = "           trace segment changed\n";
    const std::string ff_record = "[255:255.65534] \xff[255]: invalid data\n";
    auto one = [] { return B().at(1, 2).frame('r', 1, bytes_of({2, 1, 0x7F})); }; // 11 bytes
    auto one16 = [] { return B().at(1, 2).frame('r', 1, bytes_of({2, 1, 0x7F, 0, 0, 0, 0, 0})); };
    auto then = [](B b) { return b.at(2, 0).frame('s', 3, bytes_of({0, 1, 0x73})).bytes(); };
    struct Row {
        const char *what;
        std::string trace;
        std::string lines;
        int result = 0;
        std::string closing = "[ 0.00.00 00:02:00]\n";
    };
    const Row rows[] = {
        {"run ending inside a block", then(one().ff(20)), first + block + "20)!\n" + next},
        {"a single 0xFF byte", then(one().ff(1)), first + block + "1)!\n" + next},
        {"run of whole blocks", then(one().ff(16)), first + block + "16)!\n" + next},
        {"trace starting with filling", then(B().ff(8)), block + "8)!\n" + next},
        {"filling up to a segment end", then(one().fill_to(65536)), first + segment + next},
        {"whole blocks up to a segment end", then(one16().fill_to(65536)),
         first16 + segment + next},
        {"an empty segment between two", then(one().fill_to(2 * 65536)), first + segment + next},
        {"file ending at a segment end", one16().fill_to(65536).bytes(),
         first16 + segment + ff_record, 1, "[ 0.00.00 00:01:02]\n"},
        // Against the edge-case list: filling that does not end in a whole
        // block leaves a negative count of bytes left and ends the walk
        // before the segment end is seen.
        {"file ending at a segment end, partial last block", one().fill_to(65536).bytes(), first, 0,
         "[ 0.00.00 00:01:02]\n"},
        {"file ending in whole blocks of filling", one16().ff(24).bytes(), first16 + ff_record, 1,
         "[ 0.00.00 00:01:02]\n"},
        // The last, partial block makes the count of bytes left negative,
        // which ends the walk before the filling is read as a record.
        {"file ending in filling of a partial block", one().ff(20).bytes(), first, 0,
         "[ 0.00.00 00:01:02]\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const Converted out = convert(row.trace);
        EXPECT_EQ(out.result, row.result);
        EXPECT_EQ(out.text, head(row.trace.size()) + row.lines + row.closing);
    }
}

TEST(ProtTrace, ProgressOnlyWithALabel) {
    B trace;
    for (int i = 0; i < 200; ++i)
        trace.at(0, static_cast<uint8_t>(i % 60)).frame('r', 1, std::string(12, 'x')); // 20 bytes
    testing::internal::CaptureStdout();
    const Converted quiet = convert(trace.bytes());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    testing::internal::CaptureStdout();
    const Converted shown = convert(trace.bytes(), "LBL");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\rLBL 4000    \rLBL 3980    \rLBL 2940    \rLBL 1900    \rLBL 860     "
              "\rLBL         \rLBL");
    EXPECT_EQ(shown.result, 0);
    EXPECT_EQ(shown.text, quiet.text);
}

// mktrace as a host calls it: files, messages into the label buffer, the
// temporary copy and the blocks given back on every path.
TEST(ProtTrace, Export) {
    TempDir dir;
    TmpPathIn tmp(dir.path());
    const std::string good = dir.file("good.bin"), empty = dir.file("empty.bin"),
                      odd = dir.file("odd.bin"), text = dir.file("out.txt");
    const std::string trace = B().at(5, 9, 37).frame('r', 1, bytes_of({2, 1, 0x7F})).bytes();
    write_file(good, trace);
    write_file(empty, "");
    write_file(odd, B().record('?', 0, "").bytes());
    struct Row {
        const char *what;
        const char *binfile;
        const char *textfile;
        int result;
        std::string message; // in the buffer afterwards; "LBL" when untouched
        std::string text = "";
    };
    const Row rows[] = {
        {"converted", good.c_str(), text.c_str(), 0, "LBL",
         head(11) + "[05:09.74] r[01]: 02 01 7f\n[ 0.00.00 00:05:09]\n"},
        {"empty trace", empty.c_str(), text.c_str(), -19, "LBL",
         head(0) + "binaer trace file have zero length!\nBREAK!\n"},
        {"invalid data", odd.c_str(), text.c_str(), 1, "LBL",
         head(8) + "[00:00.00] ?[00]: invalid data\n[ 0.00.00 00:00:00]\n"},
        {"missing trace", "/no/such/trace.bin", text.c_str(), -1,
         "Cannot Read \"/no/such/trace.bin\"!\n"},
        {"trace is a folder", dir.path().c_str(), text.c_str(), -1,
         "Cannot Read \"" + dir.path() + "\"!\n"},
        {"absent trace", nullptr, text.c_str(), -1, "Cannot Read \"NULL\"!\n"},
        {"text in a missing folder", good.c_str(), "/no/such/out.txt", -4,
         "Cannot Write \"DTRACE\"!\n"},
        {"absent text", good.c_str(), nullptr, -4, "Cannot Write \"DTRACE\"!\n"},
        {"text on a full disk", good.c_str(), "/dev/full", -4, "Cannot Write \"DTRACE\"!\n"},
    };
    const uint32_t blocks = live_blocks();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(text);
        char label[80] = "LBL";
        testing::internal::CaptureStdout();
        EXPECT_EQ(mktrace(row.binfile, row.textfile, label), row.result);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::string(label), row.message);
        if (!row.text.empty()) {
            EXPECT_EQ(read_file(text), row.text);
        }
        EXPECT_EQ(live_blocks(), blocks);
        size_t copies = 0;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
            copies += entry.path().filename().string().rfind("DTRACE", 0) == 0;
        EXPECT_EQ(copies, 0u) << "the temporary copy is deleted";
    }
    // Without a label the result alone tells; nothing is printed.
    testing::internal::CaptureStdout();
    EXPECT_EQ(mktrace(good.c_str(), text.c_str(), nullptr), 0);
    EXPECT_EQ(mktrace("/no/such/trace.bin", text.c_str(), nullptr), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(ProtTrace, ErrorTrace) {
    TempDir dir;
    TmpPathIn tmp(dir.path());
    DebugOn debug;
    TraceCapture capture;
    char label[80] = "LBL";
    EXPECT_EQ(mktrace("/no/such.bin", dir.file("t.txt").c_str(), label), -1);
    EXPECT_TRUE(capture.contains("mktrace(\"/no/such.bin\", \"" + dir.file("t.txt") + "\",\n"));
    EXPECT_TRUE(capture.contains("mktrace:Error -1 (Cannot Read \"/no/such.bin\"!\n)\n"));
}

} // namespace
} // namespace vorn::test
