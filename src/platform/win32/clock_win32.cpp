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

// Days from 1970-01-01 to the given date of the proleptic Gregorian
// calendar; month 1..12.
int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

int64_t floor_div(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

} // namespace

int64_t local_to_epoch(int year, int month, int day, int hour, int minute, int second) {
    // The wall-clock time counted as seconds on a clock without zone, so that
    // fields beyond their range carry over; then the zone's rules of that day
    // turn it into UTC.
    const int64_t months = static_cast<int64_t>(month) - 1;
    const int64_t carry = floor_div(months, 12);
    const int64_t days =
        days_from_civil(year + carry, static_cast<unsigned>(months - carry * 12 + 1), 1) + day - 1;
    const int64_t wall = days * 86400 + static_cast<int64_t>(hour) * 3600 +
                         static_cast<int64_t>(minute) * 60 + second;
    if (wall < -11644473600LL || wall > 910692730085LL)
        return kSystemFailed;
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(wall * 10000000LL + kEpochOffset);
    FILETIME wall_file{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME local{};
    SYSTEMTIME utc{};
    FILETIME utc_file{};
    if (!FileTimeToSystemTime(&wall_file, &local) ||
        !TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) ||
        !SystemTimeToFileTime(&utc, &utc_file))
        return kSystemFailed;
    ticks.LowPart = utc_file.dwLowDateTime;
    ticks.HighPart = utc_file.dwHighDateTime;
    return (static_cast<int64_t>(ticks.QuadPart) - kEpochOffset) / 10000000LL;
}

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
