// The raw writes of the debug output on POSIX systems.  There is no system
// debugger output here: a string for it is dropped, as the debugger output of
// a process that no debugger watches.
#include "platform/internal.h"

#include <fcntl.h>
#include <unistd.h>

namespace vorn::platform::internal {

bool debugger_output(const char *) {
    return true;
}

void stderr_output(const char *text, size_t length) {
    // One write call per string keeps strings of several writers apart.
    ssize_t n = ::write(2, text, length);
    (void)n;
}

bool append_to_file(const char *path, const char *text, size_t length) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, text, length) == static_cast<ssize_t>(length);
    ::close(fd);
    return ok;
}

} // namespace vorn::platform::internal
