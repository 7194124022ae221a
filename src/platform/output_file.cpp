// The system-independent half of OutputFile: choosing how an output is
// written and the life of the handle.  The staging, publishing and locking
// themselves are the system's (posix/output_file_posix.cpp,
// win32/output_file_win32.cpp).
#include "platform/output_file.h"

#include "platform/platform.h"

#include <cerrno>
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
}

bool OutputFile::create(const char *path, const char *mode, const std::string &staging) {
    discard();
    if (path == nullptr || path[0] == '\0' || mode == nullptr || mode[0] != 'w') {
        errno = path == nullptr || path[0] == '\0' ? ENOENT : EINVAL;
        return false;
    }
    // Through a link the linked file gets the new content; the link stays.
    m_path = resolved_path(path);
    const FileIdentity id = file_identity(m_path.c_str());
    if (id.kind != FileIdentity::Missing && id.kind != FileIdentity::Regular) {
        // A FIFO or a device has no content to keep: it is written as it is.
        m_stream = open_stream(m_path.c_str(), mode);
        m_kind = m_stream != nullptr ? Kind::Direct : Kind::None;
        return m_stream != nullptr;
    }
    if (!open_staged(mode, staging)) {
        reset();
        return false;
    }
    m_kind = Kind::Staged;
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
        error = publish();
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

bool OutputFile::keep_staged() {
    if (m_stream == nullptr || m_kind != Kind::Staged) {
        discard();
        return false;
    }
    const int error = name_staged();
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

} // namespace vorn::platform
