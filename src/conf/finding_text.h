// The one printed form of a finding, whichever command found it: the tool
// prints the check's findings, its own refusals and the library's through
// format_finding, so that they read alike, take the same colours and jump
// alike in an editor.
#pragma once

#include "finding_names.h" // beside it: the tool includes it through the internal API

#include <string>

namespace vorn {

// One finding as the tool prints it.
struct FindingText {
    std::string file;                      // as the user named it
    int line = 0;                          // 0: the file as a whole
    int column = 0;                        // byte of `source` (1 = first); 0: none
    int length = 0;                        // bytes of the word it is about
    Severity severity = Severity::Warning; // as shown, after the user's switches
    std::string name;                      // the finding's name, "" for none
    std::string text;                      // one line
    std::string source;                    // the line as written, without its end
};

// "FILE:LINE:COLUMN: warning: TEXT [-Wname]" (error: ... [-Werror=name],
// note:), the source line and a caret under the word, each line ending in
// "\n".  The column counts characters, not bytes, as an editor does.  With
// `colour` the parts take GCC's colours.  A finding of the whole file reads
// "FILE: error: TEXT".
std::string format_finding(const FindingText &finding, bool colour);

// The column of the character at byte `byte_column` of `line` (1 = first),
// a character of many UTF-8 bytes counting once.
int display_column(const std::string &line, int byte_column);

// "-Wname" for a warning, "-Werror=name" for an error of a named kind, ""
// for notes and unnamed errors.
std::string switch_of(const std::string &name, Severity shown);

// "N errors, M warnings" (singular where one).
std::string count_line(int errors, int warnings);

} // namespace vorn
