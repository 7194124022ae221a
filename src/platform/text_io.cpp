// Text services that need no operating-system call: lines that tolerate
// Windows line ends, and printf formats cut down to what the C runtime knows.
#include "platform/platform.h"

#include <cstring>

namespace vorn::platform {

bool read_text_line(std::FILE *file, char *buf, size_t cap) {
    if (file == nullptr || buf == nullptr || cap == 0)
        return false;
    size_t n = 0;
    int c = 0;
    bool any = false;
    while (n + 1 < cap && (c = std::fgetc(file)) != EOF) {
        any = true;
        if (c == '\r') {
            int next = std::fgetc(file);
            if (next == '\n') {
                buf[n++] = '\n';
                break;
            }
            if (next != EOF)
                std::ungetc(next, file);
        }
        buf[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buf[n] = '\0';
    return any;
}

char *runtime_format(const char *format, char *out, size_t cap) {
    if (out == nullptr || cap == 0)
        return out;
    size_t n = 0;
    if (format == nullptr)
        format = "";
    for (const char *p = format; *p != '\0' && n + 1 < cap; ++p) {
        out[n++] = *p;
        if (*p != '%')
            continue;
        // Copy flags, width and precision; drop F and N where a size letter stands.
        ++p;
        while (*p != '\0' && std::strchr("-+ #0123456789.*", *p) != nullptr && n + 1 < cap)
            out[n++] = *p++;
        while (*p == 'F' || *p == 'N')
            ++p;
        if (*p == '\0')
            break;
        out[n++] = *p;
        if (n + 1 >= cap)
            break;
    }
    out[n] = '\0';
    return out;
}

} // namespace vorn::platform
