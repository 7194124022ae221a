// Every way a job can fail on its way out to memory and files: each tracked
// allocation of each job made to fail in turn, and inputs and outputs that
// are missing, full, folders, FIFOs or endless devices.  Whatever fails, the
// job must give its result and message, release every block, leave no table
// registered and no temporary file behind, and never hang.  The outcomes of
// all runs are compared at once with tests/golden/faults/.
#include "frame/alloc_faults.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "support/alarm_builder.h"
#include "support/log_golden.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/table_builder.h"
#include "vorn_b32.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

// While it lives, no file of the process grows beyond `bytes`: a write past
// that fails with EFBIG, as on a disk that fills up.  Temporary copies meet
// it too, where /dev/full cannot stand in.
struct DiskFullAfter {
    explicit DiskFullAfter(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limit{bytes, previous.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~DiskFullAfter() { ::setrlimit(RLIMIT_FSIZE, &previous), std::signal(SIGXFSZ, signal); }
    void (*signal)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
};

// One call of an export, a line of the case files in tests/golden/faults/:
// "JOB IN -> OUT", where IN and OUT name files of the work folder (absolute
// names stand as they are), several separated by commas, "-" for none (both
// "-": every pointer absent); behind it "(disk full after N)" (bytes of a
// file), "(no temporary folder)" or "(listings)" (the .map and .del files).
struct Row {
    std::string job, in, out, when;
    std::string name() const {
        return job + " " + in + " -> " + out + (when.empty() ? "" : " " + when);
    }
};

std::vector<Row> cases(const std::string &file) {
    std::istringstream lines(read_file(VORN_SOURCE_DIR "/tests/golden/faults/" + file));
    std::vector<Row> rows;
    for (std::string line, arrow; std::getline(lines, line);) {
        Row row;
        std::istringstream words(line);
        if (!line.starts_with('#') && words >> row.job >> row.in >> arrow >> row.out)
            std::getline(words >> std::ws, row.when), rows.push_back(row);
    }
    return rows;
}

// The switch itself, as a job: three tracked blocks of the calling thread
// and, between them, one of another thread, which the switch leaves alone.
// Gives the names of the blocks had.
int allocate(char *names) {
    const char *tags[4] = {"one", "other", "two", "three"};
    void *blocks[4] = {myAlloc(8, tags[0])};
    std::thread([&] { blocks[1] = myAlloc(8, tags[1]); }).join();
    blocks[2] = myAlloc(8, tags[2]), blocks[3] = myAlloc(8, tags[3]);
    for (int i = 0; i < 4; ++i)
        if (blocks[i] != nullptr)
            std::strcat(std::strcat(names, tags[i]), " "), myFree(blocks[i], tags[i]);
    return 0;
}

// The work folder holds an input of every job, a FIFO nobody writes or
// reads, a folder and a FIFO where a listing goes; every job runs with a
// fresh temporary and current folder of its own.
class Faults : public testing::Test {
  protected:
    void SetUp() override {
        m_previous_cwd = fs::current_path();
        fs::current_path(cwd.path());
        AlarmLog events{2, 0, {100, 2, 0, 0, 1}, {}, "Vorn-Box", {}, 0};
        events.events[0] = {4, 12, 15, 13, 5, 9, 2, 3, 12, "Line down", 0x100};
        events.events[1] = {4, 12, 15, 13, 6, 0, 1, 0, 7, "Line up", 0};
        CallRecord incoming, unfinished, not_closed;
        incoming.dad = "030", incoming.end.minute = 2, unfinished.end.day = 0xFF;
        not_closed.plc = 0x8003;
        TraceBuilder trace;
        trace.at(5, 9, 37).time(13, 4, 12, 15).frame('r', 1, bytes_of({0x02, 0x01, 0x7F}));
        const std::string example = read_file(VORN_SOURCE_DIR "/examples/vorn-box.cfg");
        m_files = {{"events.bin", events.build()},
                   {"calls.bin", call_log({CallRecord(), incoming, unfinished, not_closed})},
                   {"trace.bin", trace.bytes()},
                   {"long_trace.bin", TraceBuilder().boot().fill_to(4096).bytes()},
                   {"ex.cfg", example},
                   {"lst.cfg", example}};
        // The lists to merge and a configuration of minute-model charges.
        for (const auto &entry :
             fs::directory_iterator(VORN_SOURCE_DIR "/tests/golden/faults/work"))
            m_files[entry.path().filename().string()] = read_file(entry.path().string());
        for (const auto &[name, content] : m_files)
            write_file(work.file(name), *content);
        EXPECT_EQ(mkconf(work.file("ex.cfg").c_str(), work.file("ex.bin").c_str(), 1), 0);
        m_files["ex.bin"] = read_file(work.file("ex.bin"));
        fs::create_directory(work.file("folder"));
        EXPECT_EQ(::mkfifo(work.file("fifo").c_str(), 0600), 0);
        EXPECT_EQ(::mkfifo(work.file("lst.map").c_str(), 0600), 0);
        m_files["folder"] = m_files["fifo"] = m_files["lst.map"] = std::nullopt;
        set_DevInfo(std::string(kDevInfoSize, '0').data()); // the thread's copy, kept
    }
    void TearDown() override {
        fs::current_path(m_previous_cwd);
        // The thread's device record would change what later tests of this
        // thread decompile; no export takes it back, so the frame does.
        with_instance_globals([](CInstanceGlobals &g) {
            myFree(g.m_pDevInfo, "pGlobalDevInfo");
            g.m_pDevInfo = nullptr;
        });
    }

    // Runs `row` with its `fail_at`-th tracked allocation failing (0: none):
    // "result R[, message M]" and what the work folder holds beyond its files.
    std::string run(const Row &row, unsigned fail_at = 0) {
        const std::vector<std::string> in = paths(row.in), out = paths(row.out);
        const auto arg = [](const std::vector<std::string> &names, size_t i) {
            return i < names.size() && !names[i].empty() ? names[i].c_str() : nullptr;
        };
        const bool absent = in.empty() && out.empty();
        const std::string &job = row.job;
        char text[300] = {}, *message = absent ? nullptr : text;
        const uint8_t *kept = nullptr, devinfo[2][kDevInfoSize] = {{'A'}, {'B'}};
        if (job == "mktrace")
            std::strcpy(text, "LBL"); // the label stays unless a message replaces it
        const uint32_t before = live_blocks();
        TraceCapture capture;
        std::optional<DiskFullAfter> full;
        if (row.when.starts_with("(disk full after "))
            full.emplace(std::stoul(row.when.substr(17)));
        std::optional<TmpPathIn> no_tmp;
        if (row.when == "(no temporary folder)")
            no_tmp.emplace(work.file("no/such/folder"));
        set_optimize_files(row.when == "(listings)");
        testing::internal::CaptureStdout(); // progress displays
        fail_nth_alloc_for_tests(fail_at);
        const int result =
            job == "mkalarm" ? mkalarm(arg(out, 0), arg(in, 0), 0, absent ? 0 : "Box",
                                       absent ? 0 : "Head", message)
            : job == "mklogcall"
                ? mklogcall(arg(in, 0), arg(out, 0), arg(out, 1), arg(out, 2), message)
            : job == "merge"     ? merge_logcall(arg(in, 0), arg(in, 1), arg(out, 0))
            : job == "mktrace"   ? mktrace(arg(in, 0), arg(out, 0), message)
            : job == "compile"   ? mkconf(arg(in, 0), arg(out, 0), 1)
            : job == "decompile" ? mkconf(arg(out, 0), arg(in, 0), 0)
            : job == "version"   ? get_vorn_b32_dll_version(text, 40)
            : job == "alloc"     ? allocate(text)
            : job == "devinfo"   ? (set_DevInfo(devinfo[0]), set_DevInfo(devinfo[1]),
                                  export_result(ResultFamily::Utility, get_dev_info(&kept)))
                                 : remove_hexfile(arg(in, 0));
        full.reset(), no_tmp.reset();
        std::string got = "result " + std::to_string(result);
        failed_tag = failed_alloc_tag_for_tests(), allocs = allocs_for_tests();
        fail_nth_alloc_for_tests(0);
        testing::internal::GetCapturedStdout();
        text[0] = kept ? static_cast<char>(*kept) : text[0]; // the DevInfo copy kept
        set_optimize_files(0);
        // mkconf has no buffer: its message is its last error line.
        const std::vector<std::string> errors = error_lines(capture);
        const std::string said = job == "compile" || job == "decompile"
                                     ? (errors.empty() ? "" : errors.back())
                                     : (message ? text : "");
        if (!said.empty())
            got += ", message " + replaced(printable(said), "\n", "\\n");
        // The allocator counts a failed allocation as a live block, and
        // myFree of the empty pointer does not take it back.
        EXPECT_EQ(live_blocks(), before + (failed_tag ? 1 : 0)) << "blocks not released";
        return stable(got + leftovers(), work.path());
    }

    // ", left NAME" for each file the run added to the work folder, ", changed
    // NAME" or ", gone NAME" for each it changed; the folder is set up again.
    // Nothing may stay in the temporary and current folders, nor a table
    // registered.
    std::string leftovers() {
        std::string text;
        std::set<std::string> added;
        for (const auto &entry : fs::directory_iterator(work.path()))
            added.insert(entry.path().filename().string());
        for (const std::string &name : added)
            if (!m_files.count(name)) {
                text += ", left " + (name.starts_with("MERGE") ? "MERGE*" : name);
                fs::remove_all(work.file(name));
            }
        for (const auto &[name, content] : m_files)
            if (!fs::exists(work.file(name)) ||
                (content && read_file(work.file(name)) != *content)) {
                text += (fs::exists(work.file(name)) ? ", changed " : ", gone ") + name;
                if (content)
                    write_file(work.file(name), *content);
            }
        EXPECT_TRUE(fs::is_empty(tmp.path()) && fs::is_empty(cwd.path())) << "temporary files";
        table_t *table = nullptr;
        EXPECT_EQ(get_instance_table(&table), Error::Ok);
        EXPECT_EQ(table, nullptr) << "a table stayed registered";
        return text;
    }

    std::vector<std::string> paths(const std::string &list) const {
        std::vector<std::string> names;
        std::istringstream items(list == "-" ? "" : list);
        for (std::string name; std::getline(items, name, ',');)
            names.push_back(name[0] == '/' ? name : work.file(name));
        return names;
    }

    TempDir work, tmp, cwd;
    TmpPathIn tmp_path{tmp.path()};
    const char *failed_tag = nullptr; // of the last run
    unsigned allocs = 0;              // tracked allocations of the last run
    // The files of the work folder and the contents of the regular ones.
    std::map<std::string, std::optional<std::string>> m_files;

  private:
    fs::path m_previous_cwd;
};

// Each row of jobs.cases runs clean, then with each of its tracked
// allocations failing in turn: the golden file holds the clean outcome and,
// once per tag and outcome, what a failed allocation gives.
TEST_F(Faults, EveryJobFailsCleanly) {
    std::string transcript;
    for (const Row &row : cases("jobs.cases")) {
        SCOPED_TRACE(row.name());
        transcript += row.name() + ": " + run(row) + "\n";
        std::vector<std::string> seen;
        for (unsigned n = 1, count = allocs; n <= count; ++n) {
            const std::string result = run(row, n);
            SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count));
            ASSERT_NE(failed_tag, nullptr) << "fewer allocations than the clean run";
            const std::string line = "  " + (failed_tag + (": " + result));
            if (std::ranges::find(seen, line) == seen.end())
                seen.push_back(line), transcript += line + "\n";
        }
    }
    expect_golden("faults/jobs.txt", transcript);
}

// Permissions stop every user but root; root is stopped by the folders and
// paths behind files of the test above.
TEST_F(Faults, InputsWithoutReadPermission) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root, whom permissions do not stop";
    fs::copy_file(work.file("ex.cfg"), work.file("locked"));
    fs::permissions(work.file("locked"), fs::perms::none);
    m_files["locked"] = std::nullopt;
    std::string got;
    for (const std::string job : {"mkalarm", "mklogcall", "mktrace", "compile", "merge"})
        got += run({job, job == "merge" ? "locked,locked" : "locked", "o", ""}) + "\n";
    expect_golden("faults/unreadable.txt", got); // what root cannot write anew
}

} // namespace
} // namespace vorn::test
