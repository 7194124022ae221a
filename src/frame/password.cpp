// Reversible scrambling of passwords for hosts that store them.  Letters and
// digits are shifted through a second ordering of the 62 characters, with a
// running offset from the previous plain character; everything else stays.
#include "vorn_b32.h"

#include <cstring>

namespace {

constexpr int kKey = 23;
constexpr int kAlphabet = 62;
// A character outside the alphabet: left as it is.
constexpr int kNotInAlphabet = -1;

// a..z = 0..25, A..Z = 26..51, 0..9 = 52..61
int plain_number(char c) {
    if (c >= 'a' && c <= 'z')
        return c - 'a';
    if (c >= 'A' && c <= 'Z')
        return 26 + (c - 'A');
    if (c >= '0' && c <= '9')
        return 52 + (c - '0');
    return kNotInAlphabet;
}

char plain_char(int p) {
    if (p < 26)
        return static_cast<char>('a' + p);
    if (p < 52)
        return static_cast<char>('A' + p - 26);
    return static_cast<char>('0' + p - 52);
}

// 0..9 = 0..9, A..Z = 10..35, a..z = 36..61
int scrambled_number(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return 10 + (c - 'A');
    if (c >= 'a' && c <= 'z')
        return 36 + (c - 'a');
    return kNotInAlphabet;
}

char scrambled_char(int s) {
    if (s < 10)
        return static_cast<char>('0' + s);
    if (s < 36)
        return static_cast<char>('A' + s - 10);
    return static_cast<char>('a' + s - 36);
}

} // namespace

extern "C" VORN_B32_API void CodePassWord(const char *plain, char *result) {
    if (result == nullptr)
        return;
    if (plain == nullptr) {
        result[0] = '\0';
        return;
    }
    int prev = 0;
    size_t i = 0;
    for (; plain[i] != '\0'; ++i) {
        int p = plain_number(plain[i]);
        if (p == kNotInAlphabet) {
            result[i] = plain[i];
            continue;
        }
        result[i] = scrambled_char((p + (prev & 7) + kKey) % kAlphabet);
        prev = p;
    }
    result[i] = '\0';
}

extern "C" VORN_B32_API void DecodePassWord(const char *scrambled, char *result) {
    if (result == nullptr)
        return;
    if (scrambled == nullptr) {
        result[0] = '\0';
        return;
    }
    int prev = 0;
    size_t i = 0;
    for (; scrambled[i] != '\0'; ++i) {
        int s = scrambled_number(scrambled[i]);
        if (s == kNotInAlphabet) {
            result[i] = scrambled[i];
            continue;
        }
        int p = ((s - (prev & 7) - kKey) % kAlphabet + kAlphabet) % kAlphabet;
        result[i] = plain_char(p);
        prev = p;
    }
    result[i] = '\0';
}
