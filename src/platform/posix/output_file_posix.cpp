// Output files, locks and scratch copies on POSIX systems: new content grows
// in an O_TMPFILE file without a name, is linked beside its destination only
// when complete and renamed over it; appends hold a flock; scratch copies
// lose their name as soon as they are open.
#include "platform/output_file.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::platform {
namespace {

constexpr int kNameAttempts = 10;

std::string folder_of(const std::string &path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? std::string("/") : path.substr(0, cut);
}

// A name beside `path` that no file has yet and that tells whose it is:
// "<path>.vorn-<pid>-<six characters>~".
std::string staging_name(const std::string &path) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 rng{std::random_device{}() ^ static_cast<unsigned>(::getpid())};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
    std::string name = path + ".vorn-" + std::to_string(::getpid()) + "-";
    for (int i = 0; i < 6; ++i)
        name += kChars[pick(rng)];
    return name + "~";
}

// A new named file beside `path` with `permissions`, listed for removal on
// signals; kSystemFailed (errno set) when none could be made.
int create_staging(const std::string &path, unsigned permissions, std::string &name) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = staging_name(path);
        list_for_signals(name);
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                              static_cast<mode_t>(permissions));
        if (fd >= 0)
            return fd;
        const int error = errno;
        unlist_for_signals(name);
        errno = error;
        if (error != EEXIST)
            return kSystemFailed;
    }
    return kSystemFailed;
}

// Gives the nameless file `fd` the name `name`.  0 or errno.
int link_nameless(int fd, const std::string &name) {
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    // AT_EMPTY_PATH needs a privilege; the descriptor's /proc entry does not.
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return errno != 0 ? errno : EIO;
}

// Copies everything of `from` (from its start) to `to`; 0 or errno.
int copy_all(int from, int to) {
    if (::lseek(from, 0, SEEK_SET) != 0)
        return errno;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0 ? 0 : errno;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return put == 0 ? EIO : errno;
            done += put;
        }
    }
}

// Names the nameless content of `fd` beside `destination`.  Where no link
// can be made, the content is copied into a new named file of its mode.
// Returns 0 and the name (listed for signals), or errno.
int name_content(int fd, const std::string &destination, std::string &name) {
    int error = 0;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = staging_name(destination);
        list_for_signals(name);
        error = link_nameless(fd, name);
        if (error == 0)
            return 0;
        unlist_for_signals(name);
        if (error != EEXIST)
            break;
    }
    if (error == EEXIST)
        return error;
    struct stat st {};
    const int copy = ::fstat(fd, &st) == 0 ? create_staging(destination, 0600, name) : -1;
    if (copy < 0)
        return errno;
    error = copy_all(fd, copy);
    const bool owned = ::fchown(copy, st.st_uid, st.st_gid) == 0;
    if (error == 0 && ::fchmod(copy, st.st_mode & (owned ? 07777 : 0777)) != 0)
        error = errno;
    if (error == 0 && ::fsync(copy) != 0)
        error = errno;
    ::close(copy);
    if (error != 0) {
        ::unlink(name.c_str());
        unlist_for_signals(name);
    }
    return error;
}

const char *stream_mode(const char *mode) {
    return std::strchr(mode, '+') != nullptr ? "w+" : "w";
}

// Gives the new content the replaced file's owner, group and mode.  An
// owner the process may not set keeps the file the process's; it then
// gets no set-user or set-group bit of the old owner.
void keep_owner(int fd, uint32_t owner, uint32_t group, uint32_t mode) {
    const bool owned = ::fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group)) == 0 ||
                       ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group)) == 0;
    ::fchmod(fd, static_cast<mode_t>(owned ? mode : mode & 0777));
}

} // namespace

bool OutputFile::open_staged(const char *mode, unsigned permissions) {
    const std::string folder = folder_of(m_path);
    sweep_dead_staging(folder);
    int fd =
        ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(permissions));
    m_named = fd < 0;
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS ||
                   errno == ENOSPC || errno == EDQUOT))
        return false;
    // No nameless files here: the content grows under its staging name.
    if (fd < 0)
        fd = create_staging(m_path, permissions, m_staging);
    if (fd < 0)
        return false;
    m_stream = ::fdopen(fd, stream_mode(mode));
    if (m_stream == nullptr) {
        const int error = errno;
        ::close(fd);
        if (m_named) {
            ::unlink(m_staging.c_str());
            unlist_for_signals(m_staging);
        }
        errno = error;
        return false;
    }
    return true;
}

