// Outputs survive kills, full disks and concurrent writers: forked processes
// run the exports on one destination, and each file left is either the old
// one or a complete new one, with nothing else left in its folder.
#include "support/alarm_builder.h"
#include "support/config_generator.h"
#include "support/logcall_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace vorn::test;

namespace {

// Runs `job` in a child process; its result comes back as the exit status.
pid_t in_child(const std::function<int()> &job) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(job() + 128);
    return pid;
}

int result_of(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return 1000;
    return WEXITSTATUS(status) - 128;
}

std::set<std::string> names_in(const std::string &folder) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// `count` call-list lines with rising end times, each marked with `tag`.
std::string call_lines(unsigned count, unsigned step, const std::string &tag) {
    std::string text;
    char line[96];
    for (unsigned i = 0; i < count; ++i) {
        const unsigned t = i * step;
        std::snprintf(line, sizeof line,
                      "01.01.15-00:00:00;%02u.01.15-%02u:%02u:%02u;0010;%s%07u\n",
                      1 + t / 86400 % 28, t / 3600 % 24, t / 60 % 60, t % 60, tag.c_str(), i);
        text += line;
    }
    return text;
}

std::multiset<std::string> lines_of(const std::string &text) {
    std::multiset<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        lines.insert(text.substr(at, end - at));
    }
    return lines;
}

} // namespace

TEST(Outputs, InPlaceMergeKilledAnywhereLeavesTheOldOrTheNewList) {
    TempDir dir;
    const std::string first = dir.file("first.txt"), second = dir.file("second.txt");
    const std::string old_list = call_lines(60000, 2, "a");
    write_file(second, call_lines(60000, 2, "b"));
    write_file(first, old_list);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(merge_logcall(first.c_str(), second.c_str(), dir.file("m.txt").c_str()), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string merged = read_file(dir.file("m.txt"));
    fs::remove(dir.file("m.txt"));

    bool saw_old = false, saw_new = false;
    for (int round = 0; round < 20; ++round) {
        write_file(first, old_list);
        const pid_t pid =
            in_child([&] { return merge_logcall(first.c_str(), second.c_str(), nullptr); });
        // Kill moments spread over the merge; the last round runs to its end.
        if (round < 19) {
            std::this_thread::sleep_for(took * round / 16);
            kill(pid, SIGKILL);
        }
        const int result = result_of(pid);
        const std::string now = read_file(first);
        saw_old |= now == old_list;
        saw_new |= now == merged;
        EXPECT_TRUE(now == old_list || now == merged) << "round " << round << ", result " << result;
        // A kill between the link and the rename of the merged list leaves it
        // under the staging name of the killed process, which the next merge
        // into the folder removes; nothing else may stay.
        const std::string staged = "first.txt.vorn-" + std::to_string(pid) + "-";
        for (const std::string &name : names_in(dir.path()))
            EXPECT_TRUE(name == "first.txt" || name == "second.txt" ||
                        (name.starts_with(staged) && name.size() == staged.size() + 7))
                << "round " << round << ": " << name;
    }
    EXPECT_TRUE(saw_old && saw_new);
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"first.txt", "second.txt"}));
}

