// The timed mutex of the trace objects, on the POSIX mutex with its timed
// lock (see platform.h for why not std::timed_mutex).
#include "platform/platform.h"

#include <ctime>
#include <new>
#include <pthread.h>

namespace vorn::platform {

namespace {

static_assert(sizeof(pthread_mutex_t) <= 64, "the native mutex fits TimedMutex's storage");

pthread_mutex_t *native(unsigned char *storage) {
    return std::launder(reinterpret_cast<pthread_mutex_t *>(storage));
}

} // namespace

TimedMutex::TimedMutex() {
    ::pthread_mutex_init(new (m_storage) pthread_mutex_t, nullptr);
}

TimedMutex::~TimedMutex() {
    ::pthread_mutex_destroy(native(m_storage));
}

bool TimedMutex::lock_for(unsigned timeout_ms) {
    timespec deadline{};
    ::clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += static_cast<time_t>(timeout_ms / 1000);
    deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    return ::pthread_mutex_timedlock(native(m_storage), &deadline) == 0;
}

void TimedMutex::unlock() {
    ::pthread_mutex_unlock(native(m_storage));
}

} // namespace vorn::platform
