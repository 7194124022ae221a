// The entry points of the trace that read the thread's state: the library's
// debug and error prints, the host's ptrace and the set_debug export.  They
// live with the state they read; trace/ itself knows only the platform.
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

namespace vorn {

bool dbg_enabled() {
    CInstanceGlobals *g = get_instance_globals();
    return g != nullptr && (g->m_dwDebug != 0 || app_reg_debug() != 0);
}

void dbg_vprintf(const char *format, va_list args) {
    CInstanceGlobals *g = get_instance_globals();
    if (g == nullptr || format == nullptr)
        return;
    if (g->m_dwDebug == 0 && app_reg_debug() == 0)
        return;
    try {
        g->m_pTrace->TraceV(kModuleLabel, format, args);
    } catch (...) {
        // A failing debug line must never disturb the work it reports on.
    }
}

void dbg_printf(const char *format, ...) {
    va_list args;
    va_start(args, format);
    dbg_vprintf(format, args);
    va_end(args);
}

void dbg_error(const char *text) {
    CInstanceGlobals *g = get_instance_globals();
    if (g == nullptr)
        return;
    try {
        g->m_pTrace->TraceError(kModuleLabel, text);
    } catch (...) {
    }
}

uint32_t read_debug_switch() {
    return platform::read_settings_value("Vorn_B32_DEBUG");
}

} // namespace vorn

using namespace vorn;

extern "C" VORN_B32_API void ptrace(const char *format, ...) {
    try {
        CInstanceGlobals *g = get_instance_globals();
        if (g == nullptr || format == nullptr || g->m_dwDebug == 0)
            return;
        va_list args;
        va_start(args, format);
        va_list again;
        va_copy(again, args);
        bool ok = false;
        try {
            ok = g->m_pTrace->TraceV(g->m_szToolName, format, args);
        } catch (...) {
            ok = false;
        }
        // A host's line is not lost when the debug output fails: it goes to
        // the fallback file instead.
        if (!ok)
            file_trace(format, again);
        va_end(again);
        va_end(args);
    } catch (...) {
    }
}

extern "C" VORN_B32_API void set_debug(uint32_t level) {
    with_instance_globals([&](CInstanceGlobals &g) { g.m_dwDebug = level; });
}
