#include "support/trace_capture.h"

#include "platform/platform.h"
#include "vorn_b32.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vorn::test {

TraceCapture::TraceCapture() {
    platform::set_debug_sink(&TraceCapture::sink, this);
}

TraceCapture::~TraceCapture() {
    platform::set_debug_sink(nullptr, nullptr);
}

bool TraceCapture::sink(const char *text, void *context) {
    auto *self = static_cast<TraceCapture *>(context);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    if (self->m_failing)
        return false;
    self->m_outputs.emplace_back(text);
    return true;
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

bool TraceCapture::contains(const std::string &needle) const {
    for (const auto &s : outputs())
        if (s.find(needle) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> TraceCapture::bodies() const {
    std::vector<std::string> out;
    for (const auto &s : outputs()) {
        // "[DEB] [1a4][09:05:03,007]Vorn_B32.DLL:" - the name ends at the
        // first colon after the time stamp's closing bracket.
        if (s.rfind("[DEB] [", 0) == 0 || s.rfind("[ERR] [", 0) == 0) {
            size_t close = s.find(']', s.find(']', 7) + 1);
            size_t colon = close == std::string::npos ? close : s.find(':', close);
            if (colon != std::string::npos) {
                out.push_back(s.substr(colon + 1));
                continue;
            }
        }
        out.push_back(s);
    }
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

DebugOn::DebugOn() {
    set_debug(1);
}
DebugOn::~DebugOn() {
    set_debug(0);
}

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "vorn-test-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

} // namespace vorn::test
