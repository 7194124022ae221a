// Every way a job can fail on its way out to memory and files: each tracked
// allocation of each job made to fail in turn, and inputs and outputs that
// are missing, full, folders, FIFOs or endless devices.  Whatever fails, the
// job must give its result and message, release every block, leave no table
// registered and no temporary file behind, and never hang.
#include "frame/alloc_faults.h"
#include "frame/frame.h"
#include "support/alarm_builder.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

// A job's result and the message it hands back: the host's buffer for the
// log converters, the last error line for mkconf (which has no buffer).
using Outcome = std::pair<int, std::string>;
// The path of a file in the work folder.
using Paths = std::function<std::string(const std::string &)>;

const std::string kNoMemory = "Not Enough Memory For This Operation!\n";

std::string cannot(const char *what, const std::string &name) {
    return std::string("Cannot ") + what + " \"" + name + "\"!\n";
}

std::set<std::string> names_in(const std::string &folder) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

const char *or_null(const std::string &name) {
    return name.empty() ? nullptr : name.c_str();
}

// ---- the jobs as a host calls them ---------------------------------------------

struct Message {
    char text[300] = {};
};

Outcome run_mkalarm(const std::string &text, const std::string &log) {
    Message m;
    const int r = mkalarm(or_null(text), or_null(log), 0, "Box", "Head", m.text);
    return {r, m.text};
}

Outcome run_mklogcall(const std::string &log, const std::string &out, const std::string &in = "",
                      const std::string &reject = "") {
    Message m;
    const int r = mklogcall(or_null(log), or_null(out), or_null(in), or_null(reject), m.text);
    return {r, m.text};
}

Outcome run_merge(const std::string &first, const std::string &second,
                  const std::string &destination) {
    return {merge_logcall(or_null(first), or_null(second), or_null(destination)), ""};
}

// The label stays in the buffer unless a message replaces it.
Outcome run_mktrace(const std::string &log, const std::string &text) {
    Message m;
    std::strcpy(m.text, "LBL");
    testing::internal::CaptureStdout(); // the progress display
    const int r = mktrace(or_null(log), or_null(text), m.text);
    testing::internal::GetCapturedStdout();
    return {r, m.text};
}

Outcome run_mkconf(const std::string &cfg, const std::string &bin, int mode) {
    TraceCapture capture;
    testing::internal::CaptureStdout(); // the compiler's progress lines
    const int result = mkconf(or_null(cfg), or_null(bin), mode);
    testing::internal::GetCapturedStdout();
    const std::vector<std::string> errors = error_lines(capture);
    return {result, errors.empty() ? "" : errors.back()};
}

// While it lives, no file of the process grows beyond `bytes`: a write past
// that fails with EFBIG, as on a disk that fills up.  Temporary copies meet
// it too, where /dev/full cannot stand in.
class DiskFullAfter {
  public:
    explicit DiskFullAfter(rlim_t bytes) {
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        const rlimit limit{bytes, m_previous.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~DiskFullAfter() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_signal);
    }
    DiskFullAfter(const DiskFullAfter &) = delete;
    DiskFullAfter &operator=(const DiskFullAfter &) = delete;

  private:
    rlimit m_previous{};
    void (*m_signal)(int) = nullptr;
};

// ---- their inputs ----------------------------------------------------------------

std::string events_log() {
    AlarmLog log;
    log.queue = {100, 2, 0, 0, 1};
    log.events[0] = AlarmEvent{4, 12, 15, 13, 5, 9, 2, 3, 12, "Line down", 0x100};
    log.events[1] = AlarmEvent{4, 12, 15, 13, 6, 0, 1, 0, 7, "Line up", 0};
    log.device = "Vorn-Box";
    return log.build();
}

std::string call_records() {
    CallRecord incoming, unfinished, not_closed;
    incoming.dad = "030", incoming.end.minute = 2;
    unfinished.end.day = 0xFF;
    not_closed.plc = 0x8003;
    return call_log({CallRecord(), incoming, unfinished, not_closed});
}

