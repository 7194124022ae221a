// The setter and getter exports: they fill and read the calling thread's
// state.  None of them lets an exception reach the host.
#include "frame/frame.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstring>

using namespace vorn;

namespace {

// Copies at most size characters (zero-padded) and terminates at size - 1.
void copy_out(char *buffer, uint32_t size, const char *text) {
    if (buffer == nullptr || size == 0)
        return;
    std::strncpy(buffer, text, size);
    buffer[size - 1] = '\0';
}

// Cuts a file path to its folder: at the last backslash, or without one at
// the last slash; a bare name leaves no folder.
void cut_to_folder(char *path) {
    char *sep = std::strrchr(path, '\\');
    if (sep == nullptr)
        sep = std::strrchr(path, '/');
    if (sep != nullptr)
        *sep = '\0';
    else
        path[0] = '\0';
}

} // namespace

extern "C" VORN_B32_API void set_optimize_files(uint32_t value) {
    with_instance_globals([&](CInstanceGlobals &g) { g.m_dwOptimizeFiles = value; });
}

extern "C" VORN_B32_API void set_optimize_ex(uint32_t value) {
    with_instance_globals([&](CInstanceGlobals &g) { g.m_dwOptimizeEx = value; });
}

extern "C" VORN_B32_API void set_tool_name(const char *name) {
    with_instance_globals([&](CInstanceGlobals &g) {
        // A name of 80 characters fills the field without a terminator.
        std::strncpy(g.m_szToolName, name != nullptr ? name : "", sizeof g.m_szToolName);
    });
}

extern "C" VORN_B32_API void set_TmpPath(const char *path, int32_t force) {
    with_instance_globals([&](CInstanceGlobals &g) {
        if (g.m_szTmpPath[0] != '\0' && force == 0)
            return;
        std::strncpy(g.m_szTmpPath, path != nullptr ? path : "", sizeof g.m_szTmpPath - 1);
        g.m_szTmpPath[sizeof g.m_szTmpPath - 1] = '\0';
        cut_to_folder(g.m_szTmpPath);
    });
}

extern "C" VORN_B32_API void get_TmpPath(char *buffer, uint32_t size) {
    with_instance_globals([&](CInstanceGlobals &g) { copy_out(buffer, size, g.m_szTmpPath); });
}

extern "C" VORN_B32_API void set_Password(const char *password) {
    with_instance_globals([&](CInstanceGlobals &g) {
        if (password == nullptr) {
            std::memset(g.m_szPassword, 0, 40);
            return;
        }
        std::strncpy(g.m_szPassword, password, 40);
        g.m_szPassword[39] = '\0';
    });
}

extern "C" VORN_B32_API void get_Password(char *buffer, uint32_t size) {
    with_instance_globals([&](CInstanceGlobals &g) {
        if (g.m_szPassword[0] == '\0') {
            // The default is put together character by character so that it
            // does not stand in the library file as one readable string.
            char *p = g.m_szPassword;
            p[0] = 'k';
            p[1] = 'e';
            p[2] = 'm';
            p[3] = 'a';
            p[4] = 'x';
            p[5] = '\0';
        }
        copy_out(buffer, size, g.m_szPassword);
    });
}

extern "C" VORN_B32_API void set_DevInfo(const void *devinfo) {
    if (devinfo == nullptr)
        return;
    with_instance_globals([&](CInstanceGlobals &g) {
        auto *copy = static_cast<uint8_t *>(myAlloc(kDevInfoSize, "pGlobalDevInfo"));
        if (copy == nullptr)
            return; // the previous copy stays
        std::memcpy(copy, devinfo, kDevInfoSize);
        if (g.m_pDevInfo != nullptr)
            myFree(g.m_pDevInfo, "pGlobalDevInfo");
        g.m_pDevInfo = copy;
    });
}

extern "C" VORN_B32_API void set_global_error(void) {
    with_instance_globals([](CInstanceGlobals &g) {
        try {
            g.m_aGlobalErrors.clear();
        } catch (...) {
            dbg_error("_set_global_error failed\n");
        }
    });
}
