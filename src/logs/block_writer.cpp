// The writing thread of the text conversions: a ring of handed-over blocks,
// written one after the other, with their buffers told when each is done.
#include "logs/block_writer.h"

#include "platform/platform.h"

#include <algorithm>
#include <system_error>

namespace vorn::logs {

BlockWriter::BlockWriter() {
    try {
        m_thread = std::thread(&BlockWriter::run, this);
    } catch (const std::system_error &) {
        // No thread to be had: every block is written when it is handed over.
    }
}

BlockWriter::~BlockWriter() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_one();
    m_thread.join();
}

void BlockWriter::put(const Job &job) {
    // A large block (a whole call log) goes in pieces: a single write of
    // tens of megabytes was seen to take ten times as long as its pieces.
    constexpr size_t kPiece = size_t{1} << 20;
    Client &client = *job.client;
    for (size_t at = 0; at < job.size && !client.failed.load(std::memory_order_relaxed);) {
        const size_t piece = std::min(job.size - at, kPiece);
        if (std::fwrite(job.data + at, 1, piece, client.stream) != piece)
            client.failed.store(true, std::memory_order_relaxed);
        at += piece;
    }
    if (job.writeback)
        platform::start_writeback(client.stream);
}

void BlockWriter::write(Client &client, int which, const char *data, size_t size, bool writeback) {
    const Job job{&client, which, data, size, writeback};
    if (!m_thread.joinable()) {
        put(job);
        return;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_count == kQueue) {
        ++m_waiters;
        m_done.wait(lock, [this] { return m_count < kQueue; });
        --m_waiters;
    }
    client.busy[which] = true;
    m_queue[(m_first + m_count) % kQueue] = job;
    ++m_count;
    // A busy thread finds the block when it is done with the last one: a
    // wake-up per block would cost more than writing it to a fast file.
    const bool wake = m_idle;
    lock.unlock();
    if (wake)
        m_work.notify_one();
}

void BlockWriter::wait(Client &client, int which) {
    if (!m_thread.joinable())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!client.busy[which])
        return;
    ++m_waiters;
    m_done.wait(lock, [&] { return !client.busy[which]; });
    --m_waiters;
}

void BlockWriter::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_idle = true;
        m_work.wait(lock, [this] { return m_count > 0 || m_stop; });
        m_idle = false;
        if (m_count == 0)
            return; // stopped with nothing left
        const Job job = m_queue[m_first];
        lock.unlock();
        put(job);
        lock.lock();
        m_first = (m_first + 1) % kQueue;
        --m_count;
        job.client->busy[job.which] = false;
        if (m_waiters > 0)
            m_done.notify_all();
    }
}

} // namespace vorn::logs
