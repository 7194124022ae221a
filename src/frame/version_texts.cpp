// File version texts: "<module> <version>", shortened to the caller's size.
#include "frame/version_texts.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstring>
#include <string>

using namespace vorn;

namespace vorn {

int read_file_version(const char *module, char *buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0 || module == nullptr)
        return 0;
    size_t info_size = platform::version_info_size(module);
    if (info_size == 0)
        return 0;
    auto *info = myAlloc(info_size, "FVData");
    if (info == nullptr)
        return 0;
    std::memset(buffer, 0, capacity);
    int found = 0;
    if (platform::version_info_read(module, info, info_size)) {
        if (const char *version = platform::version_info_file_version(info, info_size)) {
            std::strncpy(buffer, version, capacity);
            buffer[capacity - 1] = '\0';
            found = 1;
        }
    }
    myFree(info, "FVData");
    return found;
}

} // namespace vorn

namespace {

// Writes `text` and then the version of `module` with at most `capacity`
// bytes (terminator included), never beyond size bytes in all.
int32_t compose(const char *module, char *buffer, int32_t size, const char *text, long capacity,
                bool with_version) {
    size_t room = static_cast<size_t>(size);
    size_t len = std::strlen(text);
    if (len > room - 1)
        len = room - 1; // a text that does not fit is cut, never overrun
    std::memcpy(buffer, text, len);
    buffer[len] = '\0';
    long left = static_cast<long>(room - len);
    if (capacity > left)
        capacity = left;
    if (with_version && capacity > 0)
        read_file_version(module, buffer + len, static_cast<size_t>(capacity));
    return static_cast<int32_t>(std::strlen(buffer));
}

} // namespace

extern "C" VORN_B32_API int32_t get_dll_version(const char *module, char *buffer, int32_t size) {
    try {
        if (buffer == nullptr || size <= 0)
            return 0;
        if (module == nullptr) {
            buffer[0] = '\0';
            return 0;
        }
        long n = static_cast<long>(std::strlen(module));
        char text[300];
        if (size >= 22) {
            std::snprintf(text, sizeof text, "%.*s ", 290, module);
            long capacity = size >= 49 ? size - (n + 1) : (size >= 33 ? 33 - n : 22 - n);
            return compose(module, buffer, size, text, capacity, true);
        }
        if (size >= 18 && n < 18) {
            // "Vorn_B32.DLL" becomes "Vorn_B32 ": the extension gives way to
            // the version.
            std::snprintf(text, sizeof text, "%.17s", module);
            if (char *dot = std::strrchr(text, '.')) {
                dot[0] = ' ';
                dot[1] = '\0';
            }
            return compose(module, buffer, size, text, 18 - static_cast<long>(std::strlen(text)),
                           true);
        }
        buffer[0] = '\0';
        return 0;
    } catch (...) {
        return 0;
    }
}

extern "C" VORN_B32_API int32_t get_vorn_b32_dll_version(char *buffer, int32_t size) {
    try {
        if (buffer == nullptr || size <= 0)
            return 0;
        const char *module = kModuleLabel;
        const std::string head = std::string(kModuleLabel) + " ";
        if (size >= 49)
            return compose(module, buffer, size, head.c_str(), size - 13, true);
        if (size >= 33)
            return compose(module, buffer, size, head.c_str(), 21, true);
        if (size >= 22)
            return compose(module, buffer, size, head.c_str(), 10, true);
        if (size >= 18)
            return compose(module, buffer, size, "Vorn_B32 ", 10, true);
        if (size >= 8)
            return compose(module, buffer, size, "Vorn_B32 ", 0, false);
        buffer[0] = '\0';
        return 0;
    } catch (...) {
        return 0;
    }
}
