// Time, thread and process identities on Windows: GetLocalTime, unless
// SOURCE_DATE_EPOCH pins the instant, which is then shown in the local time
// zone with the rules that zone had on that day.
#include "platform/internal.h"
#include "platform/platform.h"
#include "platform/win32/system.h"

namespace vorn::platform {
namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochOffset = 116444736000000000LL;

bool epoch_to_local(int64_t seconds, SYSTEMTIME *local) {
    if (seconds < -11644473600LL || seconds > 910692730085LL)
        return false; // outside what a FILETIME holds
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(seconds * 10000000LL + kEpochOffset);
    FILETIME utc_file{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME utc{};
    SYSTEMTIME wall{};
    if (!FileTimeToSystemTime(&utc_file, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &wall))
        return false;
    // A round trip through FILETIME fills in the day of the week.
    FILETIME wall_file{};
    return SystemTimeToFileTime(&wall, &wall_file) && FileTimeToSystemTime(&wall_file, local);
}

} // namespace

LocalTime local_time() {
    SYSTEMTIME st{};
    int64_t pinned = 0;
    if (internal::pinned_epoch(&pinned)) {
        if (!epoch_to_local(pinned, &st) && !epoch_to_local(0, &st))
            GetLocalTime(&st);
        st.wMilliseconds = 0;
    } else {
        GetLocalTime(&st);
    }
    return LocalTime{st.wYear,   st.wMonth,  st.wDay,          st.wHour,
                     st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek};
}

uint32_t thread_id() {
    return static_cast<uint32_t>(GetCurrentThreadId());
}

uint32_t process_id() {
    return static_cast<uint32_t>(GetCurrentProcessId());
}

} // namespace vorn::platform
