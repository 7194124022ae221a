// The trace's own reduced printf.  It writes straight into the fixed line
// buffer and allocates nothing, so tracing never changes the memory picture
// of the code it observes.
#include "trace/trace.h"

#include <cstring>

namespace vorn {

void TraceLine::put(char c) {
    if (length + 1 < kCapacity) {
        data[length++] = c;
        if (last_char != nullptr)
            *last_char = c;
    }
}

const char *TraceLine::finish() {
    data[length] = '\0';
    return data;
}

namespace {

// Numbers are always right-aligned; the fill goes between sign and digits.
void put_number(TraceLine &line, uint64_t magnitude, bool negative, unsigned base, int width,
                bool zero_fill) {
    static const char kDigits[] = "0123456789ABCDEF";
    char digits[72];
    int n = 0;
    do {
        digits[n++] = kDigits[magnitude % base];
        magnitude /= base;
    } while (magnitude != 0);
    int len = n + (negative ? 1 : 0);
    if (negative)
        line.put('-');
    for (int fill = width - len; fill > 0 && line.length + 1 < TraceLine::kCapacity; --fill)
        line.put(zero_fill ? '0' : ' ');
    while (n > 0)
        line.put(digits[--n]);
}

// Every filling blank uses up one unit of the precision, like a character.
void put_string(TraceLine &line, const char *s, size_t len, bool left, int width, long precision,
                size_t stride) {
    long budget = precision < 0 ? -1 : precision;
    auto take = [&budget]() {
        if (budget == 0)
            return false;
        if (budget > 0)
            --budget;
        return true;
    };
    size_t fill = width > 0 && static_cast<size_t>(width) > len ? width - len : 0;
    if (!left)
        for (; fill > 0 && take() && line.length + 1 < TraceLine::kCapacity; --fill)
            line.put(' ');
    for (size_t i = 0; i < len && take(); ++i)
        line.put(s[i * stride]);
    if (left)
        for (; fill > 0 && take() && line.length + 1 < TraceLine::kCapacity; --fill)
            line.put(' ');
}

void put_text(TraceLine &line, const char *text) {
    for (; *text != '\0'; ++text)
        line.put(*text);
}

int read_digits(const char *&p) {
    int value = 0;
    while (*p >= '0' && *p <= '9') {
        if (value < 100000)
            value = value * 10 + (*p - '0');
        ++p;
    }
    return value;
}

// What stands between a '%' and its conversion letter.
struct ConversionSpec {
    bool left = false;
    bool zero_fill = false;
    bool is_long = false;
    int width = 0;
    long precision = -1;
};

// Reads the flags, width, precision and size letter that follow a '%',
// taking the values of '*' from args; returns where the conversion letter
// stands.
const char *read_spec(const char *p, va_list *args, ConversionSpec &spec) {
    bool after_star = false;
    if (*p == '-') {
        spec.left = true;
        ++p;
    }
    if (*p == '0')
        spec.zero_fill = true; // the 0 also counts as the first width digit
    if (*p == '*') {
        spec.width = va_arg(*args, int);
        if (spec.width < 0) {
            spec.left = true;
            spec.width = spec.width == -2147483647 - 1 ? 2147483647 : -spec.width;
        }
        after_star = true;
        ++p;
    } else {
        spec.width = read_digits(p);
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            int v = va_arg(*args, int);
            spec.precision = v < 0 ? -1 : v;
            after_star = true;
            ++p;
        } else {
            spec.precision = read_digits(p);
            after_star = false;
        }
    }
    if (!after_star && (*p == 'l' || *p == 'N' || *p == 'F')) {
        spec.is_long = *p == 'l';
        ++p;
    }
    return p;
}

// The next numeric argument as 32 bits; a long keeps its low 32 bits.
uint32_t next_u32(va_list *args, const ConversionSpec &spec) {
    return spec.is_long ? static_cast<uint32_t>(va_arg(*args, long))
                        : static_cast<uint32_t>(va_arg(*args, int));
}

// A %S argument: the low byte of each 16-bit unit is the character.
void put_wide_string(TraceLine &line, const uint16_t *w, const ConversionSpec &spec) {
    if (w == nullptr) {
        put_string(line, "NULL", 4, spec.left, spec.width, spec.precision, 1);
        return;
    }
    size_t len = 0;
    while (w[len] != 0)
        ++len;
    // On this little-endian platform the low byte is the unit's first byte.
    put_string(line, reinterpret_cast<const char *>(w), len, spec.left, spec.width, spec.precision,
               2);
}

// Writes one conversion.  False when the line ends here: the format ended
// inside the conversion, or named one the formatter does not know.
bool put_conversion(TraceLine &line, const char *p, va_list *args, const ConversionSpec &spec) {
    switch (*p) {
    case '\0':
        return false;
    case 'd':
    case 'u': {
        uint32_t v = next_u32(args, spec);
        bool negative = static_cast<int32_t>(v) < 0;
        put_number(line, negative ? 0u - v : v, negative, 10, spec.width, spec.zero_fill);
        return true;
    }
    case 'o':
        put_number(line, next_u32(args, spec), false, 8, spec.width, spec.zero_fill);
        return true;
    case 'x':
    case 'X':
        put_number(line, next_u32(args, spec), false, 16, spec.width, spec.zero_fill);
        return true;
    case 'b':
        put_number(line, next_u32(args, spec), false, 2, spec.width, spec.zero_fill);
        return true;
    case 'p':
        put_number(line, reinterpret_cast<uintptr_t>(va_arg(*args, void *)), false, 16, spec.width,
                   spec.zero_fill);
        return true;
    case 'c':
        line.put(static_cast<char>(next_u32(args, spec) & 0xFF));
        return true;
    case 's': {
        const char *s = va_arg(*args, const char *);
        if (s == nullptr)
            s = "NULL";
        put_string(line, s, std::strlen(s), spec.left, spec.width, spec.precision, 1);
        return true;
    }
    case 'S':
        put_wide_string(line, va_arg(*args, const uint16_t *), spec);
        return true;
    case '%':
        line.put('%');
        return true;
    default:
        line.put('<');
        line.put('%');
        line.put(*p);
        put_text(line, " not supported>\r\n");
        return false;
    }
}

} // namespace

void trace_format(TraceLine &line, const char *format, va_list args) {
    if (format == nullptr)
        return;
    // The helpers take the arguments by address; a copy of our own is the
    // portable way to hand a va_list on.
    va_list ap;
    va_copy(ap, args);
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            line.put(*p);
            continue;
        }
        ConversionSpec spec;
        p = read_spec(p + 1, &ap, spec);
        if (!put_conversion(line, p, &ap, spec))
            break;
    }
    va_end(ap);
}

void trace_formatf(TraceLine &line, const char *format, ...) {
    va_list args;
    va_start(args, format);
    trace_format(line, format, args);
    va_end(args);
}

} // namespace vorn
