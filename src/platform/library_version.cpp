// The library's own file version, the project version compiled in.  The
// Windows build carries the same text in its version resource.
#include "platform/platform.h"

#ifndef VORN_B32_FILE_VERSION
#define VORN_B32_FILE_VERSION "0.0.0.0"
#endif

namespace vorn::platform {

const char *library_version() {
    return VORN_B32_FILE_VERSION;
}

} // namespace vorn::platform
