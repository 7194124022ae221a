// The raw writes of the debug output on Windows: the debugger output
// (OutputDebugStringA), standard error and an appended file, each string in
// one call and with its bytes unchanged.
#include "platform/internal.h"
#include "platform/win32/system.h"

namespace vorn::platform::internal {

bool debugger_output(const char *text) {
    OutputDebugStringA(text);
    return true;
}

void stderr_output(const char *text, size_t length) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(err, text, static_cast<DWORD>(length), &written, nullptr);
}

bool append_to_file(const char *path, const char *text, size_t length) {
    // FILE_APPEND_DATA alone makes every write land at the end of the file,
    // whoever else appends; the sharing flags let other writers, readers and
    // a rotation that renames or deletes the file go on meanwhile.
    HANDLE file =
        CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) &&
              written == static_cast<DWORD>(length);
    CloseHandle(file);
    return ok;
}

} // namespace vorn::platform::internal
