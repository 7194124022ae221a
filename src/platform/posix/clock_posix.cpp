// Time, thread and process identities on POSIX systems.
#include "platform/internal.h"
#include "platform/platform.h"

#include <ctime>
#include <mutex>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

namespace vorn::platform {
namespace {

// The C runtime keeps the time zone in process-wide state, and tzset
// rebuilds it on every call while TZ is unset.  The runtime's own lock around
// that is invisible to callers (and to the thread sanitizer), and not every
// runtime has one, so the library's threads take turns at it.
std::mutex g_zone_mutex;

} // namespace

LocalTime local_time() {
    time_t seconds;
    int millis = 0;
    int64_t pinned = 0;
    if (internal::pinned_epoch(&pinned)) {
        seconds = static_cast<time_t>(pinned);
    } else {
        timeval tv{};
        gettimeofday(&tv, nullptr);
        seconds = tv.tv_sec;
        millis = static_cast<int>(tv.tv_usec / 1000);
    }
    tm t{};
    {
        // tzset first, so that a TZ changed since the last call applies.
        const std::lock_guard<std::mutex> lock(g_zone_mutex);
        tzset();
        if (localtime_r(&seconds, &t) == nullptr) {
            seconds = 0;
            localtime_r(&seconds, &t);
        }
    }
    return LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                     t.tm_min,         t.tm_sec,     millis,    t.tm_wday};
}

int64_t local_to_epoch(int year, int month, int day, int hour, int minute, int second) {
    tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1; // let the zone's rules decide
    const std::lock_guard<std::mutex> lock(g_zone_mutex);
    tzset();
    time_t seconds = mktime(&t);
    return static_cast<int64_t>(seconds);
}

uint32_t thread_id() {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

uint32_t process_id() {
    return static_cast<uint32_t>(::getpid());
}

} // namespace vorn::platform
