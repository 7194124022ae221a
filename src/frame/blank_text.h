// Blank handling of text lines: the first character that is not white
// space, and a line cut after its last one.  The configuration pre-scan and
// the event log converter read fixed-size texts with it.
#pragma once

namespace vorn {

// First character of text that is not white space (nullptr stays nullptr).
const char *skip_blanks(const char *text);
char *skip_blanks(char *text);
// Removes trailing white space in place.
void trim_blanks(char *text);

} // namespace vorn
