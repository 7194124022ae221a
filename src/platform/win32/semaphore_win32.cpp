// The system-wide semaphore "TraceMutex" that guards the fallback trace file:
// a named Windows semaphore, shared by every process that opens the name.
#include "platform/platform.h"
#include "platform/win32/system.h"

namespace vorn::platform {

void *semaphore_create(const char *name, unsigned initial) {
    LONG maximum = initial > 1 ? static_cast<LONG>(initial) : 1;
    HANDLE sem = CreateSemaphoreA(nullptr, static_cast<LONG>(initial), maximum, name);
    return sem; // nullptr when it could not be created or opened
}

bool semaphore_wait(void *sem, unsigned timeout_ms) {
    return sem != nullptr && WaitForSingleObject(sem, timeout_ms) == WAIT_OBJECT_0;
}

void semaphore_release(void *sem) {
    if (sem != nullptr)
        ReleaseSemaphore(sem, 1, nullptr);
}

void semaphore_close(void *sem) {
    if (sem != nullptr)
        CloseHandle(sem);
}

} // namespace vorn::platform
