// Event logs of any content and length: the converter must end with a result
// code or a report, never read outside the file's block, and give back the
// block on every path.
#include "frame/frame.h"
#include "logs/alarm.h"
#include "vorn_b32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Some runs format the trace lines as well (their output goes nowhere);
    // tracing every run would slow the search down tenfold.
    set_debug(size % 8 == 0 ? 1 : 0);

    std::FILE *binary = std::tmpfile();
    std::FILE *text = std::tmpfile();
    if (binary && text && std::fwrite(data, 1, size, binary) == size) {
        uint32_t blocks = vorn::live_blocks();
        std::rewind(binary);
        int with_report = vorn::convert_alarm(binary, text, "fuzz", "headline");
        std::rewind(binary);
        int checked = vorn::convert_alarm(binary, nullptr, nullptr, nullptr);
        if (with_report != checked || with_report > 0 || with_report < -4 ||
            vorn::live_blocks() != blocks)
            std::abort();
    }
    if (text)
        std::fclose(text);
    if (binary)
        std::fclose(binary);
    return 0;
}
