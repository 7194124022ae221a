// The cached pages of the files that a job is about to replace, given back
// on a thread of its own while the job runs.  Replacing a large file frees
// its pages in the call that replaces it: a 200 MB text took 40 ms there,
// as long as a fifth of the whole conversion.  Given back early, on the
// second processor, the replacement is quick.  Only a matter of speed:
// without a thread nothing is done, and the files are replaced all the
// same.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <thread>

namespace vorn::logs {

class CacheRelease {
  public:
    // Starts giving back the pages of the named files (nullptr: none).  The
    // paths must stay valid until the release is destroyed.
    explicit CacheRelease(std::initializer_list<const char *> paths);
    // Waits for the thread.
    ~CacheRelease();
    CacheRelease(const CacheRelease &) = delete;
    CacheRelease &operator=(const CacheRelease &) = delete;

  private:
    static constexpr size_t kMaxPaths = 4;
    const char *m_paths[kMaxPaths] = {};
    std::thread m_thread;
};

} // namespace vorn::logs
