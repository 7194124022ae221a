// Protocol traces of any content and length: the converter must end with
// one of its results, never read outside its buffers, and give back the
// record buffer on every path, with and without the capture of the frames.
#include "frame/frame.h"
#include "logs/pcapng.h"
#include "logs/prot_trace.h"
#include "vorn_b32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Some runs format the trace lines as well (their output goes nowhere);
    // tracing every run, or long runs of filling, would slow the search down.
    set_debug(size % 8 == 0 && size < 4096 ? 1 : 0);

    // Streams in memory: the walk seeks and asks for the length, as it does
    // on the temporary copy.
    std::FILE *binary = std::tmpfile();
    char *text_data = nullptr, *capture_data = nullptr;
    size_t text_size = 0, capture_size = 0;
    std::FILE *text = open_memstream(&text_data, &text_size);
    std::FILE *capture = open_memstream(&capture_data, &capture_size);
    if (binary && text && capture && std::fwrite(data, 1, size, binary) == size) {
        const uint32_t blocks = vorn::live_blocks();
        std::rewind(binary);
        int result;
        {
            vorn::logs::PcapngWriter frames(capture);
            result = vorn::convert_trace(binary, text, nullptr, size % 2 ? &frames : nullptr);
            if (!frames.ok())
                std::abort();
        }
        const bool known = result == 0 || result == 1 || (result == -19 && size == 0);
        if (!known || std::ferror(text) || vorn::live_blocks() != blocks)
            std::abort();
    }
    for (std::FILE *f : {binary, text, capture})
        if (f)
            std::fclose(f);
    std::free(text_data);
    std::free(capture_data);
    return 0;
}
