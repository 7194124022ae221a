// The findings about the values of a line that the parser took without
// complaint, where the table gets something else than the line says: a
// number field with letters, a duration with text behind it, a COMMENT or
// PABXName whose text is cut or shifted, a character that is not 7-bit
// ASCII.  Used by conf/check.cpp only.
#pragma once

#include "conf/check_lines.h"

#include <string_view>
#include <vector>

namespace vorn::check {

// The findings of `line` (the physical line as read, its words in `view`).
void value_findings(const char *line, const LineView &view, std::vector<Diagnostic> &out);

// The first character of `line` that is not 7-bit ASCII, as an encoding
// finding; the part behind a comment's ";" is not looked at unless the
// key takes the whole line.  False when there is none.
bool encoding_finding(const char *line, const LineView &view, Diagnostic &out);

// True when the text `bytes` begins with a UTF-8 byte-order mark.
bool begins_with_byte_order_mark(std::string_view bytes);

} // namespace vorn::check
