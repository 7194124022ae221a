// Cost of the table checksum and of a binary table's round trip through a
// file, for an empty and a full table.
#include "frame/frame.h"
#include "table/bin_table.h"
#include "conf/mkconf_driver.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vorn;

std::vector<uint8_t> work_table(int maps) {
    std::vector<uint8_t> buf(kWorkBufferSize);
    auto *t = reinterpret_cast<table_t *>(buf.data());
    init_fresh_table(t);
    fill_work_area(t);
    std::snprintf(t->table_format, sizeof t->table_format, "TF01.5  4.Dec 2026 14:19");
    for (int i = 0; i < maps; ++i) {
        map_t *m = table_map_slot(t, static_cast<size_t>(i));
        std::memset(m, 0, sizeof *m);
        std::snprintf(m->map_escape, sizeof m->map_escape, "0%d", 100 + i);
        m->map_mode = MAP_OUT;
    }
    t->table_used_map_entries = static_cast<int16_t>(maps);
    return buf;
}

void BM_TableCrc(benchmark::State &state) {
    auto buf = work_table(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(table_crc(reinterpret_cast<table_t *>(buf.data())));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 65378);
}
BENCHMARK(BM_TableCrc)->Arg(0)->Arg(1570);

void BM_WriteAndReadBinTable(benchmark::State &state) {
    auto buf = work_table(static_cast<int>(state.range(0)));
    const std::string path = "table_bench.bin";
    for (auto _ : state) {
        write_table_file(reinterpret_cast<table_t *>(buf.data()), path.c_str());
        table_t *read = nullptr;
        benchmark::DoNotOptimize(read_table_file(&read, path.c_str()));
        myFree(read, "pTable");
        set_instance_table(nullptr);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_WriteAndReadBinTable)->Arg(0)->Arg(1570);

} // namespace
