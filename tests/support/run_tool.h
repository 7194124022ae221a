// Runs the vorn tool as a user would and collects what it printed.
#pragma once

#include <string>

namespace vorn::test {

struct ToolRun {
    int exit_code = -1;
    std::string out, err;
};

// `args` is appended to the tool's path as shell words (quote them yourself);
// `env` (for example "TZ=UTC") is put before it.
ToolRun run_tool(const std::string &args, const std::string &env = "");
ToolRun run_shell(const std::string &command);    // any /bin/sh command line, stdin empty
std::string shell_quote(const std::string &text); // in single quotes for the shell

} // namespace vorn::test
