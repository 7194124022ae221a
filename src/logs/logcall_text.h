// A small text builder for the call lists and the CSV table.  A million
// records become a million lines, so the lines are put together with these
// few appenders instead of a printf per field; each produces the same
// characters as the printf conversion named beside it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace vorn::logs {

class LineText {
  public:
    // Room for the longest call line: arrow, marker, two times, two ports,
    // two numbers, the address and the tail.
    static constexpr size_t kCapacity = 512;
    // The room a text needs in storage of another: its characters and the
    // terminator.
    static constexpr size_t kStorage = kCapacity + 1;

    LineText() : m_text(m_own) {}
    LineText(const LineText &) = delete;
    LineText &operator=(const LineText &) = delete;

    // Starts an empty text in `storage` (kStorage characters, such as the
    // free space of an output buffer), so that the line is put together
    // where it is written from; restart() returns to the text's own.
    void restart(char *storage) {
        m_text = storage;
        m_length = 0;
    }
    void restart() { restart(m_own); }

    void clear() { m_length = 0; }
    const char *data() const { return m_text; }
    size_t size() const { return m_length; }
    // The text so far, terminated (for the trace).
    const char *c_str() {
        m_text[m_length] = '\0';
        return m_text;
    }

    // Room for `n` more characters, taken at once for the caller to fill;
    // nullptr when the text has no room for them.
    char *extend(size_t n) {
        if (n > kCapacity - m_length)
            return nullptr;
        char *at = m_text + m_length;
        m_length += n;
        return at;
    }

    void add(char c) {
        if (m_length < kCapacity)
            m_text[m_length++] = c;
    }
    void add(const char *text, size_t length) {
        if (length > kCapacity - m_length)
            length = kCapacity - m_length;
        std::memcpy(m_text + m_length, text, length);
        m_length += length;
    }
    void add(const char *text) { add(text, std::strlen(text)); }

    // "%0<width>u" (zero_fill), "%<width>u" or "%-<width>u" (left).
    void number(unsigned value, unsigned width = 0, bool zero_fill = false, bool left = false) {
        char digits[12];
        size_t n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        size_t pad = width > n ? width - n : 0;
        if (!left)
            for (size_t i = 0; i < pad; ++i)
                add(zero_fill ? '0' : ' ');
        while (n > 0)
            add(digits[--n]);
        if (left)
            for (size_t i = 0; i < pad; ++i)
                add(' ');
    }
    // "%02u"; the times of a million lines pass here twelve times each.
    void two_digits(unsigned value) {
        if (value >= 100 || m_length + 2 > kCapacity) {
            number(value, 2, true);
            return;
        }
        put_pair(m_text + m_length, value);
        m_length += 2;
    }
    // The two digits of a value below 100 at `at`, from a table of pairs.
    static void put_pair(char *at, unsigned value) {
        static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324"
                                         "25262728293031323334353637383940414243444546474849"
                                         "50515253545556575859606162636465666768697071727374"
                                         "75767778798081828384858687888990919293949596979899";
        std::memcpy(at, kPairs + 2 * value, 2);
    }
    // "%0<digits>x": lower-case hexadecimal, at least `digits` digits.
    void hex(unsigned value, unsigned digits) {
        static constexpr char kHex[] = "0123456789abcdef";
        if (digits == 4 && value <= 0xFFFF && m_length + 4 <= kCapacity) {
            for (unsigned i = 0; i < 4; ++i)
                m_text[m_length + i] = kHex[(value >> (12 - 4 * i)) & 0xF];
            m_length += 4;
            return;
        }
        char out[8];
        size_t n = 0;
        do {
            out[n++] = kHex[value & 0xF];
            value >>= 4;
        } while (value != 0);
        for (size_t i = n; i < digits; ++i)
            add('0');
        while (n > 0)
            add(out[--n]);
    }

    // Writes the text to `stream`; false when not all of it went.
    bool write_to(std::FILE *stream) const {
        return std::fwrite(m_text, 1, m_length, stream) == m_length;
    }

  private:
    char m_own[kStorage];
    char *m_text;
    size_t m_length = 0;
};

} // namespace vorn::logs