std::string protocol_trace() {
    return TraceBuilder()
        .at(5, 9, 37)
        .time(13, 4, 12, 15)
        .state(1, 13)
        .frame('r', 1, bytes_of({0x02, 0x01, 0x7F}))
        .bytes();
}

std::string example_config() {
    return read_file(VORN_SOURCE_DIR "/examples/vorn-box.cfg");
}

// The example compiled into a binary table.
std::string example_table() {
    TempDir dir;
    write_file(dir.file("box.cfg"), example_config());
    EXPECT_EQ(run_mkconf(dir.file("box.cfg"), dir.file("box.bin"), 1), Outcome(0, ""));
    return read_file(dir.file("box.bin"));
}

// An outcome whose message names files by their names in the work folder.
Outcome in_work(const Paths &p, Outcome outcome) {
    const std::string folder = p("");
    for (size_t at; (at = outcome.second.find(folder)) != std::string::npos;)
        outcome.second.erase(at, folder.size());
    return outcome;
}

// Charges of the minute model, whose scanner takes a block of its own.
std::string minute_model_config() {
    return ascii_config("TABLE=TF01.5\nCurrency=AOCC 1 1 \"EUR\" M\n"
                        "MapOut1=2 M1=0.12 T1=60 I=30 S1=0.5 S2=1 ST2\nMapOut2=3 U1 ST1 M2=5\n");
}

const std::string kListA = "  04.12.15-13:05:09;04.12.15-13:07:41;012;812;0010\n";
const std::string kListB = "  04.12.15-13:05:09;04.12.15-13:06:41;471;813;0010\n";

// ---- the fixture -------------------------------------------------------------------

// The folders a job may touch: its work folder, the thread's temporary
// folder and the current folder, each fresh and empty at the start.
class Faults : public testing::Test {
  protected:
    void SetUp() override {
        m_previous_cwd = fs::current_path();
        fs::current_path(cwd.path());
    }
    void TearDown() override {
        fs::current_path(m_previous_cwd);
        set_optimize_files(0);
    }

    Paths paths() const {
        return [this](const std::string &name) { return work.file(name); };
    }

    // What the job left: every block back but those that failed
    // allocations count, no table registered, nothing in the temporary and
    // current folders, and nothing in the work folder beyond `allowed`.
    void expect_nothing_left(uint32_t live_before, unsigned failed_allocs,
                             const std::set<std::string> &allowed) {
        // The allocator counts a failed allocation as a live block, and
        // myFree of the empty pointer does not take it back.
        EXPECT_EQ(live_blocks(), live_before + failed_allocs);
        table_t *table = nullptr;
        EXPECT_EQ(get_instance_table(&table), 0);
        EXPECT_EQ(table, nullptr) << "a table stayed registered";
        EXPECT_EQ(names_in(tmp.path()), std::set<std::string>{}) << "temporary folder";
        EXPECT_EQ(names_in(cwd.path()), std::set<std::string>{}) << "current folder";
        for (const std::string &name : names_in(work.path()))
            EXPECT_TRUE(allowed.count(name)) << "left in the work folder: " << name;
    }

    TempDir work, tmp, cwd;
    TmpPathIn tmp_path{tmp.path()};

  private:
    fs::path m_previous_cwd;
};

struct Job {
    const char *name;
    std::vector<std::pair<std::string, std::string>> inputs; // name, content
    std::set<std::string> outputs;                           // names it may leave
    std::function<Outcome(const Paths &)> run;
    Outcome clean;
    // What the job gives when the allocation with this tag fails.
    std::map<std::string, Outcome> on_failed_alloc;
};

