// The tool's temporary files: in $TMPDIR when it names a folder, else in
// /tmp (the library's own scratch copies are sent there too), and removed
// when their owner ends, whichever way the run ends.
#pragma once

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
    ~TempFiles();
    // A new empty file in the temporary folder whose name starts with the
    // six characters of `stem`; empty (the user told) when none was had.
    std::string make(const char *stem);

  private:
    std::vector<std::string> m_paths;
};

} // namespace vorn::tool
