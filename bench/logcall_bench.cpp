// mklogcall on a call log of 1,000,000 records (75 MB, generated here and
// shuffled) in separate mode, beside a plain `cp` of the same file in the
// same run; the counter `ratio` is the conversion's time over the copy's.
// merge_logcall of two lists of 1,000,000 lines each, beside `cp` of both.
// Each job's output is held to the bytes it has always written (a recorded
// hash per file), and the job is run once more as the tool, in a process
// of its own, for its peak memory beside the size of its input.
// The files are written below $TMPDIR (or /tmp) and removed at the end.
#include "job_check.h"
#include "logs/logcall.h"
#include "report/report.h"
#include "vorn_b32.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kRecords = 1000000;

// Twelve random digits packed as the box stores them, marker last.
void pack_digits(uint8_t (&field)[11], std::mt19937 &rng) {
    std::memset(field, 0, sizeof field);
    for (size_t i = 0; i < 12; ++i) {
        const unsigned half = i < 11 ? 1 + rng() % 10 : 11;
        field[i / 2] = static_cast<uint8_t>(i % 2 == 0 ? half << 4 : field[i / 2] | half);
    }
    field[10] = vorn::kPackedMarker;
}

// Calls of one year in time order, then shuffled: a few not finished, not
// closed or saved before, as a busy box's log holds them.
std::string generate_log(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<vorn::logcall_t> records(kRecords);
    for (size_t i = 0; i < kRecords; ++i) {
        vorn::logcall_t &r = records[i];
        std::memset(&r, 0, sizeof r);
        r.plc = static_cast<uint16_t>(i % 0x7FFF) | (i % 997 == 0 ? vorn::kLogcallNotClosed : 0);
        std::snprintf(r.dad, sizeof r.dad, "%c%09u", i % 3 == 0 ? '0' : '8',
                      static_cast<unsigned>(rng() % 1000000000));
        pack_digits(r.number1, rng);
        pack_digits(r.number2, rng);
        r.status = i % 1009 == 0 ? 0 : static_cast<uint16_t>(1 + rng() % 0xFFFE);
        r.port1 = static_cast<uint8_t>(rng());
        r.port2 = i % 2 == 0 ? 0xFF : static_cast<uint8_t>(rng());
        r.value = static_cast<uint16_t>(rng() % 500);
        r.code = static_cast<uint8_t>(rng());
        r.subcode = i % 5 == 0 ? 0xFF : static_cast<uint8_t>(rng() % 100);
        const unsigned minute_of_year = static_cast<unsigned>(i * 525600 / kRecords);
        const uint8_t day = static_cast<uint8_t>(1 + minute_of_year / 1440 % 28);
        const uint8_t month = static_cast<uint8_t>(1 + minute_of_year / 40320 % 12);
        r.start = {static_cast<uint8_t>(rng() % 60),
                   static_cast<uint8_t>(minute_of_year % 60),
                   static_cast<uint8_t>(minute_of_year / 60 % 24),
                   day,
                   month,
                   15};
        r.end = r.start;
        r.end.second = static_cast<uint8_t>(59 - r.start.second / 2);
        if (i % 101 == 0)
            r.end.day = vorn::kUnknownDay;
    }
    std::shuffle(records.begin(), records.end(), rng);
    return std::string(reinterpret_cast<const char *>(records.data()),
                       records.size() * sizeof(vorn::logcall_t));
}

struct Workspace {
    fs::path folder;
    Workspace() {
        const char *tmp = std::getenv("TMPDIR");
        folder = fs::path(tmp && *tmp ? tmp : "/tmp") / "vorn_logcall_bench";
        fs::create_directories(folder);
        write_log(file("calls.bin"), 4711);
        set_TmpPath(file("x").c_str(), 1);
        // Two combined lists of a million lines each, for the merge.
        for (const char *name : {"first", "second"}) {
            const std::string log = file(name) + ".bin";
            write_log(log, name[0] == 'f' ? 1 : 2);
            if (mklogcall(log.c_str(), (file(name) + ".txt").c_str(), nullptr, nullptr, nullptr) !=
                0)
                std::abort();
            fs::remove(log);
        }
    }
    static void write_log(const std::string &path, unsigned seed) {
        const std::string log = generate_log(seed);
        std::FILE *f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(log.data(), 1, log.size(), f) != log.size() ||
            std::fclose(f) != 0)
            std::abort();
    }
    ~Workspace() { fs::remove_all(folder); }
    std::string file(const char *name) const { return (folder / name).string(); }
};

Workspace &workspace() {
    static Workspace work;
    return work;
}

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The bytes the jobs have always written for these inputs.  A faster path
// that changes a single byte of them fails its benchmark.
struct Expected {
    const char *file;
    uint64_t hash;
};
constexpr Expected kMklogcallOutputs[] = {{"out.txt", 0xf0ad6d6238c682ca},
                                          {"in.txt", 0x3f2ea3ea5b758792},
                                          {"reject.txt", 0x47136a63b1fadf00}};
constexpr Expected kMergeOutputs[] = {{"merged.txt", 0x16bd1e004675cfcc}};

