// Whole files read into memory: the configuration beside its diagnostics,
// the inputs of a report page, the texts the tool compares.
#include "platform/platform.h"

#include <memory>

namespace vorn::platform {
namespace {

struct Closer {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

} // namespace

bool read_whole_file(const char *path, std::string &bytes) {
    std::unique_ptr<std::FILE, Closer> file(open_regular_file(path));
    if (!file)
        return false;
    // A file that grows meanwhile is read on to its end.
    uint64_t size = 0;
    if (file_size(path, &size) && size < bytes.max_size() - bytes.size())
        bytes.reserve(bytes.size() + static_cast<size_t>(size));
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
        bytes.append(buffer, got);
    return std::ferror(file.get()) == 0;
}

} // namespace vorn::platform
