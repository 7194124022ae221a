// Two call lists of any content: the merge ends with 0 and writes every
// character of both lists (CR LF read as LF), whatever the lines hold,
// however short or long they are; replacing the first list gives the same
// text as writing a new file.
#include "frame/frame.h"
#include "logs/logcall.h"
#include "vorn_b32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// A folder of this run's own, made at its first use and removed at exit.
std::string g_folder;
const std::string &folder() {
    if (g_folder.empty()) {
        // In memory where there is such a folder: replacing a list syncs
        // it to the disk, which would slow the search down.
        std::string name = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        name += "/merge_fuzz_XXXXXX";
        if (mkdtemp(name.data()) == nullptr)
            std::abort();
        g_folder = name;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(g_folder, ignored);
        });
    }
    return g_folder;
}

bool write_all(const std::string &path, const std::string &text) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string read_all(const std::string &path) {
    std::string out;
    if (std::FILE *f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

// Length once every CR LF is one LF.
size_t text_length(const std::string &text) {
    size_t pairs = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++pairs;
    return text.size() - pairs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    set_debug(size % 8 == 0 ? 1 : 0);
    const uint32_t blocks = vorn::live_blocks();
    // The first byte says where the first list ends.
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t cut = size == 0 ? 0 : 1 + (size - 1) * data[0] / 256;
    const std::string list1 = input.substr(size == 0 ? 0 : 1, cut > 0 ? cut - 1 : 0);
    const std::string list2 = input.substr(cut);

    const std::string first = folder() + "/first.txt", second = folder() + "/second.txt";
    const std::string merged = folder() + "/merged.txt";
    if (!write_all(first, list1) || !write_all(second, list2))
        return 0;
    if (merge_logcall(first.c_str(), second.c_str(), merged.c_str()) != 0)
        std::abort();
    const std::string text = read_all(merged);
    if (text.size() != text_length(list1) + text_length(list2))
        std::abort();
    if (size % 4 == 0) {
        if (merge_logcall(first.c_str(), second.c_str(), nullptr) != 0 || read_all(first) != text)
            std::abort();
    }
    if (vorn::live_blocks() != blocks)
        std::abort();
    return 0;
}
