// A read-only view of a file's content in memory.  A job that reads a
// large file once, in any order, sees the system's cached pages of it
// directly: no block is zero-filled for it and no byte is copied into one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vorn::platform {

class MappedFile {
  public:
    MappedFile() = default;
    ~MappedFile() { unmap(); }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Views the first `length` bytes of the file behind `stream`, which
    // must hold no buffered writes and must not change while it is viewed.
    // False, with nothing viewed, where the file cannot be mapped (a pipe,
    // no address space left, an empty length); the caller then reads it.
    bool map(std::FILE *stream, size_t length);
    void unmap();

    const uint8_t *data() const { return m_data; }
    size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

  private:
    const uint8_t *m_data = nullptr;
    size_t m_size = 0;
};

} // namespace vorn::platform
