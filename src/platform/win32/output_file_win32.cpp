// Output files, locks and scratch copies on Windows: new content grows in a
// file beside its destination that is marked for deletion, so that a killed
// process leaves nothing; the mark is lifted only when the content is
// complete, and MoveFileExA puts it over the destination.  A list that is
// read and replaced is guarded by a named mutex of its path, since a file
// that another handle holds open cannot be replaced here.
#include "platform/output_file.h"
#include "platform/platform.h"
#include "platform/win32/system.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <new>
#include <random>

namespace vorn::platform {
namespace {

std::string sibling_name(const std::string &path) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 rng{std::random_device{}() ^ GetCurrentThreadId()};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
    std::string name = path + ".vorn-" + std::to_string(GetCurrentProcessId()) + "-";
    for (int i = 0; i < 6; ++i)
        name += kChars[pick(rng)];
    return name + "~";
}

bool mark_for_deletion(HANDLE file, bool mark) {
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = mark ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != 0;
}

// A stdio stream on a handle; the handle is closed when that fails.
std::FILE *stream_of(HANDLE file, const char *mode) {
    // As fopen does: text mode unless the mode asks for binary.
    const bool text = std::strchr(mode, 'b') == nullptr;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), text ? _O_TEXT : _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        errno = EMFILE;
        return nullptr;
    }
    std::FILE *stream = ::_fdopen(fd, std::strchr(mode, '+') != nullptr ? (text ? "w+t" : "w+b")
                                                                        : (text ? "wt" : "wb"));
    if (stream == nullptr)
        ::_close(fd);
    return stream;
}

} // namespace

bool OutputFile::open_staged(const char *mode, unsigned) {
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 10 && file == INVALID_HANDLE_VALUE; ++attempt) {
        m_staging = sibling_name(m_path);
        file = CreateFileA(m_staging.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        win32::set_errno_from_last_error();
        return false;
    }
    // Until the content is complete the file goes with its last handle.
    m_named = false;
    mark_for_deletion(file, true);
    m_native = file;
    m_stream = stream_of(file, mode);
    return m_stream != nullptr;
}

int OutputFile::seal(bool partial) {
    int error = sync_stream(m_stream);
    if (error == 0 && std::ferror(m_stream))
        error = last_error() != 0 ? last_error() : EIO;
    if (partial)
        error = 0;
    if (error == 0 && !mark_for_deletion(static_cast<HANDLE>(m_native), false))
        error = win32::set_errno_from_last_error();
    if (error != 0)
        return error;
    m_named = true;
    std::fclose(m_stream); // synced above: nothing is left to lose
    m_stream = nullptr;
    return 0;
}

void OutputFile::drop() {
    if (m_stream != nullptr)
        std::fclose(m_stream); // the marked file goes with its handle
    m_stream = nullptr;
    if (m_named)
        DeleteFileA(m_staging.c_str());
}

bool OutputFile::open_append() {
    m_stream = open_stream(m_path.c_str(), "a");
    if (m_stream == nullptr)
        return false;
    HANDLE file = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(m_stream)));
    // A byte far beyond any end is the appenders' lock; it keeps no reader
    // from the report.
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;
    LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
    LARGE_INTEGER size{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size))
        m_length = static_cast<uint64_t>(size.QuadPart);
    // A handle of its own cuts the file back after the stream is closed.
    HANDLE own = nullptr;
    DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &own, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    m_native = own;
    return true;
}

void OutputFile::finish_append(bool keep) {
    HANDLE file = static_cast<HANDLE>(m_native);
    if (file == nullptr)
        return;
    if (!keep && GetFileType(file) == FILE_TYPE_DISK) {
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(m_length);
        if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file))
            FlushFileBuffers(file);
    }
    OVERLAPPED lock{};
    lock.OffsetHigh = 0x40000000;
    UnlockFileEx(file, 0, 1, 0, &lock);
    CloseHandle(file);
}

bool FileLock::lock(const char *path) {
    unlock();
    char full[32768];
    const DWORD n = path != nullptr ? GetFullPathNameA(path, sizeof full, full, nullptr) : 0;
    if (n == 0 || n >= sizeof full) {
        errno = path == nullptr ? EINVAL : ENOENT;
        return false;
    }
    // One mutex per file, named by a hash of its full path without regard
    // to case, as the system names files.
    uint64_t hash = 1469598103934665603ull;
    for (DWORD i = 0; i < n; ++i) {
        char c = full[i] == '/' ? '\\' : full[i];
        hash = (hash ^ static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c)) *
               1099511628211ull;
    }
    char name[64];
    std::snprintf(name, sizeof name, "Local\\Vorn_B32-list-%016llx",
                  static_cast<unsigned long long>(hash));
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) {
        win32::set_errno_from_last_error();
        return false;
    }
    // An owner that died leaves the mutex abandoned: it is ours all the same.
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        errno = EINVAL;
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(mutex);
    return true;
}

void FileLock::unlock() {
    if (m_handle == -1)
        return;
    HANDLE mutex = reinterpret_cast<HANDLE>(m_handle);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    m_handle = -1;
}

std::FILE *open_scratch_file(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        win32::set_errno_from_last_error();
        return nullptr;
    }
    return stream_of(file, "w+b");
}

long long copy_file_piece(std::FILE *from, std::FILE *to, size_t limit) {
    constexpr size_t kBuffer = size_t{1} << 20;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBuffer]);
    if (buffer == nullptr) {
        errno = ENOMEM;
        return kSystemFailed;
    }
    const size_t got = std::fread(buffer.get(), 1, limit < kBuffer ? limit : kBuffer, from);
    if (got == 0)
        return std::ferror(from) ? -1 : 0;
    if (std::fwrite(buffer.get(), 1, got, to) != got)
        return kSystemFailed;
    return static_cast<long long>(got);
}

// A file marked for deletion cannot be opened again by its name here, so
// the scratch file has a name, removed when its owner ends.
UnnamedFile::~UnnamedFile() {
    if (m_named)
        DeleteFileA(m_path.c_str());
}

bool UnnamedFile::create(const std::string &folder) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        m_path = sibling_name(folder + "\\vorn");
        HANDLE file = CreateFileA(m_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            m_named = true;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    win32::set_errno_from_last_error();
    return false;
}

std::FILE *UnnamedFile::open_stream() const {
    return m_named ? std::fopen(m_path.c_str(), "r+b") : nullptr;
}

// Windows ends a process without running handlers that could remove names;
// the staging files are marked for deletion instead.
void remove_named_on_signals() {}
void list_for_signals(const std::string &) {}
void unlist_for_signals(const std::string &) {}
void sweep_dead_staging(const std::string &) {}

} // namespace vorn::platform
