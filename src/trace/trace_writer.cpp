// CMyTrace: one writer per thread state.  A line that does not end in a line
// feed stays open, and the next call through the same object continues it
// without a new prefix.
#include "platform/platform.h"
#include "trace/trace.h"

#include <cstring>

namespace vorn {

CMyTrace::CMyTrace(const char *label) : m_pMutex(new platform::TimedMutex), m_cLast('\n') {
    std::strncpy(m_szLabel, label != nullptr ? label : "", sizeof m_szLabel - 1);
    m_szLabel[sizeof m_szLabel - 1] = '\0';
}

CMyTrace::~CMyTrace() {
    delete m_pMutex;
}

void CMyTrace::Trace(const char *format, ...) {
    va_list args;
    va_start(args, format);
    TraceV(m_szLabel, format, args);
    va_end(args);
}

bool CMyTrace::TraceV(const char *name, const char *format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    bool ok = write(name, "[DEB] ", format, &copy, nullptr);
    va_end(copy);
    return ok;
}

bool CMyTrace::TraceError(const char *name, const char *text) {
    return write(name, "[ERR] ", nullptr, nullptr, text != nullptr ? text : "");
}

bool CMyTrace::write(const char *name, const char *kind, const char *format, va_list *args,
                     const char *text) {
    // A writer that cannot get the mutex within a second drops its line
    // rather than block the host.
    if (!m_pMutex->lock_for(1000))
        return true;
    TraceLine line;
    line.last_char = &m_cLast;
    if (m_cLast == '\n') {
        platform::LocalTime t = platform::local_time();
        trace_formatf(line, "%s", kind);
        trace_formatf(line, "[%03x]", platform::thread_id());
        trace_formatf(line, "[%02d:%02d:%02d,%03d]%s:", t.hour, t.minute, t.second, t.millisecond,
                      name);
    }
    if (format != nullptr) {
        trace_format(line, format, *args);
    } else {
        for (const char *p = text; *p != '\0'; ++p)
            line.put(*p);
        if (m_cLast != '\n') {
            line.put('\r');
            line.put('\n');
        }
    }
    bool ok = platform::debug_output(line.finish());
    m_pMutex->unlock();
    return ok;
}

} // namespace vorn
