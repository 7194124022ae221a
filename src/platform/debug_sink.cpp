// The debugger output of the library: every finished trace string goes to one
// sink, chosen once from VORN_B32_DEBUG_OUTPUT.  Unset or empty means the
// system's debugger output; "stderr" standard error; anything else a file
// that each string is appended to.
#include "platform/internal.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace vorn::platform {
namespace {

enum class SinkKind { Debugger, Stderr, File };

struct SinkState {
    SinkKind kind = SinkKind::Debugger;
    std::string path;
    DebugSink custom = nullptr;
    void *context = nullptr;
    std::mutex mutex; // guards custom, context and kind (the tool switches to stderr)
};

SinkState &state() {
    static SinkState *s = [] {
        auto *st = new SinkState; // lives for the whole process, also during unload
        const char *env = std::getenv("VORN_B32_DEBUG_OUTPUT");
        if (env == nullptr || *env == '\0') {
            st->kind = SinkKind::Debugger;
        } else if (std::strcmp(env, "stderr") == 0) {
            st->kind = SinkKind::Stderr;
        } else {
            st->kind = SinkKind::File;
            st->path = env;
        }
        return st;
    }();
    return *s;
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
    case SinkKind::Debugger:
        return internal::debugger_output(text);
    case SinkKind::Stderr:
        internal::stderr_output(text, std::strlen(text));
        return true;
    case SinkKind::File:
        return internal::append_to_file(s.path.c_str(), text, std::strlen(text));
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
