// Text output shared by the configuration writer and the map listing.
#include "writer/text_out.h"

#include "trace/trace.h"

#include <cstdarg>

namespace vorn {

void out_text(std::FILE *file, const char *text) {
    if (file != nullptr)
        std::fputs(text, file);
    dbg_printf("%s", text);
}

void out_printf(std::FILE *file, const char *format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0)
        return;
    const size_t length =
        static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1;
    if (file != nullptr)
        std::fwrite(text, 1, length, file);
    dbg_printf("%s", text);
}

} // namespace vorn
