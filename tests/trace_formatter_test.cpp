// The trace's own printf: numbers, widths, fills, strings and the markers.
#include "trace/trace.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

using vorn::TraceLine;

namespace {

std::string fmt(const char *format, ...) {
    TraceLine line;
    va_list args;
    va_start(args, format);
    vorn::trace_format(line, format, args);
    va_end(args);
    return line.finish();
}

} // namespace

TEST(TraceFormatter, NumbersAreAlwaysRightAlignedWithTheFillAfterTheSign) {
    EXPECT_EQ(fmt("%u", 4294967295u), "-1"); // negative as int32, also for %u
    EXPECT_EQ(fmt("%d", -42), "-42");
    EXPECT_EQ(fmt("%5d", -42), "-  42");
    EXPECT_EQ(fmt("%05d", -42), "-0042");
    EXPECT_EQ(fmt("%-5u", 7), "    7"); // the - flag does not apply to numbers
    EXPECT_EQ(fmt("%03u", 7), "007");
    EXPECT_EQ(fmt("%x", 255), "FF");
    EXPECT_EQ(fmt("%04x", 0x1a4), "01A4");
    EXPECT_EQ(fmt("[%03x]", 0x1a4), "[1A4]");
    EXPECT_EQ(fmt("[%03x]", 0x1a44), "[1A44]");
    EXPECT_EQ(fmt("%X", 0xdeadbeefu), "DEADBEEF"); // not signed: no minus for hex
    EXPECT_EQ(fmt("%o", 8), "10");
    EXPECT_EQ(fmt("%b", 5), "101");
    EXPECT_EQ(fmt("%08b", 5), "00000101");
    EXPECT_EQ(fmt("%u", 0), "0");
    EXPECT_EQ(fmt("%d", -2147483647 - 1), "-2147483648");
    EXPECT_EQ(fmt("%.3d", 12345), "12345"); // precision has no effect on numbers
    EXPECT_EQ(fmt("%c%c", 'A', 0x142), "AB");
    EXPECT_EQ(fmt("100%%"), "100%");
}

TEST(TraceFormatter, SizeLettersAndLongArguments) {
    EXPECT_EQ(fmt("%lu", 4000000000ul), "-294967296"); // low 32 bits, read as signed
    EXPECT_EQ(fmt("%lu", 7ul), "7");
    EXPECT_EQ(fmt("%ld", -5l), "-5");
    EXPECT_EQ(fmt("%Fs|%Ns", "far", "near"), "far|near");
    EXPECT_EQ(fmt("%5lu|", 42ul), "   42|");
    EXPECT_EQ(fmt("%.2Fs", "abc"), "ab");
    // After a width given as *, a size letter is the conversion itself.
    EXPECT_EQ(fmt("%*lu", 3, 5ul), "<%l not supported>\r\n");
}

TEST(TraceFormatter, PointersAreWholeAndUpperCase) {
    void *p = reinterpret_cast<void *>(static_cast<uintptr_t>(0xabcdef1234ull));
    EXPECT_EQ(fmt("%p", p), "ABCDEF1234");
    EXPECT_EQ(fmt("%p", nullptr), "0");
}

TEST(TraceFormatter, StringsWithWidthPrecisionAndNull) {
    EXPECT_EQ(fmt("%s", static_cast<const char *>(nullptr)), "NULL");
    EXPECT_EQ(fmt("[%6s]", "ab"), "[    ab]");
    EXPECT_EQ(fmt("[%-6s]", "ab"), "[ab    ]");
    EXPECT_EQ(fmt("[%.2s]", "abcdef"), "[ab]");
    EXPECT_EQ(fmt("[%10.10s]", "0123456789abc"), "[0123456789]");
    // Filling blanks use up the precision as well.
    EXPECT_EQ(fmt("[%6.4s]", "ab"), "[    ]");
    EXPECT_EQ(fmt("[%-6.4s]", "ab"), "[ab  ]");
    EXPECT_EQ(fmt("[%*s]", 4, "x"), "[   x]");
    EXPECT_EQ(fmt("[%-*s]", 4, "x"), "[x   ]");
    EXPECT_EQ(fmt("[%.*s]", 2, "xyz"), "[xy]");
    EXPECT_EQ(fmt("[%1s]", "long"), "[long]");
    const uint16_t wide[] = {'W', 0x141, 'd', 0};
    EXPECT_EQ(fmt("%S|%S", wide, static_cast<const uint16_t *>(nullptr)), "WAd|NULL");
}

TEST(TraceFormatter, UnknownConversionEndsTheCallWithAMarker) {
    EXPECT_EQ(fmt("a%qb%d", 5), "a<%q not supported>\r\n");
    EXPECT_EQ(fmt("end%"), "end");
}

TEST(TraceFormatter, LineHoldsAtMost254Characters) {
    std::string text(300, 'x');
    std::string out = fmt("%s", text.c_str());
    EXPECT_EQ(out.size(), 254u);
    // A huge width is cut at the line's end too, and quickly.
    EXPECT_EQ(fmt("%2000000000d", 1).size(), 254u);
    EXPECT_EQ(fmt("%*s", 2000000000, "x").size(), 254u);

    char last = '\n';
    TraceLine line;
    line.last_char = &last;
    vorn::trace_formatf(line, "%s\n", text.c_str());
    EXPECT_EQ(last, 'x') << "a dropped newline must not count as the last character";
}
