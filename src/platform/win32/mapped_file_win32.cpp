// Read-only file views on Windows: a file mapping object over the stream's
// handle and one view of it.  The view holds the mapping object, so its
// handle is closed at once.
#include "platform/mapped_file.h"
#include "platform/win32/system.h"

#include <cstdint>
#include <io.h>

namespace vorn::platform {

bool MappedFile::map(std::FILE *stream, size_t length) {
    unmap();
    if (stream == nullptr || length == 0)
        return false;
    const intptr_t handle = ::_get_osfhandle(::_fileno(stream));
    if (handle == -1)
        return false;
    const uint64_t size = length;
    HANDLE mapping =
        ::CreateFileMappingA(reinterpret_cast<HANDLE>(handle), nullptr, PAGE_READONLY,
                             static_cast<DWORD>(size >> 32), static_cast<DWORD>(size), nullptr);
    if (mapping == nullptr)
        return false;
    void *view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, length);
    ::CloseHandle(mapping);
    if (view == nullptr)
        return false;
    m_data = static_cast<const uint8_t *>(view);
    m_size = length;
    return true;
}

void MappedFile::unmap() {
    if (m_data != nullptr)
        ::UnmapViewOfFile(m_data);
    m_data = nullptr;
    m_size = 0;
}

} // namespace vorn::platform
