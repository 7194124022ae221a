// The messages that tell a user which file a job could not open, read or
// write ("... \"box.cfg\"!\n"), built from one table of words so that every
// job words them alike and each text is written once.
#pragma once

#include <string>

namespace vorn {

enum class FileMessage { CannotOpen, CannotRead, CannotWrite };

// The words of a kind on their own, as a result's name.
const char *file_message_words(FileMessage kind);
// The message for `path` (nullptr shows as NULL), ending in a line feed.
std::string file_message(FileMessage kind, const char *path);

} // namespace vorn
