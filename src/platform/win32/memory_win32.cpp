// The global memory service of Windows: GlobalAlloc with the fixed and
// zero-initialise flags, GlobalSize and GlobalFree.
#include "platform/platform.h"
#include "platform/win32/system.h"

namespace vorn::platform {

void *global_alloc(size_t size) {
    return GlobalAlloc(GPTR, size);
}

size_t global_size(const void *block) {
    return block != nullptr ? GlobalSize(const_cast<HGLOBAL>(block)) : 0;
}

void global_free(void *block) {
    if (block != nullptr)
        GlobalFree(block);
}

} // namespace vorn::platform
