// Test-only switch of the tracked allocator: makes one chosen allocation of
// the calling thread fail, so that a test reaches every way a job reacts to
// missing memory without starving the process (and without the sanitizers
// aborting on a real allocation failure).  Only tests include this header;
// the library itself never arms the switch.
#pragma once

namespace vorn {

// From now on, the n-th myAlloc of the calling thread (1 = the next one)
// returns no block; every other allocation is served.  n = 0 disarms the
// switch.  Either way the thread's allocation count starts again at 0.  The
// failed allocation is counted and traced as a real failure is: the live
// block counter goes up by one and the trace line shows an empty pointer.
void fail_nth_alloc_for_tests(unsigned n);

// The number of myAlloc calls of the calling thread since the switch was
// last set.
unsigned allocs_for_tests();

// The tag of the allocation that the switch made fail since it was last
// set; nullptr when the n-th allocation has not come yet.
const char *failed_alloc_tag_for_tests();

} // namespace vorn
