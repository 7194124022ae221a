// File services on POSIX systems: sizes, identities, exclusive creation,
// wildcard search with fnmatch, removal and replacement, resolved paths
// and streams synced to the disk.
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::platform {

int file_readable(const char *path) {
    if (path == nullptr)
        return EINVAL;
    return ::access(path, R_OK) == 0 ? 0 : errno;
}

namespace {

// Turns a descriptor opened with O_NONBLOCK into a blocking stdio stream;
// closes it on failure (errno kept).
std::FILE *blocking_stream(int fd, const char *mode) {
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE *file = nullptr;
    if (flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        file = ::fdopen(fd, mode);
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

} // namespace

std::FILE *open_stream(const char *path, const char *mode) {
    if (path == nullptr || mode == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    const bool update = std::strchr(mode, '+') != nullptr;
    int flags = O_CLOEXEC | O_NONBLOCK;
    const char *stream_mode;
    switch (mode[0]) {
    case 'r':
        flags |= update ? O_RDWR : O_RDONLY;
        stream_mode = update ? "r+" : "r";
        break;
    case 'w':
        flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        stream_mode = update ? "w+" : "w";
        break;
    case 'a':
        flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        stream_mode = update ? "a+" : "a";
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    const int fd = ::open(path, flags, 0666);
    return fd < 0 ? nullptr : blocking_stream(fd, stream_mode);
}

std::FILE *open_regular_file(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    // Without O_NONBLOCK the open of a FIFO waits for a writer; the kind is
    // told from the open descriptor, so a name swapped meanwhile is no gap.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (error != 0) {
        ::close(fd);
        errno = error;
        return nullptr;
    }
    return blocking_stream(fd, "r");
}

bool read_text_file(const char *path, std::string &bytes) {
    return read_whole_file(path, bytes); // text and binary read alike here
}

bool file_size(const char *path, uint64_t *size) {
    if (path == nullptr)
        return false;
    struct stat st {};
    if (::stat(path, &st) != 0)
        return false;
    if (size != nullptr)
        *size = static_cast<uint64_t>(st.st_size);
    return true;
}

FileIdentity file_identity(const char *path) {
    FileIdentity id;
    struct stat st {};
    if (path == nullptr || ::stat(path, &st) != 0) {
        id.error = path == nullptr ? EINVAL : errno;
        return id;
    }
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.links = static_cast<uint32_t>(st.st_nlink);
    id.owner = static_cast<uint32_t>(st.st_uid);
    id.group = static_cast<uint32_t>(st.st_gid);
    id.mode = static_cast<uint32_t>(st.st_mode & 07777);
    if (S_ISREG(st.st_mode))
        id.kind = FileIdentity::Regular;
    else if (S_ISDIR(st.st_mode))
        id.kind = FileIdentity::Folder;
    else if (S_ISFIFO(st.st_mode))
        id.kind = FileIdentity::Fifo;
    else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        id.kind = FileIdentity::Device;
    else
        id.kind = FileIdentity::Other;
    return id;
}

int create_new_file(const char *path) {
    if (path == nullptr)
        return EINVAL;
    int fd = ::open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno != 0 ? errno : EIO;
    ::close(fd);
    return 0;
}

std::string temp_folder() {
    // A TMPDIR that names no folder would make every temporary file fail;
    // the system's folder serves instead, as mktemp(1) does.
    const char *tmpdir = std::getenv("TMPDIR");
    struct stat info {};
    const bool usable = tmpdir != nullptr && tmpdir[0] != '\0' && ::stat(tmpdir, &info) == 0 &&
                        S_ISDIR(info.st_mode);
    std::string folder = usable ? tmpdir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::vector<std::string> find_files(const char *pattern) {
    std::vector<std::string> names;
    if (pattern == nullptr || *pattern == '\0')
        return names;
    // Both separators are accepted, as patterns may come from Windows hosts.
    const char *slash = std::strrchr(pattern, '/');
    const char *back = std::strrchr(pattern, '\\');
    const char *sep = slash > back ? slash : back;
    std::string folder(".");
    if (sep == pattern)
        folder.assign(1, '/');
    else if (sep != nullptr)
        folder.assign(pattern, static_cast<size_t>(sep - pattern));
    const char *name_pattern = sep ? sep + 1 : pattern;
    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    while (dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (::fnmatch(name_pattern, entry->d_name, FNM_PERIOD) != 0)
            continue;
        std::string full;
        full.reserve(folder.size() + 1 + std::strlen(entry->d_name));
        full.append(folder).append(1, '/').append(entry->d_name);
        struct stat st {};
        if (::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool remove_file(const char *path) {
    return path != nullptr && ::unlink(path) == 0;
}

std::string resolved_path(const char *path) {
    if (path == nullptr)
        return std::string();
    // Resolving is no error of the caller's job: errno stays as it was.
    const int saved = errno;
    std::string current(path);
    // A link whose target does not exist yet leads to a file still to be
    // made: the target is followed by hand, so that the new file is made
    // there and the link stays.
    for (int hops = 0; hops < 40; ++hops) {
        if (char *real = ::realpath(current.c_str(), nullptr)) {
            std::string out(real);
            std::free(real);
            errno = saved;
            return out;
        }
        struct stat st {};
        char target[4096];
        const ssize_t n = ::lstat(current.c_str(), &st) == 0 && S_ISLNK(st.st_mode)
                              ? ::readlink(current.c_str(), target, sizeof target - 1)
                              : -1;
        if (n <= 0)
            break;
        target[n] = '\0';
        const size_t cut = current.find_last_of('/');
        current = target[0] == '/' || cut == std::string::npos
                      ? std::string(target)
                      : current.substr(0, cut + 1) + target;
    }
    errno = saved;
    return current;
}

int sync_stream(std::FILE *stream) {
    if (stream == nullptr)
        return EINVAL;
    if (std::fflush(stream) != 0)
        return errno != 0 ? errno : EIO;
    if (::fsync(::fileno(stream)) != 0)
        return errno != 0 ? errno : EIO;
    return 0;
}

int write_failure_reason(std::FILE *stream) {
    if (stream == nullptr)
        return EIO;
    const int fd = ::fileno(stream);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return errno != 0 ? errno : EIO;
    if (!S_ISREG(st.st_mode))
        return EIO;
    const char byte = 0;
    if (::pwrite(fd, &byte, 1, st.st_size) == 1) {
        if (::ftruncate(fd, st.st_size) != 0)
            return errno != 0 ? errno : EIO;
        return EIO;
    }
    return errno != 0 ? errno : EIO;
}

void start_writeback(std::FILE *stream) {
    // A pipe or a device refuses the request; there is nothing to start.
#ifdef SYNC_FILE_RANGE_WRITE
    if (stream != nullptr)
        ::sync_file_range(::fileno(stream), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)stream;
#endif
}

void forget_cached_pages(const char *path) {
#ifdef POSIX_FADV_DONTNEED
    if (path == nullptr)
        return;
    // Not blocking: a FIFO at the path must not hold the job up.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
#else
    (void)path;
#endif
}

int rename_file(const char *from, const char *to) {
    if (from == nullptr || to == nullptr) {
        errno = EINVAL;
        return EINVAL;
    }
    if (::rename(from, to) != 0) {
        const int error = errno != 0 ? errno : EIO;
        errno = error;
        return error;
    }
    return 0;
}

void sync_folder_of(const char *path) {
    // The new name is durable only when the folder's entry is on disk too.
    // A folder that cannot be synced leaves the rename done all the same.
    const char *slash = std::strrchr(path, '/');
    const std::string folder = slash == nullptr ? std::string(".")
                               : slash == path
                                   ? std::string("/")
                                   : std::string(path, static_cast<size_t>(slash - path));
    const int saved = errno;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    errno = saved;
}

int replace_file(const char *from, const char *to) {
    const int error = rename_file(from, to);
    if (error == 0)
        sync_folder_of(to);
    return error;
}

} // namespace vorn::platform

namespace vorn::platform {

bool is_terminal(std::FILE *stream) {
    return stream != nullptr && ::isatty(::fileno(stream)) != 0;
}

} // namespace vorn::platform
