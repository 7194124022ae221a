// The version information of modules on POSIX systems.  Shared objects carry
// no version resource; this library reports its compiled-in version when a
// module name names it, and other modules report none.
#include "platform/platform.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <strings.h>

namespace vorn::platform {
namespace {

// kModuleLabel (any case) or the path of the loaded library file.
bool module_is_library(const char *module) {
    if (module == nullptr)
        return false;
    if (strcasecmp(module, kModuleLabel) == 0)
        return true;
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

} // namespace

size_t version_info_size(const char *module) {
    return module_is_library(module) ? std::strlen(library_version()) + 1 : 0;
}

bool version_info_read(const char *module, void *block, size_t size) {
    if (block == nullptr || size < version_info_size(module) || !module_is_library(module))
        return false;
    std::memcpy(block, library_version(), std::strlen(library_version()) + 1);
    return true;
}

const char *version_info_file_version(const void *block, size_t size) {
    // The block is the version text itself; it must end inside the block.
    if (block == nullptr || std::memchr(block, '\0', size) == nullptr)
        return nullptr;
    return static_cast<const char *>(block);
}

} // namespace vorn::platform
