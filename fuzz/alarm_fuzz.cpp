// Event logs of any content and length: the converter must end with a result
// code or a report, never read outside the file's block, give the same
// result with and without the report, and give back the block on every path.
#include "frame/frame.h"
#include "fuzz_input.h"
#include "logs/alarm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::trace_some(size);
    std::FILE *binary = fuzz::stream_of(data, size);
    std::FILE *text = std::tmpfile();
    if (binary && text) {
        const uint32_t blocks = vorn::live_blocks();
        const vorn::Error with_report = vorn::convert_alarm(binary, text, "fuzz", "headline");
        std::rewind(binary);
        const vorn::Error checked = vorn::convert_alarm(binary, nullptr, nullptr, nullptr);
        fuzz::require(with_report == checked &&
                      (with_report == vorn::Error::Ok || with_report == vorn::Error::CannotRead ||
                       with_report == vorn::Error::NoMemory ||
                       with_report == vorn::Error::ShortRead ||
                       with_report == vorn::Error::UnknownEventVersion) &&
                      vorn::live_blocks() == blocks);
    }
    for (std::FILE *f : {binary, text})
        if (f)
            std::fclose(f);
    return 0;
}
