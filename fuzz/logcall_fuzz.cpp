// Binary call logs of any content and length: sorting, the lists in every
// mode and the CSV table end with a result code or a conversion, never read
// outside a record, keep every byte of the log, and give back every block.
// Some runs go through the export with real files, which must leave no
// temporary copy behind.
#include "frame/frame.h"
#include "logs/logcall.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string read_all(std::FILE *f) {
    std::string out;
    std::rewind(f);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        out.append(buf, n);
    return out;
}

// The sorted copy holds the same records in order and the tail unchanged.
void check_sorted(const uint8_t *data, size_t size, const std::string &sorted) {
    const size_t whole = size / vorn::kLogcallSize * vorn::kLogcallSize;
    if (sorted.size() != size || std::memcmp(sorted.data() + whole, data + whole, size - whole))
        std::abort();
    std::vector<std::string> before, after;
    for (size_t at = 0; at < whole; at += vorn::kLogcallSize) {
        before.emplace_back(reinterpret_cast<const char *>(data) + at, vorn::kLogcallSize);
        after.emplace_back(sorted.data() + at, vorn::kLogcallSize);
        vorn::logcall_t a, b;
        std::memcpy(&b, sorted.data() + at, sizeof b);
        if (at > 0) {
            std::memcpy(&a, sorted.data() + at - vorn::kLogcallSize, sizeof a);
            if (vorn::compare_logcall(&a, &b) > 0)
                std::abort();
        }
        char first[vorn::kLogcallNumberSize], second[vorn::kLogcallNumberSize];
        vorn::get_logcall_numbers(&b, first, second);
        if (std::strlen(first) > 23 || std::strlen(second) > 23)
            std::abort();
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    if (before != after)
        std::abort();
}

// A folder of this run's own, made at its first use and removed at exit.
std::string g_folder;
const std::string &folder() {
    if (g_folder.empty()) {
        // In memory where there is such a folder: replacing a list syncs
        // it to the disk, which would slow the search down.
        std::string name = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        name += "/logcall_fuzz_XXXXXX";
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

// The export with files in a folder of its own; the folder must hold only
// the log and the lists afterwards.
void through_files(const uint8_t *data, size_t size) {
    set_TmpPath((folder() + "/x").c_str(), 1);
    const std::string log = folder() + "/log.bin", out = folder() + "/out.txt";
    const std::string in = folder() + "/in.txt", reject = folder() + "/reject.txt";
    if (std::FILE *f = std::fopen(log.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    char message[400];
    const int result = mklogcall(log.c_str(), out.c_str(), in.c_str(), reject.c_str(), message);
    if (result != 0)
        std::abort();
    for (const auto &entry : std::filesystem::directory_iterator(folder()))
        if (entry.path().filename().string().rfind("LOGCAL", 0) == 0)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Some runs format the trace lines as well (their output goes nowhere).
    set_debug(size % 8 == 0 ? 1 : 0);
    const uint32_t blocks = vorn::live_blocks();

    std::FILE *binary = std::tmpfile();
    std::FILE *lists[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
    if (binary && lists[0] && lists[1] && lists[2] && std::fwrite(data, 1, size, binary) == size) {
        if (vorn::sort_logcall(binary) != 0)
            std::abort();
        const std::string sorted = read_all(binary);
        check_sorted(data, size, sorted);
        // Every combination of the three files: out only, out and in, out
        // and reject, all three.
        for (int mode = 0; mode < 4; ++mode) {
            std::rewind(binary);
            if (vorn::convert_logcall(binary, lists[0], mode & 1 ? lists[1] : lists[0],
                                      mode & 2 ? lists[2] : lists[0]) != 0)
                std::abort();
        }
        std::rewind(binary);
        vorn::write_logcall_csv(binary, lists[1]);
        if (read_all(binary) != sorted)
            std::abort();
    }
    for (std::FILE *f : {binary, lists[0], lists[1], lists[2]})
        if (f)
            std::fclose(f);
    if (size % 16 == 1)
        through_files(data, size);
    if (vorn::live_blocks() != blocks)
        std::abort();
    return 0;
}
