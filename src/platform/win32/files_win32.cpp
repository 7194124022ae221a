// File services on Windows: sizes, identities, exclusive creation, the
// C runtime's wildcard search (_findfirst) and removal.  Failures leave the
// errno value that the messages of the library report.
#include "platform/platform.h"
#include "platform/win32/system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <io.h>
#include <sys/stat.h>

namespace vorn::platform {

int file_readable(const char *path) {
    if (path == nullptr)
        return EINVAL;
    return ::_access(path, 4) == 0 ? 0 : errno; // 4: read permission
}

std::FILE *open_stream(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr || std::strchr("rwa", mode[0]) == nullptr ||
        mode[0] == '\0') {
        errno = EINVAL;
        return nullptr;
    }
    // No open waits here: a pipe without a free instance fails at once.  The
    // mode keeps its "b" or "t", so text files get the runtime's CR LF lines.
    return std::fopen(path, mode);
}

std::FILE *open_regular_file(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr)
        return nullptr; // a folder does not open here at all
    // Devices (NUL, CON, COM1) and pipes are refused: they never end or wait.
    struct _stat64 st {};
    int error = 0;
    if (::_fstat64(::_fileno(file), &st) != 0)
        error = errno;
    else if ((st.st_mode & _S_IFMT) != _S_IFREG)
        error = (st.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : EINVAL;
    if (error != 0) {
        std::fclose(file);
        errno = error;
        return nullptr;
    }
    return file;
}

bool read_text_file(const char *path, std::string &bytes) {
    std::string raw;
    const bool read = read_whole_file(path, raw);
    bytes.reserve(bytes.size() + raw.size());
    for (size_t i = 0; i < raw.size() && raw[i] != '\x1A'; ++i)
        if (raw[i] != '\r' || i + 1 == raw.size() || raw[i + 1] != '\n')
            bytes += raw[i];
    return read;
}

bool file_size(const char *path, uint64_t *size) {
    if (path == nullptr)
        return false;
    struct _stat64 st {};
    if (::_stat64(path, &st) != 0)
        return false;
    if (size != nullptr)
        *size = static_cast<uint64_t>(st.st_size);
    return true;
}

FileIdentity file_identity(const char *path) {
    FileIdentity id;
    if (path == nullptr) {
        id.error = EINVAL;
        return id;
    }
    // No access is asked for: only the identity is read.  Folders open only
    // with backup semantics.
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        id.error = win32::set_errno_from_last_error();
        return id;
    }
    switch (GetFileType(file)) {
    case FILE_TYPE_CHAR:
        id.kind = FileIdentity::Device;
        break;
    case FILE_TYPE_PIPE:
        id.kind = FileIdentity::Fifo;
        break;
    case FILE_TYPE_DISK: {
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(file, &info)) {
            id.kind = FileIdentity::Other;
            break;
        }
        id.device = info.dwVolumeSerialNumber;
        id.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileIdentity::Folder
                                                                          : FileIdentity::Regular;
        break;
    }
    default:
        id.kind = FileIdentity::Other;
        break;
    }
    CloseHandle(file);
    return id;
}

std::string temp_folder() {
    char buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof buffer, buffer);
    std::string folder = length > 0 && length < sizeof buffer ? std::string(buffer, length) : ".";
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

int create_new_file(const char *path) {
    if (path == nullptr)
        return EINVAL;
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return win32::set_errno_from_last_error();
    CloseHandle(file);
    return 0;
}

std::vector<std::string> find_files(const char *pattern) {
    std::vector<std::string> names;
    if (pattern == nullptr || *pattern == '\0')
        return names;
    // The system matches the wildcards, without regard to case as its file
    // names are; folders are left out.
    struct __finddata64_t found {};
    intptr_t search = ::_findfirst64(pattern, &found);
    if (search == -1)
        return names;
    do {
        if ((found.attrib & _A_SUBDIR) == 0)
            names.emplace_back(found.name);
    } while (::_findnext64(search, &found) == 0);
    ::_findclose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool remove_file(const char *path) {
    return path != nullptr && ::_unlink(path) == 0;
}

std::string resolved_path(const char *path) {
    if (path == nullptr)
        return std::string();
    // Resolving is no error of the caller's job: errno stays as it was.
    const int saved = errno;
    std::string out(path);
    // Only a symbolic link (a reparse point) is followed; any other path is
    // the file itself and stays as the caller wrote it.
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            std::string final_path(32768, '\0');
            DWORD n = GetFinalPathNameByHandleA(file, &final_path[0],
                                                static_cast<DWORD>(final_path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (n > 0 && n < final_path.size()) {
                final_path.resize(n);
                // The system answers in its long form: \\?\C:\... or \\?\UNC\host\...
                if (final_path.rfind("\\\\?\\UNC\\", 0) == 0)
                    out = "\\\\" + final_path.substr(8);
                else if (final_path.rfind("\\\\?\\", 0) == 0)
                    out = final_path.substr(4);
                else
                    out = final_path;
            }
            CloseHandle(file);
        }
    }
    errno = saved;
    return out;
}

int sync_stream(std::FILE *stream) {
    if (stream == nullptr)
        return EINVAL;
    if (std::fflush(stream) != 0)
        return errno != 0 ? errno : EIO;
    if (::_commit(::_fileno(stream)) != 0)
        return errno != 0 ? errno : EIO;
    return 0;
}

void forget_cached_pages(const char *) {
    // Windows gives a file's cached pages back on its own when it is
    // replaced, without holding up the job that replaces it.
}

void start_writeback(std::FILE *) {
    // Windows writes a file's cache out lazily on its own; its one request,
    // FlushFileBuffers, waits for the disk, which is what the sync at the
    // end of the job is for.
}

int replace_file(const char *from, const char *to) {
    if (from == nullptr || to == nullptr) {
        errno = EINVAL;
        return EINVAL;
    }
    // The new file takes over the attributes of the one it replaces.  A
    // read-only file cannot be replaced on this system, so that attribute is
    // lifted for the move and given back to the new file.
    const DWORD attributes = GetFileAttributesA(to);
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesA(to, attributes & ~FILE_ATTRIBUTE_READONLY);
    // MOVEFILE_WRITE_THROUGH returns only when the move has reached the disk.
    if (!MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const int error = win32::set_errno_from_last_error();
        if (existed)
            SetFileAttributesA(to, attributes);
        return error;
    }
    if (existed)
        SetFileAttributesA(to, attributes); // best effort: the content matters more
    return 0;
}

int write_failure_reason(std::FILE *) {
    // A full disk is told by the write itself here; nothing is found again.
    return EIO;
}

int rename_file(const char *from, const char *to) {
    return replace_file(from, to);
}

void sync_folder_of(const char *) {
    // MoveFileExA with MOVEFILE_WRITE_THROUGH made the move durable already.
}

} // namespace vorn::platform

namespace vorn::platform {

bool is_terminal(std::FILE *stream) {
    return stream != nullptr && _isatty(_fileno(stream)) != 0;
}

} // namespace vorn::platform
