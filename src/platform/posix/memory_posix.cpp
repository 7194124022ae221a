// The global memory service on POSIX systems: zero-filled blocks that
// remember the size they were asked for, so that the release trace line of
// the tracked allocator can print it.
#include "platform/platform.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace vorn::platform {
namespace {

struct alignas(16) BlockHeader {
    size_t size;
};

// Large blocks (the call log sort holds a whole log in one) are backed by
// huge pages where the system offers them on request: a fraction of the
// page faults, and records gathered from anywhere in the block miss the
// address cache far less often.  Only advice: the block works without it.
void advise_huge_pages(void *block, size_t size) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    if (size < 4 * kHugePage)
        return;
    const auto begin = reinterpret_cast<uintptr_t>(block);
    const uintptr_t from = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t to = (begin + size) & ~(kHugePage - 1);
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_HUGEPAGE);
#else
    (void)block;
    (void)size;
#endif
}

} // namespace

void *global_alloc(size_t size) {
    if (size > SIZE_MAX - sizeof(BlockHeader))
        return nullptr;
    auto *header = static_cast<BlockHeader *>(std::calloc(1, sizeof(BlockHeader) + size));
    if (header == nullptr)
        return nullptr;
    header->size = size;
    advise_huge_pages(header + 1, size);
    return header + 1;
}

size_t global_size(const void *block) {
    return block != nullptr ? (static_cast<const BlockHeader *>(block) - 1)->size : 0;
}

void global_free(void *block) {
    if (block != nullptr)
        std::free(static_cast<BlockHeader *>(block) - 1);
}

} // namespace vorn::platform
