// Scratch files without names, and the names that cannot be avoided: the
// list of staging names a signal removes, and the removal of the staging
// names of dead processes (see output_file.h).
#include "platform/output_file.h"
#include "platform/platform.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::platform {
namespace {

// The names a signal removes.  A handler may only read what it finds
// published: a slot is claimed, filled, then marked in use.
constexpr size_t kSlots = 64;
constexpr size_t kNameRoom = 4096;
struct Slot {
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 in use
    char name[kNameRoom];
};
Slot g_slots[kSlots];

void remove_listed_and_die(int signal_number) {
    for (Slot &slot : g_slots)
        if (slot.state.load() == 2)
            ::unlink(slot.name);
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

// The pid in a staging name "<name>.vorn-<pid>-<six characters>~" (or
// "vorn-<pid>-...~" of a scratch file), 0 for any other name.
pid_t staging_pid(const char *name) {
    const size_t length = std::strlen(name);
    if (length < 14 || name[length - 1] != '~' || name[length - 8] != '-')
        return 0;
    for (size_t i = length - 7; i < length - 1; ++i)
        if (!std::isalnum(static_cast<unsigned char>(name[i])))
            return 0;
    size_t digits = length - 8;
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])))
        --digits;
    if (digits == length - 8 || digits < 5 || std::strncmp(name + digits - 5, "vorn-", 5) != 0)
        return 0;
    if (digits > 5 && name[digits - 6] != '.')
        return 0;
    return static_cast<pid_t>(std::strtol(name + digits, nullptr, 10));
}

} // namespace

void remove_named_on_signals() {
    struct sigaction action {};
    action.sa_handler = remove_listed_and_die;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void list_for_signals(const std::string &path) {
    if (path.size() >= kNameRoom)
        return;
    for (Slot &slot : g_slots) {
        int expected = 0;
        if (slot.state.compare_exchange_strong(expected, 1)) {
            std::memcpy(slot.name, path.c_str(), path.size() + 1);
            slot.state.store(2);
            return;
        }
    }
}

void unlist_for_signals(const std::string &path) {
    // A slot's name is read only while this thread holds the slot: another
    // thread may free and refill any slot it does not hold.  A slot held for
    // the comparison is skipped by a signal for that moment.
    for (Slot &slot : g_slots) {
        int expected = 2;
        if (!slot.state.compare_exchange_strong(expected, 1))
            continue;
        if (path == slot.name) {
            slot.state.store(0);
            return;
        }
        slot.state.store(2);
    }
}

void sweep_dead_staging(const std::string &folder) {
    // Once per folder and process: a job that writes many files into one
    // folder reads the folder once.
    static std::mutex mutex;
    static std::set<std::string> swept;
    static pid_t sweeper = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex);
        // A forked child is a run of its own.
        if (sweeper != ::getpid())
            swept.clear(), sweeper = ::getpid();
        if (!swept.insert(folder).second)
            return;
    }
    const int saved = errno;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const pid_t pid = staging_pid(entry->d_name);
            // A process that still lives, or one we may not signal, may
            // still need its file.
            if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
                ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
        ::closedir(dir);
    }
    errno = saved;
}

UnnamedFile::~UnnamedFile() {
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    if (m_named) {
        ::unlink(m_path.c_str());
        unlist_for_signals(m_path);
    }
}

bool UnnamedFile::create(const std::string &folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        fd = ::memfd_create("vorn", MFD_CLOEXEC);
    if (fd < 0 && (errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        // Neither: a named file, removed on every way out this process has.
        sweep_dead_staging(folder);
        for (int attempt = 0; attempt < 10 && fd < 0; ++attempt) {
            char name[64];
            std::snprintf(name, sizeof name, "/vorn-%ld-%06x~", static_cast<long>(::getpid()),
                          static_cast<unsigned>(std::rand()) & 0xFFFFFFu);
            m_path = folder + name;
            list_for_signals(m_path);
            fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0)
                unlist_for_signals(m_path);
        }
        m_named = fd >= 0;
    }
    if (fd < 0)
        return false;
    m_handle = fd;
    if (!m_named)
        m_path = "/proc/self/fd/" + std::to_string(fd);
    return true;
}

std::FILE *UnnamedFile::open_stream() const {
    if (m_handle < 0) {
        errno = EBADF;
        return nullptr;
    }
    // A descriptor of its own, at the start, whoever read the file last.
    const int fd = ::dup(static_cast<int>(m_handle));
    if (fd < 0)
        return nullptr;
    ::lseek(fd, 0, SEEK_SET);
    std::FILE *stream = ::fdopen(fd, "r+b");
    if (stream == nullptr)
        ::close(fd);
    return stream;
}

} // namespace vorn::platform
