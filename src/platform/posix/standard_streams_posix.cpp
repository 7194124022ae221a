// Standard input and output as raw bytes on POSIX systems: poll() for the
// wait, read() and write() on descriptors 0 and 1, retried on interruption.
#include "platform/platform.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace vorn::platform {

int wait_standard_input(int timeout_ms) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&input, 1, timeout_ms < 0 ? -1 : timeout_ms);
        if (ready >= 0)
            return ready > 0 ? 1 : 0;
        if (errno != EINTR)
            return -1;
    }
}

long read_standard_input(char *buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, size);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno != EINTR && errno != EAGAIN)
            return -1;
    }
}

bool write_standard_output(const char *data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(STDOUT_FILENO, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace vorn::platform
