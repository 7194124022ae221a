// Checks of a job's files before the library is called: the library would
// block on a FIFO, read a folder as an empty file, or append a report to
// the very log it is reading.  Every command runs its paths through here.
#pragma once

#include <initializer_list>

namespace vorn::tool {

// True when every input (nullptr entries skipped) is an existing regular
// file and no output is one of the inputs (the same file, however named).
// Otherwise prints "vorn: <why>" to standard error and returns false; the
// command then returns 1.
bool job_files_ok(std::initializer_list<const char *> inputs,
                  std::initializer_list<const char *> outputs);

// True when two outputs name one file: the same name, or one existing file
// under two names.  Two outputs on one file would write over each other.
bool same_output(const char *a, const char *b);

} // namespace vorn::tool
