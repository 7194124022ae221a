// The small text rules that every key handler follows: decimal values read
// like atoi, bounded copies into the table's fixed text fields with the cut
// warning, word splitting and durations.
#include "parser/key_helpers.h"
#include "table/split_numbers.h"
#include "trace/trace.h"

#include <cstring>

namespace vorn {

bool key_begins_with(const char *text, const char *prefix) {
    return text != nullptr && std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool key_is_word(const char *text, const char *word) {
    return text != nullptr && std::strcmp(text, word) == 0;
}

int32_t key_decimal(const char *text) {
    if (text == nullptr)
        return 0;
    const char *p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '-' || *p == '+')
        negative = *p++ == '-';
    // Unsigned arithmetic: a value too long for 32 bits keeps its low bits
    // instead of overflowing.
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        value = value * 10u + static_cast<uint32_t>(*p - '0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

bool copy_text_field(char *field, size_t size, const char *value) {
    if (size == 0)
        return false;
    if (value == nullptr)
        value = "";
    size_t n = 0;
    while (n < size - 1 && value[n] != '\0')
        ++n;
    std::memcpy(field, value, n);
    std::memset(field + n, 0, size - n);
    return value[n] != '\0';
}

void warn_cut_number(ParseState &ps) {
    dbg_printf("WARNING: cut number in %d\n", ps.line_number);
    ps.error_level = CONF_WARNING;
}

bool store_number(ParseState &ps, char *field, size_t size, const char *value) {
    const bool cut = copy_text_field(field, size, value);
    if (cut)
        warn_cut_number(ps);
    return cut;
}

char *next_word(char *&cursor, const char *delimiters) {
    if (cursor == nullptr)
        return nullptr;
    char *word = cursor + std::strspn(cursor, delimiters);
    if (*word == '\0') {
        cursor = word;
        return nullptr;
    }
    char *end = word + std::strcspn(word, delimiters);
    if (*end != '\0')
        *end++ = '\0';
    cursor = end;
    return word;
}

uint32_t parse_duration(const char *text) {
    uint16_t hours = 0, minutes = 0, seconds = 0;
    // Missing minutes or seconds are 0; the splitter sets every wanted
    // number before it looks for its piece.
    (void)split_numbers(text, ":", &hours, &minutes, &seconds);
    return (uint32_t{hours} * 60u + minutes) * 60u + seconds;
}

} // namespace vorn
