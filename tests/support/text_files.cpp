// The stream capture and the pinned clock.
#include "support/text_files.h"

#include "support/trace_capture.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace vorn::test {

std::string written_text(const std::function<void(std::FILE *)> &write) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::tmpfile(), &std::fclose);
    if (!file)
        throw std::runtime_error("no temporary file");
    write(file.get());
    std::fflush(file.get());
    std::rewind(file.get());
    std::string text;
    char chunk[4096];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, file.get()))
        text.append(chunk, n);
    return text;
}

PinnedClock::PinnedClock(long long epoch, const char *tz) {
    for (const char *name : {"SOURCE_DATE_EPOCH", "TZ"})
        m_saved.emplace_back(name, std::getenv(name) ? std::optional<std::string>(std::getenv(name))
                                                     : std::nullopt);
    setenv("SOURCE_DATE_EPOCH", std::to_string(epoch).c_str(), 1);
    if (tz != nullptr)
        setenv("TZ", tz, 1);
}

PinnedClock::~PinnedClock() {
    for (const auto &[name, value] : m_saved)
        value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

} // namespace vorn::test
