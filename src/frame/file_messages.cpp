// Builds the open/read/write failure messages of the file jobs.
#include "frame/file_messages.h"

namespace vorn {

std::string file_message(FileMessage kind, const char *path) {
    const char *verb = kind == FileMessage::CannotOpen   ? "Open"
                       : kind == FileMessage::CannotRead ? "Read"
                                                         : "Write";
    return std::string("Cannot ") + verb + " \"" + (path != nullptr ? path : "NULL") + "\"!\n";
}

} // namespace vorn
