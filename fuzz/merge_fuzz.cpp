// Two call lists of any content: the merge ends with 0 and writes every
// character of both lists (CR LF read as LF), whatever the lines hold,
// however short or long they are; replacing the first list gives the same
// text as writing a new file.
#include "frame/frame.h"
#include "fuzz_input.h"

namespace {

// Length once every CR LF is one LF.
size_t text_length(const std::string &text) {
    size_t pairs = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++pairs;
    return text.size() - pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::trace_some(size);
    const uint32_t blocks = vorn::live_blocks();
    // The first byte says where the first list ends.
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t cut = size == 0 ? 0 : 1 + (size - 1) * data[0] / 256;
    const std::string list1 = input.substr(size == 0 ? 0 : 1, cut > 0 ? cut - 1 : 0);
    const std::string list2 = input.substr(cut);

    const std::string &folder = fuzz::own_folder("merge_fuzz");
    const std::string first = folder + "/first.txt", second = folder + "/second.txt";
    const std::string merged = folder + "/merged.txt";
    if (!fuzz::write_path(first, list1.data(), list1.size()) ||
        !fuzz::write_path(second, list2.data(), list2.size()))
        return 0;
    fuzz::require(merge_logcall(first.c_str(), second.c_str(), merged.c_str()) == 0);
    const std::string text = fuzz::read_path(merged);
    fuzz::require(text.size() == text_length(list1) + text_length(list2));
    if (size % 4 == 0) {
        fuzz::require(merge_logcall(first.c_str(), second.c_str(), nullptr) == 0 &&
                      fuzz::read_path(first) == text);
    }
    fuzz::require(vorn::live_blocks() == blocks);
    return 0;
}
