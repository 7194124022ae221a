// The diagnostic trace: every part of the library writes its progress and
// its errors through dbg_printf and dbg_error; hosts write through ptrace.
//
// The formatter is the library's own reduced printf: every numeric argument
// is read as 32 bits (an `l` before the conversion reads a long and keeps its
// low 32 bits), %b writes binary, %x/%X/%p write upper-case hexadecimal, %S
// takes a 16-bit string, and %u of a value that is negative as int32 writes a
// minus sign.  Pass size_t and 64-bit values cast to unsigned (or with %lu as
// long).  One call writes at most 254 characters including the prefix.
#pragma once

#include "platform/platform.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace vorn {

// One trace line under construction: 256 bytes on the stack, at most 254
// characters stored.
struct TraceLine {
    static constexpr size_t kCapacity = 255;
    char data[256];
    size_t length = 0;
    char *last_char = nullptr; // the owning trace object's last character

    void put(char c);
    const char *finish(); // terminates and returns data
};

// Formats `format` with `args` into `line` with the library's formatter.
void trace_format(TraceLine &line, const char *format, va_list args);
void trace_formatf(TraceLine &line, const char *format, ...);

class CMyTrace {
  public:
    explicit CMyTrace(const char *label);
    virtual ~CMyTrace();
    CMyTrace(const CMyTrace &) = delete;
    CMyTrace &operator=(const CMyTrace &) = delete;

    // A line under this object's own label.
    void Trace(const char *format, ...);
    // A line under `name`.  Returns false when the output sink failed; the
    // line was then lost (ptrace turns to the fallback file).
    bool TraceV(const char *name, const char *format, va_list args);
    // An error line of one ready-made text under `name`, ending in CR LF
    // unless the text ends in a line feed.
    bool TraceError(const char *name, const char *text);

    char last_char() const { return m_cLast; }

  private:
    bool write(const char *name, const char *kind, const char *format, va_list *args,
               const char *text);

    platform::TimedMutex *m_pMutex;
    char m_szLabel[64];
    char m_cLast;
};

// Module label of every trace line the library writes.
using platform::kModuleLabel;

// Debug print: written only while debugging is on for this thread (set_debug)
// or for the process (the Vorn_B32_DEBUG setting).
void dbg_printf(const char *format, ...);
void dbg_vprintf(const char *format, va_list args);
// True when dbg_printf writes on the calling thread, so that a caller can
// skip building long listings that nobody would see.
bool dbg_enabled();
// Error print of one ready-made text (not a format); always written.
void dbg_error(const char *text);

// Reads the Vorn_B32_DEBUG setting (creating it as 0 when missing).
uint32_t read_debug_switch();

// Fallback file writer used when ptrace's output fails.  A null format closes
// the file and removes every fallback file of the current directory.
void file_trace(const char *format, va_list args);
// Makes the next free name "DBG--nnn.nnn" (created empty); 0 on success.
int make_trace_fname(char *buffer);

// Removes the files of the current directory that match `pattern` ("?" and
// "*" wildcards), announcing each on standard output as "remove: NAME".
// The fallback trace clears its files with it, and so does file_remove.
void remove_matching_files(const char *pattern);

} // namespace vorn
