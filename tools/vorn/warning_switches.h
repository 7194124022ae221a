// GCC's warning switches on the findings of a configuration: -W<name> and
// -Wno-<name> show or hide a kind, -Werror makes every warning an error,
// -Werror=<name> and -Wno-error=<name> make one kind an error or a warning
// (also a kind that is an error by default).  A switch for one kind wins
// over -Werror whatever their order; of two switches for one kind the later
// wins.  Errors of lines the library refused have no name and stay errors.
#pragma once

#include "command.h"
#include "vorn_tool/api.h"

#include <map>
#include <optional>
#include <string>

namespace vorn::tool {

class WarningSwitches {
  public:
    // Takes one switch without its "-W" ("no-error=value-cut"); false with
    // `why` when it names no finding.
    bool take(const std::string &word, std::string &why);
    // --werror of older command lines: -Werror.
    void all_errors() { m_all_errors = true; }
    // The severity `finding` is shown with, or nothing when it is hidden.
    std::optional<api::Severity> shown(const api::Finding &finding) const;

  private:
    bool m_all_errors = false;
    std::map<std::string, bool> m_enabled; // by name: false after -Wno-<name>
    std::map<std::string, bool> m_error;   // by name: -Werror=<name> or -Wno-error=<name>
};

// The switches of a command line: every -W<...> in order and --werror.
// -1, or the exit code of a usage error (the user told).
int read_switches(const Args &args, const char *command, WarningSwitches &switches);

// The -W option and --werror of the commands that check a configuration.
Option warning_option();
Option werror_option();

} // namespace vorn::tool
