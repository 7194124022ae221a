// Sorting the binary call log by the time each call ended, so that the lists
// come out in time order whatever order the box's slots held them in.
#include "frame/frame.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "trace/trace.h"

#include <algorithm>
#include <cstring>
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

// A record's key beside its place in the block.  Sorting these instead of
// the 75-byte records keeps a million records well below a second; equal
// records keep their order in the file, so a sort always gives the same
// bytes.
struct Entry {
    SortKey key;
    uint32_t index;
};

// Moves the records into the order `order` gives (order[i] is the record
// that belongs at place i), one cycle at a time, with one record of room.
void permute(logcall_t *records, std::vector<Entry> &order) {
    constexpr uint32_t kDone = UINT32_MAX;
    for (uint32_t start = 0; start < order.size(); ++start) {
        if (order[start].index == kDone || order[start].index == start) {
            order[start].index = kDone;
            continue;
        }
        const logcall_t held = records[start];
        uint32_t place = start;
        while (order[place].index != start) {
            const uint32_t from = order[place].index;
            records[place] = records[from];
            order[place].index = kDone;
            place = from;
        }
        records[place] = held;
        order[place].index = kDone;
    }
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
    const long length = binary ? logs::stream_length(binary) : -1;
    dbg_printf("sort_logcall: allsize=%lu\n", length);
    if (length < 0) {
        dbg_printf("fread(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize), 0, 0,
                   -7);
        return -7;
    }
    logs::TrackedBlock block(static_cast<size_t>(length), "buf");
    if (!block)
        return -2;
    const size_t count = block.size() / kLogcallSize;
    if (count > UINT32_MAX)
        return -2;
    std::rewind(binary);
    const size_t got = std::fread(block.data(), kLogcallSize, count, binary);
    if (got < count) {
        dbg_printf("fread(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize),
                   static_cast<int>(count), static_cast<int>(got), -7);
        return -7;
    }
    dbg_printf("sort_logcall: elements=%u size=%d\n", static_cast<unsigned>(count),
               static_cast<int>(kLogcallSize));

    auto *records = reinterpret_cast<logcall_t *>(block.data());
    std::vector<Entry> order;
    try {
        order.reserve(count);
    } catch (const std::bad_alloc &) {
        return -2;
    }
    for (size_t i = 0; i < count; ++i)
        order.push_back(Entry{SortKey(records[i]), static_cast<uint32_t>(i)});
    std::sort(order.begin(), order.end(), [records](const Entry &a, const Entry &b) {
        if (a.key.high != b.key.high)
            return a.key.high < b.key.high;
        if (a.key.low != b.key.low)
            return a.key.low < b.key.low;
        if (int body = compare_body(records[a.index], records[b.index]))
            return body < 0;
        return a.index < b.index;
    });
    permute(records, order);

    std::rewind(binary);
    size_t put = std::fwrite(block.data(), kLogcallSize, count, binary);
    // The converter reads the copy back at once: a piece that did not reach
    // the file counts as not written.
    if (put == count && std::fflush(binary) != 0)
        put = 0;
    const int err = put < count ? -8 : 0;
    dbg_printf("sort_logcall: write %u err=%u\n", static_cast<unsigned>(count * kLogcallSize), err);
    if (err != 0) {
        dbg_printf("fwrite(, %d, %d,) -> fret=%d (err=%d)\n", static_cast<int>(kLogcallSize),
                   static_cast<int>(count), static_cast<int>(put), err);
        return err;
    }
    std::rewind(binary);
    return 0;
}

} // namespace vorn
