// The commands of the vorn tool as rows of one table.  Each job lives in its
// own cmd_*.cpp and registers its row with VORN_COMMAND: its name, its
// operands and options, the line of `vorn --help` and its handler.  The
// parser (command_line.cpp) reads every command line by that row, and
// `vorn --help`, `vorn COMMAND --help` and the usage lines are made from it,
// so that a new option is one more entry in its command's row.
//
// Conventions every row gets: options may stand anywhere after the command,
// "--" ends them, -q/--quiet, -v/--verbose and -h/--help belong to every
// command, and "-" names standard input or output where an operand or
// option is a text read or written whole (Kind::InText, Kind::OutText).
//
// A handler returns the process exit code: 0 done, 1 the job failed (tell
// the user why on standard error), 2 usage error (use usage_error()).
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vorn::tool {

// What an operand or an option value is.  InText and OutText may be "-";
// the other file kinds are files the library opens itself.
enum class Kind {
    Flag,    // an option without a value
    Word,    // a free text or word (no file completion)
    InFile,  // a file that is read (binary, or copied by the library)
    OutFile, // a file that is written
    InText,  // a text read whole: "-" reads standard input
    OutText, // a text written whole: "-" writes standard output
};

struct Operand {
    const char *name; // as shown in the synopsis, "LOG.bin"
    Kind kind;
    bool optional = false;
    bool repeated = false; // the last operand only: it may be given many times
};

struct Option {
    const char *name;  // "--source"; a name of one dash ("-W") is written with its value joined
    char short_name;   // 'q', or 0 for none
    Kind kind;         // Flag, or what its value is
    const char *value; // the value's name in the synopsis, nullptr for a flag
    const char *help;  // one line for the command's help
};

// The command line of one command as its row reads it.
struct Args {
    // The operands as given; a "-" of an InText or OutText operand is
    // replaced by the file that holds standard input or receives standard
    // output (see stdio_files.h) before the handler runs.
    std::vector<std::string> operands;
    // The options given, by long name, with their values ("" for a flag).
    std::map<std::string, std::string> options;
    // Every option of the row as given, in order, with its value: an option
    // that may be given many times (-W) is read from here.
    std::vector<std::pair<std::string, std::string>> given;
    bool quiet = false, verbose = false; // the later of the two wins

    size_t count() const { return operands.size(); }
    // Operand `i` (0 first), or nullptr when it was left out.
    const char *operand(size_t i) const;
    // The value of an option, nullptr when it was not given.
    const char *value(const char *option) const;
    bool flag(const char *option) const { return options.count(option) != 0; }
    // Every value of `option` in the order given.
    std::vector<std::string> values(const char *option) const;
};

struct Command {
    const char *name;
    std::vector<Operand> operands;
    std::vector<Option> options;
    const char *summary;      // one line for `vorn --help`
    const char *details;      // paragraphs for `vorn COMMAND --help`, or nullptr
    int (*run)(const Args &); //
    int trouble = 1;          // exit code of a failed write to standard output
};

bool register_command(const Command &command);
const std::vector<Command> &commands();
const Command *find_command(const char *name);

// "alarm LOG.bin [REPORT.txt] [--source TEXT] [--headline TEXT]".
std::string synopsis(const Command &command);
// `vorn --help` and `vorn COMMAND --help`.
void print_help(std::FILE *out);
void print_command_help(const Command &command, std::FILE *out);

// Reads argv (argv[0] is the command's name) by the command's row into
// `args`.  -1 when the job may run; otherwise the exit code (0 after
// --help, 2 after a usage error, which the user was told).
int parse_command_line(const Command &command, int argc, char **argv, Args &args);

// Prints "vorn: <message>" and the command's synopsis to standard error and
// returns 2.
int usage_error(const char *command, const std::string &message);
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
