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

} // namespace

void trace_format(TraceLine &line, const char *format, va_list args) {
    if (format == nullptr)
        return;
    for (const char *p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            line.put(*p);
            continue;
        }
        ++p;
        bool left = false;
        bool zero_fill = false;
        bool after_star = false;
        int width = 0;
        long precision = -1;
        if (*p == '-') {
            left = true;
            ++p;
        }
        if (*p == '0')
            zero_fill = true; // the 0 also counts as the first width digit
        if (*p == '*') {
            width = va_arg(args, int);
            if (width < 0) {
                left = true;
                width = width == -2147483647 - 1 ? 2147483647 : -width;
            }
            after_star = true;
            ++p;
        } else {
            width = read_digits(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                int v = va_arg(args, int);
                precision = v < 0 ? -1 : v;
                after_star = true;
                ++p;
            } else {
                precision = read_digits(p);
                after_star = false;
            }
        }
        bool is_long = false;
        if (!after_star && (*p == 'l' || *p == 'N' || *p == 'F')) {
            is_long = *p == 'l';
            ++p;
        }
        auto next_u32 = [&]() -> uint32_t {
            return is_long ? static_cast<uint32_t>(va_arg(args, long))
                           : static_cast<uint32_t>(va_arg(args, int));
        };
        switch (*p) {
        case '\0':
            return;
        case 'd':
        case 'u': {
            uint32_t v = next_u32();
            bool negative = static_cast<int32_t>(v) < 0;
            put_number(line, negative ? 0u - v : v, negative, 10, width, zero_fill);
            break;
        }
        case 'o':
            put_number(line, next_u32(), false, 8, width, zero_fill);
            break;
        case 'x':
        case 'X':
            put_number(line, next_u32(), false, 16, width, zero_fill);
            break;
        case 'b':
            put_number(line, next_u32(), false, 2, width, zero_fill);
            break;
        case 'p':
            put_number(line, reinterpret_cast<uintptr_t>(va_arg(args, void *)), false, 16, width,
                       zero_fill);
            break;
        case 'c':
            line.put(static_cast<char>(next_u32() & 0xFF));
            break;
        case 's': {
            const char *s = va_arg(args, const char *);
            if (s == nullptr)
                s = "NULL";
            put_string(line, s, std::strlen(s), left, width, precision, 1);
            break;
        }
        case 'S': {
            const uint16_t *w = va_arg(args, const uint16_t *);
            if (w == nullptr) {
                put_string(line, "NULL", 4, left, width, precision, 1);
                break;
            }
            size_t len = 0;
            while (w[len] != 0)
                ++len;
            // The low byte of each 16-bit unit is the character; on this
            // little-endian platform that is the unit's first byte.
            put_string(line, reinterpret_cast<const char *>(w), len, left, width, precision, 2);
            break;
        }
        case '%':
            line.put('%');
            break;
        default:
            line.put('<');
            line.put('%');
            line.put(*p);
            put_text(line, " not supported>\r\n");
            return;
        }
    }
}

void trace_formatf(TraceLine &line, const char *format, ...) {
    va_list args;
    va_start(args, format);
    trace_format(line, format, args);
    va_end(args);
}

} // namespace vorn
