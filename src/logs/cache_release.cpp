// Giving back the cached pages of files about to be replaced, on a thread.
#include "logs/cache_release.h"

#include "platform/platform.h"

#include <system_error>

namespace vorn::logs {

CacheRelease::CacheRelease(std::initializer_list<const char *> paths) {
    size_t n = 0;
    for (const char *path : paths)
        if (path != nullptr && n < kMaxPaths)
            m_paths[n++] = path;
    if (n == 0)
        return;
    try {
        m_thread = std::thread([this] {
            for (const char *path : m_paths)
                platform::forget_cached_pages(path);
        });
    } catch (const std::system_error &) {
        // No thread: the pages go when the files are replaced.
    }
}

CacheRelease::~CacheRelease() {
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace vorn::logs
