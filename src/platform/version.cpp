// The version resource of the library: the project version compiled in.
#include "platform/platform.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <strings.h>

#ifndef VORN_B32_FILE_VERSION
#define VORN_B32_FILE_VERSION "0.0.0.0"
#endif

namespace vorn::platform {

const char *library_version() {
    return VORN_B32_FILE_VERSION;
}

bool module_is_library(const char *module) {
    if (module == nullptr)
        return false;
    if (strcasecmp(module, "Vorn_B32.DLL") == 0)
        return true;
    // The path of the loaded library file names it as well.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void *>(&module_is_library), &info) == 0 ||
        info.dli_fname == nullptr)
        return false;
    char a[PATH_MAX];
    char b[PATH_MAX];
    if (::realpath(module, a) == nullptr || ::realpath(info.dli_fname, b) == nullptr)
        return false;
    return std::strcmp(a, b) == 0;
}

} // namespace vorn::platform
