// Sorting the binary call log by the time each call ended, so that the lists
// come out in time order whatever order the box's slots held them in.
#include "frame/frame.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "logs/logcall_sorted.h"
#include "trace/trace.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace vorn {
namespace {

// The box writes two-digit years; 97 to 99 are the years before 2000.
constexpr unsigned kFirstCenturyYear = 97;

// The twelve key bytes as two big-endian numbers: end year (raised by 100
// below 97), end month, day, hour, minute, second, start year and month in
// `high`; start day, hour, minute and second in `low`.
struct SortKey {
    uint64_t high;
    uint32_t low;

    explicit SortKey(const logcall_t &r) {
        unsigned end_year = r.end.year < kFirstCenturyYear ? r.end.year + 100u : r.end.year;
        const uint8_t bytes[8] = {static_cast<uint8_t>(end_year),
                                  r.end.month,
                                  r.end.day,
                                  r.end.hour,
                                  r.end.minute,
                                  r.end.second,
                                  r.start.year,
                                  r.start.month};
        high = 0;
        for (uint8_t b : bytes)
            high = (high << 8) | b;
        low = static_cast<uint32_t>(r.start.day) << 24 | static_cast<uint32_t>(r.start.hour) << 16 |
              static_cast<uint32_t>(r.start.minute) << 8 | r.start.second;
    }
};

int three_way(uint64_t a, uint64_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Everything after the slot word, compared as unsigned bytes.
int compare_body(const logcall_t &a, const logcall_t &b) {
    constexpr size_t kBody = offsetof(logcall_t, dad);
    return std::memcmp(reinterpret_cast<const uint8_t *>(&a) + kBody,
                       reinterpret_cast<const uint8_t *>(&b) + kBody, kLogcallSize - kBody);
}

using Entry = logs::SortedLogcall::Entry;
static_assert(sizeof(Entry) == 16);

// The order of two entries: key, then the other bytes, then the place in
// the file.  Equal records keep their order in the file, so a sort always
// gives the same bytes.
struct EntryLess {
    const logcall_t *records;
    bool operator()(const Entry &a, const Entry &b) const {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        if (int body = compare_body(records[a.index], records[b.index]))
            return body < 0;
        return a.index < b.index;
    }
};

// Key byte `at` of an entry, 0 the most significant of the twelve.
constexpr size_t kKeyBytes = 12;
unsigned key_byte(const Entry &e, size_t at) {
    return at < 8 ? static_cast<unsigned>(e.high >> (56 - 8 * at)) & 0xFF
                  : (e.low >> (24 - 8 * (at - 8))) & 0xFF;
}

// Sorts the entries in place by their key bytes from `at` on, most
// significant first (American flag sort): each pass counts the entries per
// byte value and swaps every entry into its bucket, then each bucket is
// sorted by the next byte.  Small buckets, and buckets whose keys are all
// equal, are left to the comparison sort, which also orders equal keys.
// Every entry differs in its place, so the result is the one order that
// EntryLess defines, whatever the algorithm.  No memory beyond the entries.
void radix_sort(Entry *first, Entry *last, size_t at, const EntryLess &less) {
    constexpr size_t kSmall = 64;
    for (;;) {
        const size_t n = static_cast<size_t>(last - first);
        if (n < kSmall || at == kKeyBytes) {
            std::sort(first, last, less);
            return;
        }
        size_t count[256] = {};
        for (const Entry *e = first; e != last; ++e)
            ++count[key_byte(*e, at)];
        if (count[key_byte(*first, at)] == n) {
            ++at; // one value only: nothing to move at this byte
            continue;
        }
        size_t next[256], end[256];
        for (size_t b = 0, sum = 0; b < 256; ++b) {
            next[b] = sum;
            sum += count[b];
            end[b] = sum;
        }
        for (size_t b = 0; b < 256; ++b) {
            while (next[b] < end[b]) {
                Entry e = first[next[b]];
                for (unsigned d = key_byte(e, at); d != b; d = key_byte(e, at))
                    std::swap(e, first[next[d]++]);
                first[next[b]++] = e;
            }
        }
        for (size_t b = 0, begin = 0; b < 256; begin = end[b++])
            if (end[b] - begin > 1)
                radix_sort(first + begin, first + end[b], at + 1, less);
        return;
    }
}

// The places of the records in sorted order; false without memory.
bool sorted_order(const logcall_t *records, size_t count, std::vector<Entry> &order) {
    try {
        order.reserve(count);
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const SortKey key(records[i]);
        order.push_back(Entry{key.high, key.low, static_cast<uint32_t>(i)});
    }
    radix_sort(order.data(), order.data() + order.size(), 0, EntryLess{records});
    return true;
}

// Writes the records in sorted order, gathered piece by piece into a buffer
// of whole records.
size_t write_sorted(std::FILE *binary, const logs::SortedLogcall &log) {
    constexpr size_t kPiece = 1024;
    // 75 KiB: too much for a host thread's stack.
    std::unique_ptr<logcall_t[]> piece(new (std::nothrow) logcall_t[kPiece]);
    if (!piece)
        return 0;
    size_t written = 0;
    for (size_t at = 0; at < log.size(); at += kPiece) {
        const size_t n = log.gather(at, piece.get(), kPiece);
        const size_t put = std::fwrite(piece.get(), kLogcallSize, n, binary);
        written += put;
        if (put != n)
            break;
    }
    return written;
}

} // namespace

int compare_logcall(const logcall_t *a, const logcall_t *b) {
    const SortKey ka(*a), kb(*b);
    if (int c = three_way(ka.high, kb.high))
        return c;
    if (int c = three_way(ka.low, kb.low))
        return c;
    int body = compare_body(*a, *b);
    return body < 0 ? -1 : (body > 0 ? 1 : 0);
}

int sort_logcall(std::FILE *binary) {
    logs::SortedLogcall log;
    const int result = log.read_and_sort(binary);
    return result != 0 ? result : log.write_back(binary);
}

namespace logs {

int SortedLogcall::read_and_sort(std::FILE *binary) {
    return load_and_sort(binary, false);
}

int SortedLogcall::view_and_sort(std::FILE *binary) {
    return load_and_sort(binary, true);
}

int SortedLogcall::load_and_sort(std::FILE *binary, bool view) {
    const long length = binary ? stream_length(binary) : kUnknownLength;
    dbg_printf("sort_logcall: allsize=%lu\n", length);
    if (length < 0) {
        dbg_printf("fread(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize), 0, 0,
                   code(LogResult::SortShortRead));
        return code(LogResult::SortShortRead);
    }
    size_t count = static_cast<size_t>(length) / kLogcallSize;
    if (view && count <= UINT32_MAX && m_view.map(binary, count * kLogcallSize)) {
        // The system's cached pages of the file are the records: no block
        // to zero-fill, nothing to copy.
        m_records = reinterpret_cast<const logcall_t *>(m_view.data());
    } else {
        m_block.reset(new (std::nothrow) TrackedBlock(static_cast<size_t>(length), "buf"));
        if (!m_block || !*m_block)
            return code(LogResult::NoMemory);
        count = m_block->size() / kLogcallSize;
        if (count > UINT32_MAX)
            return code(LogResult::NoMemory);
        std::rewind(binary);
        const size_t got = std::fread(m_block->data(), kLogcallSize, count, binary);
        if (got < count) {
            dbg_printf("fread(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize),
                       static_cast<int>(count), static_cast<int>(got),
                       code(LogResult::SortShortRead));
            return code(LogResult::SortShortRead);
        }
        m_records = reinterpret_cast<const logcall_t *>(m_block->data());
    }
    dbg_printf("sort_logcall: elements=%u size=%d\n", static_cast<unsigned>(count),
               static_cast<int>(kLogcallSize));
    return sorted_order(m_records, count, m_order) ? code(LogResult::Ok)
                                                   : code(LogResult::NoMemory);
}

size_t SortedLogcall::gather(size_t i, logcall_t *out, size_t count) const {
    constexpr size_t kAhead = 16;
    const size_t n = i < size() ? std::min(count, size() - i) : 0;
    for (size_t k = 0; k < n; ++k) {
        if (i + k + kAhead < size())
            __builtin_prefetch(&m_records[m_order[i + k + kAhead].index]);
        out[k] = m_records[m_order[i + k].index];
    }
    return n;
}

int SortedLogcall::write_back(std::FILE *binary) const {
    const size_t count = size();
    std::rewind(binary);
    size_t put = write_sorted(binary, *this);
    // The converter reads the copy back at once: a piece that did not reach
    // the file counts as not written.
    if (put == count && std::fflush(binary) != 0)
        put = 0;
    const int err = put < count ? code(LogResult::SortShortWrite) : code(LogResult::Ok);
    dbg_printf("sort_logcall: write %u err=%u\n", static_cast<unsigned>(count * kLogcallSize), err);
    if (err != 0) {
        dbg_printf("fwrite(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize),
                   static_cast<int>(count), static_cast<int>(put), err);
        return err;
    }
    std::rewind(binary);
    return 0;
}

} // namespace logs
} // namespace vorn
