// "-" for standard input and output.  The library reads and writes files
// by path, so a "-" where a command reads a text whole (Kind::InText)
// becomes a temporary file without a name that holds standard input, and a
// "-" where it writes one (Kind::OutText) such a file that is copied to
// standard output once the job succeeded.  Messages name them "<stdin>" and
// "<stdout>".
#pragma once

#include "command.h"
#include "temp_files.h"

namespace vorn::tool {

class StdioFiles {
  public:
    // Puts the stand-in files into `args`; -1, or the exit code of a usage
    // error or of a failure (the user told).
    int prepare(const Command &command, Args &args);
    // Copies the output's stand-in to standard output; false (the user
    // told) when it cannot be read.  Nothing to do without one.
    bool deliver();

  private:
    int stand_in(bool input, std::string &value);

    TempFiles m_files;
    std::string m_output;
    bool m_have_input = false;
};

// Whether deliver() told the user already that standard output failed.
bool stdout_failure_told();

} // namespace vorn::tool
