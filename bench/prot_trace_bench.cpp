// mktrace on a 64 MiB protocol trace of mixed records, beside xxd of the
// same file in the same run.  BM_MktraceAgainstXxd reports the ratio of the
// two times as the counter xxd_per_mktrace, holds the text to the bytes it
// has always had (a recorded hash) and runs the tool's `trace` once as a
// process of its own for the job's peak memory.
//
// The trace is generated in the system's temporary folder at the first run
// and removed at the end; it is never kept.
#include "job_check.h"
#include "vorn_b32.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr size_t kTraceSize = 64u << 20;
constexpr size_t kSegment = 65536;

void record(std::string &out, char type, uint8_t minute, uint8_t second, uint16_t tick,
            uint8_t port, const std::string &data) {
    const auto length = static_cast<uint16_t>(data.size() + 4);
    const char head[8] = {static_cast<char>(second),      static_cast<char>(minute),
                          static_cast<char>(tick & 0xFF), static_cast<char>(tick >> 8),
                          static_cast<char>(length),      static_cast<char>(length >> 8),
                          static_cast<char>(port),        type};
    out.append(head, sizeof head);
    out += data;
}

// Segments of records as the box writes them: mostly D-channel frames of a
// few to a few dozen bytes, with state changes, switched connections, error
// states, time stamps and boot marks among them; the rest of each segment
// is unwritten (0xFF).
std::string mixed_trace() {
    std::mt19937 random(12345);
    std::string out;
    out.reserve(kTraceSize);
    unsigned minute = 0, second = 0;
    while (out.size() < kTraceSize) {
        const size_t segment_end = out.size() + kSegment;
        for (;;) {
            std::string rec;
            const unsigned pick = random() % 100;
            const auto port = static_cast<uint8_t>(random() % 6);
            const auto tick = static_cast<uint16_t>(random() % 50);
            if (++second == 60) {
                second = 0;
                minute = (minute + 1) % 60;
            }
            if (pick < 80) {
                std::string frame(3 + random() % 40, '\0');
                for (char &c : frame)
                    c = static_cast<char>(random());
                record(rec, pick % 2 ? 'r' : 's', minute, second, tick, port, frame);
            } else if (pick < 88) {
                record(rec, '1', minute, second, tick, port, std::string(1, char(random() % 16)));
            } else if (pick < 93) {
                record(rec, 'c', minute, second, tick, port,
                       std::string("\x01\x01\x03\x02\x01", 5));
            } else if (pick < 97) {
                record(rec, 'e', minute, second, tick, port, std::string(1, char(random() % 29)));
            } else if (pick < 99) {
                record(rec, 't', minute, second, tick, 0, std::string("\x0d\x04\x0c\x0f", 4));
            } else {
                record(rec, 'b', minute, second, tick, 0, "");
            }
            if (out.size() + rec.size() + 8 > segment_end)
                break;
            out += rec;
        }
        out.append(segment_end - out.size(), '\xFF');
    }
    return out;
}

struct Files {
    std::filesystem::path dir;
    std::string trace, text, dump;

    Files() {
        dir = std::filesystem::temp_directory_path() /
              ("vorn-trace-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        trace = (dir / "trace.bin").string();
        text = (dir / "trace.txt").string();
        dump = (dir / "trace.xxd").string();
        const std::string bytes = mixed_trace();
        std::FILE *f = std::fopen(trace.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
            std::fclose(f) != 0) {
            std::fprintf(stderr, "cannot write %s\n", trace.c_str());
            std::exit(1);
        }
        set_debug(0);
        set_TmpPath((dir / "copy").string().c_str(), 1); // mktrace's copy goes here
    }
    ~Files() { std::filesystem::remove_all(dir); }
};

const Files &files() {
    static Files f;
    return f;
}

// The text mktrace has always written for this trace.
constexpr uint64_t kTextHash = 0xc3139a7d8060d30d;

double seconds_of(void (*job)()) {
    const auto start = std::chrono::steady_clock::now();
    job();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run_mktrace() {
    if (mktrace(files().trace.c_str(), files().text.c_str(), nullptr) != 0)
        std::abort();
}

void run_xxd() {
    const std::string command = "xxd '" + files().trace + "' > '" + files().dump + "'";
    if (std::system(command.c_str()) != 0)
        std::abort();
}

void BM_Mktrace(benchmark::State &state) {
    files();
    for (auto _ : state)
        run_mktrace();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTraceSize));
}
BENCHMARK(BM_Mktrace)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Xxd(benchmark::State &state) {
    files();
    for (auto _ : state)
        run_xxd();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTraceSize));
}
BENCHMARK(BM_Xxd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Both jobs in every iteration, so that a busy machine slows both alike.
void BM_MktraceAgainstXxd(benchmark::State &state) {
    files();
    double mk = 0, dump = 0;
    for (auto _ : state) {
        mk += seconds_of(&run_mktrace);
        dump += seconds_of(&run_xxd);
    }
    state.counters["xxd_per_mktrace"] = dump / mk;
    const uint64_t hash = bench::file_hash(files().text);
    if (hash != kTextHash) {
        std::fprintf(stderr, "trace.txt: hash %016llx, expected %016llx\n",
                     static_cast<unsigned long long>(hash),
                     static_cast<unsigned long long>(kTextHash));
        state.SkipWithError("text differs from the recorded bytes");
        return;
    }
    state.counters["trace_mib"] = static_cast<double>(kTraceSize) / (1 << 20);
    state.counters["peak_mib"] = bench::tool_peak_mib({"trace", files().trace, files().text},
                                                      (files().dir / "peak.txt").string());
}
BENCHMARK(BM_MktraceAgainstXxd)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace
