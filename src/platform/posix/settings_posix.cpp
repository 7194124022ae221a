// The per-user settings file that stands in for the registry key
// HKEY_CURRENT_USER\SOFTWARE\KEMAX\KEMAX.NMS\Settings: "name=value" lines.
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace vorn::platform {
namespace {

bool make_dirs(const std::string &path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string part = path.substr(0, pos);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    return true;
}

} // namespace

std::string settings_path() {
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && *xdg != '\0') {
        base = xdg;
    } else {
        const char *home = std::getenv("HOME");
        if (home == nullptr || *home == '\0')
            return std::string();
        base = std::string(home) + "/.config";
    }
    return base + "/KEMAX/KEMAX.NMS/Settings";
}

uint32_t read_settings_value(const char *name) {
    std::string path = settings_path();
    if (path.empty() || name == nullptr)
        return 0;
    // Opening the key creates it: the folders and the file.
    if (!make_dirs(path.substr(0, path.rfind('/'))))
        return 0;
    std::FILE *f = std::fopen(path.c_str(), "a+");
    if (f == nullptr)
        return 0;
    std::rewind(f);
    size_t name_len = std::strlen(name);
    char line[512];
    bool found = false;
    uint32_t value = 0;
    while (read_text_line(f, line, sizeof line)) {
        if (std::strncmp(line, name, name_len) != 0 || line[name_len] != '=')
            continue;
        const char *digits = line + name_len + 1;
        char *end = nullptr;
        errno = 0;
        unsigned long v = std::strtoul(digits, &end, 10);
        if (errno == 0 && end != digits && (*end == '\n' || *end == '\0')) {
            value = static_cast<uint32_t>(v);
            found = true;
            break;
        }
    }
    if (!found) {
        // The value is created so that the user finds it and can change it.
        std::fseek(f, 0, SEEK_END);
        long size = std::ftell(f);
        if (size > 0) {
            std::fseek(f, size - 1, SEEK_SET);
            int last = std::fgetc(f);
            std::fseek(f, 0, SEEK_END);
            if (last != '\n')
                std::fputc('\n', f);
        }
        std::fprintf(f, "%s=0\n", name);
    }
    std::fclose(f);
    return found ? value : 0;
}

} // namespace vorn::platform
