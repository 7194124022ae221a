// Read-only file views on POSIX systems: a shared mapping of the cached
// pages, filled in at once, as the one job that asks reads all of them.
#include "platform/mapped_file.h"

#include <sys/mman.h>

namespace vorn::platform {

bool MappedFile::map(std::FILE *stream, size_t length) {
    unmap();
    if (stream == nullptr || length == 0)
        return false;
    int flags = MAP_SHARED;
#ifdef MAP_POPULATE
    flags |= MAP_POPULATE; // one call instead of a page fault per few pages
#endif
    void *view = ::mmap(nullptr, length, PROT_READ, flags, ::fileno(stream), 0);
    if (view == MAP_FAILED)
        return false;
    m_data = static_cast<const uint8_t *>(view);
    m_size = length;
    return true;
}

void MappedFile::unmap() {
    if (m_data != nullptr)
        ::munmap(const_cast<uint8_t *>(m_data), m_size);
    m_data = nullptr;
    m_size = 0;
}

} // namespace vorn::platform
