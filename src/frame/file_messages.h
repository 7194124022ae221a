// The messages that tell a user which file a job could not open, read or
// write: "Cannot Read \"box.cfg\"!\n" and its siblings, built in one place so
// that every job words them alike.
#pragma once

#include <string>

namespace vorn {

enum class FileMessage { CannotOpen, CannotRead, CannotWrite };

// The message for `path` (nullptr shows as NULL), ending in a line feed.
std::string file_message(FileMessage kind, const char *path);

} // namespace vorn
