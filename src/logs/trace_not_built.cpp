// The protocol-trace converter is not part of this build yet.  Its export
// exists so that hosts linking against the full interface load and run;
// each call fails cleanly with -1 and an error line, and writes nothing into
// the host's files or buffers.
#include "trace/trace.h"
#include "vorn_b32.h"

extern "C" VORN_B32_API int32_t mktrace(const char *, const char *, char *) {
    try {
        vorn::dbg_printf("%s: not available in this build of Vorn_B32\n", "mktrace");
        vorn::dbg_error("converter not available in this build");
    } catch (...) {
    }
    return -1;
}
