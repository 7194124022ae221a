#include "support/text_files.h"

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
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
        text.append(chunk, n);
    return text;
}

namespace {

bool save(const char *name, std::string &out) {
    const char *value = std::getenv(name);
    if (value == nullptr)
        return false;
    out = value;
    return true;
}

void restore(const char *name, bool had, const std::string &value) {
    if (had)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

} // namespace

PinnedClock::PinnedClock(long long epoch, const char *tz)
    : m_had_epoch(save("SOURCE_DATE_EPOCH", m_epoch)), m_had_tz(save("TZ", m_tz)) {
    setenv("SOURCE_DATE_EPOCH", std::to_string(epoch).c_str(), 1);
    if (tz != nullptr)
        setenv("TZ", tz, 1);
}

PinnedClock::~PinnedClock() {
    restore("SOURCE_DATE_EPOCH", m_had_epoch, m_epoch);
    restore("TZ", m_had_tz, m_tz);
}

} // namespace vorn::test
