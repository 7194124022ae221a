// Standard input and output as raw bytes on Windows: ReadFile and WriteFile
// on the process's standard handles, bypassing the C runtime's text mode.
// A pipe (how editors start a language server) has no wait of its own that
// tells "bytes ready", so it is peeked every few milliseconds up to the time
// limit; a file or console handle is waited on directly.
#include "platform/platform.h"
#include "platform/win32/system.h"

namespace vorn::platform {

namespace {

constexpr DWORD kPeekStepMs = 5;

} // namespace

int wait_standard_input(int timeout_ms) {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (input == INVALID_HANDLE_VALUE || input == nullptr)
        return -1;
    if (::GetFileType(input) != FILE_TYPE_PIPE) {
        const DWORD r = ::WaitForSingleObject(input, timeout_ms < 0 ? INFINITE : DWORD(timeout_ms));
        return r == WAIT_OBJECT_0 ? 1 : r == WAIT_TIMEOUT ? 0 : -1;
    }
    const ULONGLONG until = ::GetTickCount64() + ULONGLONG(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr))
            return 1; // the writer is gone: the read tells the end
        if (available > 0)
            return 1;
        if (timeout_ms >= 0 && ::GetTickCount64() >= until)
            return 0;
        ::Sleep(kPeekStepMs);
    }
}

long read_standard_input(char *buffer, size_t size) {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD got = 0;
    const DWORD want = size > 0x7FFFFFFF ? 0x7FFFFFFF : DWORD(size);
    if (::ReadFile(input, buffer, want, &got, nullptr))
        return static_cast<long>(got);
    return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

bool write_standard_output(const char *data, size_t size) {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    while (size > 0) {
        DWORD put = 0;
        const DWORD chunk = size > 0x7FFFFFFF ? 0x7FFFFFFF : DWORD(size);
        if (!::WriteFile(output, data, chunk, &put, nullptr) || put == 0)
            return false;
        data += put;
        size -= put;
    }
    return true;
}

} // namespace vorn::platform
