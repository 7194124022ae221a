// UTF-8 in the box's 8-bit texts.  The table stores a configuration's bytes
// as written, so a text of a configuration written in UTF-8 holds UTF-8:
// the check names such characters, and the tool's and the report's views
// show them as written rather than byte by byte.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorn {

// The bytes of the UTF-8 character of more than one byte that `text`
// begins with (2 to 4), or 0 when it begins with none.
size_t utf8_sequence(std::string_view text);

} // namespace vorn
