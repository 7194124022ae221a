// Eight threads run every job of the library at the same time, each with its
// own settings: every output must equal what the same job wrote alone on one
// thread, and every thread must keep seeing its own settings.  Built also
// under ThreadSanitizer (the tsan preset), which must report nothing.
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "support/alarm_builder.h"
#include "support/log_golden.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <latch>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

constexpr int kThreads = 8;
constexpr auto kRunTime = std::chrono::seconds(3); // how long the threads repeat their jobs

// What one thread sets before its work, and its folder `base` (inputs in
// in/, outputs in out/, temporary files in tmp/).  Odd threads trace, even
// ones do not; the tools that print progress on the console are among them;
// threads 2, 3, 6 and 7 have the compiler write its listings.
struct Thread {
    int t;
    std::string base, tool, password;
    std::array<uint8_t, kDevInfoSize> devinfo{};
    mutable std::map<std::string, std::string> paths{}; // used by the thread alone
    const char *f(const std::string &name) const {
        return paths.try_emplace(name, base + "/" + name).first->second.c_str();
    }
};

// Sets the thread's settings; returns the number of blocks that stay with its
// state (its first DevInfo copy, kept until the library is unloaded).
int apply(const Thread &s) {
    const uint8_t *devinfo = nullptr;
    get_dev_info(&devinfo);
    set_tool_name(s.tool.c_str());
    set_TmpPath((s.base + "/tmp/x").c_str(), 1);
    set_Password(s.password.c_str());
    set_debug(s.t % 2);
    set_optimize_files(s.t / 2 % 2);
    set_DevInfo(s.devinfo.data());
    return devinfo == nullptr ? 1 : 0;
}

// Every setting the calling thread sees, as one text.
std::string settings_seen() {
    char tmp[260] = "", password[260] = "";
    const char *tool = nullptr;
    const uint8_t *devinfo = nullptr;
    uint32_t listings = 9;
    get_TmpPath(tmp, sizeof tmp);
    get_Password(password, sizeof password);
    get_tool_name(&tool);
    get_optimize_files(&listings);
    get_dev_info(&devinfo);
    const CInstanceGlobals *g = get_instance_globals();
    return std::string(tmp) + "|" + password + "|" + (tool ? tool : "-") + "|" +
           std::to_string(listings) + "|" + (g ? std::to_string(g->m_dwDebug) : "-") + "|" +
           (devinfo ? std::string(reinterpret_cast<const char *>(devinfo), kDevInfoSize) : "-");
}

// Thread `t` in its folder `base`, with inputs different from every other
// thread's, so that an output that went to the wrong thread's file shows.
Thread prepare(int t, const std::string &base) {
    const std::string n = std::to_string(t);
    const auto u = static_cast<uint8_t>(t);
    Thread s{t, base, t == 0 ? "WCFG2BIN" : t == 1 ? "WBIN2CFG" : "HOST-" + n, "pass-" + n + "-"};
    std::snprintf(reinterpret_cast<char *>(s.devinfo.data() + 48), 42, "Device of thread %d", t);
    for (const char *sub : {"/in", "/out", "/tmp"})
        fs::create_directories(base + sub);
    // Even threads name no exchange: their decompiled configuration takes
    // the device name of their own DevInfo.
    write_file(s.f("in/box.cfg"), replaced(read_file(VORN_SOURCE_DIR "/examples/vorn-box.cfg"),
                                           "PABXName=Hanse Logistik Bremen\n",
                                           (t % 2 ? "PABXName=Exchange " + n + "\n" : "") +
                                               "MapOut09" + n + "=09" + n + " ORG\n"));
    AlarmLog events{2, static_cast<uint16_t>(17 + t), {100, 3, 0, 0, 2}, {}, "", {}, 0};
    events.events[0] = {4, 12, 15, 13, 5, u, 2, 3, 12, "Line down", 0x100};
    events.events[1] = {4, 12, 15, 13, 6, 9, u, 1, 7, "Line up " + n, 0x200};
    events.events[2] = {4, 12, 15, 14, u, 0, 5, 2, 40, "Power up", 0x300};
    write_file(s.f("in/events.bin"), events.build());
    CallRecord out_call, in_call, unfinished;
    out_call.dad = "81" + n, out_call.number2 = packed("47" + n);
    in_call.plc = 2, in_call.dad = "030", in_call.number1 = packed("030123" + n);
    in_call.start.minute = 6, in_call.end.minute = 8, in_call.end.second = u;
    unfinished.plc = 4, unfinished.end.day = 0xFF;
    write_file(s.f("in/calls.bin"), call_log({unfinished, in_call, out_call}));
    TraceBuilder trace;
    trace.at(5, u, 37).state(1, 13).time(13, 4, 12, 15).frame('r', 1, bytes_of({2, 1, 0x7F, u}));
    trace.frame('s', 2, counting_bytes(20 + t)).connect(1, 1, 2, 2, u).ff(40 + 8 * size_t(t));
    write_file(s.f("in/trace.bin"), trace.at(7, u).boot().bytes());
    return s;
}