template <size_t N>
bool same_bytes(benchmark::State &state, const Workspace &work, const Expected (&files)[N]) {
    bool same = true;
    for (const Expected &e : files) {
        const uint64_t hash = bench::file_hash(work.file(e.file));
        if (hash != e.hash) {
            std::fprintf(stderr, "%s: hash %016llx, expected %016llx\n", e.file,
                         static_cast<unsigned long long>(hash),
                         static_cast<unsigned long long>(e.hash));
            same = false;
        }
    }
    if (!same)
        state.SkipWithError("output differs from the recorded bytes");
    return same;
}

void BM_MklogcallBesideCopy(benchmark::State &state) {
    Workspace &work = workspace();
    const std::string log = work.file("calls.bin");
    const std::string cp = "cp '" + log + "' '" + work.file("copy.bin") + "'";
    double copy_total = 0, convert_total = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        if (std::system(cp.c_str()) != 0)
            state.SkipWithError("cp failed");
        const double copy = seconds_since(start);
        start = Clock::now();
        char message[400] = {};
        if (mklogcall(log.c_str(), work.file("out.txt").c_str(), work.file("in.txt").c_str(),
                      work.file("reject.txt").c_str(), message) != 0)
            state.SkipWithError(message);
        const double convert = seconds_since(start);
        state.SetIterationTime(convert);
        copy_total += copy;
        convert_total += convert;
    }
    if (!same_bytes(state, work, kMklogcallOutputs))
        return;
    const double n = static_cast<double>(state.iterations());
    state.counters["cp_ms"] = copy_total / n * 1000;
    state.counters["mklogcall_ms"] = convert_total / n * 1000;
    state.counters["ratio"] = convert_total / copy_total;
    state.counters["log_mib"] = static_cast<double>(fs::file_size(log)) / (1 << 20);
    state.counters["peak_mib"] =
        bench::tool_peak_mib({"calls", log, work.file("out.txt"), "--in", work.file("in.txt"),
                              "--reject", work.file("reject.txt")},
                             work.file("peak.txt"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecords * 75));
}
BENCHMARK(BM_MklogcallBesideCopy)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The report page of the same log beside mklogcall of it: reading the file
// and making the page, against copying, sorting and listing.
void BM_ReportBesideMklogcall(benchmark::State &state) {
    Workspace &work = workspace();
    const std::string log = work.file("calls.bin");
    double report_total = 0, convert_total = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        char message[400] = {};
        if (mklogcall(log.c_str(), work.file("out.txt").c_str(), work.file("in.txt").c_str(),
                      work.file("reject.txt").c_str(), message) != 0)
            state.SkipWithError(message);
        const double convert = seconds_since(start);
        start = Clock::now();
        std::string page, why;
        if (vorn::report::page_for_file(log.c_str(), {"calls.bin", {}, {}}, page, why) !=
            vorn::Error::Ok)
            state.SkipWithError(why.c_str());
        const double report = seconds_since(start);
        benchmark::DoNotOptimize(page.data());
        state.SetIterationTime(report);
        report_total += report;
        convert_total += convert;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["report_ms"] = report_total / n * 1000;
    state.counters["mklogcall_ms"] = convert_total / n * 1000;
    state.counters["ratio"] = report_total / convert_total;
}
BENCHMARK(BM_ReportBesideMklogcall)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// merge_logcall of two lists of a million lines into a third file, beside
// cp of both lists; `ratio` is the merge's time over the copies'.
void BM_MergeBesideCopy(benchmark::State &state) {
    Workspace &work = workspace();
    const std::string first = work.file("first.txt"), second = work.file("second.txt");
    const std::string merged = work.file("merged.txt");
    const std::string cp = "cp '" + first + "' '" + work.file("copy1.txt") + "' && cp '" + second +
                           "' '" + work.file("copy2.txt") + "'";
    double copy_total = 0, merge_total = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        if (std::system(cp.c_str()) != 0)
            state.SkipWithError("cp failed");
        const double copy = seconds_since(start);
        start = Clock::now();
        if (merge_logcall(first.c_str(), second.c_str(), merged.c_str()) != 0)
            state.SkipWithError("merge failed");
        const double merge = seconds_since(start);
        state.SetIterationTime(merge);
        copy_total += copy;
        merge_total += merge;
    }
    if (!same_bytes(state, work, kMergeOutputs))
        return;
    const double n = static_cast<double>(state.iterations());
    state.counters["cp_ms"] = copy_total / n * 1000;
    state.counters["merge_ms"] = merge_total / n * 1000;
    state.counters["ratio"] = merge_total / copy_total;
    state.counters["lists_mib"] =
        static_cast<double>(fs::file_size(first) + fs::file_size(second)) / (1 << 20);
    state.counters["peak_mib"] =
        bench::tool_peak_mib({"merge", first, second, merged}, work.file("peak.txt"));
}
BENCHMARK(BM_MergeBesideCopy)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The sort alone, on a copy of the shuffled log.
void BM_SortLogcall(benchmark::State &state) {
    Workspace &work = workspace();
    const std::string log = work.file("calls.bin");
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(log, work.file("sort.bin"), fs::copy_options::overwrite_existing);
        std::FILE *f = std::fopen(work.file("sort.bin").c_str(), "r+b");
        state.ResumeTiming();
        if (f == nullptr || vorn::sort_logcall(f) != vorn::Error::Ok)
            state.SkipWithError("sort failed");
        if (f)
            std::fclose(f);
    }
}
BENCHMARK(BM_SortLogcall)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
