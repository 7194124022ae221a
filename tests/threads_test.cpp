// Eight threads run every job of the library at the same time, each with its
// own settings: every output must equal what the same job wrote alone on one
// thread, and every thread must keep seeing its own settings.  Built also
// under ThreadSanitizer (the tsan preset), which must report nothing.
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "support/alarm_builder.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <latch>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

constexpr int kThreads = 8;
// How long the threads keep repeating their jobs, and the fewest rounds each
// runs however slow the build (sanitizers) is.
constexpr auto kRunTime = std::chrono::seconds(3);
constexpr int kMinRounds = 2;

// What one thread sets before its work.  Odd threads trace, even ones do
// not; the tools that print progress on the console are among them.
struct Settings {
    std::string tool;
    std::string tmp; // folder
    std::string password;
    uint32_t debug;
    uint32_t listings;
    std::array<uint8_t, kDevInfoSize> devinfo;
};

Settings settings_of(int t, const std::string &base) {
    Settings s;
    s.tool = t == 0 ? "WCFG2BIN" : t == 1 ? "WBIN2CFG" : "HOST-" + std::to_string(t);
    s.tmp = base + "/tmp";
    s.password = "pass-" + std::to_string(t) + "-word";
    s.debug = t % 2;
    s.listings = t / 2 % 2;
    s.devinfo.fill(static_cast<uint8_t>(0x30 + t));
    s.devinfo[0] = 0;
    const std::string name = "Device of thread " + std::to_string(t);
    std::memcpy(s.devinfo.data() + 48, name.c_str(), name.size() + 1);
    return s;
}

// Returns the number of blocks that stay with the thread's state (its first
// DevInfo copy, kept until the library is unloaded).
int apply(const Settings &s) {
    const uint8_t *devinfo = nullptr;
    get_dev_info(&devinfo);
    set_tool_name(s.tool.c_str());
    set_TmpPath((s.tmp + "/x").c_str(), 1);
    set_Password(s.password.c_str());
    set_debug(s.debug);
    set_optimize_files(s.listings);
    set_DevInfo(s.devinfo.data());
    return devinfo == nullptr ? 1 : 0;
}

// Empty when the calling thread still sees exactly `s`, else what differs.
std::string settings_differ(const Settings &s) {
    std::string why;
    char buf[260];
    get_TmpPath(buf, sizeof buf);
    if (s.tmp != buf)
        why += " tmp=" + std::string(buf);
    get_Password(buf, sizeof buf);
    if (s.password != buf)
        why += " password=" + std::string(buf);
    const char *tool = nullptr;
    if (get_tool_name(&tool) != 0 || s.tool != tool)
        why += " tool=" + std::string(tool != nullptr ? tool : "(none)");
    uint32_t listings = 0;
    if (get_optimize_files(&listings) != 0 || listings != s.listings)
        why += " listings=" + std::to_string(listings);
    const uint8_t *devinfo = nullptr;
    if (get_dev_info(&devinfo) != 0 || devinfo == nullptr ||
        std::memcmp(devinfo, s.devinfo.data(), kDevInfoSize) != 0)
        why += " devinfo";
    const CInstanceGlobals *g = get_instance_globals();
    if (g == nullptr || g->m_dwDebug != s.debug)
        why += " debug";
    return why;
}

// The inputs of one thread, different from every other thread's, so that an
// output that went to the wrong thread's file shows.
struct Inputs {
    std::string config, events, calls, trace;
};

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

