// The file version text of a module, as the version exports put it behind
// the module's name.
#pragma once

#include <cstddef>

namespace vorn {

// Writes the version text of `module` into buffer (at most capacity - 1
// characters).  1 when a version text was written, else 0.
int read_file_version(const char *module, char *buffer, size_t capacity);

} // namespace vorn
