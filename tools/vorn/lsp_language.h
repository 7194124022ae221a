// What the language server knows of the configuration language, in the
// tool's own plain types: the only door from the server to the library.
// Everything the server asks the library (the check of a text, what a
// heading covers, what became of a map line, what a line's key is, the
// documentation of the keys) goes through the functions below, so that the
// protocol, the documents and the JSON never see a library header.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vorn::tool::lsp {

enum class Severity { Warning, Error, Note };

struct Finding {
    int line = 0;   // 1 = first; 0 the text as a whole
    int column = 0; // byte of the line, 1 = first; 0 none
    int length = 0; // bytes
    Severity severity = Severity::Warning;
    std::string name; // "period-range"; "" when the library refused the line
    std::string text;
    int fix_column = 0; // 0: no fix
    int fix_length = 0;
    std::string fix_text;
};

struct Span {
    int day = 0;          // 0 Sunday .. 6 Saturday, 7 holidays
    int from = 0, to = 0; // minutes of the day, [from, to)
};

struct Heading {
    bool read = false; // the compiler reads its time and days
    int hour = 0, minute = 0;
    unsigned days = 0; // bit 0 Sunday .. bit 6 Saturday, bit 7 holidays
    std::vector<Span> covered;
};

struct Replacement {
    int kept_line = 0;     // 0: a standard map
    std::string kept_text; // "0049=0100900"
};

enum class Role { Blank, Comment, Setting, Heading, Map, Unknown };

struct LineWord {
    Role role = Role::Blank;
    int column = 0, length = 0; // of the first word, bytes, 1 = first
};

// The check of one document's text and what the compiled table says of it.
struct Analysis {
    bool compiled = false;
    std::vector<Finding> findings;
    std::map<int, Heading> headings;    // by line
    std::map<int, Replacement> removed; // map lines removed, by line
};

Analysis analyse(const std::string &text);

LineWord classify(const std::string &line);

struct KeyHelp {
    std::string key, form, summary, range;
};
std::vector<KeyHelp> key_helps();
bool key_help(const std::string &word, KeyHelp &out);
std::vector<std::string> service_words();
std::vector<std::string> day_names();

} // namespace vorn::tool::lsp
