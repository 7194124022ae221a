#include "support/run_tool.h"

#include "support/trace_capture.h"

#include <cstdlib>
#include <sys/wait.h>

namespace vorn::test {

std::string shell_quote(const std::string &text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

ToolRun run_tool(const std::string &args, const std::string &env) {
    TempDir dir;
    std::string out = dir.file("out");
    std::string err = dir.file("err");
    std::string cmd = (env.empty() ? "" : "env " + env + " ") + shell_quote(VORN_TOOL_PATH) + " " +
                      args + " >" + shell_quote(out) + " 2>" + shell_quote(err) + " </dev/null";
    int status = std::system(cmd.c_str());
    ToolRun run;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_file(out);
    run.err = read_file(err);
    return run;
}

} // namespace vorn::test
