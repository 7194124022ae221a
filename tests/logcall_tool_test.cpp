// The bundled example call log and the tool's calls and merge commands: the
// lists and the CSV table byte for byte, the refusals and failures.
#include "support/logcall_builder.h"
#include "support/run_tool.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vorn::test {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

const std::string kExample = std::string(VORN_SOURCE_DIR) + "/examples/calls.bin";

CallRecord call(uint16_t plc, const std::string &dad, CallTime start, CallTime end) {
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

const std::string kRejects = "plc[5] dad<812> not closed\n"
                             "plc[6] dad<812> saved before \n";
const std::string kUnfinished = "   5: 04.12.15-15:30:00;-255.12.15-00:00:00; call to dad<8040555> "
                                "not finished (plc[4])!\n";

// With VORN_UPDATE_EXAMPLES=1 the test writes the file; otherwise it checks
// that the committed file is current.
TEST(LogcallExample, BundledLogIsTheBuildersLog) {
    if (const char *update = std::getenv("VORN_UPDATE_EXAMPLES"); update && *update == '1')
        write_file(kExample, example_log());
    EXPECT_EQ(read_file(kExample), example_log());
}

TEST(LogcallTool, WritesListsAndTable) {
    TempDir dir;
    const std::string out = dir.file("out.txt"), in = dir.file("in.txt");
    const std::string reject = dir.file("reject.txt"), csv = dir.file("calls.csv");
    ToolRun run = run_tool("calls " + shell_quote(kExample) + " " + shell_quote(out) + " --in " +
                               shell_quote(in) + " --reject " + shell_quote(reject) + " --csv " +
                               shell_quote(csv),
                           "TMPDIR=" + dir.path());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, kExample + ": calls listed in " + out + ", " + in + ", " + reject + ", " +
                           csv + "\n");
    EXPECT_EQ(read_file(out), "04.12.15-13:05:09;04.12.15-13:07:41;0301234567;80301234567;0010\n"
                              "31.12.15-23:59:30;01.01.16-00:01:00;0049301;80049301;0010\n");
    EXPECT_EQ(read_file(in), "04.12.15-13:10:00;04.12.15-13:12:30;0891234;0891234;0011;;0\n"
                             "04.12.15-18:00:00;04.12.15-18:00:45;Ext,\"12\";030;0010;;3\n");
    EXPECT_EQ(read_file(reject),
              "04.12.15-14:00:10;0221234;60221234;0010;10;4\n" + kRejects + kUnfinished);
    EXPECT_EQ(read_file(csv),
              "slot,state,start,end,direction,address,first_number,second_number,first_port,"
              "second_port,status,value,code,subcode,duration\r\n"
              "1,call,2015-12-04T13:05:09,2015-12-04T13:07:41,out,80301234567,0301234567,471,0/"
              "38,,0010,3,10,,152\r\n"
              "2,call,2015-12-04T13:10:00,2015-12-04T13:12:30,in,0891234,0891234,30,0/34,1/2,"
              "0011,,00,,150\r\n"
              "3,call,,2015-12-04T14:00:10,out,60221234,0221234,471,0/38,,0010,12,10,4,\r\n"
              "5,not closed,2015-12-04T16:00:00,2015-12-04T16:01:00,out,812,012,471,0/38,,0010,3,"
              "10,,60\r\n"
              "6,saved before,2015-12-04T17:00:00,2015-12-04T17:02:00,out,812,012,471,0/38,,0000,"
              "3,10,,120\r\n"
              "8,call,2015-12-04T18:00:00,2015-12-04T18:00:45,in,030,\"Ext,\"\"12\"\"\",471,0/"
              "38,,0010,3,10,,45\r\n"
              "4,not finished,2015-12-04T15:30:00,,out,8040555,012,471,0/38,,0010,3,10,,\r\n"
              "7,call,2015-12-31T23:59:30,2016-01-01T00:01:00,out,80049301,0049301,471,0/38,,"
              "0010,41,10,,90\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 4)
        << "the copy of the log is gone from the temporary folder";

    // One combined list.
    run =
        run_tool("calls " + shell_quote(kExample) + " " + shell_quote(out), "TMPDIR=" + dir.path());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(read_file(out),
              "->  04.12.15-13:05:09;04.12.15-13:07:41;;0301234567;471;;0301234567;0010;10;;3\n"
              "<-  04.12.15-13:10:00;04.12.15-13:12:30; 0/34;0891234;30; 1/2 ;891234;0011;00;;\n"
              "->! ;04.12.15-14:00:10;;0221234;471;;0221234;0010;10;4;12\n" +
                  kRejects +
                  "<-  04.12.15-18:00:00;04.12.15-18:00:45;;Ext,\"12\";471;;30;0010;10;;3\n" +
                  kUnfinished +
                  "->  31.12.15-23:59:30;01.01.16-00:01:00;;0049301;471;;0049301;0010;10;;41\n");
}

TEST(LogcallTool, MergesLists) {
    TempDir dir;
    const std::string first = dir.file("first.txt"), second = dir.file("second.txt");
    const std::string a = "04.12.15-13:05:09;04.12.15-13:07:41;012;812;0010\n";
    const std::string b = "04.12.15-13:05:09;04.12.15-13:07:40;012;812;0010\n";
    write_file(first, a);
    write_file(second, b);
    ToolRun run = run_tool("merge " + shell_quote(first) + " " + shell_quote(second) + " " +
                           shell_quote(dir.file("m.txt")));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, first + " and " + second + " merged into " + dir.file("m.txt") + "\n");
    EXPECT_EQ(read_file(dir.file("m.txt")), b + a);
    run = run_tool("merge " + shell_quote(first) + " " + shell_quote(second) + " " +
                   shell_quote(dir.file("FIRST.txt")));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, first + " and " + second + " merged into " + first + "\n");
    EXPECT_EQ(read_file(first), b + a);
    EXPECT_FALSE(fs::exists(dir.file("FIRST.txt")));
}

