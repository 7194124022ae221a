// The library's console lines (see platform.h, "console"): where they go and
// whether they are shown is one setting of the process.
#include "platform/platform.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace vorn::platform {

namespace {

std::atomic<std::FILE *> g_stream{nullptr};
std::atomic<bool> g_quiet{false};
std::atomic<bool> g_progress{true};

void console_vprintf(const char *format, va_list args) {
    std::FILE *stream = g_stream.load();
    if (stream == nullptr)
        stream = stdout;
    std::vfprintf(stream, format, args);
    std::fflush(stream);
}

} // namespace

void set_console(const ConsoleSettings &settings) {
    g_stream.store(settings.stream);
    g_quiet.store(settings.quiet);
    g_progress.store(settings.progress);
}

void console_printf(const char *format, ...) {
    if (g_quiet.load() || format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    console_vprintf(format, args);
    va_end(args);
}

void console_progress(const char *format, ...) {
    if (!console_progress_shown() || format == nullptr)
        return;
    va_list args;
    va_start(args, format);
    console_vprintf(format, args);
    va_end(args);
}

bool console_progress_shown() {
    return !g_quiet.load() && g_progress.load();
}

void set_console_quiet(bool quiet) {
    g_quiet.store(quiet);
}

} // namespace vorn::platform