Inputs inputs_of(int t) {
    const auto n = static_cast<uint8_t>(t);
    const std::string digit = std::to_string(t);
    Inputs in;
    // Even threads name no exchange: their decompiled configuration takes
    // the device name of their own DevInfo.
    const std::string name = t % 2 == 0 ? "" : "PABXName=Exchange " + digit + "\n";
    in.config = replaced(read_file(VORN_SOURCE_DIR "/examples/vorn-box.cfg"),
                         "PABXName=Hanse Logistik Bremen\n",
                         name + "MapOut09" + digit + "=09" + digit + " ORG\nMapIn33441" + digit +
                             "=2" + digit + "\n");
    in.events = AlarmLog{2,
                         static_cast<uint16_t>(17 + t),
                         {100, 3, 0, 0, 2},
                         {{0, {4, 12, 15, 13, 5, n, 2, 3, 12, "Line down", 0x100}},
                          {1, {4, 12, 15, 13, 6, 9, n, 1, 7, "Line up " + digit, 0x200}},
                          {2, {4, 12, 15, 14, n, 0, 5, 2, 40, "Power up", 0x300}}}}
                    .build();
    CallRecord out_call;
    out_call.dad = "81" + digit;
    out_call.number2 = packed("47" + digit);
    CallRecord in_call;
    in_call.plc = 2, in_call.dad = "030", in_call.number1 = packed("030123" + digit);
    in_call.start.minute = 6, in_call.end.minute = 8, in_call.end.second = n;
    CallRecord no_start;
    no_start.plc = 3, no_start.start.day = 0xFF, no_start.end.minute = 9;
    CallRecord not_finished;
    not_finished.plc = 4, not_finished.end.day = 0xFF;
    in.calls = call_log({not_finished, no_start, in_call, out_call});
    in.trace = TraceBuilder()
                   .at(5, n, 37)
                   .state(1, 13)
                   .time(13, 4, 12, 15)
                   .frame('r', 1, bytes_of({0x02, 0x01, 0x7F, t}))
                   .frame('s', 2, counting_bytes(20 + t))
                   .connect(1, 1, 2, 2, n)
                   .ff(40 + 8 * static_cast<size_t>(t))
                   .at(7, n)
                   .boot()
                   .bytes();
    return in;
}

// Everything a round of jobs produced: every file of the output folder and,
// under names starting with "#", each job's result and message.
using Outcome = std::map<std::string, std::string>;

std::string first_difference(const Outcome &got, const Outcome &want) {
    for (const auto &[name, text] : want) {
        auto it = got.find(name);
        if (it == got.end())
            return name + " is missing";
        if (it->second != text) {
            size_t at = 0;
            while (at < text.size() && at < it->second.size() && text[at] == it->second[at])
                ++at;
            return name + " differs from byte " + std::to_string(at) + " on";
        }
    }
    for (const auto &entry : got)
        if (want.count(entry.first) == 0)
            return entry.first + " should not be there";
    return {};
}

// Files of `folder`, by name; the folder is emptied.
void take_files(const std::string &folder, Outcome &out) {
    for (const auto &entry : fs::directory_iterator(folder)) {
        out[entry.path().filename().string()] = read_file(entry.path().string());
        fs::remove(entry.path());
    }
}