TEST(LogcallTool, RefusalsAndFailures) {
    TempDir dir;
    const std::string log = dir.file("calls.bin"), list = dir.file("list.txt");
    write_file(log, CallRecord().bytes());
    write_file(list, "x\n");
    const std::string q_log = shell_quote(log), q_list = shell_quote(list);
    const struct {
        std::string args;
        int exit_code;
        std::string err;
    } cases[] = {
        {"calls " + q_log + " " + q_log, 1,
         "vorn: output \"" + log + "\" is the input \"" + log + "\"; refusing to overwrite it\n"},
        {"calls " + q_log + " " + q_list + " --in " + q_list, 1,
         "vorn: \"" + list + "\" and \"" + list + "\" are one file; give each list its own\n"},
        {"calls " + shell_quote(dir.path()) + " " + q_list, 1,
         "vorn: \"" + dir.path() + "\" is a folder; give a regular file\n"},
        {"calls " + q_log + " " + shell_quote(dir.file("no/list.txt")), 1,
         "vorn: Cannot Write \"LOGout\"! (" + dir.file("no/list.txt") + ") (result -4)\n"},
        {"calls " + q_log + " /dev/full", 1,
         "vorn: Cannot Write \"LOGout\"! (/dev/full) (result -4)\n"},
        {"merge " + q_list + " " + q_list + " /dev/full", 1,
         "vorn: merging into /dev/full: the merged list could not be written completely "
         "(result -4)\n"},
        {"merge " + q_list + " " + q_log + " " + q_log, 1,
         "vorn: output \"" + log + "\" is the input \"" + log + "\"; refusing to overwrite it\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        ToolRun run = run_tool(c.args, "TMPDIR=" + dir.path());
        EXPECT_EQ(run.exit_code, c.exit_code);
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(read_file(log), CallRecord().bytes());
    EXPECT_EQ(read_file(list), "x\n");
    for (const char *args : {"calls", "calls a.bin", "calls a b c", "calls a b --in",
                             "calls a b --out x", "merge a", "merge a b c d", "merge --x a b"}) {
        SCOPED_TRACE(args);
        ToolRun run = run_tool(args);
        EXPECT_EQ(run.exit_code, 2);
        EXPECT_NE(run.err.find("usage: vorn " + std::string(args).substr(0, 5)), std::string::npos)
            << run.err;
    }
}

} // namespace
} // namespace vorn::test
