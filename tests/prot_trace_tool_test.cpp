// vorn trace: the text, the progress line, the capture as tshark decodes
// it, and the refusals and failures a user meets.
#include "support/prot_trace_builder.h"
#include "support/run_tool.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vorn::test {
namespace {

// A call set up and cleared on port 1, where the box is the user side
// towards the network, and a call from a terminal on port 3, where the box
// is the network side.  LAPD frames start with their address field: SAPI 0
// (call control), C/R, TEI 0.
std::string call_trace() {
    return TraceBuilder()
        .at(5, 9)
        .time(13, 4, 12, 15)
        .at(5, 9, 37)
        .state(1, 13)
        .frame('r', 1, bytes_of({0x02, 0x01, 0x7F})) // SABME from the network
        .frame('s', 1, bytes_of({0x02, 0x01, 0x73})) // UA
        .at(5, 10, 2)
        .frame('s', 1,
               bytes_of({0x00, 0x01, 0x00, 0x00, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90,
                         0xA3, 0x70, 0x04, 0x81, 0x31, 0x32, 0x33})) // I: SETUP to 123
        .at(5, 10, 20)
        .frame('r', 1,
               bytes_of({0x02, 0x01, 0x00, 0x02, 0x08, 0x01, 0x81, 0x02, 0x18, 0x01,
                         0x89})) // I: CALL PROCEEDING, B1
        .at(5, 12)
        .connect(1, 1, 3, 1, 1)
        .frame('r', 3,
               bytes_of({0x00, 0x01, 0x00, 0x00, 0x08, 0x01, 0x02, 0x05, 0x04, 0x03, 0x80, 0x90,
                         0xA3})) // I: SETUP from a terminal
        .frame('s', 3, bytes_of({0x02, 0x01, 0x00, 0x02, 0x08, 0x01, 0x82, 0x01})) // ALERTING
        .at(59, 58)
        .frame('r', 1, bytes_of({0x02, 0x01, 0x02, 0x02, 0x08, 0x01, 0x81, 0x07})) // CONNECT
        .at(0, 3, 10)
        .frame('s', 1,
               bytes_of({0x00, 0x01, 0x02, 0x04, 0x08, 0x01, 0x01, 0x45, 0x08, 0x02, 0x80,
                         0x90})) // DISCONNECT
        .error(3, 15)
        .bytes();
}

const char *const kCallText =
    "[ 4.12.15 13:05:09]\n"
    "[05:09.74]  [01]: SBC dn AI10 (0d) -----------\n"
    "[05:09.74] r[01]: 02 01 7f\n"
    "[05:09.74] s[01]: 02 01 73\n"
    "[05:10.04] s[01]: 00 01 00 00 08 01 01 05 04 03 80 90 a3 70 04 81 31 32 33\n"
    "[05:10.40] r[01]: 02 01 00 02 08 01 81 02 18 01 89\n"
    "[05:12.00]      : switch 1/1 - 3/1 ON\n"
    "[05:12.00] r[03]: 00 01 00 00 08 01 02 05 04 03 80 90 a3\n"
    "[05:12.00] s[03]: 02 01 00 02 08 01 82 01\n"
    "[59:58.00] r[01]: 02 01 02 02 08 01 81 07\n"
    "[00:03.20] s[01]: 00 01 02 04 08 01 01 45 08 02 80 90\n"
    "[00:03.20]  [03]: error state E_L2_TMO     (15) -----------\n"
    "[ 4.12.15 13:00:03]\n";

TEST(ProtTraceTool, ConvertsAndWritesTheCapture) {
    TempDir dir;
    const std::string trace = call_trace();
    write_file(dir.file("t.bin"), trace);
    const std::string files = shell_quote(dir.file("t.bin")) + " " + shell_quote(dir.file("t.txt"));
    ToolRun run = run_tool(
        "trace " + files + " --label Box1 --pcapng " + shell_quote(dir.file("t.pcapng")), "TZ=UTC");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    // The progress line: the bytes left at the start and after the first
    // record, then the label alone.
    EXPECT_EQ(run.out, "\rBox1 184     \rBox1 172     \rBox1         \rBox1\n" + dir.file("t.bin") +
                           ": converted to " + dir.file("t.txt") + "\n" + dir.file("t.bin") +
                           ": D-channel frames written to " + dir.file("t.pcapng") + "\n");
    EXPECT_EQ(read_file(dir.file("t.txt")),
              "binaer file length 184 bytes\n" + std::string(kCallText));

    if (std::system("command -v tshark >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tshark is not installed (apt-get install tshark); the capture was "
                        "written but not decoded";
    const std::string out = dir.file("tshark.out");
    const int status =
        std::system(("TZ=UTC tshark -r " + shell_quote(dir.file("t.pcapng")) +
                     " -T fields -E separator=';' -e frame.time_epoch -e frame.interface_name"
                     " -e frame.packet_flags_direction -e _ws.col.Source -e _ws.col.Destination"
                     " -e _ws.col.Protocol -e _ws.col.Info >" +
                     shell_quote(out) + " 2>/dev/null")
                        .c_str());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(read_file(out),
              "1449234309.740000000;port 1;0x00000001;Remote Network;Local User;LAPD;"
              "TEI:00 U P, func=SABME | \n"
              "1449234309.740000000;port 1;0x00000002;Local User;Remote Network;LAPD;"
              "TEI:00 U F, func=UA | \n"
              "1449234310.040000000;port 1;0x00000002;Local User;Remote Network;Q.931;"
              "TEI:00 I, N(R)=0, N(S)=0 | SETUP\n"
              "1449234310.400000000;port 1;0x00000001;Remote Network;Local User;Q.931;"
              "TEI:00 I, N(R)=1, N(S)=0 | CALL PROCEEDING\n"
              "1449234312.000000000;port 3;0x00000001;Remote User;Local Network;Q.931;"
              "TEI:00 I, N(R)=0, N(S)=0 | SETUP\n"
              "1449234312.000000000;port 3;0x00000002;Local Network;Remote User;Q.931;"
              "TEI:00 I, N(R)=1, N(S)=0 | ALERTING\n"
              "1449237598.000000000;port 1;0x00000001;Remote Network;Local User;Q.931;"
              "TEI:00 I, N(R)=1, N(S)=1 | CONNECT\n"
              "1449237603.200000000;port 1;0x00000002;Local User;Remote Network;Q.931;"
              "TEI:00 I, N(R)=2, N(S)=1 | DISCONNECT\n");
}

TEST(ProtTraceTool, RefusalsAndFailures) {
    TempDir dir;
    const std::string trace = dir.file("t.bin"), empty = dir.file("e.bin"),
                      text = dir.file("t.txt");
    write_file(trace, call_trace());
    write_file(empty, "");
    const std::string q = shell_quote(trace), e = shell_quote(empty), t = shell_quote(text);
    struct Row {
        const char *what;
        std::string args;
        int exit_code;
        std::string err;
    };
    const Row rows[] = {
        {"no files", "trace", 2,
         "vorn: trace needs TRACE.bin and OUT.txt\n"
         "usage: vorn trace TRACE.bin OUT.txt [--label TEXT] [--pcapng OUT.pcapng]\n"},
        {"unknown option", "trace " + q + " " + t + " --pcap x", 2,
         "vorn: unknown option '--pcap'\n"
         "usage: vorn trace TRACE.bin OUT.txt [--label TEXT] [--pcapng OUT.pcapng]\n"},
        {"one capture for both", "trace " + q + " " + t + " --pcapng " + t, 2,
         "vorn: OUT.txt and OUT.pcapng must be two files\n"
         "usage: vorn trace TRACE.bin OUT.txt [--label TEXT] [--pcapng OUT.pcapng]\n"},
        {"text over the trace", "trace " + q + " " + q, 1,
         "vorn: output \"" + trace + "\" is the input \"" + trace +
             "\"; refusing to overwrite it\n"},
        {"full disk", "trace " + q + " /dev/full", 1,
         "vorn: Cannot Write \"/dev/full\"! (result -4)\n"},
        {"capture on a full disk", "trace " + q + " " + t + " --pcapng /dev/full", 1,
         "vorn: Cannot Write \"/dev/full\"! (result -4)\n"},
        {"empty trace", "trace " + e + " " + t, 1, "vorn: " + empty + " is empty (result -19)\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const ToolRun run = run_tool(row.args);
        EXPECT_EQ(run.exit_code, row.exit_code);
        EXPECT_EQ(run.err, row.err);
    }
    EXPECT_EQ(read_file(trace), call_trace()) << "the trace is never written";

    write_file(trace, TraceBuilder().boot().record('?', 1, "").boot().bytes());
    const ToolRun run = run_tool("trace " + q + " " + t);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, trace + ": converted to " + text + " up to invalid data (result 1)\n");
}

} // namespace
} // namespace vorn::test
