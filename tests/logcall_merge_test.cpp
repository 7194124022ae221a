// merge_logcall: the order of merged lines for every line form, pieces of
// long lines, the destinations (new file, the first list in place, an input
// under another name), the results with their error lines, and a first list
// that survives a merge killed or starved of disk space at any point.
#include "frame/frame.h"
#include "logs/logcall.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

// The error lines of the trace, without their prefix.
std::vector<std::string> error_lines(const TraceCapture &capture) {
    std::vector<std::string> lines;
    const std::vector<std::string> outputs = capture.outputs(), bodies = capture.bodies();
    for (size_t i = 0; i < outputs.size(); ++i)
        if (outputs[i].rfind("[ERR] ", 0) == 0)
            lines.push_back(bodies[i]);
    return lines;
}

// Names of the files in a folder.
std::vector<std::string> names_in(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class LogcallMerge : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(live_blocks(), blocks_before); }

    // Merges two lists given as texts into a new file; its text.
    std::string merged(const std::string &list1, const std::string &list2) {
        write_file(first, list1);
        write_file(second, list2);
        fs::remove(destination);
        EXPECT_EQ(merge_logcall(first.c_str(), second.c_str(), destination.c_str()), 0);
        EXPECT_EQ(read_file(first), list1);
        EXPECT_EQ(read_file(second), list2);
        return read_file(destination);
    }

    TempDir dir;
    std::string first = dir.file("first.txt");
    std::string second = dir.file("second.txt");
    std::string destination = dir.file("merged.txt");
    uint32_t blocks_before = live_blocks();
};

// Lines as mklogcall writes them, ending at the given day and time.
std::string arrow(const std::string &end, const std::string &rest = "012;471;;12;0010;10;;3") {
    return "->  04.12.15-13:05:09;" + end + ";" + rest + "\n";
}
std::string no_start(const std::string &end) {
    return "<-! ;" + end + ";012;471;;30;0010;10;;3\n";
}
std::string plain(const std::string &end, const std::string &rest = "012;812;0010") {
    return "04.12.15-13:05:09;" + end + ";" + rest + "\n";
}
std::string no_start_plain(const std::string &end) {
    return ";" + end + ";012;812;0010;10;ff\n";
}

TEST_F(LogcallMerge, LinesOrderByEndTime) {
    const std::string a = arrow("04.12.15-13:07:41"), b = no_start("04.12.15-13:07:42");
    const std::string c = plain("04.12.15-13:07:43"), d = no_start_plain("04.12.15-13:07:44");
    const std::string e = plain("03.01.16-00:00:00"), f = arrow("31.12.98-23:59:59");
    const std::string long_line = plain("04.12.15-13:07:41", std::string(300, 'z'));
    const struct {
        const char *name;
        std::string list1, list2, expected;
    } cases[] = {
        {"every line form", a + c + e, b + d + f, a + b + c + d + e + f},
        {"year, month, day, then the time", e + f, a, a + e + f},
        {"an empty first list", "", a + b, a + b},
        {"an empty second list", c + d, "", c + d},
        {"both empty", "", "", ""},
        // The start time is no part of the key: the second list goes first.
        {"equal keys", a, "->  01.01.15-00:00:00;04.12.15-13:07:41;012;471;;12;0010;10;;3\n",
         "->  01.01.15-00:00:00;04.12.15-13:07:41;012;471;;12;0010;10;;3\n" + a},
        {"keys equal but for case", plain("04.12.15-13:07:41", "abc"),
         plain("04.12.15-13:07:41", "ABC"),
         plain("04.12.15-13:07:41", "ABC") + plain("04.12.15-13:07:41", "abc")},
        // Lines too short for a key order by what they hold, before the
        // calls; a last line without line end runs into the next one.
        {"short lines", "x\n" + a, "\n" + c + "y", "\nx\n" + a + c + "y"},
        // 253 characters make one piece, the rest another; the later piece
        // has its own key and lands after the other list's line.
        {"a line of 300 characters", long_line, c,
         long_line.substr(0, 253) + c + long_line.substr(253)},
        {"CR LF line ends", "x\r\n" + a.substr(0, a.size() - 1) + "\r\n", "", "x\n" + a},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(merged(c.list1, c.list2), c.expected);
    }
}

TEST_F(LogcallMerge, ReplacesTheFirstListInPlace) {
    const std::string list1 = arrow("04.12.15-13:07:41"), list2 = plain("04.12.15-13:07:40");
    // No destination, the first list's name in other case, and the first
    // list under another name: each replaces the first list, keeps its
    // permission bits and leaves nothing else behind.
    const std::string others[] = {"", dir.file("FIRST.TXT"), dir.path() + "/./first.txt"};
    for (const std::string &other : others) {
        SCOPED_TRACE(other);
        write_file(first, list1);
        write_file(second, list2);
        fs::permissions(first,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(
            merge_logcall(first.c_str(), second.c_str(), other.empty() ? nullptr : other.c_str()),
            0);
        EXPECT_EQ(read_file(first), list2 + list1);
        EXPECT_EQ(read_file(second), list2);
        EXPECT_EQ(fs::status(first).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"first.txt", "second.txt"}));
    }
    // A destination that is the second list replaces it after reading it.
    EXPECT_EQ(merge_logcall(first.c_str(), second.c_str(), (dir.path() + "//second.txt").c_str()),
              0);
    EXPECT_EQ(read_file(second), list2 + list2 + list1);
    // A first list reached through a link: the linked file is replaced.
    write_file(second, list2);
    fs::create_symlink(first, dir.file("link.txt"));
    EXPECT_EQ(merge_logcall(dir.file("link.txt").c_str(), second.c_str(), nullptr), 0);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(read_file(first), list2 + list2 + list1);
}

