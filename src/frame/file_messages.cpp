// Builds the open/read/write failure messages of the file jobs from the one
// table of their words.
#include "frame/file_messages.h"

namespace vorn {

namespace {

constexpr const char *kWords[] = {"Cannot Open", "Cannot Read", "Cannot Write"};

} // namespace

const char *file_message_words(FileMessage kind) {
    return kWords[static_cast<int>(kind)];
}

std::string file_message(FileMessage kind, const char *path) {
    return std::string(file_message_words(kind)) + " \"" + (path != nullptr ? path : "NULL") +
           "\"!\n";
}

} // namespace vorn
