// The version information of modules on Windows, read with the version API
// (GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA).
#include "platform/platform.h"
#include "platform/win32/system.h"

#include <cstdio>
#include <string>

namespace vorn::platform {
namespace {

// The module whose code this is: the library, or a program that links the
// library's code in (the tool carries the same version resource).
std::string own_path() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&own_path), &self))
        return std::string();
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(self, path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return std::string();
    return std::string(path, n);
}

std::string full_path(const char *path) {
    char full[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full)
        return std::string();
    return std::string(full, n);
}

// The file whose version information answers for `module`.  The library's
// own name reads the loaded file itself, not whatever file of that name the
// search path finds first.
std::string version_file(const char *module) {
    if (module == nullptr)
        return std::string();
    std::string self = own_path();
    if (!self.empty()) {
        if (_stricmp(module, kModuleLabel) == 0)
            return self;
        std::string full = full_path(module);
        if (!full.empty() && _stricmp(full.c_str(), self.c_str()) == 0)
            return self;
    }
    return module;
}

} // namespace

size_t version_info_size(const char *module) {
    std::string file = version_file(module);
    if (file.empty())
        return 0;
    DWORD unused = 0;
    return GetFileVersionInfoSizeA(file.c_str(), &unused);
}

bool version_info_read(const char *module, void *block, size_t size) {
    std::string file = version_file(module);
    if (file.empty() || block == nullptr || size == 0 || size > MAXDWORD)
        return false;
    return GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(size), block) != FALSE;
}

const char *version_info_file_version(const void *block, size_t size) {
    if (block == nullptr || size == 0)
        return nullptr;
    struct Translation {
        WORD language;
        WORD code_page;
    };
    Translation *first = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&first),
                        &length) ||
        first == nullptr || length < sizeof(Translation))
        return nullptr;
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileVersion", first->language,
                  first->code_page);
    char *value = nullptr;
    if (!VerQueryValueA(block, query, reinterpret_cast<void **>(&value), &length) ||
        value == nullptr || length == 0)
        return nullptr;
    return value;
}

} // namespace vorn::platform
