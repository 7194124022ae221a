// The README's "try it" lines, run as they stand on a copy of the examples.
// The protocol trace shipped with the examples: calls of the example box
// in each of its periods, built from the trace's record layout.  The number
// the box sent on towards the network must be the one the example's table
// routes the dialled number to at that time; the converted text is golden.
#include "support/compiled_config.h"
#include "support/log_golden.h"
#include "support/prot_trace_builder.h"
#include "support/run_tool.h"
#include "support/trace_capture.h"
#include "table/route_rule.h"
#include "vorn_tool/api.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using namespace vorn::test;

// One call of the example: a terminal on port 3 dials `dialled`, the box
// sends `sent` on port 1 (its line to the network).
struct SampleCall {
    uint8_t hour, day, month, minute;
    int weekday; // 0 SU .. 6 SA, kHolidayDay for a holiday
    const char *dialled, *sent;
};

// Dates of December 2026 (the 4th is a Friday, the 24th a holiday).
const SampleCall kCalls[] = {
    {10, 4, 12, 15, 5, "00493012345", "0100900493012345"},         // working day
    {10, 4, 12, 40, 5, "01701234567", "0101001701234567"},         // working day
    {19, 4, 12, 5, 5, "00493012345", "0101900493012345"},          // evening
    {19, 5, 12, 0, 6, "00493012345", "0101900493012345"},          // weekend
    {7, 7, 12, 30, 1, "04211234", "04211234"},                     // Monday, still evening
    {10, 24, 12, 0, kHolidayDay, "01701234567", "01088701234567"}, // holiday
};

// LAPD I-frames carrying Q.931 messages.  The box is the user side on port
// 1 and the network side on port 3; the address field says which side sent
// the frame (C/R), TEI 0; the control field counts the frames of each side.
class Frames {
  public:
    explicit Frames(TraceBuilder &trace) : m_trace(trace) {}

    void send(char direction, uint8_t port, uint8_t cref, uint8_t type, const std::string &ies) {
        const bool from_network = (port == 1) == (direction == 'r');
        uint8_t &ns = m_sent[{port, from_network}];
        const uint8_t nr = m_sent[{port, !from_network}];
        std::string frame = bytes_of({from_network ? 0x02 : 0x00, 0x01, (ns++ & 0x7F) << 1,
                                      (nr & 0x7F) << 1, 0x08, 0x01, cref, type});
        m_trace.frame(direction, port, frame + ies);
    }

  private:
    TraceBuilder &m_trace;
    std::map<std::pair<uint8_t, bool>, uint8_t> m_sent;
};

std::string called_number(const std::string &digits) {
    return bytes_of({0x70, static_cast<int>(digits.size() + 1), 0x81}) + digits;
}

std::string example_trace() {
    const std::string speech = bytes_of({0x04, 0x03, 0x80, 0x90, 0xA3});
    const std::string b1 = bytes_of({0x18, 0x01, 0x89});
    const std::string normal = bytes_of({0x08, 0x02, 0x80, 0x90});
    TraceBuilder trace;
    trace.at(0, 0).boot().time(7, 4, 12, 26).at(0, 1).state(1, 12).state(3, 12);
    Frames frames(trace);
    uint8_t cref = 1;
    for (const SampleCall &c : kCalls) {
        const uint8_t out = cref++, in = cref++;
        trace.at(c.minute, 0).time(c.hour, c.day, c.month, 26);
        trace.at(c.minute, 1, 10);
        frames.send('r', 3, in, 0x05, speech + called_number(c.dialled)); // SETUP
        frames.send('s', 1, out, 0x05, speech + called_number(c.sent));   // SETUP
        trace.at(c.minute, 1, 40);
        frames.send('r', 1, out | 0x80, 0x02, b1); // CALL PROCEEDING
        frames.send('s', 3, in | 0x80, 0x02, b1);
        trace.at(c.minute, 9, 5);
        frames.send('r', 1, out | 0x80, 0x07, ""); // CONNECT
        frames.send('s', 3, in | 0x80, 0x07, "");
        trace.connect(3, 1, 1, 1, 1);
        const uint8_t end = static_cast<uint8_t>(c.minute + 3);
        trace.at(end, 30);
        frames.send('r', 3, in, 0x45, normal); // DISCONNECT
        frames.send('s', 1, out, 0x45, normal);
        trace.at(end, 30, 20);
        frames.send('r', 1, out | 0x80, 0x4D, ""); // RELEASE
        frames.send('s', 1, out, 0x5A, "");        // RELEASE COMPLETE
        frames.send('s', 3, in | 0x80, 0x4D, "");
        frames.send('r', 3, in, 0x5A, "");
        trace.connect(3, 1, 1, 1, 0);
    }
    trace.at(59, 59).error(1, 0);
    return trace.bytes();
}

