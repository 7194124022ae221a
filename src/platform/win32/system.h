// The Windows headers as the win32 platform files include them, and the
// mapping of system error codes to the errno values the rest of the library
// reports.  Only files of this folder include it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace vorn::platform::win32 {

// The errno value of a GetLastError() code, as the C runtime maps them.
int errno_from(DWORD error);

// Sets errno from GetLastError() and returns it.
int set_errno_from_last_error();

} // namespace vorn::platform::win32
