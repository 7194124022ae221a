// The system-wide semaphore "TraceMutex" that guards the fallback trace file.
#include "platform/platform.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <string>

namespace vorn::platform {

void *semaphore_create(const char *name, unsigned initial) {
    std::string posix_name = std::string("/") + (name != nullptr ? name : "");
    sem_t *sem = ::sem_open(posix_name.c_str(), O_CREAT, 0666, initial);
    return sem == SEM_FAILED ? nullptr : sem;
}

bool semaphore_wait(void *sem, unsigned timeout_ms) {
    if (sem == nullptr)
        return false;
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += timeout_ms / 1000;
    deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    int rc;
    do {
        rc = ::sem_timedwait(static_cast<sem_t *>(sem), &deadline);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

void semaphore_release(void *sem) {
    if (sem != nullptr)
        ::sem_post(static_cast<sem_t *>(sem));
}

void semaphore_close(void *sem) {
    if (sem != nullptr)
        ::sem_close(static_cast<sem_t *>(sem));
}

} // namespace vorn::platform
