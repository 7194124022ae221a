// SOURCE_DATE_EPOCH: a decimal number of seconds that pins every clock
// reading of the library, so that tables, listings and reports can be
// reproduced byte for byte.
#include "platform/internal.h"

#include <cerrno>
#include <cstdlib>

namespace vorn::platform::internal {

bool pinned_epoch(int64_t *seconds) {
    const char *env = std::getenv("SOURCE_DATE_EPOCH");
    if (env == nullptr || *env == '\0')
        return false;
    // A clock reading is no failure of the job that reads it: the errno of
    // a failed call before it (shown to the user) stays as it was.
    const int saved = errno;
    char *end = nullptr;
    errno = 0;
    long long v = std::strtoll(env, &end, 10);
    const bool read = errno == 0 && end != env && *end == '\0';
    errno = saved;
    if (!read)
        return false;
    *seconds = static_cast<int64_t>(v);
    return true;
}

} // namespace vorn::platform::internal
