// The per-line findings of the configuration check: what a line that the
// parser handled without complaint still loses, and what exactly a failing
// line got wrong.  Used by conf/check.cpp only.
#pragma once

#include "conf/check.h"
#include "parser/parse_state.h"

#include <string>
#include <vector>

namespace vorn::check {

// The words of one line as written (case kept), with their places.
struct LineView {
    LineWords words = {};
    bool has_key = false;      // a first word that is not a comment
    const char *row = nullptr; // the key-table row the key goes to, if any
    int line = 0;

    void split(const char *text, int line_number);
    const char *token(int i) const { return i < kMaxTokens ? words.tokens[i] : nullptr; }
    // A record for token i (or the whole line when it is missing).
    Diagnostic at(int i, Severity severity, std::string text) const;
    // A finding of kind `name`, at its default severity, for token i.
    Diagnostic at(int i, FindingName name, std::string text) const;
};

// True when the parser skips the line before looking at its key: no value
// and not a period heading.
bool skipped_without_value(const LineView &view);

// The field of a key that starts empty or not set and for which an empty
// value means "none" (no comment, no number, no PIN, no dial-end digits, no
// option, no Ctrl2 mode, ...): a line of it without a value says what the
// field holds anyway, as the decompiler writes the lines of unset settings
// to show their form.  The name under which such lines are followed, "" for
// other keys.
std::string empty_means_none(const LineView &view);

// The warning for a line that the reader cut after its 98th character,
// when the part it passed over held more than blanks or a comment.
bool cut_line_warning(const ParseState &ps, Diagnostic &out);

// The key the line goes to for the "last line wins" rule ("" when the key
// may be given many times or is not known), e.g. "COUNTRYCODE".
std::string single_value_identity(const LineView &view);

// Warnings of a line that the parser handled without error: unknown keys
// (with the nearest key as a hint), numbers with trailing characters,
// period times out of range, a heading without its "]".
void line_warnings(const LineView &view, std::vector<Diagnostic> &out);

// The record of a line that left error level `level` (the parser's own
// words for it, the column of the offending word and what was expected).
Diagnostic describe_failure(const LineView &view, const ParseState &ps, int level);

// The known key closest to `key` (a key the compiler takes, with the
// escape or digits that `key` writes behind a key compared on its first
// characters), or "" when none is close.
std::string nearest_key(const char *key);

} // namespace vorn::check