// The utilities: password scrambling, the clock, a temporary name (which
// must lie in the thread's own folder) and a host trace line.
int utilities(const Thread &s, char *message) {
    const uint8_t serial[16] = {0x12, 0x34, 0x56, static_cast<uint8_t>(s.t)};
    char scrambled[100] = "", plain[100] = "", name[300] = "";
    CodePassWord(s.password.c_str(), scrambled);
    DecodePassWord(scrambled, plain);
    uint8_t now[6] = {};
    conf_gettime(now);
    const bool own = make_fname("TEMP", name, nullptr) != nullptr && fs::remove(name) &&
                     std::string(name).starts_with(s.base + "/tmp/");
    ptrace("%s round\n", s.tool.c_str());
    return std::snprintf(message, 300, "%s %s %s %d.%d.%d %d:%d:%d %s",
                         cat_number_and_serialno(("0421555" + std::to_string(s.t)).c_str(), serial),
                         scrambled, plain, now[0], now[1], now[2], now[3], now[4], now[5],
                         own ? "own" : "elsewhere");
}

// The jobs of a round, in order: each gives its result and fills `m`.
using Job = std::pair<const char *, int (*)(const Thread &, char *)>;
#define JOB(name, call) Job(name, [](const Thread &s, [[maybe_unused]] char *m) { return call; })
const Job kJobs[] = {
    JOB("compile", mkconf(s.f("in/box.cfg"), s.f("out/box.bin"), 1)),
    JOB("decompile", mkconf(s.f("out/back.cfg"), s.f("out/box.bin"), 0)),
    JOB("mkalarm", mkalarm(s.f("out/report.txt"), s.f("in/events.bin"), 0, "COM2", "Thread", m)),
    JOB("mkalarm, no log", mkalarm(s.f("out/report.txt"), s.f("in/none.bin"), 0, 0, 0, m)),
    JOB("mklogcall", mklogcall(s.f("in/calls.bin"), s.f("out/out.txt"), s.f("out/in.txt"),
                               s.f("out/reject.txt"), m)),
    JOB("merge", merge_logcall(s.f("out/out.txt"), s.f("out/in.txt"), s.f("out/merged.txt"))),
    JOB("mktrace", mktrace(s.f("in/trace.bin"), s.f("out/trace.txt"), s.t == 2 ? m : nullptr)),
    JOB("utilities", utilities(s, m)),
};
#undef JOB

// Everything a round of jobs produced: each job's result, message and the
// settings seen after it under the job's name, and each file of the output
// and temporary folders under "/out/NAME" and "/tmp/NAME" (the folders are
// emptied).
using Outcome = std::map<std::string, std::string>;

Outcome run_jobs(const Thread &s) {
    Outcome out;
    for (const auto &[name, job] : kJobs) {
        char message[300] = "";
        const int result = job(s, message);
        out[name] = std::to_string(result) + " " + message + "\nsettings " + settings_seen();
    }
    for (const char *folder : {"/out", "/tmp"})
        for (const auto &entry : fs::directory_iterator(s.base + folder)) {
            out[entry.path().string().substr(s.base.size())] = read_file(entry.path().string());
            fs::remove(entry.path());
        }
    return out;
}

