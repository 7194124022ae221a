// Cost of a trace call with debugging off (must stay a state lookup and a
// comparison) against one with debugging on (formatting and the sink).
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <benchmark/benchmark.h>

namespace {

bool discard(const char *, void *) {
    return true;
}

void BM_DbgPrintfOff(benchmark::State &state) {
    vorn::set_app_reg_debug(0);
    set_debug(0);
    for (auto _ : state)
        vorn::dbg_printf("value %u of %s at %p\n", 42u, "name", &state);
}
BENCHMARK(BM_DbgPrintfOff);

void BM_DbgPrintfOn(benchmark::State &state) {
    vorn::platform::set_debug_sink(&discard, nullptr);
    set_debug(1);
    for (auto _ : state)
        vorn::dbg_printf("value %u of %s at %p\n", 42u, "name", &state);
    set_debug(0);
    vorn::platform::set_debug_sink(nullptr, nullptr);
}
BENCHMARK(BM_DbgPrintfOn);

void BM_MyAllocFree(benchmark::State &state) {
    set_debug(0);
    for (auto _ : state) {
        void *p = vorn::myAlloc(205380, "pTable");
        benchmark::DoNotOptimize(p);
        vorn::myFree(p, "pTable");
    }
}
BENCHMARK(BM_MyAllocFree);

} // namespace
