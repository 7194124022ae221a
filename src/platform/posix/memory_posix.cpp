// The global memory service on POSIX systems: zero-filled blocks that
// remember the size they were asked for, so that the release trace line of
// the tracked allocator can print it.
#include "platform/platform.h"

#include <cstdint>
#include <cstdlib>

namespace vorn::platform {
namespace {

struct alignas(16) BlockHeader {
    size_t size;
};

} // namespace

void *global_alloc(size_t size) {
    if (size > SIZE_MAX - sizeof(BlockHeader))
        return nullptr;
    auto *header = static_cast<BlockHeader *>(std::calloc(1, sizeof(BlockHeader) + size));
    if (header == nullptr)
        return nullptr;
    header->size = size;
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
