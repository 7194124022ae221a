// The timed mutex of the trace objects on Windows: an unnamed kernel mutex,
// created unowned, waited for with a timeout.
#include "platform/platform.h"
#include "platform/win32/system.h"

#include <cstring>

namespace vorn::platform {
namespace {

static_assert(sizeof(HANDLE) <= 64, "the mutex handle fits TimedMutex's storage");

HANDLE handle_of(const unsigned char *storage) {
    HANDLE h;
    std::memcpy(&h, storage, sizeof h);
    return h;
}

} // namespace

TimedMutex::TimedMutex() {
    HANDLE h = CreateMutexA(nullptr, FALSE, nullptr);
    std::memcpy(m_storage, &h, sizeof h);
}

TimedMutex::~TimedMutex() {
    if (HANDLE h = handle_of(m_storage))
        CloseHandle(h);
}

bool TimedMutex::lock_for(unsigned timeout_ms) {
    HANDLE h = handle_of(m_storage);
    if (h == nullptr)
        return false; // no mutex could be made: the output is dropped as on a timeout
    DWORD rc = WaitForSingleObject(h, timeout_ms);
    // A mutex whose owner thread ended without releasing it is handed over.
    return rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED;
}

void TimedMutex::unlock() {
    if (HANDLE h = handle_of(m_storage))
        ReleaseMutex(h);
}

} // namespace vorn::platform
