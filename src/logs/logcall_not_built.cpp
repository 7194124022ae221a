// The call-log converter is not part of this build yet.  Its exports exist
// so that hosts linking against the full interface load and run; each call
// fails cleanly with -1 and an error line, and writes nothing into the
// host's files or buffers.
#include "trace/trace.h"
#include "vorn_b32.h"

namespace {

int32_t not_built(const char *name) {
    try {
        vorn::dbg_printf("%s: not available in this build of Vorn_B32\n", name);
        vorn::dbg_error("converter not available in this build");
    } catch (...) {
    }
    return -1;
}

} // namespace

extern "C" VORN_B32_API int32_t mklogcall(const char *, const char *, const char *, const char *,
                                          char *) {
    return not_built("mklogcall");
}

extern "C" VORN_B32_API int32_t merge_logcall(const char *, const char *, const char *) {
    return not_built("merge_logcall");
}
