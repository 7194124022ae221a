// Blank handling of text lines (see blank_text.h).
#include "frame/blank_text.h"

#include <cctype>
#include <cstring>

namespace vorn {

const char *skip_blanks(const char *text) {
    if (text == nullptr)
        return text;
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    return text;
}

char *skip_blanks(char *text) {
    return const_cast<char *>(skip_blanks(static_cast<const char *>(text)));
}

void trim_blanks(char *text) {
    if (text == nullptr)
        return;
    size_t n = std::strlen(text);
    while (n > 0 && std::isspace(static_cast<unsigned char>(text[n - 1])))
        --n;
    text[n] = '\0';
}

} // namespace vorn