TEST_F(LogcallMerge, ResultsAndErrorLines) {
    write_file(second, plain("04.12.15-13:07:40"));
    const std::string missing = dir.file("missing.txt");
    const std::string no_folder = dir.file("no/such/folder/merged.txt");
    // A folder name so long that no file fits beside the list.
    const std::string deep = dir.file(std::string(240, 'd'));
    fs::create_directory(deep);
    const std::string deep_list = deep + "/list.txt";
    write_file(deep_list, "kept\n");
    const struct {
        const char *name;
        const char *list1, *list2, *dest;
        int result;
        std::string line;
    } cases[] = {
        {"first missing", missing.c_str(), second.c_str(), destination.c_str(), -1,
         "LCMERGE: ERROR -1 <2:No such file or directory>\n"},
        {"first absent", nullptr, second.c_str(), destination.c_str(), -1, "LCMERGE: ERROR -1\n"},
        {"first a folder", dir.path().c_str(), second.c_str(), nullptr, -1,
         "LCMERGE: ERROR -1 <21:Is a directory>\n"},
        {"second missing", second.c_str(), missing.c_str(), destination.c_str(), -2,
         "LCMERGE: ERROR -2 <2:No such file or directory>\n"},
        {"both missing", missing.c_str(), missing.c_str(), nullptr, -2,
         "LCMERGE: ERROR -2 <2:No such file or directory>\n"},
        {"destination not creatable", second.c_str(), second.c_str(), no_folder.c_str(), -3,
         "LCMERGE: ERROR -3 <2:No such file or directory>\n"},
        {"no room beside the first list", deep_list.c_str(), second.c_str(), nullptr, -3,
         "LCMERGE: ERROR -3 <36:File name too long>\n"},
        {"destination full", second.c_str(), second.c_str(), "/dev/full", -4,
         "LCMERGE: ERROR -4 <28:No space left on device>\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TraceCapture capture;
        EXPECT_EQ(merge_logcall(c.list1, c.list2, c.dest), c.result);
        EXPECT_EQ(error_lines(capture), std::vector<std::string>{c.line});
    }
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_EQ(read_file(deep_list), "kept\n");
    EXPECT_EQ(names_in(dir.path()),
              (std::vector<std::string>{std::string(240, 'd'), "second.txt"}));
}

TEST_F(LogcallMerge, InputGrowingBeyondItsLength) {
    // A pipe has no length to read up to: its first line is already beyond.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "x\n", 2), 2);
    close(fds[1]);
    FILE *piped = fdopen(fds[0], "r");
    write_file(second, "");
    FILE *empty = std::fopen(second.c_str(), "r");
    FILE *out = std::fopen(destination.c_str(), "w");
    DebugOn debug;
    TraceCapture capture;
    EXPECT_EQ(merge_logcall_lines(piped, empty, out), -5);
    EXPECT_TRUE(capture.contains("FileIn1 2/-1\n"));
    EXPECT_TRUE(capture.contains("wrong position!!!\n"));
    for (FILE *f : {piped, empty, out})
        std::fclose(f);
}

// Runs merge_logcall in a child process; `setup` runs in the child first.
template <class Setup>
pid_t merge_in_child(const std::string &a, const std::string &b, Setup setup) {
    pid_t pid = fork();
    if (pid == 0) {
        setup();
        _exit(merge_logcall(a.c_str(), b.c_str(), nullptr) + 10);
    }
    return pid;
}

TEST_F(LogcallMerge, FirstListSurvivesKillsAndFullDisks) {
    std::string list1, list2;
    for (int i = 0; i < 4000; ++i) {
        char end[32];
        std::snprintf(end, sizeof end, "%02d.12.15-13:%02d:%02d", 1 + i % 28, i / 60 % 60, i % 60);
        list1 += arrow(end);
        list2 += plain(end);
    }
    const std::string expected = merged(list1, list2);
    auto check_first = [&](const char *how) {
        const std::string now = read_file(first);
        EXPECT_TRUE(now == list1 || now == expected) << how << ": the first list is lost";
        write_file(first, list1);
        for (const auto &name : names_in(dir.path()))
            if (name.rfind("MERGE", 0) == 0)
                fs::remove(dir.file(name));
    };

    // Writes that fail from a given size on: the merge fails, the list stays.
    for (rlim_t limit : {0, 1, 4095, 4096, 100000, 300000}) {
        SCOPED_TRACE(limit);
        pid_t pid = merge_in_child(first, second, [limit] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit rl{limit, limit};
            setrlimit(RLIMIT_FSIZE, &rl);
        });
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 10 - 4);
        EXPECT_EQ(read_file(first), list1);
        check_first("full disk");
    }

    // Killed at points spread over the time a whole merge takes.
    auto started = std::chrono::steady_clock::now();
    pid_t pid = merge_in_child(first, second, [] {});
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 10);
    const auto whole = std::chrono::steady_clock::now() - started;
    check_first("whole merge");
    constexpr int kPoints = 30;
    for (int point = 0; point <= kPoints; ++point) {
        SCOPED_TRACE(point);
        pid = merge_in_child(first, second, [] {});
        std::this_thread::sleep_for(whole * point / kPoints);
        kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        check_first("killed");
    }
}

} // namespace
} // namespace vorn::test
