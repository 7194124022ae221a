// Sorting the binary call log by the time each call ended, so that the lists
// come out in time order whatever order the box's slots held them in.
#include "frame/export_results.h"
#include "frame/frame.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "logs/logcall_sorted.h"
#include "trace/trace.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

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

// Below this many entries a bucket is left to the comparison sort.
constexpr size_t kSmall = 32;

// Distributes the entries in place into the buckets of `digit` (American
// flag sort: count the entries per digit value, then swap every entry into
// its bucket), leaving the end of bucket b in end[b].  False, with nothing
// moved, when all entries have one digit value.
template <class Digit>
bool distribute(Entry *first, size_t n, size_t bins, Digit digit, uint32_t *next, uint32_t *end) {
    std::fill(end, end + bins, 0u);
    for (size_t i = 0; i < n; ++i)
        ++end[digit(first[i])];
    if (end[digit(first[0])] == n)
        return false;
    for (size_t b = 0, sum = 0; b < bins; ++b) {
        next[b] = static_cast<uint32_t>(sum);
        sum += end[b];
        end[b] = static_cast<uint32_t>(sum);
    }
    for (size_t b = 0; b < bins; ++b) {
        while (next[b] < end[b]) {
            Entry e = first[next[b]];
            for (size_t d = digit(e); d != b; d = digit(e))
                std::swap(e, first[next[d]++]);
            first[next[b]++] = e;
        }
    }
    return true;
}

// Sorts the entries by their key bytes from `at` on, most significant
// first, a byte per pass; each bucket is then sorted by the next byte.
// Small buckets, and buckets whose keys are all equal, are left to the
// comparison sort, which also orders equal keys.  Every entry differs in
// its place, so the result is the one order that EntryLess defines,
// whatever the algorithm.  No memory beyond the entries.
void sort_by_bytes(Entry *first, Entry *last, size_t at, const EntryLess &less) {
    for (;;) {
        const size_t n = static_cast<size_t>(last - first);
        if (n < kSmall || at == kKeyBytes) {
            std::sort(first, last, less);
            return;
        }
        uint32_t next[256], end[256];
        if (!distribute(
                first, n, 256, [at](const Entry &e) { return key_byte(e, at); }, next, end)) {
            ++at; // one value only: nothing to move at this byte
            continue;
        }
        for (size_t b = 0, begin = 0; b < 256; begin = end[b++])
            if (end[b] - begin > 1)
                sort_by_bytes(first + begin, first + end[b], at + 1, less);
        return;
    }
}

// The twelve key bytes in as few bits as keep their order.  A log holds few
// different values at each place (twelve months, 24 hours, a year or two),
// so each byte is replaced by its rank among the values found at its place,
// in just enough bits for them; the packed keys compare as the bytes do.
// A pass of the sort then places entries by several bytes at once, and a
// million entries take two passes instead of five or six.
class KeyPacking {
  public:
    // Notes the key bytes of an entry.
    void note(const Entry &e) {
        for (size_t at = 0; at < kKeyBytes; ++at)
            m_seen[at][key_byte(e, at)] = 1;
    }

    // Works out the ranks; false when the ranks need more than 64 bits.
    bool plan() {
        m_bits = 0;
        for (size_t at = 0; at < kKeyBytes; ++at) {
            unsigned values = 0;
            for (size_t v = 0; v < 256; ++v)
                if (m_seen[at][v])
                    m_rank[at][v] = static_cast<uint8_t>(values++);
            unsigned width = 0;
            while ((1u << width) < values)
                ++width;
            m_width[at] = width;
            m_bits += width;
        }
        return m_bits <= 64;
    }
    unsigned bits() const { return m_bits; }

    // The entry with its packed key in `high` (the lowest bits) and no `low`.
    void pack(Entry &e) const {
        uint64_t packed = 0;
        for (size_t at = 0; at < kKeyBytes; ++at)
            if (m_width[at] != 0)
                packed = (packed << m_width[at]) | m_rank[at][key_byte(e, at)];
        e.high = packed;
        e.low = 0;
    }

  private:
    uint8_t m_seen[kKeyBytes][256] = {};
    uint8_t m_rank[kKeyBytes][256] = {};
    unsigned m_width[kKeyBytes] = {};
    unsigned m_bits = 0;
};

