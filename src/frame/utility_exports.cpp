// The utility exports, small services for hosts and for the converters:
// derived and unique file names, the time in the box's layout, the
// serial-number text, removing and overwriting files, hexadecimal numbers.
#include "frame/export_results.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

using namespace vorn;

namespace {

using platform::kPathMax;

void copy_path(char *dst, const char *src) {
    std::strncpy(dst, src, kPathMax - 1);
    dst[kPathMax - 1] = '\0';
}

// Stand-in for _mktemp: six characters that make the name unique.
void unique_suffix(char *six) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 rng{std::random_device{}() ^ platform::thread_id()};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
    for (int i = 0; i < 6; ++i)
        six[i] = kChars[pick(rng)];
}

} // namespace

namespace {

// Whether the folder part (the first `name` characters) of `path` is a
// folder, so that a file could be made in it.
bool folder_exists(const std::string &path, size_t name) {
    const std::string folder =
        name == 0 ? std::string(".") : path.substr(0, name > 1 ? name - 1 : 1);
    return platform::file_identity(folder.c_str()).kind == platform::FileIdentity::Folder;
}

std::string unique_path(const char *source, size_t capacity, bool create) {
    std::string work = source;
    const char *tmp = nullptr;
    if (std::strchr(source, '\\') == nullptr && std::strchr(source, '/') == nullptr &&
        get_tmp_path(&tmp) == Error::Ok && tmp[0] != '\0')
        work = std::string(tmp) + "/" + source;

    size_t name = work.find_last_of('\\');
    if (name == std::string::npos)
        name = work.find_last_of('/');
    name = name == std::string::npos ? 0 : name + 1;
    const size_t dot = work.find_last_of('.');
    if (dot != std::string::npos && dot >= name)
        work.resize(dot);
    const size_t keep = std::min<size_t>(work.size() - name, 6);
    work.resize(name + keep);
    work.append(12 - keep, 'X');
    if (work.size() >= capacity)
        return std::string(); // no room for the path where it is wanted

    for (int attempt = 0; attempt < 10; ++attempt) {
        unique_suffix(&work[name + 6]);
        const bool had = create ? platform::create_new_file(work.c_str()) == 0
                                : platform::file_identity(work.c_str()).kind ==
                                          platform::FileIdentity::Missing &&
                                      folder_exists(work, name);
        if (had) {
            dbg_printf("make_fname: original=<%s> newname=<%s>\n", source, work.c_str());
            return work;
        }
    }
    return std::string();
}

} // namespace

std::string vorn::make_unique_file(const char *source, size_t capacity) {
    return unique_path(source, capacity, true);
}

std::string vorn::make_unique_name(const char *source) {
    // Looking for a free name is no failure of the job: errno stays.
    const int saved = errno;
    std::string name = unique_path(source, SIZE_MAX, false);
    errno = saved;
    return name;
}

std::string vorn::derived_file_name(const char *path, const char *extension, const char *traced) {
    std::string name = path;
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.resize(dot);
    name += extension;
    dbg_printf("make_fname: original=<%s> newname=<%s>\n", traced != nullptr ? traced : path,
               name.c_str());
    return name;
}

namespace {

// The export's form: the path in the host's buffer of 260 characters.
char *make_unique_file(const char *source, char *result) {
    const std::string path = vorn::make_unique_file(source, kPathMax);
    if (path.empty())
        return nullptr;
    copy_path(result, path.c_str());
    return result;
}

} // namespace

extern "C" VORN_B32_API char *make_fname(const char *source, char *result, const char *extension) {
    try {
        if (source == nullptr || result == nullptr)
            return nullptr;
        copy_path(result, source);
        if (extension == nullptr)
            return make_unique_file(source, result);
        // The name is formed from the copy, as the host's buffer holds it.
        copy_path(result, derived_file_name(result, extension, source).c_str());
        return result;
    } catch (...) {
        return nullptr;
    }
}

extern "C" VORN_B32_API void conf_gettime(uint8_t *t) {
    try {
        if (t == nullptr)
            return;
        const char *connect = nullptr;
        get_connect_date(&connect); // never filled: the local time is used
        platform::LocalTime now = platform::local_time();
        t[0] = static_cast<uint8_t>(now.second);
        t[1] = static_cast<uint8_t>(now.minute);
        t[2] = static_cast<uint8_t>(now.hour);
        t[3] = static_cast<uint8_t>(now.day);
        t[4] = static_cast<uint8_t>(now.month);
        t[5] = static_cast<uint8_t>(now.year % 100);
        dbg_printf("current_time: localdate %02u.%02u.%02u\n", t[3], t[4], t[5]);
        dbg_printf("current_time: %02u.%02u.%02u-%02u:%02u:%02u\n", t[3], t[4], t[5], t[2], t[1],
                   t[0]);
    } catch (...) {
    }
}

