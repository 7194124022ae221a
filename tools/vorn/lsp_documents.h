// The documents a language client has opened: their text, kept up to date
// by full or incremental changes, and the places in it.  The client counts
// a line's characters in UTF-16 code units; the configuration is ASCII or
// UTF-8, and the check counts bytes, so every place is converted here.
#pragma once

#include "lsp_language.h"

#include <chrono>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::tool::lsp {

using Clock = std::chrono::steady_clock;

struct Position {
    int line = 0;      // 0 = first
    int character = 0; // UTF-16 code units
};

struct Document {
    std::string text;
    int version = 0;
    // The check of the text as it was when last checked, and whether the
    // text changed since (the check then waits until `due`).
    Analysis analysis;
    bool checked = false;
    bool stale = true;
    Clock::time_point due{};
};

// The lines of a text, each without its line end ("\n" or "\r\n").
std::vector<std::string_view> lines_of(std::string_view text);

// The byte offset in `text` of a client's position; a character beyond
// its line's end is the line's end, a line beyond the text its end.
size_t offset_of(std::string_view text, Position p);

// UTF-16 code units of the first `bytes` bytes of `line`, and back.
int utf16_units(std::string_view line, size_t bytes);
size_t bytes_of_units(std::string_view line, int units);

// Replaces [from, to) of the document's text by `replacement`.
void replace_range(std::string &text, Position from, Position to, const std::string &replacement);

} // namespace vorn::tool::lsp