// Sorts entries with packed keys by the `bits` lowest bits of the key, most
// significant first, up to eleven bits per pass: a million entries fall into
// buckets of a few hundred in the first pass, and those into buckets of one
// or two in the next.  A bucket that fits the scratch room is distributed
// through it, which is several times faster than swapping in place, as no
// move waits for the one before.  The order is EntryLess's, as above.
class PackedSort {
  public:
    static constexpr unsigned kMaxWidth = 11;
    static constexpr size_t kBins = size_t{1} << kMaxWidth;
    static constexpr size_t kScratch = 16 * 1024; // entries: 256 KiB
    static constexpr size_t kFewEqual = 8;

    explicit PackedSort(const EntryLess &less) : m_less(less) {}

    // False without memory for the counters; nothing is sorted then.
    bool ready() {
        m_counters.reset(new (std::nothrow) uint32_t[2 * kBins]);
        m_scratch.reset(new (std::nothrow) Entry[kScratch]);
        return m_counters != nullptr;
    }

    void sort(Entry *first, Entry *last, unsigned bits) {
        for (;;) {
            const size_t n = static_cast<size_t>(last - first);
            if (n < kSmall || bits == 0) {
                std::sort(first, last, m_less);
                return;
            }
            // No more bins than a few per entry: counting them costs too.
            unsigned width = std::min(bits, kMaxWidth);
            while (width > 1 && (size_t{1} << width) > 4 * n)
                --width;
            const unsigned shift = bits - width;
            const uint64_t mask = (uint64_t{1} << width) - 1;
            const auto digit = [=](const Entry &e) {
                return static_cast<size_t>((e.high >> shift) & mask);
            };
            const size_t bins = size_t{1} << width;
            bits = shift;
            uint32_t *next = m_counters.get(), *end = next + kBins;
            size_t largest = n;
            const bool moved = m_scratch && n <= kScratch
                                   ? scatter(first, n, bins, digit, largest)
                                   : distribute(first, n, bins, digit, next, end);
            if (!moved)
                continue; // one digit value only
            if (largest <= kFewEqual) {
                // Runs of a few entries at most: one pass of insertion
                // finishes them all, with hardly an entry moved.
                insertion_sort(first, last);
                return;
            }
            // Each bucket is now a run of one digit value.
            for (Entry *run = first; run != last;) {
                const size_t d = digit(*run);
                Entry *stop = run + 1;
                while (stop != last && digit(*stop) == d)
                    ++stop;
                if (stop - run > 1)
                    sort(run, stop, bits);
                run = stop;
            }
            return;
        }
    }

  private:
    // distribute() through the scratch room; the size of the largest bucket
    // goes to `largest`.
    template <class Digit>
    bool scatter(Entry *first, size_t n, size_t bins, Digit digit, size_t &largest) {
        uint32_t *next = m_counters.get(), *count = next + kBins;
        std::fill(count, count + bins, 0u);
        for (size_t i = 0; i < n; ++i)
            ++count[digit(first[i])];
        if (count[digit(first[0])] == n)
            return false;
        largest = 0;
        for (size_t b = 0, sum = 0; b < bins; ++b) {
            next[b] = static_cast<uint32_t>(sum);
            sum += count[b];
            largest = std::max<size_t>(largest, count[b]);
        }
        Entry *scratch = m_scratch.get();
        for (size_t i = 0; i < n; ++i)
            scratch[next[digit(first[i])]++] = first[i];
        std::copy(scratch, scratch + n, first);
        return true;
    }

    void insertion_sort(Entry *first, Entry *last) const {
        for (Entry *i = first + 1; i < last; ++i) {
            if (!m_less(*i, i[-1]))
                continue;
            const Entry e = *i;
            Entry *j = i;
            do {
                *j = j[-1];
                --j;
            } while (j != first && m_less(e, j[-1]));
            *j = e;
        }
    }

    const EntryLess &m_less;
    std::unique_ptr<uint32_t[]> m_counters;
    std::unique_ptr<Entry[]> m_scratch;
};

