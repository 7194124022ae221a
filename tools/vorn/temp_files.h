// The tool's temporary files: in $TMPDIR when it names a folder, else in
// /tmp (the library's own scratch copies are sent there too).  They have no
// name the user could find (the library reaches them through
// /proc/self/fd), so they go with the process whichever way it ends.
#pragma once

#include "vorn_tool/api.h"

#include <memory>
#include <string>
#include <vector>

namespace vorn::tool {

// The user's temporary folder: $TMPDIR when it names a folder, else /tmp.
std::string temporary_folder();
// Sends the library's scratch copies (of a call log, of a trace) there.
void use_temporary_folder();

class TempFiles {
  public:
    TempFiles() = default;
    TempFiles(const TempFiles &) = delete;
    TempFiles &operator=(const TempFiles &) = delete;
    ~TempFiles() = default;
    // A new empty file in the temporary folder and the path the library
    // opens it by; empty (the user told) when none was had.
    std::string make();

  private:
    std::vector<std::unique_ptr<api::UnnamedFile>> m_files;
};

} // namespace vorn::tool
