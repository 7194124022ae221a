// Subcommands of the vorn tool.  Each job lives in its own cmd_*.cpp and
// registers itself with VORN_COMMAND, so adding a job touches no other file.
//
// A command receives its own arguments (argv[0] is the command's name) after
// the global options were taken.  It returns the process exit code: 0 done,
// 1 the job failed (tell the user why on standard error), 2 usage error (use
// usage_error()).
#pragma once

#include <string>
#include <vector>

namespace vorn::tool {

struct Command {
    const char *name;
    const char *synopsis; // e.g. "alarm LOG.bin [REPORT.txt] [--source TEXT]"
    const char *summary;  // one line for --help
    int (*run)(int argc, char **argv);
};

bool register_command(const Command &command);
const std::vector<Command> &commands();

// Prints "vorn: <message>" and the command's synopsis to standard error and
// returns 2.
int usage_error(const char *command, const char *message);
// usage_error for an option the command does not know.
int unknown_option(const char *command, const char *option);
// Prints "vorn: <message>" to standard error and returns 1.
int job_failed(const std::string &message);
// job_failed for a library job that gave a negative result: its message
// without the line ends a host's message has, and the result behind it.
int library_failed(std::string message, int result);

} // namespace vorn::tool

#define VORN_CONCAT2(a, b) a##b
#define VORN_CONCAT(a, b) VORN_CONCAT2(a, b)
#define VORN_COMMAND(...)                                                                          \
    static const bool VORN_CONCAT(vorn_command_registered_, __LINE__) =                            \
        ::vorn::tool::register_command(::vorn::tool::Command{__VA_ARGS__})
