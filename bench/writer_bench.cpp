// Cost of turning a table back into its configuration file and of the
// output step of a compilation (index and .map listing), for an empty and a
// full table of 1570 maps in ten periods.
#include "frame/frame.h"
#include "writer/ascii_writer.h"
#include "writer/map_listing.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using namespace vorn;

std::vector<uint8_t> full_table(int maps) {
    std::vector<uint8_t> buf(kWorkBufferSize);
    auto *t = reinterpret_cast<table_t *>(buf.data());
    init_fresh_table(t);
    fill_work_area(t);
    std::snprintf(t->table_format, sizeof t->table_format, "TF01.5  4.Dec 2026 14:19");
    for (int p = 0; p <= 10; ++p)
        t->table_period[p] = {static_cast<uint8_t>(p), 0, 0x3E};
    t->table_max_period_entries = 10;
    for (int i = 0; i < maps; ++i) {
        map_t *m = table_map_slot(t, static_cast<size_t>(i));
        std::memset(m, 0, sizeof *m);
        std::snprintf(m->map_escape, sizeof m->map_escape, "0%d", 10000 + i * 7);
        std::snprintf(m->map_code, sizeof m->map_code, "010%d", i);
        m->map_mode = static_cast<uint8_t>(MAP_VOICE | (1 + i % 3));
        m->map_period = static_cast<uint8_t>(i % 11);
        m->map_time = static_cast<uint16_t>(600 + i);
        set_map_esclen(*m, static_cast<unsigned>(std::strlen(m->map_escape)));
    }
    std::memset(table_map_slot(t, static_cast<size_t>(maps)), 0, kMapSize);
    t->table_used_map_entries = static_cast<int16_t>(maps);
    return buf;
}

void BM_WriteAsciiTable(benchmark::State &state) {
    const auto original = full_table(static_cast<int>(state.range(0)));
    auto buf = original;
    auto *t = reinterpret_cast<table_t *>(buf.data());
    set_instance_table(nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        buf = original; // the writer sorts in place
        set_instance_table(t);
        state.ResumeTiming();
        benchmark::DoNotOptimize(write_ascii_table15(t, "/dev/null", nullptr));
        state.PauseTiming();
        set_instance_table(nullptr);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WriteAsciiTable)->Arg(0)->Arg(1570)->Unit(benchmark::kMillisecond);

void BM_MapListing(benchmark::State &state) {
    auto buf = full_table(static_cast<int>(state.range(0)));
    auto *t = reinterpret_cast<table_t *>(buf.data());
    for (auto _ : state) {
        std::FILE *file = std::fopen("/dev/null", "w");
        write_map_listing(t, file);
        std::fclose(file);
    }
}
BENCHMARK(BM_MapListing)->Arg(0)->Arg(1570)->Unit(benchmark::kMillisecond);

} // namespace
