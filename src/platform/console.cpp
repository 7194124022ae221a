// Standard output of the library: the progress lines that the configuration
// compiler prints for its command-line tools.
#include "platform/platform.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace vorn::platform {

namespace {
std::atomic<bool> g_quiet{false};
} // namespace

void console_printf(const char *format, ...) {
    if (g_quiet.load() || format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

void set_console_quiet(bool quiet) {
    g_quiet.store(quiet);
}

} // namespace vorn::platform
