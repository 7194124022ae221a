// Protocol traces of any content and length: the converter must end with
// one of its results, never read outside its buffers, and give back the
// record buffer on every path, with and without the capture of the frames.
#include "frame/frame.h"
#include "fuzz_input.h"
#include "logs/pcapng.h"
#include "logs/prot_trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Long runs of filling are slow to trace as well.
    set_debug(size % 8 == 0 && size < 4096 ? 1 : 0);
    // Output streams in memory; the walk seeks in the input and asks for its
    // length, as it does on the temporary copy.
    std::FILE *binary = fuzz::stream_of(data, size);
    char *text_data = nullptr, *capture_data = nullptr;
    size_t text_size = 0, capture_size = 0;
    std::FILE *text = open_memstream(&text_data, &text_size);
    std::FILE *capture = open_memstream(&capture_data, &capture_size);
    if (binary && text && capture) {
        const uint32_t blocks = vorn::live_blocks();
        vorn::logs::PcapngWriter frames(capture);
        const vorn::Error result =
            vorn::convert_trace(binary, text, nullptr, size % 2 ? &frames : nullptr);
        fuzz::require(frames.ok() && !std::ferror(text) && vorn::live_blocks() == blocks);
        fuzz::require(result == vorn::Error::Ok || result == vorn::Error::InvalidData ||
                      (result == vorn::Error::EmptyTrace && size == 0));
    }
    for (std::FILE *f : {binary, text, capture})
        if (f)
            std::fclose(f);
    std::free(text_data);
    std::free(capture_data);
    return 0;
}
