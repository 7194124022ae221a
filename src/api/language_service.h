// The language service: what `vorn lsp` asks the library about a
// configuration held in an editor's memory.  An editor's text is checked as
// `vorn check` checks a file, by the same compile, and the server learns
// from the same compile what a period heading covers and what became of a
// map line, and reads a line's key by the compiler's own key table, so
// that the editor never shows a second reading of the language.
//
// The types here are plain: numbers, strings and vectors, nothing of the
// layers below, so that the section can move into the tool's sealed header
// as it is.
#pragma once

#include <string>
#include <vector>

namespace vorn::api {

// ==== language service (`vorn lsp`) =================================================

// One finding of the check of a text.  Lines and columns count from 1;
// columns are bytes of the line.
struct TextFinding {
    int line = 0;         // 0: the text as a whole
    int column = 0;       // 0: no word named
    int length = 0;       // bytes of the offending word
    int severity = 0;     // 0 warning, 1 error, 2 note: the kind's default
    std::string name;     // the kind ("period-range"); "" for a line the library refused
    std::string text;     // what happened, one line
    int related_line = 0; // the line that wins over this one; 0 none
    // A replacement that does what the line meant: fix_length bytes from
    // fix_column give way to fix_text; no fix when fix_column is 0.
    int fix_column = 0;
    int fix_length = 0;
    std::string fix_text;
};

// The minutes [from, to) of one day that a period covers.
struct CoveredSpan {
    int day = 0; // 0 Sunday to 6 Saturday, 7 a holiday
    int from = 0, to = 0;
};

// A period heading as the compiler read it, and the times the compiled
// table gives its period (none when the text does not compile, or the
// period has no maps and so no record of its own).
struct HeadingCoverage {
    int line = 0;
    bool read = false; // false: the compiler refuses the heading
    int hour = 0, minute = 0;
    unsigned days = 0; // bit 0 Sunday ... bit 6 Saturday, bit 7 holidays
    std::vector<CoveredSpan> covered;
};

// A map line whose every map the optimizer removed, and the line or the
// standard map that took its place.
struct RemovedLine {
    int line = 0;
    int kept_line = 0;     // 0: a standard map took its place
    std::string kept_text; // the map that took its place, as a line writes it
};

struct TextCheckResult {
    int result = 0;      // what mkconf would return for reading the text
    std::string message; // the library's message for it
    bool compiled = false;
    std::vector<TextFinding> findings;     // by line
    std::vector<HeadingCoverage> headings; // by line, only with `with_table`
    std::vector<RemovedLine> removed;      // by line, only with `with_table`
};

// Checks `text` as `vorn check -` checks standard input: the text goes
// into a scratch file without a name (gone when the call returns) and
// through the compiler with every failing line listed.  With `with_table`
// the compiled table also tells the coverage of each heading and the
// removed map lines.  No listing is written.  Never throws: a failed
// allocation is a result without findings.
TextCheckResult check_text(const std::string &text, bool with_table);

// What a line is, by the compiler's own splitting and key table.
enum class LineRole { Blank, Comment, Setting, Heading, Map, Unknown };
struct LineKey {
    LineRole role = LineRole::Blank;
    int column = 0, length = 0; // of the first word, 1 = first byte
    std::string row;            // the key-table row it goes to ("MapOut", "["), "" none
};
LineKey line_key(const std::string &line);

// The documentation of a key, from the table that vorn-config(5) is held to.
struct KeyDocumentation {
    std::string key, form, summary, range;
};
std::vector<KeyDocumentation> key_documentation();
// The row of the key that begins `word` (the longest); false when none.
bool documentation_of(const std::string &word, KeyDocumentation &out);
// The words a map line's service and a heading's days may be.
std::vector<std::string> service_word_list();
std::vector<std::string> day_name_list();

} // namespace vorn::api