std::vector<Job> jobs() {
    const Outcome no_memory{-2, kNoMemory};
    const Outcome no_conf_memory{VORN_CONF_NO_MEMORY, kNoMemory};
    const Outcome done{0, ""};
    // The version text of a report or of the compiler's stamp is left out
    // when its block cannot be had, and a charge word whose scratch cannot
    // be had stays unset on its map: those jobs go on.
    return {
        {"mkalarm into a report",
         {{"events.bin", events_log()}},
         {"events.txt"},
         [](const Paths &p) { return run_mkalarm(p("events.txt"), p("events.bin")); },
         done,
         {{"alarm_buffer", no_memory}, {"FVData", done}}},
        {"mkalarm checking only",
         {{"events.bin", events_log()}},
         {},
         [](const Paths &p) { return run_mkalarm("", p("events.bin")); },
         done,
         {{"alarm_buffer", no_memory}}},
        {"mklogcall, one combined list",
         {{"calls.bin", call_records()}},
         {"out.txt"},
         [](const Paths &p) { return run_mklogcall(p("calls.bin"), p("out.txt")); },
         done,
         {{"buf", no_memory}}},
        {"mklogcall, out and in",
         {{"calls.bin", call_records()}},
         {"out.txt", "in.txt"},
         [](const Paths &p) { return run_mklogcall(p("calls.bin"), p("out.txt"), p("in.txt")); },
         done,
         {{"buf", no_memory}}},
        {"mklogcall, three lists",
         {{"calls.bin", call_records()}},
         {"out.txt", "in.txt", "rej.txt"},
         [](const Paths &p) {
             return run_mklogcall(p("calls.bin"), p("out.txt"), p("in.txt"), p("rej.txt"));
         },
         done,
         {{"buf", no_memory}}},
        // The merge takes no tracked blocks; its failures are the files'.
        {"merge_logcall into a destination",
         {{"a.txt", kListA}, {"b.txt", kListB}},
         {"merged.txt"},
         [](const Paths &p) { return run_merge(p("a.txt"), p("b.txt"), p("merged.txt")); },
         done,
         {}},
        {"merge_logcall replacing the first list",
         {{"a.txt", kListA}, {"b.txt", kListB}},
         {},
         [](const Paths &p) { return run_merge(p("a.txt"), p("b.txt"), ""); },
         done,
         {}},
        {"mktrace",
         {{"trace.bin", protocol_trace()}},
         {"trace.txt"},
         [](const Paths &p) { return run_mktrace(p("trace.bin"), p("trace.txt")); },
         {0, "LBL"},
         {{"buf", no_memory}, {"tracebuf", no_memory}}},
        {"mkconf, ASCII to binary, minute-model charges",
         {{"box.cfg", minute_model_config()}},
         {"box.bin"},
         [](const Paths &p) { return run_mkconf(p("box.cfg"), p("box.bin"), 1); },
         done,
         {{"err_str", no_conf_memory},
          {"pt", no_conf_memory},
          {"mpde", no_conf_memory},
          {"scan_charge", done},
          {"FVData", done}}},
        {"mkconf, ASCII to binary with listings",
         {{"box.cfg", example_config()}},
         {"box.bin", "box.map", "box.del"},
         [](const Paths &p) {
             set_optimize_files(1);
             const Outcome outcome = run_mkconf(p("box.cfg"), p("box.bin"), 1);
             set_optimize_files(0);
             return outcome;
         },
         done,
         {{"err_str", no_conf_memory},
          {"pt", no_conf_memory},
          {"mpde", no_conf_memory},
          {"scan_charge", done},
          {"FVData", done}}},
        // Without the table's block the binary file counts as unreadable.
        {"mkconf, binary to ASCII",
         {{"box.bin", example_table()}},
         {"box.cfg"},
         [](const Paths &p) { return in_work(p, run_mkconf(p("box.cfg"), p("box.bin"), 0)); },
         done,
         {{"err_str", no_conf_memory},
          {"pTable", {VORN_CONF_CANNOT_READ, cannot("Read", "box.bin")}},
          {"FVData", done}}},
    };
}

