// The trace's hex text: a table of the 256 spaced values for any processor,
// and on x86 processors with SSSE3 (nearly all of them since 2006) sixteen
// bytes at a time: their half-bytes become digits by a table lookup in a
// register, and three byte shuffles put them in place between the spaces.
#include "logs/hex_text.h"

#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define VORN_HEX_SHUFFLES 1
#include <tmmintrin.h>
#endif

namespace vorn::logs {
namespace {

// " %02x" of every byte value, four bytes apart, so that a byte is one
// four-byte copy of which three characters count.
struct SpacedHex {
    char text[256][4];
    constexpr SpacedHex() : text() {
        constexpr char kDigits[] = "0123456789abcdef";
        for (unsigned b = 0; b < 256; ++b) {
            text[b][0] = ' ';
            text[b][1] = kDigits[b >> 4];
            text[b][2] = kDigits[b & 0xF];
            text[b][3] = ' ';
        }
    }
};
constexpr SpacedHex kSpacedHex;

#ifdef VORN_HEX_SHUFFLES

// Sixteen bytes become 48 characters: digits of bytes 0-7 in `a` and of
// 8-15 in `b` as high, low, high, low...; each output block takes its
// digits from them by index (-1: none) and gets its spaces by an OR.
__attribute__((target("ssse3"))) char *put_hex_blocks(char *p, const uint8_t *bytes,
                                                      size_t blocks) {
    const __m128i digits = _mm_setr_epi8('0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b',
                                         'c', 'd', 'e', 'f');
    const __m128i low_half = _mm_set1_epi8(0x0F);
    const __m128i from_a0 = _mm_setr_epi8(-1, 0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1);
    const __m128i from_a1 =
        _mm_setr_epi8(10, 11, -1, 12, 13, -1, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m128i from_b1 =
        _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, -1, 2, 3, -1, 4);
    const __m128i from_b2 =
        _mm_setr_epi8(5, -1, 6, 7, -1, 8, 9, -1, 10, 11, -1, 12, 13, -1, 14, 15);
    const char sp = ' ';
    const __m128i spaces0 = _mm_setr_epi8(sp, 0, 0, sp, 0, 0, sp, 0, 0, sp, 0, 0, sp, 0, 0, sp);
    const __m128i spaces1 = _mm_setr_epi8(0, 0, sp, 0, 0, sp, 0, 0, sp, 0, 0, sp, 0, 0, sp, 0);
    const __m128i spaces2 = _mm_setr_epi8(0, sp, 0, 0, sp, 0, 0, sp, 0, 0, sp, 0, 0, sp, 0, 0);
    for (size_t i = 0; i < blocks; ++i, bytes += 16, p += 48) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes));
        const __m128i high =
            _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(v, 4), low_half));
        const __m128i low = _mm_shuffle_epi8(digits, _mm_and_si128(v, low_half));
        const __m128i a = _mm_unpacklo_epi8(high, low);
        const __m128i b = _mm_unpackhi_epi8(high, low);
        const __m128i out0 = _mm_or_si128(_mm_shuffle_epi8(a, from_a0), spaces0);
        const __m128i out1 = _mm_or_si128(
            _mm_or_si128(_mm_shuffle_epi8(a, from_a1), _mm_shuffle_epi8(b, from_b1)), spaces1);
        const __m128i out2 = _mm_or_si128(_mm_shuffle_epi8(b, from_b2), spaces2);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), out0);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 16), out1);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p + 32), out2);
    }
    return p;
}

bool has_shuffles() {
    static const bool yes = __builtin_cpu_supports("ssse3");
    return yes;
}

#endif

} // namespace

char *put_spaced_hex_bytewise(char *p, const uint8_t *bytes, size_t count) {
    for (size_t i = 0; i < count; ++i, p += 3)
        std::memcpy(p, kSpacedHex.text[bytes[i]], 4);
    return p;
}

char *put_spaced_hex(char *p, const uint8_t *bytes, size_t count, size_t readable) {
#ifdef VORN_HEX_SHUFFLES
    if (count > 0 && has_shuffles()) {
        const size_t whole = (count + 15) / 16;
        if (16 * whole <= readable) {
            put_hex_blocks(p, bytes, whole);
            return p + 3 * count;
        }
        const size_t blocks = count / 16;
        p = put_hex_blocks(p, bytes, blocks);
        bytes += 16 * blocks;
        count -= 16 * blocks;
    }
#else
    (void)readable;
#endif
    return put_spaced_hex_bytewise(p, bytes, count);
}

} // namespace vorn::logs
