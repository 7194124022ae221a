// mktrace and vorn trace, compared whole with golden files: the text of many
// traces (every record type, the 0xFF filling between and after records,
// invalid data), the progress display, results and messages, the trace of
// conversions, the tool's runs and the pcapng capture as bytes and as
// tshark decodes it.
#include "frame/frame.h"
#include "logs/prot_trace.h"
#include "support/log_golden.h"
#include "support/prot_trace_builder.h"
#include "support/run_tool.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vorn::test {
namespace {

using B = TraceBuilder;

// convert_trace through temporary streams: the result and the text.
std::string converted(const std::string &name, const std::string &trace, const char *label = {}) {
    TempDir dir;
    write_file(dir.file("t.bin"), trace);
    std::FILE *binary = std::fopen(dir.file("t.bin").c_str(), "rb");
    std::FILE *text = std::fopen(dir.file("t.txt").c_str(), "w");
    const int result = convert_trace(binary, text, label);
    std::fclose(binary);
    std::fclose(text);
    return section(name, result, nullptr, {dir.file("t.txt")});
}

TEST(ProtTrace, TextsOfManyTraces) {
    auto at = [] { return B().at(5, 9, 37); };
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
        {"worked examples", B().at(5, 9)
                                .time(13, 4, 12, 15)
                                .at(5, 9, 37)
                                .state(1, 13)
                                .frame('r', 1, bytes_of({2, 1, 0x7F}))
                                .at(6, 30, 5)
                                .boot()},
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
    write_file(file("t.bin"), B().at(1, 2)
                                  .frame('r', 1, bytes_of({2, 1, 0x7F}))
                                  .ff(20)
                                  .boot()
                                  .ff(16)
                                  .state(2, 4)
                                  .record('?', 1, counting_bytes(30))
                                  .bytes());
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
    auto h = [](const std::string &hex) { // "02 01 7F": the bytes 02h, 01h, 7Fh
        std::string bytes;
        for (size_t at = 0; at < hex.size(); at += 3)
            bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
        return bytes;
    };
    return B()
        .at(1, 6, 25)
        .frame('s', 1, h("00 01 7F")) // SABME, unanswered
        .at(5, 9)
        .time(13, 4, 12, 15)
        .at(5, 9, 37)
        .state(1, 13)
        .frame('r', 1, h("02 01 7F")) // SABME from the network
        .frame('s', 1, h("02 01 73")) // UA
        .at(5, 10, 2)
        // I: SETUP to 123, CALL PROCEEDING on B1
        .frame('s', 1, h("00 01 00 00 08 01 01 05 04 03 80 90 A3 70 04 81 31 32 33"))
        .at(5, 10, 20)
        .frame('r', 1, h("02 01 00 02 08 01 81 02 18 01 89"))
        .at(5, 12)
        .connect(1, 1, 3, 1, 1)
        .frame('r', 3, h("00 01 00 00 08 01 02 05 04 03 80 90 A3")) // I: SETUP from a terminal
        .frame('s', 3, h("02 01 00 02 08 01 82 01"))                // ALERTING
        .at(59, 58)
        .frame('r', 1, h("02 01 02 02 08 01 81 07")) // CONNECT
        .at(0, 3, 10) // DISCONNECT, an hour having passed without a time stamp
        .frame('s', 1, h("00 01 02 04 08 01 01 45 08 02 80 90"))
        .error(3, 15)
        .bytes();
}

TEST(ProtTraceTool, RunsOfTheTool) {
    TempDir dir;
    auto q = [&](const char *name) { return shell_quote(dir.file(name)); };
    const std::string files = q("t.bin") + " " + q("t.txt"), env = "TMPDIR=" + dir.path();
    write_file(dir.file("t.bin"), call_trace());
    write_file(dir.file("e.bin"), "");
    std::string out =
        tool_run("trace " + files + " --label Box1 --pcapng " + q("t.pcapng"), "TZ=UTC " + env);
    out += "--- t.txt\n" + printable(read_file(dir.file("t.txt")));
    out += "--- t.pcapng\n" + hex_dump(stable(read_file(dir.file("t.pcapng")), dir.path()));
    for (const std::string &args :
         {files + " --pcap x", files + " --pcapng " + q("t.txt"), q("t.bin") + " " + q("t.bin"),
          q("t.bin") + " /dev/full", files + " --pcapng /dev/full", q("e.bin") + " " + q("t.txt")})
        out += tool_run("trace " + args, env);
    out += tool_run("trace");
    EXPECT_EQ(read_file(dir.file("t.bin")), call_trace()) << "the trace is never written";
    write_file(dir.file("t.bin"), B().boot().record('?', 1, "").boot().bytes());
    out += tool_run("trace " + files, env);
    expect_golden("logs/prot_trace_tool.txt", stable(out + files_left(dir.path()), dir.path()));

    if (std::system("command -v tshark >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark is not installed (apt-get install tshark); the capture was "
                        "compared as bytes but not decoded";
    EXPECT_EQ(std::system(("TZ=UTC tshark -r " + q("t.pcapng") +
                           " -T fields -E separator=';' -e frame.time_epoch -e frame.interface_name"
                           " -e frame.packet_flags_direction -e _ws.col.Source"
                           " -e _ws.col.Destination -e _ws.col.Protocol -e _ws.col.Info >" +
                           q("tshark.out") + " 2>/dev/null")
                              .c_str()),
              0);
    expect_golden("logs/prot_trace_tshark.txt", read_file(dir.file("tshark.out")));
}

} // namespace
} // namespace vorn::test
