// A thread of its own that writes the text of a conversion to its files.
// Putting lines together and the system's copying of text into a file take
// about as long as each other; with the writes on a second processor the
// next block is put together while the last one is being written.  Blocks
// are written in the order they are handed over, so each file receives its
// text in order; without a thread they are written at once, as before.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <thread>

namespace vorn::logs {

class BlockWriter {
  public:
    // What one buffer hands over: its stream, and where the writer tells it
    // how the writes went.
    // A buffer has up to this many blocks.
    static constexpr int kBlocks = 4;

    struct Client {
        std::FILE *stream = nullptr;
        std::atomic<bool> failed{false}; // a block did not all go
        bool busy[kBlocks] = {};         // block i handed over, not yet written
    };

    BlockWriter();
    // Writes what has been handed over, then ends the thread.
    ~BlockWriter();
    BlockWriter(const BlockWriter &) = delete;
    BlockWriter &operator=(const BlockWriter &) = delete;

    // Hands block `which` of `client` over: `size` characters at `data`,
    // which stay untouched until wait() says it is written.  `writeback`
    // asks the system to start writing the file to the disk afterwards.
    void write(Client &client, int which, const char *data, size_t size, bool writeback);
    // Returns once block `which` of `client` is written.
    void wait(Client &client, int which);

  private:
    struct Job {
        Client *client;
        int which;
        const char *data;
        size_t size;
        bool writeback;
    };
    static void put(const Job &job);
    void run();

    // A conversion has few buffers, each with a few blocks: the queue is a
    // small ring.
    static constexpr size_t kQueue = 16;
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    Job m_queue[kQueue] = {};
    size_t m_first = 0;
    size_t m_count = 0;
    bool m_stop = false;
    bool m_idle = false; // the thread waits for work
    int m_waiters = 0;   // callers waiting for a block or for room
    std::thread m_thread;
};

} // namespace vorn::logs
