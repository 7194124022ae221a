// Cost of compiling a configuration: the bundled example, and a file of
// 5,000 map lines (the most the parser takes is 5,070), each read from a
// temporary file into a table working buffer.
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace vorn;

std::string temp_config(const std::string &text) {
    const std::string path =
        "/tmp/vorn-conf-bench-" + std::to_string(platform::process_id()) + ".cfg";
    std::ofstream(path) << text;
    return path;
}

// The example beside this file's folder.
std::string example_path() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind("bench/")) + "examples/vorn-box.cfg";
}

void compile(benchmark::State &state, const std::string &text) {
    platform::set_console_quiet(true);
    const std::string path = temp_config(text);
    char err[kErrStrSize];
    for (auto _ : state) {
        reset_holiday_file_state_for_tests();
        table_t *table = nullptr;
        const Error r = read_ascii_table15(&table, ConfigSource::load(path.c_str()), err);
        benchmark::DoNotOptimize(r);
        myFree(table, "pt");
        set_instance_table(nullptr);
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CompileExample(benchmark::State &state) {
    std::ifstream in(example_path());
    std::stringstream text;
    text << in.rdbuf();
    compile(state, text.str());
}
BENCHMARK(BM_CompileExample);

void BM_CompileManyMaps(benchmark::State &state) {
    std::string text = "TABLE=TF01.5\n[08:00] MO TU WE TH FR\n";
    for (int i = 0; i < 5000; ++i)
        text += "MapOut0" + std::to_string(10000 + i) + "=01019" + std::to_string(i) +
                " DATA 30.5 1/2\n";
    compile(state, text);
}
BENCHMARK(BM_CompileManyMaps);

} // namespace