// One round of every job of thread `t` in its folder `base`.  Settings are
// checked after each job; a change goes into `trouble`.
Outcome run_jobs(int t, const Settings &s, const std::string &base, const Inputs &in,
                 std::string &trouble) {
    Outcome out;
    const std::string dir = base + "/out/";
    const std::string inputs = base + "/in/";
    auto check = [&](const char *job) {
        const std::string why = settings_differ(s);
        if (!why.empty() && trouble.empty())
            trouble = std::string("after ") + job + ":" + why;
    };
    auto result = [&](const char *job, int rc) {
        out[std::string("#") + job] = std::to_string(rc);
        check(job);
    };

    write_file(dir + "box.cfg", in.config);
    result("compile", mkconf((dir + "box.cfg").c_str(), (dir + "box.bin").c_str(), 1));
    result("decompile", mkconf((dir + "back.cfg").c_str(), (dir + "box.bin").c_str(), 0));

    char message[300] = "";
    result("mkalarm", mkalarm((dir + "report.txt").c_str(), (inputs + "events.bin").c_str(), 0,
                              "COM2", "Thread", message));
    out["#mkalarm message"] = message;
    std::strcpy(message, "");
    result("mkalarm missing", mkalarm((dir + "report.txt").c_str(), (inputs + "none.bin").c_str(),
                                      0, nullptr, nullptr, message));
    out["#mkalarm missing message"] = message;

    std::strcpy(message, "");
    result("mklogcall", mklogcall((inputs + "calls.bin").c_str(), (dir + "out.txt").c_str(),
                                  (dir + "in.txt").c_str(), (dir + "reject.txt").c_str(), message));
    out["#mklogcall message"] = message;
    result("merge", merge_logcall((dir + "out.txt").c_str(), (dir + "in.txt").c_str(),
                                  (dir + "merged.txt").c_str()));

    char label[300] = "";
    result("mktrace", mktrace((inputs + "trace.bin").c_str(), (dir + "trace.txt").c_str(),
                              t == 2 ? label : nullptr));
    out["#mktrace label"] = label;

    const uint8_t serial[16] = {0x12, 0x34, 0x56, static_cast<uint8_t>(t)};
    out["#serial"] = cat_number_and_serialno(("0421555" + std::to_string(t)).c_str(), serial);
    char scrambled[100] = "", plain[100] = "";
    CodePassWord(s.password.c_str(), scrambled);
    DecodePassWord(scrambled, plain);
    out["#password"] = std::string(scrambled) + " " + plain;
    uint8_t now[6] = {};
    conf_gettime(now);
    out["#time"] = std::string(reinterpret_cast<char *>(now), sizeof now);
    char name[300] = "";
    if (make_fname("TEMP", name, nullptr) != nullptr) {
        out["#temp name in own folder"] = std::to_string(std::string(name).rfind(s.tmp + "/", 0));
        fs::remove(name);
    }
    check("utilities");

    ptrace("%s round\n", s.tool.c_str());
    take_files(dir, out);
    for (const auto &entry : fs::directory_iterator(s.tmp))
        out["#left in the temporary folder: " + entry.path().filename().string()] = "";
    return out;
}

// The debug sink of the test: checks each line's thread and name against
// the settings of the thread that wrote it, keeps nothing else.
class LineCheck {
  public:
    explicit LineCheck(const std::vector<Settings> &settings) : m_settings(settings) {
        platform::set_debug_sink(&LineCheck::sink, this);
    }
    ~LineCheck() { platform::set_debug_sink(nullptr, nullptr); }

    void own(uint32_t tid, int t) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_owner[tid] = t;
    }
    std::vector<std::string> faults() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_faults;
    }
    long host_lines(int t) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_host_lines[static_cast<size_t>(t)];
    }

  private:
    static bool sink(const char *text, void *context) {
        static_cast<LineCheck *>(context)->check(text);
        return true;
    }

    void check(const std::string &line) {
        // "[DEB] [tid][hh:mm:ss,mmm]NAME:text"; strings without the prefix
        // continue a line.
        if (line.rfind("[DEB] [", 0) != 0 && line.rfind("[ERR] [", 0) != 0)
            return;
        const bool debug = line[1] == 'D';
        const uint32_t tid = static_cast<uint32_t>(std::stoul(line.substr(7), nullptr, 16));
        const size_t name_at = line.find(']', line.find(']', 7) + 1) + 1;
        const std::string name = line.substr(name_at, line.find(':', name_at) - name_at);
        std::lock_guard<std::mutex> lock(m_mutex);
        auto owner = m_owner.find(tid);
        if (owner == m_owner.end())
            return; // the main thread's
        const Settings &s = m_settings[static_cast<size_t>(owner->second)];
        if (name == s.tool)
            ++m_host_lines[static_cast<size_t>(owner->second)];
        std::string fault;
        if (debug && s.debug == 0)
            fault = "a debug line of a thread with debugging off";
        else if (name != s.tool && name != kModuleLabel)
            fault = "a line under another name";
        if (!fault.empty() && m_faults.size() < 10)
            m_faults.push_back("thread " + std::to_string(owner->second) + ": " + fault + ": " +
                               line);
    }

    const std::vector<Settings> &m_settings;
    mutable std::mutex m_mutex;
    std::map<uint32_t, int> m_owner;
    std::array<long, kThreads> m_host_lines{};
    std::vector<std::string> m_faults;
};

struct RegistryDebugOff {
    uint32_t before = app_reg_debug();
    RegistryDebugOff() { set_app_reg_debug(0); }
    ~RegistryDebugOff() { set_app_reg_debug(before); }
};

