// The system-independent half of OutputFile and Publication: choosing how
// an output is written, the life of the handle and the order in which the
// outputs of a job are put in place.  The staging, sealing and locking
// themselves are the system's (posix/output_file_posix.cpp,
// win32/output_file_win32.cpp).
#include "platform/output_file.h"

#include "platform/platform.h"

#include <cerrno>
#include <cstddef>
#include <utility>

namespace vorn::platform {

OutputFile::~OutputFile() {
    discard();
}

OutputFile::OutputFile(OutputFile &&other) noexcept {
    *this = std::move(other);
}

OutputFile &OutputFile::operator=(OutputFile &&other) noexcept {
    if (this != &other) {
        discard();
        m_stream = std::exchange(other.m_stream, nullptr);
        m_kind = std::exchange(other.m_kind, Kind::None);
        m_path = std::move(other.m_path);
        m_staging = std::move(other.m_staging);
        m_named = std::exchange(other.m_named, false);
        m_length = std::exchange(other.m_length, 0);
        m_native = std::exchange(other.m_native, nullptr);
        m_keep_owner = std::exchange(other.m_keep_owner, false);
        m_owner = other.m_owner, m_group = other.m_group, m_mode = other.m_mode;
    }
    return *this;
}

void OutputFile::reset() {
    m_stream = nullptr;
    m_kind = Kind::None;
    m_staging.clear();
    m_named = false;
    m_length = 0;
    m_native = nullptr;
    m_keep_owner = false;
}

bool OutputFile::create(const char *path, const char *mode, unsigned permissions) {
    discard();
    if (path == nullptr || path[0] == '\0' || mode == nullptr || mode[0] != 'w') {
        errno = path == nullptr || path[0] == '\0' ? ENOENT : EINVAL;
        return false;
    }
    const FileIdentity id = file_identity(path);
    if ((id.kind != FileIdentity::Missing && id.kind != FileIdentity::Regular) ||
        (id.kind == FileIdentity::Regular && id.links == 0)) {
        // A FIFO or a device has no content to keep, and a file without a
        // name has no name to take: each is written as it is.
        m_path = path;
        m_stream = open_stream(m_path.c_str(), mode);
        m_kind = m_stream != nullptr ? Kind::Direct : Kind::None;
        return m_stream != nullptr;
    }
    // Through a link the linked file gets the new content; the link stays.
    m_path = resolved_path(path);
    const bool replacing = id.kind == FileIdentity::Regular;
    if (!open_staged(mode, replacing ? 0600 : permissions)) {
        reset();
        return false;
    }
    m_kind = Kind::Staged;
    m_keep_owner = replacing;
    m_owner = id.owner, m_group = id.group, m_mode = id.mode;
    return true;
}

bool OutputFile::append(const char *path) {
    discard();
    if (path == nullptr || path[0] == '\0') {
        errno = ENOENT;
        return false;
    }
    m_path = path;
    if (!open_append()) {
        reset();
        return false;
    }
    m_kind = Kind::Append;
    return true;
}

bool OutputFile::commit() {
    if (m_stream == nullptr)
        return false;
    int error = 0;
    switch (m_kind) {
    case Kind::Staged:
        if (Publication *publication = Publication::current()) {
            error = seal();
            if (error == 0)
                publication->adopt(m_staging, m_path);
            else
                drop();
        } else {
            error = publish();
        }
        break;
    case Kind::Append:
        error = sync_stream(m_stream);
        if (error == 0 && std::ferror(m_stream))
            error = last_error() != 0 ? last_error() : EIO;
        if (std::fclose(m_stream) != 0 && error == 0)
            error = errno != 0 ? errno : EIO;
        finish_append(error == 0);
        break;
    default: {
        const bool failed = std::ferror(m_stream) != 0;
        const int saved = errno;
        if (std::fclose(m_stream) != 0)
            error = errno != 0 ? errno : EIO;
        else if (failed)
            error = saved != 0 ? saved : EIO;
        break;
    }
    }
    reset();
    if (error != 0)
        errno = error;
    return error == 0;
}

int OutputFile::publish() {
    int error = seal();
    if (error != 0) {
        drop();
        return error;
    }
    error = replace_file(m_staging.c_str(), m_path.c_str());
    if (error != 0)
        remove_file(m_staging.c_str());
    unlist_for_signals(m_staging);
    return error;
}

bool OutputFile::keep_staged(const std::string &kept) {
    if (m_stream == nullptr || m_kind != Kind::Staged) {
        discard();
        return false;
    }
    int error = seal(true);
    if (error != 0)
        drop();
    else if ((error = replace_file(m_staging.c_str(), kept.c_str())) != 0)
        remove_file(m_staging.c_str());
    unlist_for_signals(m_staging);
    reset();
    if (error != 0)
        errno = error;
    return error == 0;
}

void OutputFile::discard() {
    if (m_stream == nullptr)
        return;
    const int saved = errno;
    switch (m_kind) {
    case Kind::Staged:
        drop();
        break;
    case Kind::Append:
        std::fclose(m_stream);
        finish_append(false);
        break;
    default:
        std::fclose(m_stream);
        break;
    }
    reset();
    errno = saved;
}

namespace {
thread_local Publication *t_current = nullptr;
} // namespace

Publication::Publication() : m_outer(t_current) {
    t_current = this;
}

Publication::~Publication() {
    abandon();
    t_current = m_outer;
}

Publication *Publication::current() {
    return t_current;
}

bool Publication::holds(const char *path) const {
    const std::string resolved = resolved_path(path);
    for (const auto &file : m_files)
        if (file.second == resolved)
            return true;
    return false;
}

void Publication::adopt(const std::string &staged, const std::string &destination) {
    m_files.emplace_back(staged, destination);
}

bool Publication::publish() {
    if (m_done)
        return m_failed.empty();
    m_done = true;
    t_current = m_outer;
    if (m_outer != nullptr) {
        for (const auto &[staged, destination] : m_files)
            m_outer->adopt(staged, destination);
        m_files.clear();
        return true;
    }
    // Every file is synced and named by now: what is left is one rename
    // each, back to back, so that the window in which a kill leaves a mixed
    // set is as short as the system allows.
    size_t i = 0;
    int error = 0;
    for (; i < m_files.size(); ++i) {
        error = rename_file(m_files[i].first.c_str(), m_files[i].second.c_str());
        if (error != 0) {
            m_failed = m_files[i].second;
            break;
        }
        unlist_for_signals(m_files[i].first);
    }
    for (size_t done = 0; done < i; ++done)
        sync_folder_of(m_files[done].second.c_str());
    m_files.erase(m_files.begin(), m_files.begin() + static_cast<std::ptrdiff_t>(i));
    abandon();
    if (error != 0)
        errno = error;
    return error == 0;
}

void Publication::abandon() {
    const int saved = errno;
    for (const auto &file : m_files) {
        remove_file(file.first.c_str());
        unlist_for_signals(file.first);
    }
    m_files.clear();
    errno = saved;
}

} // namespace vorn::platform
