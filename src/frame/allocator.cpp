// The tracked allocator.  Every large block of the library comes from here,
// zero-filled, and each allocation and release leaves one trace line with
// the number of blocks still live, so leaks show in any trace.
#include "frame/alloc_faults.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"

#include <atomic>
#include <cstring>

namespace vorn {
namespace {

// The trace lines name the source lines of the allocation and release
// statements as the box's service tools know them.
constexpr unsigned kAllocLine = 72;
// The source the service tools expect in these lines, whatever file holds
// the allocator now.
constexpr const char *kAllocatorSource = "conftool.cpp";
constexpr unsigned kFreeLine = 83;

std::atomic<uint32_t> g_live_blocks{0};

// The test-only switch (alloc_faults.h), per thread so that a test's
// failure reaches only the job it runs.
struct FaultSwitch {
    unsigned fail_at = 0; // 0: off
    unsigned count = 0;
    const char *failed_tag = nullptr;
};
thread_local FaultSwitch t_faults;

// True when this allocation is the one the switch makes fail.
bool fail_this_alloc(const char *tag) {
    ++t_faults.count;
    if (t_faults.fail_at == 0 || t_faults.count != t_faults.fail_at)
        return false;
    t_faults.failed_tag = tag;
    return true;
}

} // namespace

const char *source_tail(const char *file) {
    size_t n = std::strlen(file);
    return n > 10 ? file + n - 10 : file;
}

void *myAlloc(size_t size, const char *tag) {
    void *block = fail_this_alloc(tag) ? nullptr : platform::global_alloc(size);
    uint32_t live = g_live_blocks.fetch_add(1) + 1;
    dbg_printf("%10.10s#%-4u: p=%p size=%-3u %3u GlobalAlloc %s\n", source_tail(kAllocatorSource),
               kAllocLine, block, static_cast<unsigned>(size), live, tag);
    return block;
}

void myFree(void *block, const char *tag) {
    if (block == nullptr) {
        dbg_printf("myFree(NULL) do nothing\n");
        return;
    }
    uint32_t live = g_live_blocks.fetch_sub(1) - 1;
    dbg_printf("%10.10s#%-4u: p=%p size=%-3u %3u GlobalFree %s\n", source_tail(kAllocatorSource),
               kFreeLine, block, static_cast<unsigned>(platform::global_size(block)), live, tag);
    platform::global_free(block);
}

uint32_t live_blocks() {
    return g_live_blocks.load();
}

void fail_nth_alloc_for_tests(unsigned n) {
    t_faults = FaultSwitch{n, 0, nullptr};
}

unsigned allocs_for_tests() {
    return t_faults.count;
}

const char *failed_alloc_tag_for_tests() {
    return t_faults.failed_tag;
}

} // namespace vorn