TEST_F(Faults, EveryTrackedAllocationOfEveryJobMayFail) {
    for (const Job &job : jobs()) {
        SCOPED_TRACE(job.name);
        std::set<std::string> allowed = job.outputs;
        for (const auto &input : job.inputs)
            allowed.insert(input.first);
        const auto prepare = [&] {
            for (const std::string &name : names_in(work.path()))
                fs::remove(work.file(name));
            for (const auto &[name, content] : job.inputs)
                write_file(work.file(name), content);
        };

        prepare();
        uint32_t before = live_blocks();
        fail_nth_alloc_for_tests(0);
        EXPECT_EQ(job.run(paths()), job.clean);
        const unsigned count = allocs_for_tests();
        expect_nothing_left(before, 0, allowed);

        for (unsigned n = 1; n <= count; ++n) {
            prepare();
            before = live_blocks();
            fail_nth_alloc_for_tests(n);
            const Outcome got = job.run(paths());
            const char *tag = failed_alloc_tag_for_tests();
            fail_nth_alloc_for_tests(0);
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) +
                         ", tag " + (tag ? tag : "(not reached)"));
            ASSERT_NE(tag, nullptr) << "the job allocates less than when it ran clean";
            const auto expected = job.on_failed_alloc.find(tag);
            ASSERT_NE(expected, job.on_failed_alloc.end()) << "an allocation nobody expects";
            EXPECT_EQ(got, expected->second);
            expect_nothing_left(before, 1, allowed);
            if (job.outputs.count("box.bin") && got.first != 0) {
                EXPECT_FALSE(fs::exists(work.file("box.bin"))) << "a failed compile writes";
            }
        }
    }
}

