// How the writer and the listings put text out: every piece goes to the
// file (when there is one) and to the debug trace, so a trace shows what was
// written.  Texts taken from a table are always arguments, never formats.
//
// Write errors are not checked per call: the stream keeps its error flag,
// and the platform::OutputFile that owns the stream reports it at its
// commit.
#pragma once

#include <cstddef>
#include <cstdio>

namespace vorn {

// Writes `text` to the file (when given) and to the trace.
void out_text(std::FILE *file, const char *text);

// Formats with the C runtime, writes every formatted byte to the file (also
// a zero byte that a %c put there) and the text to the trace.  Lines are
// short; a text longer than 511 bytes is cut.
[[gnu::format(printf, 2, 3)]] void out_printf(std::FILE *file, const char *format, ...);

// A fixed text field of a table as a terminated text: at most `size`
// characters, however the field ends.
template <size_t N> struct FieldText { char text[N + 1]; };
template <size_t N> FieldText<N> field(const char (&bytes)[N]) {
    FieldText<N> out;
    size_t n = 0;
    while (n < N && bytes[n] != '\0') {
        out.text[n] = bytes[n];
        ++n;
    }
    out.text[n] = '\0';
    return out;
}

} // namespace vorn