TEST(Samples, ExampleTraceSendsWhatTheTableRoutes) {
    TempDir dir;
    const std::string box = std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg";
    const CheckReport check = compiled_config(box.c_str());
    const table_t *table = check.table.get();
    ASSERT_NE(table, nullptr) << check.message;
    for (const SampleCall &c : kCalls) {
        const Route r = route_call(*table, {c.dialled, CallDirection::Out, CallService::Voice,
                                            c.weekday, c.hour * 60 + c.minute});
        EXPECT_EQ(r.result, c.sent) << c.dialled << " at " << int(c.hour) << ":" << int(c.minute);
        if (c.weekday == kHolidayDay) {
            EXPECT_TRUE(is_holiday(*table, c.day, c.month));
        }
    }

    const std::string bytes = example_trace();
    EXPECT_LT(bytes.size(), 8192u);
    expect_example("trace.bin", bytes);
    write_file(dir.file("trace.bin"), bytes);
    const ToolRun run = run_tool("trace -q " + shell_quote(dir.file("trace.bin")) + " " +
                                 shell_quote(dir.file("trace.txt")));
    ASSERT_EQ(run.exit_code, 0) << run.err;
    expect_golden("logs/example_trace.txt", read_file(dir.file("trace.txt")));

    // An empty trace is refused in words before anything is written.
    write_file(dir.file("empty.bin"), "");
    const ToolRun empty = run_tool("trace " + shell_quote(dir.file("empty.bin")) + " " +
                                   shell_quote(dir.file("empty.txt")));
    EXPECT_EQ(empty.exit_code, 1);
    EXPECT_NE(empty.err.find("is empty"), std::string::npos) << empty.err;
    EXPECT_EQ(files_left(dir.path()),
              "file left: empty.bin\nfile left: trace.bin\nfile left: trace.txt\n");
}

// Every line of the README's "Try it" block works in a folder that holds
// the examples as a fresh clone does, in the order written.
TEST(Samples, ReadmeTryItLinesWork) {
    std::istringstream readme(read_file(std::string(VORN_SOURCE_DIR) + "/README.md"));
    std::vector<std::string> lines;
    bool inside = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("## ", 0) == 0)
            inside = line == "## Try it";
        else if (inside && line.rfind("    vorn ", 0) == 0)
            lines.push_back(line.substr(9));
    }
    ASSERT_GE(lines.size(), 12u);
    TempDir dir;
    std::filesystem::copy(std::string(VORN_SOURCE_DIR) + "/examples", dir.file("examples"));
    std::set<std::string> jobs;
    for (const std::string &line : lines) {
        const ToolRun run = run_tool(line, "-C " + shell_quote(dir.path()));
        EXPECT_EQ(run.exit_code, 0) << line << "\n" << run.out << run.err;
        jobs.insert(line.substr(0, line.find(' ')));
    }
    EXPECT_EQ(jobs, (std::set<std::string>{"alarm", "calls", "check", "compile", "decompile",
                                           "diff", "info", "merge", "password", "report", "route",
                                           "trace", "verify"}));
}

} // namespace
