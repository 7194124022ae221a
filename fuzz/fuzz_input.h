// Small helpers the fuzz targets share: a failed check ends the run (libFuzzer
// keeps the input), inputs become files or streams, and a run's files live
// in a folder of its own.
#pragma once

#include "vorn_b32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

inline void require(bool ok) {
    if (!ok)
        std::abort();
}

// Draws values from the input bytes; zeros once they run out.
struct Bytes {
    const uint8_t *data;
    size_t size;
    size_t at = 0;
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint64_t bits(int count) {
        uint64_t v = 0;
        for (int i = 0; i < count; ++i)
            v |= static_cast<uint64_t>(byte()) << (8 * i);
        return v;
    }
};

// Some runs format the trace lines as well (their output goes nowhere);
// tracing every run would slow the search down tenfold.
inline void trace_some(size_t size) {
    set_debug(size % 8 == 0 ? 1 : 0);
}

inline std::string read_stream(std::FILE *f) {
    std::string out;
    std::rewind(f);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        out.append(buf, n);
    return out;
}

inline std::string read_path(const std::string &path) {
    std::string out;
    if (std::FILE *f = std::fopen(path.c_str(), "rb")) {
        out = read_stream(f);
        std::fclose(f);
    }
    return out;
}

inline bool write_path(const std::string &path, const void *data, size_t size) {
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// A temporary stream holding the input, read from its start; null when the
// system has none to give.
inline std::FILE *stream_of(const uint8_t *data, size_t size) {
    std::FILE *f = std::tmpfile();
    if (f != nullptr && (std::fwrite(data, 1, size, f) != size || std::fseek(f, 0, SEEK_SET))) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

// A folder of this run's own, made at its first use and removed at exit.
// In memory where there is such a folder: replacing a file syncs it to the
// disk, which would slow the search down.
inline const std::string &own_folder(const char *target) {
    static std::string folder;
    if (folder.empty()) {
        folder = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/" : "/tmp/";
        folder += std::string(target) + "_XXXXXX";
        require(mkdtemp(folder.data()) != nullptr);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
    }
    return folder;
}

} // namespace fuzz