TEST(Threads, EightThreadsRunEveryJobAtOnceAsEachDoesAlone) {
    // The holiday file is read once per process: with none in the working
    // folder every run takes the Holiday lines as dates, alone or not.
    ASSERT_FALSE(fs::exists("HoliDay.cfg"));
    reset_holiday_file_state_for_tests();
    PinnedClock clock{kDec4th2015, nullptr}; // in the zone of the machine
    RegistryDebugOff registry_debug_off;
    TempDir dir;
    std::vector<Settings> settings;
    std::vector<Inputs> inputs;
    std::vector<std::string> bases;
    for (int t = 0; t < kThreads; ++t) {
        bases.push_back(dir.file("t" + std::to_string(t)));
        for (const char *sub : {"/in", "/out", "/tmp"})
            fs::create_directories(bases.back() + sub);
        settings.push_back(settings_of(t, bases.back()));
        inputs.push_back(inputs_of(t));
        write_file(bases.back() + "/in/events.bin", inputs.back().events);
        write_file(bases.back() + "/in/calls.bin", inputs.back().calls);
        write_file(bases.back() + "/in/trace.bin", inputs.back().trace);
    }
    LineCheck lines(settings);
    std::atomic<uint32_t> blocks = live_blocks();

    // Each thread's jobs alone, one thread after the other.
    std::vector<Outcome> alone(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        std::string trouble;
        std::thread([&] {
            blocks += apply(settings[t]);
            alone[t] = run_jobs(t, settings[t], bases[t], inputs[t], trouble);
        }).join();
        ASSERT_EQ(trouble, "") << "thread " << t << " alone";
        ASSERT_EQ(alone[t]["#compile"], "0") << "thread " << t;
        ASSERT_EQ(alone[t]["#decompile"], "0") << "thread " << t;
        const std::string exchange = t % 2 == 0 ? "Device of thread " : "Exchange ";
        ASSERT_NE(alone[t]["back.cfg"].find("PABXName=" + exchange + std::to_string(t)),
                  std::string::npos)
            << "thread " << t;
        ASSERT_EQ(alone[t]["#mkalarm"], "0") << "thread " << t;
        ASSERT_EQ(alone[t]["#mklogcall"], "0") << "thread " << t;
        ASSERT_EQ(alone[t]["#merge"], "0") << "thread " << t;
        ASSERT_EQ(alone[t]["#mktrace"], "0") << "thread " << t;
        ASSERT_EQ(alone[t]["#temp name in own folder"], "0") << "thread " << t;
        for (const auto &entry : alone[t])
            ASSERT_NE(entry.first.rfind("#left", 0), 0u) << entry.first;
        if (t > 0) {
            ASSERT_NE(alone[t]["box.bin"], alone[t - 1]["box.bin"]) << "inputs must differ";
        }
    }

    // All of them at once, again and again.
    std::vector<std::string> trouble(kThreads);
    std::vector<int> rounds(kThreads);
    std::latch start(kThreads);
    const auto deadline = std::chrono::steady_clock::now() + kRunTime;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            lines.own(platform::thread_id(), t);
            blocks += apply(settings[t]);
            start.arrive_and_wait();
            for (int &round = rounds[t];
                 round < kMinRounds || std::chrono::steady_clock::now() < deadline; ++round) {
                Outcome got = run_jobs(t, settings[t], bases[t], inputs[t], trouble[t]);
                const std::string diff = first_difference(got, alone[t]);
                if (!diff.empty() && trouble[t].empty())
                    trouble[t] = "round " + std::to_string(round) + ": " + diff;
                if (!trouble[t].empty())
                    break;
            }
        });
    for (std::thread &thread : threads)
        thread.join();

    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        EXPECT_EQ(trouble[t], "");
        if (!trouble[t].empty())
            continue;
        EXPECT_GE(rounds[t], kMinRounds);
        // One host line per round, and only where the thread traces.
        EXPECT_EQ(lines.host_lines(t), settings[t].debug != 0 ? rounds[t] : 0);
    }
    EXPECT_EQ(lines.faults(), std::vector<std::string>{});
    EXPECT_EQ(live_blocks(), blocks.load());
}

} // namespace
} // namespace vorn::test
