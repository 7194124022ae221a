// An allocator for the large arrays of a job (a million entries and more):
// blocks of the global memory service, which backs large blocks with huge
// pages where the system offers them.  Such an array costs a few dozen page
// faults instead of tens of thousands, and its fresh pages come zeroed from
// the system instead of by a pass of the program.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <new>

namespace vorn::platform {

template <class T> struct LargeAllocator {
    using value_type = T;

    LargeAllocator() = default;
    template <class U> LargeAllocator(const LargeAllocator<U> &) {}

    T *allocate(size_t n) {
        if (n > static_cast<size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        void *block = global_alloc(n * sizeof(T));
        if (block == nullptr)
            throw std::bad_alloc();
        return static_cast<T *>(block);
    }
    void deallocate(T *block, size_t) { global_free(block); }

    template <class U> bool operator==(const LargeAllocator<U> &) const { return true; }
};

} // namespace vorn::platform
