// vorn: the command-line face of the Vorn_B32 library.  Global options come
// first, then one command of the table in command.h; main sets up what every
// command shares (the console, "-" for standard input and output) and
// closes standard output, whose failure fails the run like any other write.
#include "command.h"
#include "messages.h"
#include "stdio_files.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

namespace api = vorn::api;
namespace tool = vorn::tool;

// "vorn 1.0.0.0 (Vorn_B32 library 1.0.0.0)".
void print_version() {
    char text[100];
    get_dll_version(api::kModuleLabel, text, sizeof text);
    const char *number = std::strrchr(text, ' ');
    std::printf("vorn %s (Vorn_B32 library %s)\n", VORN_TOOL_VERSION,
                number != nullptr ? number + 1 : "unknown");
}

// Standard output is flushed and closed here; a failure is a failed run
// (`trouble`, the command's code for it), told on standard error.
int close_stdout(int code, int trouble) {
    api::set_last_error(0);
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    const int error = api::last_error();
    const bool closed = std::fclose(stdout) == 0;
    if ((written && closed) || tool::stdout_failure_told())
        return code;
    const int why = error != 0 ? error : api::last_error();
    tool::job_failed("cannot write standard output" +
                     (why != 0 ? ": " + api::system_error_text(why) : std::string()));
    return code == 0 || code == 1 ? trouble : code;
}

// The global options before the command; -1 to go on with argv[i], else
// the exit code.
int global_options(int argc, char **argv, int &i) {
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const char *opt = argv[i];
        if (std::strcmp(opt, "--help") == 0 || std::strcmp(opt, "-h") == 0) {
            tool::print_help(stdout);
            return 0;
        }
        if (std::strcmp(opt, "--version") == 0) {
            print_version();
            return 0;
        }
        if (std::strcmp(opt, "--debug") == 0) {
            api::set_debug_output_stderr();
            set_debug(1);
            continue;
        }
        if (std::strcmp(opt, "--tool-name") == 0) {
            if (i + 1 >= argc)
                return tool::usage_error(nullptr, "option '--tool-name' needs NAME");
            if (std::strlen(argv[i + 1]) > 79)
                return tool::usage_error(nullptr, "--tool-name: NAME has at most 79 characters");
            set_tool_name(argv[++i]);
            continue;
        }
        return tool::usage_error(nullptr, std::string("unknown option '") + opt + "'");
    }
    if (i >= argc)
        return tool::usage_error(nullptr, "no command given");
    return -1;
}

// Runs the command at argv[0] with its arguments.
int run_command(const tool::Command &command, int argc, char **argv) {
    tool::Args args;
    if (const int code = tool::parse_command_line(command, argc, argv, args); code >= 0)
        return code;
    tool::set_quiet(args.quiet);
    // The library's console lines would mix with the data on standard
    // output: they go to standard error, progress only where a user watches.
    api::ConsoleSettings console;
    console.stream = stderr;
    console.quiet = args.quiet;
    console.progress = args.verbose || api::is_terminal(stderr);
    api::set_console(console);

    tool::StdioFiles stdio;
    if (const int code = stdio.prepare(command, args); code >= 0)
        return code;
    const int code = command.run(args);
    if (code == 0 && !stdio.deliver())
        return command.trouble;
    return code;
}

// A SOURCE_DATE_EPOCH that is no whole number of seconds pins nothing: the
// user is told rather than left with outputs stamped with the real time.
void check_source_date_epoch() {
    const char *value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr || value[0] == '\0')
        return;
    errno = 0;
    char *end = nullptr;
    std::strtoll(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0')
        tool::say_error(std::string("vorn: warning: SOURCE_DATE_EPOCH \"") + value +
                        "\" is not a number of seconds; the clock is not pinned\n");
    errno = 0;
}

} // namespace

int main(int argc, char **argv) {
    // A signal that ends the run takes the named staging files with it; a
    // closed pipe fails the write to standard output, which is told below.
    api::remove_named_on_signals();
#ifdef SIGXFSZ
    // A file-size limit fails the write ("File too large") instead of
    // killing the tool before it can say so.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    check_source_date_epoch();
    int i = 1;
    int code = global_options(argc, argv, i);
    int trouble = 1;
    if (code < 0) {
        if (const tool::Command *command = tool::find_command(argv[i])) {
            trouble = command->trouble;
            code = run_command(*command, argc - i, argv + i);
        } else {
            code = tool::usage_error(nullptr, std::string("unknown command '") + argv[i] + "'");
        }
    }
    code = close_stdout(code, trouble);
    if (code == 0)
        tool::show_notes();
    return code;
}
