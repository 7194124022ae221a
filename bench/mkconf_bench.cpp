// Cost of compiling a configuration with mkconf: the largest configuration
// the parser accepts (5,070 map lines over 63 period sections, ten of them
// holiday-and-weekday sections) and one tenth of it.  Ten times the maps
// should cost no more than about n log n allows (a ratio of at most ~15).
#include "support/config_generator.h"
#include "vorn_b32.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void BM_MkconfLargestConfig(benchmark::State &state) {
    const auto divisor = static_cast<unsigned>(state.range(0));
    const vorn::test::GeneratedConfig config = vorn::test::largest_config(divisor);
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::string stem = "mkconf_bench_" + std::to_string(divisor);
    const std::string cfg = (dir / (stem + ".cfg")).string();
    const std::string bin = (dir / (stem + ".bin")).string();
    std::ofstream(cfg, std::ios::binary) << config.text;

    for (auto _ : state) {
        const int result = mkconf(cfg.c_str(), bin.c_str(), 1);
        if (result != 0) {
            state.SkipWithError(("mkconf returned " + std::to_string(result)).c_str());
            break;
        }
    }
    state.counters["map_lines"] = static_cast<double>(config.maps.size());
    state.SetComplexityN(static_cast<int64_t>(config.maps.size()));
    std::filesystem::remove(cfg);
    std::filesystem::remove(bin);
}
BENCHMARK(BM_MkconfLargestConfig)
    ->Arg(10)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oNLogN);

} // namespace
