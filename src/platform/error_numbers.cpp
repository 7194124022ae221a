// Error numbers of the C runtime and their texts.  The Windows services set
// the same errno values where they fail, so one text serves both systems.
#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vorn::platform {

std::string system_error_text(int error) {
    char buf[320];
    std::snprintf(buf, sizeof buf, "System error %d: %s", error, std::strerror(error));
    return buf;
}

int last_error() {
    return errno;
}

bool is_write_refusal(int error) {
    bool refusal = error == ENOSPC || error == EFBIG || error == EROFS;
#ifdef EDQUOT
    refusal = refusal || error == EDQUOT;
#endif
    return refusal;
}

void set_last_error(int error) {
    errno = error;
}

} // namespace vorn::platform
