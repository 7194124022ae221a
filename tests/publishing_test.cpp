// The tool's jobs put their outputs in place all together or not at all:
// a job of several outputs with each output failing in turn, every job
// killed at many moments with and without O_TMPFILE, a closed pipe, the
// owner and mode of a replaced file, and which paths name one file.
#include "support/config_generator.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace vorn::test;

namespace {

#ifdef VORN_FILE_SYSTEM_SHIM
constexpr const char *kShim = VORN_FILE_SYSTEM_SHIM;
#else
constexpr const char *kShim = nullptr;
#endif

// One run of the tool as a child: arguments, extra environment, a limit
// on the size of every file it writes (0: none).
struct Launch {
    std::vector<std::string> args;
    std::vector<std::string> env;
    rlim_t file_limit = 0;
};

pid_t start(const Launch &launch) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    std::vector<char *> argv{const_cast<char *>(VORN_TOOL_PATH)};
    for (const std::string &a : launch.args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : launch.env)
        ::putenv(const_cast<char *>(e.c_str()));
    if (launch.file_limit != 0) {
        const rlimit limit{launch.file_limit, launch.file_limit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    ::execv(VORN_TOOL_PATH, argv.data());
    _exit(127);
}

int finish(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::set<std::string> names_in(const std::string &folder) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A name the tool gives an output while it is staged, of process `pid`.
bool staged_by(const std::string &name, pid_t pid) {
    return name.find("vorn-" + std::to_string(pid) + "-") != std::string::npos &&
           name.back() == '~';
}

// The inputs of every job and, for each job, its outputs, each in a folder
// of its own so that one of them can fail alone.  The outputs exist with an
// old content before every run.
struct Job {
    std::string name;
    std::vector<std::string> args;    // "@X" stands for the path of output X
    std::vector<std::string> outputs; // in the order they are put in place
};

class Publishing : public testing::Test {
  protected:
    void SetUp() override {
        std::vector<CallRecord> calls(records);
        for (size_t i = 0; i < calls.size(); ++i) {
            calls[i].end.minute = static_cast<uint8_t>(i % 60);
            calls[i].end.hour = static_cast<uint8_t>(i / 60 % 24);
            if (i % 3 == 1)
                calls[i].dad = "030";
            if (i % 7 == 2)
                calls[i].end.day = 0xFF;
        }
        write_file(in.file("calls.bin"), call_log(calls));
        TraceBuilder trace;
        for (unsigned i = 0; i < records; ++i)
            trace.at(static_cast<uint8_t>(i / 60 % 60), static_cast<uint8_t>(i % 60))
                .frame(i % 2 ? 'r' : 's', 1, bytes_of({0x02, 0x01, 0x7F, 0x08, 0x01}));
        write_file(in.file("trace.bin"), trace.bytes());
        ConfigKnobs knobs;
        knobs.maps = 800;
        fs::create_directory(in.file("cfg"));
        write_file(in.file("cfg/box.cfg"), generate_config(7, knobs).text);
        for (const char *list : {"a.txt", "b.txt"}) {
            std::string text;
            char line[96];
            for (unsigned i = 0; i < records; ++i) {
                std::snprintf(line, sizeof line,
                              "01.01.15-00:00:00;0%u.01.15-%02u:%02u:%02u;0010;%s%u\n",
                              1 + i / 86400 % 9, i / 3600 % 24, i / 60 % 60, i % 60, list, i);
                text += line;
            }
            write_file(in.file(list), text);
        }
        ASSERT_EQ(mkconf(in.file("cfg/box.cfg").c_str(), in.file("box.bin").c_str(), 1), 0);
    }

    std::vector<Job> jobs() const {
        return {
            {"calls",
             {"calls", in.file("calls.bin"), "@OUT.txt", "--in", "@IN.txt", "--reject", "@REJ.txt",
              "--csv", "@CALLS.csv"},
             {"OUT.txt", "IN.txt", "REJ.txt", "CALLS.csv"}},
            {"trace",
             {"trace", in.file("trace.bin"), "@T.txt", "--pcapng", "@T.pcapng"},
             {"T.txt", "T.pcapng"}},
            // The listings go beside the configuration, the table where named.
            {"compile",
             {"compile", "--listings", "@box.cfg", "@box.bin"},
             {"box.del", "box.map", "box.bin"}},
            {"decompile", {"decompile", in.file("box.bin"), "@text.cfg"}, {"text.cfg"}},
            {"merge", {"merge", "@a.txt", in.file("b.txt")}, {"a.txt"}},
        };
    }

    // Each output X of `job` lives in folder out/X/, the listings of compile
    // beside its configuration in out/listings/.  The merged list starts as
    // the first list, every other output as "old X".
    std::string folder(const std::string &output) const {
        return out.file(output == "box.map" || output == "box.del" || output == "box.cfg"
                            ? "listings"
                            : output);
    }
    std::string path(const std::string &output) const { return folder(output) + "/" + output; }
    std::string old_content(const Job &job, const std::string &output) const {
        return job.name == "merge" ? read_file(in.file("a.txt")) : "old " + output + "\n";
    }

    // Sets the outputs of `job` (and the configuration of compile) up anew.
    void prepare(const Job &job) {
        fs::remove_all(out.path());
        fs::create_directory(out.path());
        for (const std::string &o : job.outputs) {
            fs::create_directories(folder(o));
            write_file(path(o), old_content(job, o));
        }
        if (job.name == "compile")
            write_file(path("box.cfg"), read_file(in.file("cfg/box.cfg")));
    }
    // The arguments of `job`, output `moved` at `to` when given.
    std::vector<std::string> args(const Job &job, const std::string &moved = "",
                                  const std::string &to = "") const {
        std::vector<std::string> a;
        for (const std::string &arg : job.args)
            a.push_back(arg[0] != '@' ? arg : arg.substr(1) == moved ? to : path(arg.substr(1)));
        return a;
    }
    // The outputs of a clean run.
    std::map<std::string, std::string> reference(const Job &job) {
        prepare(job);
        EXPECT_EQ(finish(start({args(job), {"TMPDIR=" + tmp.path()}})), 0) << job.name;
        std::map<std::string, std::string> made;
        for (const std::string &o : job.outputs)
            made[o] = read_file(path(o));
        return made;
    }
    // What the folders hold beyond the outputs (and the configuration).
    std::set<std::string> extra_names(const Job &job) const {
        std::set<std::string> extra;
        for (const auto &entry : fs::recursive_directory_iterator(out.path())) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_directory() && name != "box.cfg" &&
                std::find(job.outputs.begin(), job.outputs.end(), name) == job.outputs.end())
                extra.insert(name);
        }
        for (const std::string &name : names_in(tmp.path()))
            extra.insert("$TMPDIR/" + name);
        return extra;
    }

    static constexpr unsigned records = 40000;
    PinnedClock clock; // every run writes the same stamps
    TempDir in, out, tmp;
};

// Every output of every job of several outputs fails in turn: its folder
// is missing, a file-size limit stops it, or its folder is read-only.  The
// job fails naming the file and the system's reason, and every old output
// stays byte for byte, with nothing left beside it.
TEST_F(Publishing, AFailingOutputLeavesEveryOldOutput) {
    const std::string env_tmp = "TMPDIR=" + tmp.path();
    for (const Job &job : jobs()) {
        if (job.outputs.size() < 2)
            continue;
        const std::map<std::string, std::string> made = reference(job);
        for (const std::string &failing : job.outputs) {
            struct Fault {
                const char *name, *reason;
            };
            for (const Fault fault : {Fault{"missing folder", "No such file or directory"},
                                      Fault{"file size", "File too large"},
                                      Fault{"read-only folder", "Read-only file system"}}) {
                const std::string what = job.name + ": " + failing + ", " + fault.name;
                const bool listing = failing != "box.bin" && job.name == "compile";
                if ((fault.name[0] == 'r' && kShim == nullptr) || (fault.name[0] == 'm' && listing))
                    continue; // no shim; listings go where the configuration is
                prepare(job);
                std::vector<std::string> a = args(job);
                std::string env = env_tmp, limit;
                if (fault.name[0] == 'm')
                    a = args(job, failing, folder(failing) + "/no/" + failing);
                else if (fault.name[0] == 'f')
                    limit.append("prlimit --fsize=")
                        .append(std::to_string(made.at(failing).size() - 1))
                        .append(" ");
                else
                    env += std::string(" LD_PRELOAD=") + kShim +
                           " VORN_SHIM_READ_ONLY=" + folder(failing);
                std::string command = "env " + env + " " + limit + shell_quote(VORN_TOOL_PATH);
                for (const std::string &arg : a)
                    command.append(1, ' ').append(shell_quote(arg));
                const ToolRun run = run_shell(command);
                EXPECT_EQ(run.exit_code, 1) << what << "\n" << run.err;
                // A listing that cannot be made has no reason of its own.
                if (!listing || fault.name[0] == 'f') {
                    EXPECT_NE(run.err.find(fault.reason), std::string::npos) << what << "\n"
                                                                             << run.err;
                }
                // A size limit fails the larger outputs too, and the copy in
                // the temporary folder.
                bool named = run.err.find(failing) != std::string::npos ||
                             run.err.find("temporary folder") != std::string::npos;
                for (const std::string &o : job.outputs)
                    named |= fault.name[0] == 'f' && run.err.find(o) != std::string::npos;
                EXPECT_TRUE(named) << what << "\n" << run.err;
                for (const std::string &o : job.outputs)
                    EXPECT_EQ(read_file(path(o)), old_content(job, o)) << what << ": " << o;
                EXPECT_EQ(extra_names(job), std::set<std::string>{}) << what;
            }
        }
    }
}

// Every job killed at twenty moments of its run, with O_TMPFILE and on a
// file system without it: each output is its old or its new content, the
// new ones are those renamed first (the window of several renames), and a
// killed run leaves at most its own staging names, which the next run into
// the folder removes.  A SIGTERM leaves nothing at all.
TEST_F(Publishing, KilledJobsLeaveOldOrNewOutputsAndNothingBehind) {
    for (const bool tmpfile : {true, false}) {
        if (!tmpfile && kShim == nullptr)
            continue;
        std::vector<std::string> env{"TMPDIR=" + tmp.path()};
        if (!tmpfile)
            env.insert(env.end(), {std::string("LD_PRELOAD=") + kShim, "VORN_SHIM_NO_TMPFILE=1"});
        for (const Job &job : jobs()) {
            const std::map<std::string, std::string> made = reference(job);
            prepare(job);
            const auto begin = std::chrono::steady_clock::now();
            ASSERT_EQ(finish(start({args(job), env})), 0) << job.name;
            const auto took = std::chrono::steady_clock::now() - begin;
            std::vector<pid_t> killed;
            for (int point = 0; point < 20; ++point) {
                const std::string what = job.name + (tmpfile ? "" : " without O_TMPFILE") +
                                         ", kill " + std::to_string(point);
                prepare(job);
                const pid_t pid = start({args(job), env});
                std::this_thread::sleep_for(took * point / 18);
                const int signal_number = point % 4 == 3 ? SIGTERM : SIGKILL;
                ::kill(pid, signal_number);
                finish(pid);
                bool newer = true; // every output so far is new
                for (const std::string &o : job.outputs) {
                    const std::string now = read_file(path(o));
                    const bool is_new = now == made.at(o);
                    EXPECT_TRUE(is_new || now == old_content(job, o)) << what << ": " << o;
                    EXPECT_TRUE(newer || !is_new) << what << ": " << o << " new after an old one";
                    newer = newer && is_new;
                }
                // What a SIGKILL left stays until a run gets to sweeping its
                // folder; a SIGTERM leaves nothing of its own.
                if (signal_number == SIGKILL)
                    killed.push_back(pid);
                for (const std::string &name : extra_names(job))
                    EXPECT_TRUE(
                        std::ranges::any_of(killed, [&](pid_t k) { return staged_by(name, k); }))
                        << what << ": " << name << " left";
            }
            // A run into the folders removes what the killed ones left.
            ASSERT_EQ(finish(start({args(job), env})), 0) << job.name;
            EXPECT_EQ(extra_names(job), std::set<std::string>{}) << job.name;
        }
    }
}

// A closed pipe on standard output ends the job with its own message and
// exit status, not by SIGPIPE, and leaves no file behind.
TEST_F(Publishing, AClosedPipeEndsTheJobWithAMessage) {
    const std::string err = tmp.file("../pipe.err"), code = tmp.file("../pipe.code");
    const ToolRun run =
        run_shell("(TMPDIR=" + shell_quote(tmp.path()) + " " + shell_quote(VORN_TOOL_PATH) +
                  " calls " + shell_quote(in.file("calls.bin")) + " - 2>" + shell_quote(err) +
                  "; echo $? >" + shell_quote(code) + ") | head -c 10");
    EXPECT_EQ(run.out.size(), 10u);
    EXPECT_EQ(read_file(code), "1\n");
    EXPECT_NE(read_file(err).find("cannot write standard output: "), std::string::npos)
        << read_file(err);
    EXPECT_NE(read_file(err).find("Broken pipe"), std::string::npos) << read_file(err);
    EXPECT_TRUE(fs::is_empty(tmp.path()));
    fs::remove(err), fs::remove(code);
}

// A replaced table keeps its owner, group and mode; a new one is made with
// mode 0600 whatever the umask allows; through a link, dangling or not,
// the linked file is written and the link stays.
TEST_F(Publishing, OutputsKeepOwnerModeAndLinks) {
    const std::string cfg = in.file("cfg/box.cfg");
    const auto mode_of = [](const std::string &p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st;
    };
    ASSERT_EQ(
        run_tool("compile " + shell_quote(cfg) + " " + shell_quote(out.file("new.bin"))).exit_code,
        0);
    EXPECT_EQ(mode_of(out.file("new.bin")).st_mode & 07777, 0600u);

    fs::create_symlink("target.bin", out.file("link.bin"));
    ASSERT_EQ(
        run_tool("compile " + shell_quote(cfg) + " " + shell_quote(out.file("link.bin"))).exit_code,
        0);
    EXPECT_TRUE(fs::is_symlink(out.file("link.bin")));
    EXPECT_EQ(read_file(out.file("target.bin")), read_file(in.file("box.bin")));

    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file another owner needs root";
    write_file(out.file("kept.bin"), "old table");
    ASSERT_EQ(::chown(out.file("kept.bin").c_str(), 0, 1), 0);
    ASSERT_EQ(::chmod(out.file("kept.bin").c_str(), 0640), 0);
    ASSERT_EQ(
        run_tool("compile " + shell_quote(cfg) + " " + shell_quote(out.file("kept.bin"))).exit_code,
        0);
    const struct stat kept = mode_of(out.file("kept.bin"));
    EXPECT_EQ(kept.st_mode & 07777, 0640u);
    EXPECT_EQ(kept.st_uid, 0u);
    EXPECT_EQ(kept.st_gid, 1u);
}

// Two paths name one file when they lead to one inode: a name in other
// letters is another file here, a hard link the same one.
TEST_F(Publishing, OneFileIsOneInode) {
    const std::string a = out.file("l1.txt"), b = in.file("b.txt");
    const std::string list = read_file(in.file("a.txt"));
    write_file(a, list);
    ASSERT_EQ(run_tool("merge " + shell_quote(a) + " " + shell_quote(b) + " " +
                       shell_quote(out.file("L1.TXT")))
                  .exit_code,
              0);
    EXPECT_EQ(read_file(a), list);
    const std::string merged = read_file(out.file("L1.TXT"));
    EXPECT_GT(merged.size(), list.size());
    fs::remove(out.file("L1.TXT"));

    EXPECT_EQ(merge_logcall(a.c_str(), b.c_str(), out.file("L1.TXT").c_str()), 0);
    EXPECT_EQ(read_file(a), list);
    EXPECT_EQ(read_file(out.file("L1.TXT")), merged);

    fs::create_hard_link(a, out.file("hard.txt"));
    EXPECT_EQ(merge_logcall(a.c_str(), b.c_str(), out.file("hard.txt").c_str()), 0);
    EXPECT_EQ(read_file(a), merged); // replaced in place, as the first list
    EXPECT_EQ(read_file(out.file("hard.txt")), list);
    fs::remove(out.file("hard.txt"));
    fs::create_hard_link(a, out.file("hard.txt"));
    const ToolRun twice = run_tool("calls " + shell_quote(in.file("calls.bin")) + " " +
                                   shell_quote(a) + " --in " + shell_quote(out.file("hard.txt")));
    EXPECT_EQ(twice.exit_code, 1) << "an output named twice is one file";
    EXPECT_EQ(read_file(a), merged);
}

} // namespace

// A clock pin that is no number of seconds is told, not silently dropped.
TEST(PinnedClockValue, AMalformedValueIsTold) {
    for (const char *value : {"12x", "99999999999999999999", "-"}) {
        const ToolRun run = run_tool("--version", std::string("SOURCE_DATE_EPOCH=") + value);
        EXPECT_NE(run.err.find("SOURCE_DATE_EPOCH"), std::string::npos) << value;
    }
    EXPECT_EQ(run_tool("--version", "SOURCE_DATE_EPOCH=1449187200").err, "");
}
