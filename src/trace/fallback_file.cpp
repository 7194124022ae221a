// The fallback trace file "DBG--nnn.nnn" in the current directory, used
// when a host's ptrace line cannot reach the debug output.
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace vorn {
namespace {

struct FallbackFile {
    std::FILE *file = nullptr;
    char name[13] = "DBG--XXXXXX";
    unsigned counter = 0;
    void *semaphore = nullptr;
    bool at_line_start = true;
    // Keeps two threads of this process from opening two files at once; the
    // semaphore keeps processes apart while they write.
    std::mutex mutex;
};

FallbackFile &fallback() {
    static FallbackFile *f = new FallbackFile; // outlives every static object
    return *f;
}

// make_trace_fname with the fallback state's mutex held.
int next_trace_fname(FallbackFile &f, char *buffer) {
    while (f.counter < 1000000) {
        char name[32];
        std::snprintf(name, sizeof name, "DBG--%03u.%03u", f.counter / 1000, f.counter % 1000);
        int rc = platform::create_new_file(name);
        ++f.counter;
        if (rc == 0) {
            if (buffer != nullptr)
                std::memcpy(buffer, name, 13);
            return 0;
        }
    }
    if (buffer != nullptr)
        buffer[0] = '\0';
    return 1;
}

// Opens the next free fallback file with its head line and the semaphore
// that keeps the processes writing to such files apart.
bool open_fallback_file(FallbackFile &f) {
    if (next_trace_fname(f, f.name) == 0)
        f.file = std::fopen(f.name, "w");
    if (f.file == nullptr)
        return false;
    std::fprintf(f.file, "%-*s: %s\n", 16, "debug to", f.name);
    platform::semaphore_close(f.semaphore);
    f.semaphore = platform::semaphore_create("TraceMutex", 1);
    return true;
}

} // namespace

void remove_matching_files(const char *pattern) {
    for (const std::string &name : platform::find_files(pattern)) {
        std::printf("%-*s: %s\n", 16, "remove", name.c_str());
        // The bare name: matches are removed from the current directory.
        platform::remove_file(name.c_str());
    }
    std::fflush(stdout);
}

int make_trace_fname(char *buffer) {
    // The name counter is process-wide: two threads must not draw the same
    // number.
    FallbackFile &f = fallback();
    std::lock_guard<std::mutex> lock(f.mutex);
    return next_trace_fname(f, buffer);
}

void file_trace(const char *format, va_list args) {
    FallbackFile &f = fallback();
    std::lock_guard<std::mutex> lock(f.mutex);
    if (format == nullptr) {
        if (f.file != nullptr)
            std::fclose(f.file);
        f.file = nullptr;
        remove_matching_files("DBG--\?\?\?.\?\?\?");
        return;
    }
    if (f.file == nullptr && !open_fallback_file(f))
        return;
    bool owned = platform::semaphore_wait(f.semaphore, 1000);
    if (f.at_line_start) {
        platform::LocalTime t = platform::local_time();
        std::fprintf(f.file, "%02u:%02u:%02u,%03u :", static_cast<unsigned>(t.hour),
                     static_cast<unsigned>(t.minute), static_cast<unsigned>(t.second),
                     static_cast<unsigned>(t.millisecond));
    }
    std::vector<char> fmt(std::strlen(format) + 1);
    platform::runtime_format(format, fmt.data(), fmt.size());
    char text[720];
    va_list again;
    va_copy(again, args);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = std::vsnprintf(text, sizeof text, fmt.data(), args);
    const char *out = text;
    std::vector<char> big;
    if (n >= static_cast<int>(sizeof text)) {
        // A long host line is written whole rather than cut.
        big.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), fmt.data(), again);
        out = big.data();
    }
#pragma GCC diagnostic pop
    va_end(again);
    if (n < 0)
        n = 0, text[0] = '\0';
    // Written by length: a %c of 0 in a host's line must not cut off the rest.
    std::fwrite(out, 1, static_cast<size_t>(n), f.file);
    f.at_line_start = n > 0 && out[n - 1] == '\n';
    std::fflush(f.file);
    if (owned)
        platform::semaphore_release(f.semaphore);
}

} // namespace vorn
