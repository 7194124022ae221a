// Cost of the configuration check beside the plain compile it wraps: the
// largest configuration (5,070 map lines) read into a table once as the
// library compiles it, once with every line watched and every map followed
// through the optimizer.  report.py shows the ratio of the two.  Beside it
// the check of a file of many findings, each put to its source line, as
// `vorn check` shows them: its time grows with the number of findings.
#include "vorn_tool/api.h"
#include "conf/check.h"
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "support/config_generator.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace vorn;

void BM_CheckLargestConfig(benchmark::State &state) {
    const bool checked = state.range(0) != 0;
    platform::set_console_quiet(true);
    const test::GeneratedConfig config = test::largest_config();
    const std::string cfg = (std::filesystem::temp_directory_path() / "check_bench.cfg").string();
    std::ofstream(cfg, std::ios::binary) << config.text;
    char err[kErrStrSize];
    for (auto _ : state) {
        reset_holiday_file_state_for_tests();
        if (checked) {
            const CheckReport report = check_config(cfg.c_str());
            benchmark::DoNotOptimize(report.result);
            continue;
        }
        table_t *table = nullptr;
        benchmark::DoNotOptimize(read_ascii_table(&table, cfg.c_str(), err));
        myFree(table, "pt");
        set_instance_table(nullptr);
    }
    std::filesystem::remove(cfg);
}
// Argument: 0 the plain compile, 1 the check.
BENCHMARK(BM_CheckLargestConfig)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A generated configuration followed by `findings` lines that each give a
// warning (a comment given again, the next one wins), checked with every
// finding formatted under its source line.
void BM_CheckFindings(benchmark::State &state) {
    const auto findings = static_cast<size_t>(state.range(0));
    platform::set_console_quiet(true);
    const std::string cfg =
        (std::filesystem::temp_directory_path() / "check_findings_bench.cfg").string();
    {
        std::ofstream out(cfg, std::ios::binary);
        out << test::generate_config(3, test::ConfigKnobs{}).text;
        for (size_t i = 0; i < findings; ++i)
            out << "COMMENT=note " << i << "\n";
    }
    for (auto _ : state) {
        reset_holiday_file_state_for_tests();
        const api::ConfigCheck check = api::check_config(cfg.c_str(), true, false);
        if (check.findings.size() < findings)
            state.SkipWithError("fewer findings than lines");
        benchmark::DoNotOptimize(check.findings.data());
    }
    std::filesystem::remove(cfg);
}
// Argument: the number of findings.
BENCHMARK(BM_CheckFindings)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