TEST(Threads, EightThreadsRunEveryJobAtOnceAsEachDoesAlone) {
    // The holiday file is read once per process: with none in the working
    // folder every run takes the Holiday lines as dates, alone or not.
    ASSERT_FALSE(fs::exists("HoliDay.cfg"));
    reset_holiday_file_state_for_tests();
    PinnedClock clock{kDec4th2015, nullptr};         // in the zone of the machine
    const uint32_t registry_debug = app_reg_debug(); // off while the threads run
    set_app_reg_debug(0);
    TempDir dir;
    std::vector<Thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.push_back(prepare(t, dir.file("t" + std::to_string(t))));
    TraceCapture capture;
    std::vector<unsigned long> tids(kThreads);
    std::atomic<uint32_t> blocks = live_blocks();

    // Each thread's jobs alone, one thread after the other.
    std::vector<Outcome> alone(kThreads);
    std::vector<std::string> trouble(kThreads);
    for (const Thread &s : threads) {
        SCOPED_TRACE("thread " + std::to_string(s.t) + " alone");
        std::thread([&] {
            blocks += apply(s);
            alone[s.t] = run_jobs(s);
        }).join();
        for (const char *job : {"compile", "decompile", "mkalarm", "mklogcall", "merge", "mktrace"})
            EXPECT_TRUE(alone[s.t][job].starts_with("0")) << job << ": " << alone[s.t][job];
        const std::string n = (s.t % 2 ? "Exchange " : "Device of thread ") + std::to_string(s.t);
        EXPECT_NE(alone[s.t]["/out/back.cfg"].find("PABXName=" + n), std::string::npos);
        EXPECT_NE(alone[s.t]["utilities"].find(" own\n"), std::string::npos) << "a temporary name";
        EXPECT_TRUE(alone[s.t].lower_bound("/tmp/") == alone[s.t].lower_bound("/tmp0")) << "tmp";
    }

    // All of them at once, again and again.
    capture.clear(); // the lines of the threads that ran alone
    std::vector<int> rounds(kThreads);
    std::latch start(kThreads);
    const auto deadline = std::chrono::steady_clock::now() + kRunTime;
    std::vector<std::thread> running;
    for (const Thread &s : threads)
        running.emplace_back([&] {
            tids[s.t] = platform::thread_id();
            blocks += apply(s);
            start.arrive_and_wait();
            for (int &round = rounds[s.t]; round < 2 || std::chrono::steady_clock::now() < deadline;
                 ++round) {
                const Outcome got = run_jobs(s);
                if (const auto [a, b] = std::ranges::mismatch(got, alone[s.t]); got != alone[s.t]) {
                    trouble[s.t] = "round " + std::to_string(round) + ": " +
                                   (a != got.end() ? a->first : b->first) + " differs";
                    break;
                }
            }
        });
    for (std::thread &thread : running)
        thread.join();
    set_app_reg_debug(registry_debug);

    // Each line "[DEB] [tid][hh:mm:ss,mmm]NAME:text" of a thread running the
    // jobs: only a thread that traces writes debug lines, and only under its
    // own name or the library's; one host line per round.
    std::vector<int> host_lines(kThreads);
    for (const std::string &line : capture.outputs()) {
        unsigned long tid = 0;
        char name[64] = "";
        if (std::sscanf(line.c_str(), "[%*[A-Z]] [%lx][%*[^]]]%63[^:]", &tid, name) != 2 ||
            std::ranges::find(tids, tid) == tids.end())
            continue; // a continued line or the main thread's
        const Thread &s = threads[size_t(std::ranges::find(tids, tid) - tids.begin())];
        host_lines[s.t] += name == s.tool;
        ASSERT_TRUE(s.t % 2 != 0 || line[1] != 'D') << "thread " << s.t << " debugs: " << line;
        ASSERT_TRUE(name == s.tool || name == std::string(kModuleLabel))
            << "thread " << s.t << ": " << line;
    }
    for (const Thread &s : threads)
        EXPECT_EQ(trouble[s.t] + std::to_string(host_lines[s.t]),
                  std::to_string(s.t % 2 != 0 ? rounds[s.t] : 0))
            << "thread " << s.t;
    EXPECT_EQ(live_blocks(), blocks.load());
}

} // namespace
} // namespace vorn::test
