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

} // namespace vorn::platform
