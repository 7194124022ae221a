// The one sort of the optimizer: a stable merge sort over fixed-size
// records with a three-way comparison (negative, 0, positive), as the map
// and period comparison functions give it.
//
// Why not qsort or std::sort: the table the box loads must come out the same
// on every platform and in every run.  qsort and std::sort leave the order of
// equal records to the library, and maps that compare equal (same escape,
// period, mode and code, say) would then land in any order.  Here a record
// only moves past another that compares strictly less, and a merge takes
// from the left run when both heads are equal, so equal records keep the
// order they had before the sort.  The loops are bounded by the range alone,
// never by what the comparison says, so even a comparison that is not
// consistent (damaged records) cannot lead outside the range.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace vorn {

template <class T, class Compare> void stable_merge_sort(T *items, size_t count, Compare compare) {
    if (count < 2)
        return;
    // Short runs first, by insertion.
    constexpr size_t kRun = 16;
    for (size_t begin = 0; begin < count; begin += kRun) {
        const size_t end = begin + kRun < count ? begin + kRun : count;
        for (size_t i = begin + 1; i < end; ++i) {
            T moving = items[i];
            size_t j = i;
            while (j > begin && compare(moving, items[j - 1]) < 0) {
                items[j] = items[j - 1];
                --j;
            }
            items[j] = moving;
        }
    }
    if (count <= kRun)
        return;

    // Then runs of doubling width, merged back and forth between the items
    // and a buffer.
    std::vector<T> buffer(count);
    T *from = items;
    T *to = buffer.data();
    for (size_t width = kRun; width < count; width *= 2) {
        for (size_t left = 0; left < count; left += 2 * width) {
            const size_t mid = left + width < count ? left + width : count;
            const size_t right = left + 2 * width < count ? left + 2 * width : count;
            size_t a = left, b = mid, out = left;
            while (a < mid && b < right)
                to[out++] = compare(from[b], from[a]) < 0 ? from[b++] : from[a++];
            while (a < mid)
                to[out++] = from[a++];
            while (b < right)
                to[out++] = from[b++];
        }
        std::swap(from, to);
    }
    if (from != items)
        for (size_t i = 0; i < count; ++i)
            items[i] = from[i];
}

} // namespace vorn