// Files that are not what a job expects: missing, behind a file, folders,
// FIFOs that nobody writes or reads, endless or full devices, a temporary
// folder that does not exist, absent names.
TEST_F(Faults, FilesThatAreNotWhatTheJobExpects) {
    const Paths p = paths();
    write_file(p("events.bin"), events_log());
    write_file(p("calls.bin"), call_records());
    write_file(p("trace.bin"), protocol_trace());
    write_file(p("long_trace.bin"), TraceBuilder().boot().fill_to(4096).bytes());
    write_file(p("a.txt"), kListA);
    write_file(p("b.txt"), kListB);
    write_file(p("box.cfg"), example_config());
    ASSERT_EQ(run_mkconf(p("box.cfg"), p("box.bin"), 1).first, 0);
    fs::create_directory(p("folder"));
    ASSERT_EQ(::mkfifo(p("fifo").c_str(), 0600), 0);
    const std::string fifo = p("fifo"), folder = p("folder");
    const std::string behind_file = p("a.txt") + "/x"; // ENOTDIR
    const std::string missing_tmp = p("no/such/folder");

    struct Row {
        const char *what;
        std::function<Outcome()> run;
        Outcome expected;
    };
    const Row rows[] = {
        {"mkalarm, log a FIFO",
         [&] { return run_mkalarm(p("r.txt"), fifo); },
         {-1, cannot("Read", fifo)}},
        {"mkalarm, log /dev/zero",
         [&] { return run_mkalarm(p("r.txt"), "/dev/zero"); },
         {-1, cannot("Read", "/dev/zero")}},
        {"mkalarm, log behind a file",
         [&] { return run_mkalarm(p("r.txt"), behind_file); },
         {-1, cannot("Read", behind_file)}},
        {"mkalarm, report a FIFO",
         [&] { return run_mkalarm(fifo, p("events.bin")); },
         {-4, cannot("Write", fifo)}},
        {"mkalarm, report a folder",
         [&] { return run_mkalarm(folder, p("events.bin")); },
         {-4, cannot("Write", folder)}},
        {"mkalarm, report on a full disk",
         [&] { return run_mkalarm("/dev/full", p("events.bin")); },
         {-4, cannot("Write", "/dev/full")}},
        {"mkalarm, disk full under the report",
         [&] {
             DiskFullAfter full(100);
             return run_mkalarm(p("r.txt"), p("events.bin"));
         },
         {-4, cannot("Write", p("r.txt"))}},
        {"mkalarm, all absent",
         [] {
             return Outcome{mkalarm(0, 0, 0, 0, 0, 0), ""};
         },
         {-1, ""}},

        {"mklogcall, log a FIFO",
         [&] { return run_mklogcall(fifo, p("out.txt")); },
         {-1, cannot("Read", fifo)}},
        {"mklogcall, log /dev/zero",
         [&] { return run_mklogcall("/dev/zero", p("out.txt")); },
         {-1, cannot("Read", "/dev/zero")}},
        {"mklogcall, no temporary folder",
         [&] {
             TmpPathIn none(missing_tmp);
             return run_mklogcall(p("calls.bin"), p("out.txt"));
         },
         {-1, cannot("Read", p("calls.bin"))}},
        {"mklogcall, out a FIFO",
         [&] { return run_mklogcall(p("calls.bin"), fifo); },
         {-4, cannot("Write", "LOGout")}},
        {"mklogcall, reject a folder",
         [&] { return run_mklogcall(p("calls.bin"), p("out.txt"), p("in.txt"), folder); },
         {-6, cannot("Write", "LOGreject")}},
        {"mklogcall, disk full under the temporary copy",
         [&] {
             DiskFullAfter full(100);
             return run_mklogcall(p("calls.bin"), p("out.txt"));
         },
         {-3, cannot("Read", p("calls.bin"))}},
        {"mklogcall, all absent",
         [] {
             return Outcome{mklogcall(0, 0, 0, 0, 0), ""};
         },
         {-1, ""}},

        {"merge, first a FIFO", [&] { return run_merge(fifo, p("b.txt"), p("m.txt")); }, {-1, ""}},
        {"merge, second /dev/zero",
         [&] { return run_merge(p("a.txt"), "/dev/zero", p("m.txt")); },
         {-2, ""}},
        {"merge, second behind a file",
         [&] { return run_merge(p("a.txt"), behind_file, p("m.txt")); },
         {-2, ""}},
        {"merge, destination a FIFO",
         [&] { return run_merge(p("a.txt"), p("b.txt"), fifo); },
         {-3, ""}},
        {"merge, destination a folder",
         [&] { return run_merge(p("a.txt"), p("b.txt"), folder); },
         {-3, ""}},
        {"merge, destination on a full disk",
         [&] { return run_merge(p("a.txt"), p("b.txt"), "/dev/full"); },
         {-4, ""}},
        // The partial merged list stays beside the first list, which is
        // left as it was.
        {"merge, disk full under the list that replaces the first",
         [&] {
             Outcome outcome;
             {
                 DiskFullAfter full(60);
                 outcome = run_merge(p("a.txt"), p("b.txt"), "");
             }
             EXPECT_EQ(read_file(p("a.txt")), kListA);
             size_t partial = 0;
             for (const std::string &name : names_in(work.path()))
                 if (name.starts_with("MERGE"))
                     partial += fs::remove(p(name));
             EXPECT_EQ(partial, 1u);
             return outcome;
         },
         {-4, ""}},
        {"merge, all absent",
         [] {
             return Outcome{merge_logcall(0, 0, 0), ""};
         },
         {-2, ""}},

        {"mktrace, trace a FIFO",
         [&] { return run_mktrace(fifo, p("t.txt")); },
         {-1, cannot("Read", fifo)}},
        {"mktrace, trace /dev/zero",
         [&] { return run_mktrace("/dev/zero", p("t.txt")); },
         {-1, cannot("Read", "/dev/zero")}},
        {"mktrace, no temporary folder",
         [&] {
             TmpPathIn none(missing_tmp);
             return run_mktrace(p("trace.bin"), p("t.txt"));
         },
         {-1, cannot("Read", p("trace.bin"))}},
        {"mktrace, text a FIFO",
         [&] { return run_mktrace(p("trace.bin"), fifo); },
         {-4, cannot("Write", "DTRACE")}},
        {"mktrace, disk full under the temporary copy",
         [&] {
             DiskFullAfter full(100);
             return run_mktrace(p("long_trace.bin"), p("t.txt"));
         },
         {-3, cannot("Read", p("long_trace.bin"))}},
        {"mktrace, all absent",
         [] {
             return Outcome{mktrace(0, 0, 0), ""};
         },
         {-1, ""}},

        {"mkconf, configuration a FIFO",
         [&] { return run_mkconf(fifo, p("o.bin"), 1); },
         {VORN_CONF_CANNOT_READ, cannot("Read", fifo)}},
        {"mkconf, configuration /dev/zero",
         [&] { return run_mkconf("/dev/zero", p("o.bin"), 1); },
         {VORN_CONF_CANNOT_READ, cannot("Read", "/dev/zero")}},
        {"mkconf, configuration a folder",
         [&] { return run_mkconf(folder, p("o.bin"), 1); },
         {VORN_CONF_CANNOT_READ, cannot("Read", folder)}},
        {"mkconf, table on a full disk",
         [&] { return run_mkconf(p("box.cfg"), "/dev/full", 1); },
         {VORN_CONF_CANNOT_WRITE, cannot("Write", "/dev/full")}},
        {"mkconf, table a FIFO",
         [&] { return run_mkconf(p("box.cfg"), fifo, 1); },
         {VORN_CONF_CANNOT_WRITE, cannot("Write", fifo)}},
        {"mkconf, table behind a file",
         [&] { return run_mkconf(p("box.cfg"), behind_file, 1); },
         {VORN_CONF_CANNOT_WRITE, cannot("Write", behind_file)}},
        {"mkconf, binary table a FIFO",
         [&] { return run_mkconf(p("o.cfg"), fifo, 0); },
         {VORN_CONF_CANNOT_READ, ""}},
        {"mkconf, binary table /dev/zero",
         [&] { return run_mkconf(p("o.cfg"), "/dev/zero", 0); },
         {VORN_CONF_CANNOT_READ, ""}},
        {"mkconf, binary table a folder",
         [&] { return run_mkconf(p("o.cfg"), folder, 0); },
         {VORN_CONF_CANNOT_READ, cannot("Read", folder)}},
        {"mkconf, disk full under the table",
         [&] {
             DiskFullAfter full(1000);
             return run_mkconf(p("box.cfg"), p("o.bin"), 1);
         },
         {VORN_CONF_CANNOT_WRITE, cannot("Write", p("o.bin"))}},
        {"mkconf, configuration on a full disk",
         [&] { return run_mkconf("/dev/full", p("box.bin"), 0); },
         {VORN_CONF_CANNOT_WRITE, cannot("Write", "/dev/full")}},
        {"mkconf, configuration to a FIFO",
         [&] { return run_mkconf(fifo, p("box.bin"), 0); },
         {VORN_CONF_CANNOT_WRITE, cannot("Write", fifo)}},
        {"mkconf, configuration to a folder",
         [&] { return run_mkconf(folder, p("box.bin"), 0); },
         {VORN_CONF_CANNOT_WRITE, cannot("Write", folder)}},
        {"mkconf, all absent", [] { return run_mkconf("", "", 1); }, {VORN_CONF_WARNING, ""}},
        // A listing that cannot be created is left out; the compile goes on.
        {"mkconf, .map listing a FIFO",
         [&] {
             fs::copy_file(p("box.cfg"), p("l.cfg"));
             EXPECT_EQ(::mkfifo(p("l.map").c_str(), 0600), 0);
             set_optimize_files(1);
             const Outcome outcome = run_mkconf(p("l.cfg"), p("o.bin"), 1);
             set_optimize_files(0);
             for (const char *name : {"l.cfg", "l.map", "l.del"})
                 fs::remove(p(name));
             return outcome;
         },
         {0, ""}},
    };
    const std::set<std::string> allowed = {"events.bin", "calls.bin", "trace.bin",     "a.txt",
                                           "b.txt",      "box.cfg",   "box.bin",       "folder",
                                           "fifo",       "r.txt",     "out.txt",       "in.txt",
                                           "t.txt",      "o.bin",     "long_trace.bin"};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const uint32_t before = live_blocks();
        EXPECT_EQ(row.run(), row.expected);
        expect_nothing_left(before, 0, allowed);
    }

    // Overwriting is for regular files: a FIFO would block the writes, and
    // neither it nor a folder is removed.
    EXPECT_EQ(remove_hexfile(fifo.c_str()), -1);
    EXPECT_EQ(remove_hexfile(folder.c_str()), -1);
    EXPECT_TRUE(fs::exists(fifo) && fs::exists(folder));
}

