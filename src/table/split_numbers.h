// The number splitter shared by the table version check and the
// configuration parser (time periods, holidays, charge words).
#pragma once

#include "frame/error.h"

#include <cstdint>

namespace vorn {

// Splits a copy of `text` at any character of `delimiters` (runs of them
// count as one, leading ones are skipped) and reads up to three unsigned
// 16-bit decimal numbers into a, b and c; any of them may be nullptr (not
// wanted).  Each piece is read like atoi: leading blanks and a sign are
// taken, reading stops at the first non-digit, and the value keeps its low
// 16 bits.  When the first delimiter character is '^', b is a fraction in
// hundredths: one digit d gives d * 10, two digits their value, longer
// pieces the value of their first two characters.
//
// Each wanted output is set to 0 before its piece is looked for.  Returns Ok
// when every wanted number had its piece, MissingNumber otherwise (also when
// there is no first piece, or text or delimiters is nullptr).
Error split_numbers(const char *text, const char *delimiters, uint16_t *a, uint16_t *b,
                    uint16_t *c);

} // namespace vorn
