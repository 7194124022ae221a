// Binary call logs of any content and length: sorting, the lists in every
// mode and the CSV table end with a result code or a conversion, never read
// outside a record, keep every byte of the log, and give back every block.
// Some runs go through the export with real files, which must leave no
// temporary copy behind.
#include "frame/frame.h"
#include "fuzz_input.h"
#include "logs/logcall.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The sorted copy holds the same records in order, numbers that fit their
// lists, and the tail unchanged.
void check_sorted(const uint8_t *data, size_t size, const std::string &sorted) {
    const size_t whole = size / vorn::kLogcallSize * vorn::kLogcallSize;
    fuzz::require(sorted.size() == size &&
                  std::memcmp(sorted.data() + whole, data + whole, size - whole) == 0);
    std::vector<std::string> before, after;
    vorn::logcall_t previous, record;
    for (size_t at = 0; at < whole; at += vorn::kLogcallSize) {
        before.emplace_back(reinterpret_cast<const char *>(data) + at, vorn::kLogcallSize);
        after.emplace_back(sorted.data() + at, vorn::kLogcallSize);
        std::memcpy(&record, sorted.data() + at, sizeof record);
        fuzz::require(at == 0 || vorn::compare_logcall(&previous, &record) <= 0);
        previous = record;
        char first[vorn::kLogcallNumberSize], second[vorn::kLogcallNumberSize];
        vorn::get_logcall_numbers(&record, first, second);
        fuzz::require(std::strlen(first) <= 23 && std::strlen(second) <= 23);
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    fuzz::require(before == after);
}

// The export with files in a folder of its own; the folder must hold only
// the log and the lists afterwards.
void through_files(const uint8_t *data, size_t size) {
    const std::string &folder = fuzz::own_folder("logcall_fuzz");
    set_TmpPath((folder + "/x").c_str(), 1);
    const std::string log = folder + "/log.bin", out = folder + "/out.txt";
    const std::string in = folder + "/in.txt", reject = folder + "/reject.txt";
    fuzz::write_path(log, data, size);
    char message[400];
    fuzz::require(mklogcall(log.c_str(), out.c_str(), in.c_str(), reject.c_str(), message) == 0);
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        fuzz::require(entry.path().filename().string().rfind("LOGCAL", 0) != 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::trace_some(size);
    const uint32_t blocks = vorn::live_blocks();
    std::FILE *binary = fuzz::stream_of(data, size);
    std::FILE *lists[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
    if (binary && lists[0] && lists[1] && lists[2]) {
        fuzz::require(vorn::sort_logcall(binary) == vorn::Error::Ok);
        const std::string sorted = fuzz::read_stream(binary);
        check_sorted(data, size, sorted);
        // Every combination of the three files: out only, out and in, out
        // and reject, all three.
        for (int mode = 0; mode < 4; ++mode) {
            std::rewind(binary);
            fuzz::require(vorn::convert_logcall(binary, lists[0], mode & 1 ? lists[1] : lists[0],
                                                mode & 2 ? lists[2] : lists[0]) == vorn::Error::Ok);
        }
        std::rewind(binary);
        vorn::write_logcall_csv(binary, lists[1]);
        fuzz::require(fuzz::read_stream(binary) == sorted);
    }
    for (std::FILE *f : {binary, lists[0], lists[1], lists[2]})
        if (f)
            std::fclose(f);
    if (size % 16 == 1)
        through_files(data, size);
    fuzz::require(vorn::live_blocks() == blocks);
    return 0;
}