TEST(Outputs, EightWritersToOneDestinationEachLeaveACompleteFile) {
    PinnedClock clock;
    TempDir dir;
    const auto f = [&](const char *name) { return dir.file(name); };
    ConfigKnobs knobs;
    knobs.maps = 800;
    write_file(f("box.cfg"), generate_config(7, knobs).text);
    std::vector<CallRecord> calls(2000);
    write_file(f("calls.bin"), call_log(calls));
    write_file(f("a.txt"), call_lines(20000, 3, "a"));
    write_file(f("b.txt"), call_lines(20000, 5, "b"));
    ASSERT_EQ(mkconf(f("box.cfg").c_str(), f("ref.bin").c_str(), 1), 0);
    ASSERT_EQ(mklogcall(f("calls.bin").c_str(), f("ref.txt").c_str(), nullptr, nullptr, nullptr),
              0);
    ASSERT_EQ(merge_logcall(f("a.txt").c_str(), f("b.txt").c_str(), f("ref_m.txt").c_str()), 0);

    const struct {
        const char *destination, *reference;
        std::function<int()> job;
    } jobs[] = {
        {"box.bin", "ref.bin",
         [&] { return mkconf(f("box.cfg").c_str(), f("box.bin").c_str(), 1); }},
        {"out.txt", "ref.txt",
         [&] {
             return mklogcall(f("calls.bin").c_str(), f("out.txt").c_str(), nullptr, nullptr,
                              nullptr);
         }},
        {"m.txt", "ref_m.txt",
         [&] { return merge_logcall(f("a.txt").c_str(), f("b.txt").c_str(), f("m.txt").c_str()); }},
    };
    for (const auto &job : jobs) {
        std::vector<pid_t> writers;
        for (int i = 0; i < 8; ++i)
            writers.push_back(in_child(job.job));
        for (pid_t pid : writers)
            EXPECT_EQ(result_of(pid), 0) << job.destination;
        EXPECT_EQ(read_file(f(job.destination)), read_file(f(job.reference))) << job.destination;
    }

    // Eight merges of different lists into one list keep every line.
    std::string all = read_file(f("a.txt"));
    std::vector<pid_t> mergers;
    for (int i = 0; i < 8; ++i) {
        std::string tag = "s";
        tag += std::to_string(i);
        const std::string list = dir.file(tag + ".txt");
        write_file(list, call_lines(3000, 7 + static_cast<unsigned>(i), tag));
        all += read_file(list);
        mergers.push_back(in_child(
            [&, list] { return merge_logcall(f("a.txt").c_str(), list.c_str(), nullptr); }));
    }
    for (pid_t pid : mergers)
        EXPECT_EQ(result_of(pid), 0);
    EXPECT_EQ(lines_of(read_file(f("a.txt"))), lines_of(all));
    for (const std::string &name : names_in(dir.path()))
        EXPECT_TRUE(name.find("MERGE") == std::string::npos && name.find('~') == std::string::npos)
            << name << " left behind";
}

TEST(Outputs, FullDiskKeepsTheOldTableAndReport) {
    PinnedClock clock;
    TempDir dir;
    const auto f = [&](const char *name) { return dir.file(name); };
    write_file(f("small.cfg"), generate_config(3, ConfigKnobs{}).text);
    ConfigKnobs big;
    big.maps = 1000;
    write_file(f("big.cfg"), generate_config(4, big).text);
    ASSERT_EQ(mkconf(f("small.cfg").c_str(), f("box.bin").c_str(), 1), 0);
    AlarmLog log;
    log.queue = {100, 100, 0, 0, 99};
    for (int i = 0; i < 100; ++i)
        log.events[i] = AlarmEvent{4, 12, 15, 13, 5, 9, 1, 0, 7, "Line down", 0};
    write_file(f("alarm.bin"), log.build());
    write_file(f("report.txt"), "earlier report\n");

    const struct {
        const char *kept;
        std::function<int()> job;
        int result;
        rlim_t limit; // beyond the old file, within the new one
    } jobs[] = {
        {"box.bin", [&] { return mkconf(f("big.cfg").c_str(), f("box.bin").c_str(), 1); },
         VORN_CONF_CANNOT_WRITE, 8000},
        {"report.txt",
         [&] {
             return mkalarm(f("report.txt").c_str(), f("alarm.bin").c_str(), 0, "", "", nullptr);
         },
         -4, 2000},
    };
    for (const auto &job : jobs) {
        const std::string old = read_file(f(job.kept));
        const std::set<std::string> before = names_in(dir.path());
        const pid_t pid = in_child([&] {
            // Writes beyond the limit fail with EFBIG instead of a signal.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{job.limit, job.limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            return job.job();
        });
        EXPECT_EQ(result_of(pid), job.result) << job.kept;
        EXPECT_EQ(read_file(f(job.kept)), old) << job.kept;
        EXPECT_EQ(names_in(dir.path()), before) << job.kept;
    }
}
