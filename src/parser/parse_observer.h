// A watcher of one configuration parse.  The plain compile runs without
// one; a caller that wants to tell the user what each line did (the check
// of a configuration) hands one to the compile (ParseState::observer), and
// the parser then reports every line to it and asks it whether a line that
// failed ends the parse or is only noted.
#pragma once

namespace vorn {

struct ParseState;

class ParseObserver {
  public:
    virtual ~ParseObserver() = default;
    // ps.line holds the line about to be handled; ps.line_number counts it.
    virtual void before_line(const ParseState &ps) = 0;
    // The line has been handled.  True when a non-zero error level (or a
    // TABLE line of another format) is to be taken as noted: the parser
    // then clears it and reads on instead of failing.
    virtual bool after_line(ParseState &ps) = 0;
    // After the last line, the standard maps and the period test: the
    // slots from 0 to ps.map_count - 1 hold the maps of the file, those up
    // to table_used_map_entries - 1 the standard maps.
    virtual void parse_done(ParseState &ps) = 0;
    // True when a UTF-8 byte-order mark before the first line is to be
    // read as no part of it (the plain compile reads it as written).
    virtual bool skips_byte_order_mark() const { return false; }
};

} // namespace vorn
