// The debugger output of the original platform: every finished trace string
// goes to one sink, chosen once from VORN_B32_DEBUG_OUTPUT.
#include "platform/platform.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace vorn::platform {
namespace {

enum class SinkKind { Drop, Stderr, File };

struct SinkState {
    SinkKind kind = SinkKind::Drop;
    int fd = -1;
    const char *path = nullptr;
    DebugSink custom = nullptr;
    void *context = nullptr;
    std::mutex mutex; // guards custom, context and kind (the tool switches to stderr)
};

SinkState &state() {
    static SinkState *s = [] {
        auto *st = new SinkState; // lives for the whole process, also during unload
        const char *env = std::getenv("VORN_B32_DEBUG_OUTPUT");
        if (env == nullptr || *env == '\0') {
            st->kind = SinkKind::Drop;
        } else if (std::strcmp(env, "stderr") == 0) {
            st->kind = SinkKind::Stderr;
        } else {
            st->kind = SinkKind::File;
            st->path = strdup(env);
        }
        return st;
    }();
    return *s;
}

bool write_all(int fd, const char *text, size_t len) {
    // One write call per string keeps strings of several writers apart.
    ssize_t n = ::write(fd, text, len);
    return n == static_cast<ssize_t>(len);
}

} // namespace

bool debug_output(const char *text) {
    SinkState &s = state();
    DebugSink custom;
    void *context;
    SinkKind kind;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        custom = s.custom;
        context = s.context;
        kind = s.kind;
    }
    if (custom != nullptr)
        return custom(text, context);
    switch (kind) {
    case SinkKind::Drop:
        return true;
    case SinkKind::Stderr:
        write_all(2, text, std::strlen(text));
        return true;
    case SinkKind::File: {
        int fd = ::open(s.path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        bool ok = write_all(fd, text, std::strlen(text));
        ::close(fd);
        return ok;
    }
    }
    return true;
}

void set_debug_sink(DebugSink sink, void *context) {
    SinkState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.custom = sink;
    s.context = context;
}

void set_debug_output_stderr() {
    SinkState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.kind = SinkKind::Stderr;
}

} // namespace vorn::platform