extern "C" VORN_B32_API const char *cat_number_and_serialno(const char *number,
                                                            const uint8_t *serial) {
    // One result buffer per thread: the host reads the text after the call, and
    // another thread's call must not overwrite it meanwhile.
    thread_local char buffer[132];
    try {
        if (number == nullptr)
            number = "";
        char hex[33] = "NULL";
        if (serial != nullptr)
            for (int i = 0; i < 16; ++i)
                std::snprintf(hex + 2 * i, sizeof hex - 2 * i, "%02X", serial[i]);
        dbg_printf("cat_number_and_serialno(%s,%s)\n", number, hex);
        std::memset(buffer, 0, sizeof buffer);
        // At most 71 characters of the number, so that 16 serial bytes fit.
        int n = std::snprintf(buffer, sizeof buffer, "%.71s (serial# ", number);
        dbg_printf("cat_number_and_serialno: n=%d <%s>\n", n, buffer);
        size_t len = std::strlen(buffer);
        bool any = false;
        if (serial != nullptr && serial[0] != 0x00 && serial[0] != 0xFF) {
            for (int i = 0; i < 16 && serial[i] != 0xFF; ++i) {
                len += std::snprintf(buffer + len, sizeof buffer - len, "%s%02X", any ? " " : "",
                                     serial[i]);
                any = true;
            }
        }
        if (!any)
            len += std::snprintf(buffer + len, sizeof buffer - len, "not set");
        std::snprintf(buffer + len, sizeof buffer - len, ")");
        dbg_printf("cat_number_and_serialno: n=%d %p=<%s>\n", static_cast<int>(std::strlen(buffer)),
                   buffer, buffer);
    } catch (...) {
    }
    return buffer;
}

extern "C" VORN_B32_API int32_t file_remove(const char *pattern) {
    try {
        remove_matching_files(pattern);
    } catch (...) {
    }
    // Hosts read -1 whatever was removed, as for a file that did not open.
    return export_result(ResultFamily::Utility, Error::CannotOpen);
}

extern "C" VORN_B32_API int32_t remove_hexfile(const char *path) {
    try {
        dbg_printf("remove_hexfile(%s)\n", path);
        if (path == nullptr)
            return export_result(ResultFamily::Utility, Error::CannotOpen);
        // Only a regular file is overwritten and removed: writes into a FIFO
        // block once its buffer is full, and a device or folder is nothing a
        // host's table file could be.  Such a name is left alone.
        const platform::FileIdentity::Kind kind = platform::file_identity(path).kind;
        if (kind != platform::FileIdentity::Regular && kind != platform::FileIdentity::Missing)
            return export_result(ResultFamily::Utility, Error::CannotOpen);
        std::FILE *f = std::fopen(path, "r+b");
        if (f == nullptr) {
            platform::remove_file(path);
            return export_result(ResultFamily::Utility, Error::CannotOpen);
        }
        constexpr size_t kSize = 65535;
        if (auto *block = static_cast<unsigned char *>(myAlloc(kSize, "p"))) {
            // Three passes over the first 64 KiB so that the table's content
            // cannot be read back from the disk blocks.
            for (unsigned char fill : {0x55, 0xAA, 0x00}) {
                std::memset(block, fill, kSize);
                std::rewind(f);
                std::fwrite(block, 1, kSize, f);
                std::fflush(f);
            }
            myFree(block, "p");
        }
        std::fclose(f);
        platform::remove_file(path);
        return export_result(ResultFamily::Utility, Error::Ok);
    } catch (...) {
        return export_result(ResultFamily::Utility, Error::NoMemory);
    }
}

extern "C" VORN_B32_API uint32_t atoh(const char *text) {
    if (text == nullptr)
        return 0;
    uint32_t value = 0;
    for (const char *p = text; *p != '\0'; ++p) {
        int c = std::toupper(static_cast<unsigned char>(*p));
        if (c >= '0' && c <= '9')
            value = (value << 4) + static_cast<uint32_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            value = (value << 4) + static_cast<uint32_t>(c - 'A' + 10);
        else if (c == '$' && p == text)
            continue;
        else if (c == 'X' && value == 0)
            continue;
        else
            break;
    }
    return value;
}
