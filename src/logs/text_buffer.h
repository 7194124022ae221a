// The output buffer of a text list: lines are put together in place and
// handed to the file's stream in blocks of 64 KiB, so that a million lines
// cost a thousand writes instead of a stream call per field.  Given a block
// writer, the buffer has four blocks: one is filled while the writer's
// thread writes the others, and a write that is slow for once (the system
// starting to write the file to the disk) does not hold up the filling.  Every few MiB the system
// is asked to start writing the text to the disk, so that the sync before the list is put in place
// waits for little.
#pragma once

#include "logs/block_writer.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace vorn::logs {

class TextBuffer {
  public:
    static constexpr size_t kBlock = 64 * 1024;
    // Without memory for a block the lines go out in small pieces.
    static constexpr size_t kFallback = 1024;
    static constexpr size_t kWriteback = size_t{8} << 20;

    explicit TextBuffer(std::FILE *stream, BlockWriter *writer = nullptr) : m_writer(writer) {
        m_client.stream = stream;
        m_blocks[0].reset(new (std::nothrow) char[kBlock]);
        for (int i = 1; i < (m_writer ? BlockWriter::kBlocks : 1) && m_blocks[0]; ++i) {
            m_blocks[i].reset(new (std::nothrow) char[kBlock]);
            if (!m_blocks[i])
                break;
            m_count = i + 1;
        }
        if (m_count < 2)
            m_writer = nullptr;
        m_text = m_blocks[0] ? m_blocks[0].get() : m_fallback;
        m_capacity = m_blocks[0] ? kBlock : kFallback;
    }
    // Waits for the blocks in the writer's hands: they are the buffer's.
    ~TextBuffer() { finish(); }
    TextBuffer(const TextBuffer &) = delete;
    TextBuffer &operator=(const TextBuffer &) = delete;

    std::FILE *stream() const { return m_client.stream; }
    // True once a block could not be written; what follows is dropped and
    // the stream's error flag tells the closer.
    bool failed() const { return m_client.failed.load(std::memory_order_relaxed); }

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

    // Hands the text so far on; false when a block could not be written.
    bool flush() {
        m_unsynced += m_length;
        const bool writeback = m_unsynced >= kWriteback;
        if (writeback)
            m_unsynced = 0;
        if (m_writer) {
            m_writer->write(m_client, m_current, m_text, m_length, writeback);
            m_current = (m_current + 1) % m_count;
            m_text = m_blocks[m_current].get();
            m_writer->wait(m_client, m_current);
        } else {
            if (m_length > 0 && !failed() &&
                std::fwrite(m_text, 1, m_length, m_client.stream) != m_length)
                m_client.failed.store(true, std::memory_order_relaxed);
            if (writeback)
                platform::start_writeback(m_client.stream);
        }
        m_length = 0;
        return !failed();
    }

    // Hands the text so far on and waits until all of it is written; the
    // stream may be closed then.  False when not all of it went.
    bool finish() {
        if (m_length > 0)
            flush();
        if (m_writer)
            for (int i = 0; i < m_count; ++i)
                m_writer->wait(m_client, i);
        return !failed();
    }

  private:
    BlockWriter *m_writer;
    BlockWriter::Client m_client;
    std::unique_ptr<char[]> m_blocks[BlockWriter::kBlocks];
    int m_count = 1;   // blocks had
    int m_current = 0; // the block being filled
    char m_fallback[kFallback];
    char *m_text;
    size_t m_capacity;
    size_t m_length = 0;
    size_t m_unsynced = 0; // handed over since the last start of a write-back
};

} // namespace vorn::logs