// Permissions stop every user but root; root is stopped by the folders and
// paths behind files of the test above.
TEST_F(Faults, InputsWithoutReadPermission) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, whom permissions do not stop";
    const Paths p = paths();
    const std::string locked = p("locked");
    write_file(locked, example_config());
    fs::permissions(locked, fs::perms::none);
    EXPECT_EQ(run_mkalarm(p("r.txt"), locked), Outcome(-1, cannot("Read", locked)));
    EXPECT_EQ(run_mklogcall(locked, p("out.txt")), Outcome(-1, cannot("Read", locked)));
    EXPECT_EQ(run_mktrace(locked, p("t.txt")), Outcome(-1, cannot("Read", locked)));
    EXPECT_EQ(run_merge(locked, locked, p("m.txt")), Outcome(-2, ""));
    EXPECT_EQ(run_mkconf(locked, p("o.bin"), 1),
              Outcome(VORN_CONF_CANNOT_READ, cannot("Read", locked)));
    expect_nothing_left(live_blocks(), 0, {"locked", "r.txt", "out.txt", "t.txt"});
}

// The small services that take a block go on without it, as a host expects.
TEST_F(Faults, ServicesWithoutTheirBlock) {
    const uint8_t first[90] = {1, 2, 3}, second[90] = {9};
    set_DevInfo(first);
    const uint32_t before = live_blocks();
    fail_nth_alloc_for_tests(1);
    set_DevInfo(second);
    EXPECT_STREQ(failed_alloc_tag_for_tests(), "pGlobalDevInfo");
    const uint8_t *kept = nullptr;
    ASSERT_EQ(get_dev_info(&kept), 0);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(std::memcmp(kept, first, sizeof first), 0) << "the previous copy stays";

    const std::string table = work.file("table.bin");
    write_file(table, "secret");
    fail_nth_alloc_for_tests(1);
    EXPECT_EQ(remove_hexfile(table.c_str()), 0);
    EXPECT_STREQ(failed_alloc_tag_for_tests(), "p");
    EXPECT_FALSE(fs::exists(table)) << "removed without being overwritten";

    char version[40];
    fail_nth_alloc_for_tests(1);
    EXPECT_EQ(get_vorn_b32_dll_version(version, sizeof version), 13);
    EXPECT_STREQ(failed_alloc_tag_for_tests(), "FVData");
    EXPECT_STREQ(version, "Vorn_B32.DLL ");
    fail_nth_alloc_for_tests(0);
    expect_nothing_left(before, 3, {});
}

