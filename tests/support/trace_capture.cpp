// The trace capture and the temporary folder.
#include "support/trace_capture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace vorn::test {

bool TraceCapture::sink(const char *text, void *context) {
    auto *self = static_cast<TraceCapture *>(context);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    if (!self->m_failing)
        self->m_outputs.emplace_back(text);
    return !self->m_failing;
}

std::vector<std::string> TraceCapture::outputs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outputs;
}

std::string TraceCapture::text() const {
    std::string all;
    for (const auto &s : outputs())
        all += s;
    return all;
}

std::vector<std::string> TraceCapture::bodies() const {
    static const std::regex prefix(R"(^\[(DEB|ERR)\] \[[^\]]*\]\[[^\]]*\][^:]*:)");
    std::vector<std::string> out;
    for (const auto &s : outputs())
        out.push_back(std::regex_replace(s, prefix, "", std::regex_constants::format_first_only));
    return out;
}

void TraceCapture::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_outputs.clear();
}

void TraceCapture::set_failing(bool failing) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failing = failing;
}

TempDir::TempDir() : m_path((std::filesystem::temp_directory_path() / "vorn-XXXXXX").string()) {
    if (!mkdtemp(m_path.data()))
        throw std::runtime_error("mkdtemp failed");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string read_file(const std::string &path) {
    std::ostringstream ss;
    ss << std::ifstream(path, std::ios::binary).rdbuf();
    return ss.str();
}

void write_file(const std::string &path, const std::string &content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

} // namespace vorn::test
