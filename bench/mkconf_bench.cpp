// Cost of compiling a configuration with mkconf: the largest configuration
// the parser accepts (5,070 map lines over 63 period sections, ten of them
// holiday-and-weekday sections) and one tenth of it.  Ten times the maps
// should cost no more than about n log n allows (a ratio of at most ~15).
// Beside them the tenth compiled with the debug trace on (lines formatted
// and handed to a sink that drops them) against the same with it off.
#include "support/config_generator.h"
#include "platform/platform.h"
#include "vorn_b32.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool discard(const char *, void *) {
    return true;
}

void BM_MkconfLargestConfig(benchmark::State &state) {
    const auto divisor = static_cast<unsigned>(state.range(0));
    const bool traced = state.range(1) != 0;
    vorn::platform::set_debug_sink(&discard, nullptr);
    set_debug(traced ? 1 : 0);
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
    std::filesystem::remove(cfg);
    std::filesystem::remove(bin);
    set_debug(0);
    vorn::platform::set_debug_sink(nullptr, nullptr);
}
// Arguments: the divisor of the largest configuration, the debug trace.
BENCHMARK(BM_MkconfLargestConfig)
    ->Args({10, 0})
    ->Args({1, 0})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace
