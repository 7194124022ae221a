// Where the tool's own lines go.  Standard output carries only what the
// user asked for (a report, a list, a table's fields); notes of a finished
// job go to standard error and --quiet silences them; errors always go to
// standard error, "error:" and "warning:" in colour on a terminal unless
// NO_COLOR is set.
#pragma once

#include "vorn_tool/api.h"

#include <string>

namespace vorn::tool {

// True when standard error is a terminal and NO_COLOR is not set.
bool colour_wanted();

// --quiet of the running command.
void set_quiet(bool quiet);
bool quiet();

// A note on a finished job ("x.cfg -> x.bin"), one line, unless --quiet;
// shown by show_notes() once the run succeeded, standard output included.
void note(const std::string &line);
void show_notes();

// Writes `text` to standard error: the names of the stand-in files of "-"
// are shown as the user wrote them, "error:" and "warning:" coloured.
void say_error(const std::string &text);

// `path` stands for what the user called `shown` ("-"); messages that name
// the path name `shown` instead.
void name_stand_in(const std::string &path, const std::string &shown);
// `text` with every stand-in path given its shown name.
std::string shown_names(std::string text);

// One more line under a library's message: the system's reason for the
// failure, when the message names a file other than the one that failed.
void add_system_reason(int error);
// The job's copy of `input` could not be made in the temporary folder:
// names the input with the library's words for the folder and the reason;
// returns 1.  False (nothing said) when no failed file is such a copy.
bool say_copy_failure(const api::Outcome &done, const char *input);
// A job's outputs that could not all be put in place: names the one whose
// rename failed and the system's reason; returns 1.
int publish_failed(const api::Publication &outputs);

} // namespace vorn::tool
