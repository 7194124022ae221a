// The output buffer of a text list: lines are put together in place and
// handed to the file's stream in blocks of a quarter MiB, so that a million
// lines cost a few hundred writes instead of a stream call per field.
// Every few MiB the system is asked to start writing the text to the disk,
// so that the sync before the list is put in place waits for little.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace vorn::logs {

class TextBuffer {
  public:
    static constexpr size_t kBlock = 256 * 1024;
    // Without memory for a block the lines go out in small pieces.
    static constexpr size_t kFallback = 1024;
    static constexpr size_t kWriteback = size_t{8} << 20;

    explicit TextBuffer(std::FILE *stream)
        : m_stream(stream), m_block(new (std::nothrow) char[kBlock]),
          m_text(m_block ? m_block.get() : m_fallback), m_capacity(m_block ? kBlock : kFallback) {}
    TextBuffer(const TextBuffer &) = delete;
    TextBuffer &operator=(const TextBuffer &) = delete;

    std::FILE *stream() const { return m_stream; }
    // True once a block could not be written; what follows is dropped and
    // the stream's error flag tells the closer.
    bool failed() const { return m_failed; }

    // Room for `size` characters (at most kFallback) at the end of the text.
    char *reserve(size_t size) {
        if (m_capacity - m_length < size)
            flush();
        return m_text + m_length;
    }
    void commit(const char *end) { m_length = static_cast<size_t>(end - m_text); }

    void put(const char *text, size_t size) {
        while (size > 0) {
            size_t piece = size < m_capacity ? size : m_capacity;
            char *at = reserve(piece);
            std::memcpy(at, text, piece);
            commit(at + piece);
            text += piece;
            size -= piece;
        }
    }

    // Hands the text so far to the stream; false when it did not all go.
    bool flush() {
        if (m_length > 0 && !m_failed)
            m_failed = std::fwrite(m_text, 1, m_length, m_stream) != m_length;
        m_unsynced += m_length;
        m_length = 0;
        if (m_unsynced >= kWriteback) {
            platform::start_writeback(m_stream);
            m_unsynced = 0;
        }
        return !m_failed;
    }

  private:
    std::FILE *m_stream;
    std::unique_ptr<char[]> m_block;
    char m_fallback[kFallback];
    char *m_text;
    size_t m_capacity;
    size_t m_length = 0;
    size_t m_unsynced = 0; // handed over since the last start of a write-back
    bool m_failed = false;
};

} // namespace vorn::logs