// The switch itself: one allocation of the calling thread fails, counted and
// traced as a real failure, and other threads are served meanwhile.
TEST(AllocFaults, FailsTheNthAllocationOfTheCallingThreadOnly) {
    DebugOn debug;
    TraceCapture capture;
    const uint32_t before = live_blocks();
    fail_nth_alloc_for_tests(2);
    void *first = myAlloc(8, "one");
    void *other_thread = nullptr;
    std::thread([&] { other_thread = myAlloc(8, "other"); }).join();
    void *second = myAlloc(8, "two");
    void *third = myAlloc(8, "three");
    EXPECT_EQ(allocs_for_tests(), 3u);
    ASSERT_NE(failed_alloc_tag_for_tests(), nullptr);
    EXPECT_STREQ(failed_alloc_tag_for_tests(), "two");
    fail_nth_alloc_for_tests(0);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(other_thread, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    EXPECT_EQ(live_blocks(), before + 4);
    char line[80];
    // The trace's numbers are always right-aligned.
    std::snprintf(line, sizeof line, ": p=0 size=  8 %3u GlobalAlloc two\n", before + 3);
    EXPECT_TRUE(capture.contains(line)) << line;
    for (void *block : {first, other_thread, third})
        myFree(block, "block");
    EXPECT_EQ(live_blocks(), before + 1) << "the failed allocation stays counted";
    EXPECT_EQ(failed_alloc_tag_for_tests(), nullptr);
}

} // namespace
} // namespace vorn::test
