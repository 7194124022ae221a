// Internal helpers of the utility exports.
#pragma once

#include <cstddef>

namespace vorn {

// Writes the version text of `module` into buffer (at most capacity - 1
// characters).  1 when a version text was written, else 0.
int read_file_version(const char *module, char *buffer, size_t capacity);
// First character of text that is not white space.
const char *skip_blanks(const char *text);
char *skip_blanks(char *text);
// Removes trailing white space in place.
void trim_blanks(char *text);

} // namespace vorn
