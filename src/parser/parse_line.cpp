// The line splitter of the configuration file: cuts one line into its key
// and value words.  The optimizer uses it too, to read period lines back.
#include "parser/parse_state.h"

#include <cstring>

namespace vorn {

namespace {

// Characters that separate the words of a line; runs count as one.
constexpr const char *kWordSeparators = " \t\n=";

bool is_separator(char c) {
    return c != '\0' && std::strchr(kWordSeparators, c) != nullptr;
}

} // namespace

Error parse_line(const char *line, LineWords &words) {
    static_assert(sizeof(words.copy) >= 101, "a line copy holds 100 characters and its end");
    char *copy = words.copy;
    std::memset(words.tokens, 0, sizeof(words.tokens));
    copy[0] = '\0';
    if (line != nullptr) {
        std::strncpy(copy, line, 101);
        copy[100] = '\0'; // at most 100 characters remain
    }

    // Only one line-end character goes: a CR LF pair read in binary keeps its CR.
    size_t length = std::strlen(copy);
    if (length > 0 && (copy[length - 1] == '\n' || copy[length - 1] == '\r'))
        copy[--length] = '\0';

    if (length == 0 || copy[0] == ';') {
        std::memcpy(copy, "rem", 4);
        words.tokens[0] = copy;
        return Error::Ok;
    }

    if (char *comment = std::strchr(copy, ';'))
        *comment = '\0';

    char *p = copy;
    for (int i = 0; i < kMaxTokens; ++i) {
        while (is_separator(*p))
            ++p;
        if (*p == '\0')
            break;
        words.tokens[i] = p;
        while (*p != '\0' && !is_separator(*p))
            ++p;
        if (*p != '\0')
            *p++ = '\0';
    }
    return words.tokens[0] == nullptr ? Error::NoFirstWord : Error::Ok;
}

} // namespace vorn