int OutputFile::seal(bool partial) {
    int error = sync_stream(m_stream);
    // The blocks of a large output are written by a helper thread, whose
    // errno this thread does not see.
    if (error == 0 && std::ferror(m_stream))
        error = write_failure_reason(m_stream);
    if (partial)
        error = 0;
    const int fd = ::fileno(m_stream);
    // Owner and mode are set before the content gets a name, so that it is
    // never seen under a name with a wider mode than the file it replaces.
    if (error == 0 && m_keep_owner)
        keep_owner(fd, m_owner, m_group, m_mode);
    if (error == 0 && !m_named) {
        error = name_content(fd, m_path, m_staging);
        m_named = error == 0;
    }
    if (error != 0)
        return error;
    std::fclose(m_stream); // synced above: nothing is left to lose
    m_stream = nullptr;
    return 0;
}

void OutputFile::drop() {
    if (m_stream != nullptr)
        std::fclose(m_stream);
    m_stream = nullptr;
    if (m_named) {
        ::unlink(m_staging.c_str());
        unlist_for_signals(m_staging);
    }
}

bool OutputFile::open_append() {
    m_stream = open_stream(m_path.c_str(), "a");
    if (m_stream == nullptr)
        return false;
    // A descriptor of its own holds the lock and cuts the file back after
    // the stream is closed, when nothing of its buffer can follow any more.
    const int fd = ::dup(::fileno(m_stream));
    if (fd < 0) {
        const int error = errno;
        std::fclose(m_stream);
        errno = error;
        return false;
    }
    m_native = reinterpret_cast<void *>(static_cast<intptr_t>(fd));
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        m_length = static_cast<uint64_t>(st.st_size);
    else
        m_native = reinterpret_cast<void *>(static_cast<intptr_t>(-fd - 1)); // nothing to cut
    return true;
}

void OutputFile::finish_append(bool keep) {
    intptr_t fd = reinterpret_cast<intptr_t>(m_native);
    const bool regular = fd >= 0;
    if (!regular)
        fd = -fd - 1;
    if (!keep && regular && ::ftruncate(static_cast<int>(fd), static_cast<off_t>(m_length)) == 0)
        ::fsync(static_cast<int>(fd));
    ::close(static_cast<int>(fd));
}

bool FileLock::lock(const char *path) {
    unlock();
    if (path == nullptr) {
        errno = EINVAL;
        return false;
    }
    // The holder before us may have renamed a new file over the name: the
    // lock counts only on the file that the name still gives.
    for (int attempt = 0;; ++attempt) {
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return false;
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat held {
        }, named{};
        const bool same = ::fstat(fd, &held) == 0 && ::stat(path, &named) == 0 &&
                          held.st_dev == named.st_dev && held.st_ino == named.st_ino;
        if (same || attempt >= 1000) {
            m_handle = fd;
            return true;
        }
        ::close(fd);
    }
}

void FileLock::unlock() {
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

std::FILE *open_scratch_file(const char *path) {
    if (path == nullptr) {
        errno = EINVAL;
        return nullptr;
    }
    // The placeholder is normally empty: it is cut only when it is not, as
    // ext4 writes a file out when it is closed after a cut to nothing - a
    // needless disk write of a copy that is deleted on that close.
    const int fd = ::open(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (st.st_size != 0 && ::ftruncate(fd, 0) != 0)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    // Without a name the file goes with its last descriptor, also when the
    // process is killed.
    ::unlink(path);
    std::FILE *file = ::fdopen(fd, "w+");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

long long copy_file_piece(std::FILE *from, std::FILE *to, size_t limit) {
    const int in = ::fileno(from);
    const int out = ::fileno(to);
    for (;;) {
        ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, limit, 0);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
            errno != EBADF)
            return kSystemFailed;
        break;
    }
    // Systems or file systems without copy_file_range: the kernel still
    // moves the bytes with sendfile, else they pass through a buffer here.
    ssize_t n = ::sendfile(out, in, nullptr, limit);
    if (n >= 0)
        return n;
    char buffer[65536];
    const ssize_t got = ::read(in, buffer, limit < sizeof buffer ? limit : sizeof buffer);
    if (got <= 0)
        return got == 0 ? 0 : kSystemFailed;
    for (ssize_t done = 0; done < got;) {
        const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return kSystemFailed;
        done += put;
    }
    return got;
}

} // namespace vorn::platform
