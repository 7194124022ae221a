// Runs the tool through the shell with its output sent to two files.
#include "support/run_tool.h"

#include "support/trace_capture.h"

#include <cstdlib>
#include <sys/wait.h>

namespace vorn::test {

std::string shell_quote(const std::string &text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolRun run_shell(const std::string &command) {
    TempDir dir;
    const std::string out = dir.file("out"), err = dir.file("err");
    const int status = std::system(
        ("(" + command + ") >" + shell_quote(out) + " 2>" + shell_quote(err) + " </dev/null")
            .c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

ToolRun run_tool(const std::string &args, const std::string &env) {
    return run_shell((env.empty() ? "" : "env " + env + " ") + shell_quote(VORN_TOOL_PATH) + " " +
                     args);
}

} // namespace vorn::test
