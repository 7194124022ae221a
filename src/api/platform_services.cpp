// The operating-system services the tool takes from the library (see
// vorn_tool/api.h), handed on from the platform layer in the API's types.
#include "platform/output_file.h"
#include "platform/platform.h"
#include "vorn_tool/api.h"

#include <memory>
#include <string_view>

namespace vorn::api {

static_assert(std::string_view(kModuleLabel) == platform::kModuleLabel);
static_assert(kPathMax == platform::kPathMax);

FileIdentity file_identity(const char *path) {
    const platform::FileIdentity id = platform::file_identity(path);
    FileIdentity out;
    out.kind = static_cast<FileIdentity::Kind>(id.kind);
    out.device = id.device;
    out.inode = id.inode;
    out.error = id.error;
    return out;
}
static_assert(static_cast<int>(FileIdentity::Other) ==
              static_cast<int>(platform::FileIdentity::Other));

bool file_size(const char *path, uint64_t *size) {
    return platform::file_size(path, size);
}

std::FILE *open_regular_file(const char *path) {
    return platform::open_regular_file(path);
}

bool read_whole_file(const char *path, std::string &bytes) {
    return platform::read_whole_file(path, bytes);
}

bool remove_file(const char *path) {
    return platform::remove_file(path);
}

std::string temp_folder() {
    return platform::temp_folder();
}

int last_error() {
    return platform::last_error();
}

void set_last_error(int error) {
    platform::set_last_error(error);
}

std::string system_error_text(int error) {
    return platform::system_error_text(error);
}

bool write_complete_file(const char *path, const std::string &bytes) {
    platform::OutputFile out;
    platform::set_last_error(0);
    if (out.create(path, "wb") &&
        std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size() && out.commit())
        return true;
    const int error = platform::last_error();
    out.discard();
    platform::set_last_error(error);
    return false;
}

struct Publication::Held {
    platform::Publication publication;
};
Publication::Publication() : m_held(std::make_unique<Held>()) {}
Publication::~Publication() = default;
bool Publication::publish() {
    return m_held->publication.publish();
}
std::string Publication::failed() const {
    return m_held->publication.failed();
}
bool Publication::holds(const char *path) const {
    return m_held->publication.holds(path);
}

struct UnnamedFile::Held {
    platform::UnnamedFile file;
};
UnnamedFile::UnnamedFile() : m_held(std::make_unique<Held>()) {}
UnnamedFile::~UnnamedFile() = default;
bool UnnamedFile::create(const std::string &folder) {
    return m_held->file.create(folder);
}
const std::string &UnnamedFile::path() const {
    return m_held->file.path();
}
std::FILE *UnnamedFile::open_stream() const {
    return m_held->file.open_stream();
}

void remove_named_on_signals() {
    platform::remove_named_on_signals();
}

int wait_standard_input(int timeout_ms) {
    return platform::wait_standard_input(timeout_ms);
}

long read_standard_input(char *buffer, std::size_t size) {
    return platform::read_standard_input(buffer, size);
}

bool write_standard_output(const char *data, std::size_t size) {
    return platform::write_standard_output(data, size);
}

void set_console(const ConsoleSettings &settings) {
    platform::ConsoleSettings console;
    console.stream = settings.stream;
    console.quiet = settings.quiet;
    console.progress = settings.progress;
    platform::set_console(console);
}

void set_console_quiet(bool quiet) {
    platform::set_console_quiet(quiet);
}

bool console_progress_shown() {
    return platform::console_progress_shown();
}

bool is_terminal(std::FILE *stream) {
    return platform::is_terminal(stream);
}

void set_debug_output_stderr() {
    platform::set_debug_output_stderr();
}

} // namespace vorn::api
