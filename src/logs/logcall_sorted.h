// A binary call log held in memory with the sorted order of its records.
//
// sort_logcall reads the whole log into one block, sorts small entries (key
// and place) instead of the 75-byte records and writes the records back in
// that order.  mklogcall, while the debug trace is off, sorts the log where
// it holds it in memory (or, where it could not, where its copy is viewed)
// and writes the lists straight from the sorted entries: the sorted copy
// would only be written to the file to be read back at once.
#pragma once

#include "logs/block_writer.h"
#include "logs/conversion_stats.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "platform/mapped_file.h"
#include "platform/platform.h"

#include <cstdint>
#include <cstdio>
#include <memory>

namespace vorn::logs {

class SortedLogcall {
  public:
    // A record's key beside its place in the block, 16 bytes: the twelve key
    // bytes as two big-endian numbers, and the record's index.
    struct Entry {
        uint64_t high;
        uint32_t low;
        uint32_t index;
    };

    // The entries of a log, in one block of the system's memory: a million
    // of them fill 16 MB, which the system backs with huge pages where it
    // can, so that the sort's jumps through them rarely miss the address
    // cache.
    class Order {
      public:
        Order() = default;
        ~Order() { platform::global_free(m_entries); }
        Order(const Order &) = delete;
        Order &operator=(const Order &) = delete;

        // Room for `count` entries; false without memory.
        bool allocate(size_t count) {
            platform::global_free(m_entries);
            m_size = 0;
            m_entries = nullptr;
            if (count > SIZE_MAX / sizeof(Entry))
                return false;
            m_entries = static_cast<Entry *>(platform::global_alloc(count * sizeof(Entry)));
            if (m_entries == nullptr)
                return false;
            m_size = count;
            return true;
        }
        Entry *data() { return m_entries; }
        size_t size() const { return m_size; }
        const Entry &operator[](size_t i) const { return m_entries[i]; }

      private:
        Entry *m_entries = nullptr;
        size_t m_size = 0;
    };

    // Reads the whole records of `binary` from its start and sorts them,
    // with sort_logcall's trace lines.  Returns Ok; NoMemory, SortShortRead
    // when fewer records could be read than the length promised.
    Error read_and_sort(std::FILE *binary);
    // The same, with the records left where they lie: the file is viewed in
    // memory (read into a block only where it cannot be), so it must not
    // change while the log is in use, and write_back onto it is not allowed.
    Error view_and_sort(std::FILE *binary);

    // The same for the records of a log in memory, which must stay where
    // they are while the log is in use.
    Error sort_image(const uint8_t *data, size_t length);

    // Writes the records back from the start of `binary` in sorted order and
    // rewinds it.  Returns Ok, or SortShortWrite when not all of them
    // reached the file.
    Error write_back(std::FILE *binary) const;

    size_t size() const { return m_order.size(); }
    // The i-th record in sorted order.
    const logcall_t &operator[](size_t i) const { return m_records[m_order[i].index]; }
    // Copies up to `count` records from the i-th on, in sorted order, to
    // `out`; returns how many.  The records lie anywhere in the block: a tight
    // copy loop has many of them on their way at once, where a conversion
    // that waited for each in turn would take longer than the sort.
    size_t gather(size_t i, logcall_t *out, size_t count) const;

  private:
    Error load_and_sort(std::FILE *binary, bool view);

    platform::MappedFile m_view;
    std::unique_ptr<TrackedBlock> m_block;
    const logcall_t *m_records = nullptr;
    Order m_order;
};

// convert_logcall over the records of a sorted log in memory.
// The lists' blocks are written by `writer`'s thread (one of its own when
// none is given).
Error convert_sorted_logcall(const SortedLogcall &log, std::FILE *out, std::FILE *in,
                             std::FILE *reject, LogcallStats *stats = nullptr,
                             BlockWriter *writer = nullptr);

// write_logcall_csv over the records of a sorted log in memory.
Error write_sorted_logcall_csv(const SortedLogcall &log, std::FILE *csv);

} // namespace vorn::logs
