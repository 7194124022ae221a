// The working state of one configuration parse and the line splitter.
//
// Everything a parse needs lives in one ParseState that belongs to the
// call, so two threads may compile configurations at the same time.  The
// driver reads a line, splits it with parse_line and hands the state to the
// handler of the line's key; a handler reads the words of the line from
// `words`, writes fields of `table` and reports trouble by raising
// `error_level`, which the driver acts on after the line.
#pragma once

#include "frame/error.h"
#include "parser/period_block.h"
#include "table/table.h"

#include <cstddef>
#include <cstdint>

namespace vorn {

class ParseObserver;

// A configuration line holds at most 99 characters and its line end.
inline constexpr size_t kLineBufferSize = 100;
// A longer line keeps this many characters and gets a line end; the rest
// of it is passed over.
inline constexpr size_t kCutLineLength = 98;
// Words of one line: token 0 is the key, tokens 1.. the values.
inline constexpr int kMaxTokens = 32;
// Size of the message buffer of one conversion (tag "err_str").  The parser
// fills its head, the conversion driver appends the words of the error
// kind; "@" separates display lines.
inline constexpr size_t kErrStrSize = 500;

// The words of one line.  parse_line copies the line (at most 100
// characters) into `copy` and points the tokens into it, so they stay valid
// until the next split into the same LineWords.  The entry behind the last
// word is always nullptr (tokens[kMaxTokens] too), so a word list that
// starts at any token ends inside the array.
struct LineWords {
    char copy[102];
    char *tokens[kMaxTokens + 1];
};

// Splits `line` into words at blanks, tabs, line feeds and "="; a ";" starts
// a comment.  An empty line or one that begins with ";" gives the single
// token "rem".  Returns Ok, or NoFirstWord when the line has no first word.
Error parse_line(const char *line, LineWords &words);

// Error levels that handlers set; the parse ends after a line that leaves a
// non-zero level, with the error line_failed(level) (parser.h).
enum ParseErrorLevel : int32_t {
    CONF_OK = 0,
    CONF_WARNING = 1,      // a value was cut: ValueCut
    CONF_SYNTAX = 2,       // SyntaxError
    CONF_WRONG_VALUE = 3,  // WrongValue
    CONF_NO_PERIOD = 5,    // no free period record: NoMemory
    CONF_MAPS_FULL = 8,    // 5,070 maps: TooManyEntries
    CONF_NO_HOLIDAYS = -1, // holiday file cannot be opened: HolidayFile
};

// What the reader passed over of a line longer than it keeps
// (kCutLineLength characters).  Only a check that watches the parse looks at it.
struct LineCut {
    int32_t length = 0;     // characters of the physical line, its end not counted; 0: read whole
    char first_text = '\0'; // first character passed over that is not a blank or tab, if any
};

struct ParseState {
    ParseState() = default;
    ParseState(const ParseState &) = delete;
    ParseState &operator=(const ParseState &) = delete;
    // The period block goes back with the parse, whichever way it ends.
    ~ParseState();

    table_t *table = nullptr; // the working buffer being filled
    mpde_t *mpde = nullptr;   // the period definition block (kPeriodBlockEntries)

    char line[kLineBufferSize] = {};    // the physical line as read
    char scratch[kLineBufferSize] = {}; // upper-cased copy; handlers may reuse it
    LineCut cut;                        // of `line`, when the reader cut it
    LineWords words = {};               // words of the line being handled
    char **tokens() { return words.tokens; }

    int32_t line_number = 0;
    int32_t error_level = CONF_OK;
    uint32_t map_count = 0;      // index of the next free map slot
    uint32_t current_period = 0; // period section of the following map lines
    int32_t redirect_count = 0;  // redirect slots used
    uint32_t protocol_lines = 0; // ProtExt and ProtInt lines seen
    uint8_t option_byte = 0;     // OPTIONS/OPTIMIZE bits for table_options
    uint16_t option_word = 0;    // OPTIONS/OPTIMIZE bits for table_options2
    bool p_target = false;       // a Redirect line has the target "P" or "5"
    bool verbose = false;        // progress lines on standard output

    // The upper-cased line as read, kept for the error message: handlers
    // may use the scratch for their own values.
    char upper_line[kLineBufferSize] = {};
    // A TABLE line named another format: the parse stops at once.
    bool wrong_table_format = false;
    // Watches the parse line by line (parser/parse_observer.h); none for a
    // plain compile.
    ParseObserver *observer = nullptr;
};

} // namespace vorn