// The places of the records in sorted order; false without memory.
bool sorted_order(const logcall_t *records, size_t count, logs::SortedLogcall::Order &order) {
    if (!order.allocate(count))
        return false;
    Entry *entries = order.data();
    std::unique_ptr<KeyPacking> packing(new (std::nothrow) KeyPacking);
    for (size_t i = 0; i < count; ++i) {
        const SortKey key(records[i]);
        entries[i] = Entry{key.high, key.low, static_cast<uint32_t>(i)};
        if (packing)
            packing->note(entries[i]);
    }
    const EntryLess less{records};
    PackedSort packed(less);
    if (packing && packing->plan() && packed.ready()) {
        for (size_t i = 0; i < count; ++i)
            packing->pack(entries[i]);
        packed.sort(entries, entries + count, packing->bits());
    } else {
        sort_by_bytes(entries, entries + count, 0, less);
    }
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

Error sort_logcall(std::FILE *binary) {
    logs::SortedLogcall log;
    const Error result = log.read_and_sort(binary);
    return result != Error::Ok ? result : log.write_back(binary);
}

namespace logs {

Error SortedLogcall::read_and_sort(std::FILE *binary) {
    return load_and_sort(binary, false);
}

Error SortedLogcall::view_and_sort(std::FILE *binary) {
    return load_and_sort(binary, true);
}

Error SortedLogcall::sort_image(const uint8_t *data, size_t length) {
    dbg_printf("sort_logcall: allsize=%lu\n", static_cast<unsigned long>(length));
    const size_t count = length / kLogcallSize;
    if (count > UINT32_MAX)
        return Error::NoMemory;
    m_records = reinterpret_cast<const logcall_t *>(data);
    dbg_printf("sort_logcall: elements=%u size=%d\n", static_cast<unsigned>(count),
               static_cast<int>(kLogcallSize));
    return sorted_order(m_records, count, m_order) ? Error::Ok : Error::NoMemory;
}

Error SortedLogcall::load_and_sort(std::FILE *binary, bool view) {
    const long length = binary ? stream_length(binary) : kUnknownLength;
    dbg_printf("sort_logcall: allsize=%lu\n", length);
    if (length < 0) {
        dbg_printf("fread(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize), 0, 0,
                   export_result(ResultFamily::Converter, Error::SortShortRead));
        return Error::SortShortRead;
    }
    size_t count = static_cast<size_t>(length) / kLogcallSize;
    if (view && count <= UINT32_MAX && m_view.map(binary, count * kLogcallSize)) {
        // The system's cached pages of the file are the records: no block
        // to zero-fill, nothing to copy.
        m_records = reinterpret_cast<const logcall_t *>(m_view.data());
    } else {
        m_block.reset(new (std::nothrow) TrackedBlock(static_cast<size_t>(length), "buf"));
        if (!m_block || !*m_block)
            return Error::NoMemory;
        count = m_block->size() / kLogcallSize;
        if (count > UINT32_MAX)
            return Error::NoMemory;
        std::rewind(binary);
        const size_t got = std::fread(m_block->data(), kLogcallSize, count, binary);
        if (got < count) {
            dbg_printf("fread(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize),
                       static_cast<int>(count), static_cast<int>(got),
                       export_result(ResultFamily::Converter, Error::SortShortRead));
            return Error::SortShortRead;
        }
        m_records = reinterpret_cast<const logcall_t *>(m_block->data());
    }
    dbg_printf("sort_logcall: elements=%u size=%d\n", static_cast<unsigned>(count),
               static_cast<int>(kLogcallSize));
    return sorted_order(m_records, count, m_order) ? Error::Ok : Error::NoMemory;
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

Error SortedLogcall::write_back(std::FILE *binary) const {
    const size_t count = size();
    std::rewind(binary);
    size_t put = write_sorted(binary, *this);
    // The converter reads the copy back at once: a piece that did not reach
    // the file counts as not written.
    if (put == count && std::fflush(binary) != 0)
        put = 0;
    const Error err = put < count ? Error::SortShortWrite : Error::Ok;
    const int number = export_result(ResultFamily::Converter, err);
    dbg_printf("sort_logcall: write %u err=%u\n", static_cast<unsigned>(count * kLogcallSize),
               static_cast<unsigned>(number));
    if (err != Error::Ok) {
        dbg_printf("fwrite(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize),
                   static_cast<int>(count), static_cast<int>(put), number);
        return err;
    }
    std::rewind(binary);
    return Error::Ok;
}

} // namespace logs
} // namespace vorn
