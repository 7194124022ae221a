// Pieces shared inside the platform folder only: the raw writes behind the
// debug output, one set per operating system (posix/debug_output.cpp,
// win32/debug_output.cpp; the choice of sink itself is debug_sink.cpp's), and
// the pinned instant of SOURCE_DATE_EPOCH that both clocks honour.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::platform::internal {

// The debugger output of the system: OutputDebugStringA on Windows; a system
// without one drops the string.  Returns false when the string was not taken.
bool debugger_output(const char *text);

// One unbuffered write of the string to standard error, bytes unchanged.
void stderr_output(const char *text, size_t length);

// Appends the string to the file at `path` in one write and closes the file
// again, so that strings of several threads or processes never interleave and
// the file may be rotated while a host runs.  False when the file could not
// be opened or written.
bool append_to_file(const char *path, const char *text, size_t length);

// The instant that SOURCE_DATE_EPOCH pins the clock to, in seconds since
// 1970; false when the variable is unset, empty or not a decimal number.
bool pinned_epoch(int64_t *seconds);

} // namespace vorn::platform::internal
