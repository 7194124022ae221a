// vorn: the command-line face of the Vorn_B32 library.  Global options come
// first, then one subcommand per job; each job is in its own cmd_*.cpp.
#include "command.h"
#include "internal_api.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace vorn::tool {

namespace {

std::vector<Command> &registry() {
    static std::vector<Command> list;
    return list;
}

const Command *find(const char *name) {
    for (const Command &c : registry())
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

void print_help(std::FILE *out) {
    std::fprintf(out, "usage: vorn [--debug] [--tool-name NAME] COMMAND [ARGS...]\n"
                      "       vorn --help | --version\n\n"
                      "Configuration and service tool of the Vorn-Box.\n\n"
                      "global options:\n"
                      "  --debug            write the library's debug trace to standard error\n"
                      "  --tool-name NAME   name under which host trace lines appear\n"
                      "  --help             this text\n"
                      "  --version          the library's version\n\n"
                      "commands:\n");
    std::vector<Command> sorted = registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command &a, const Command &b) { return std::strcmp(a.name, b.name) < 0; });
    for (const Command &c : sorted) {
        if (std::strlen(c.synopsis) <= 40)
            std::fprintf(out, "  %-40s %s\n", c.synopsis, c.summary);
        else
            std::fprintf(out, "  %s\n  %-40s %s\n", c.synopsis, "", c.summary);
    }
}

} // namespace

bool register_command(const Command &command) {
    registry().push_back(command);
    return true;
}

const std::vector<Command> &commands() {
    return registry();
}

int usage_error(const char *command, const char *message) {
    std::fprintf(stderr, "vorn: %s\n", message);
    if (command != nullptr)
        if (const Command *c = find(command)) {
            std::fprintf(stderr, "usage: vorn %s\n", c->synopsis);
            return 2;
        }
    std::fprintf(stderr, "Try 'vorn --help'.\n");
    return 2;
}

int unknown_option(const char *command, const char *option) {
    const std::string message = std::string("unknown option '") + option + "'";
    return usage_error(command, message.c_str());
}

int job_failed(const std::string &message) {
    std::fprintf(stderr, "vorn: %s\n", message.c_str());
    return 1;
}

int library_failed(std::string message, int result) {
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    return job_failed(message + " (result " + std::to_string(result) + ")");
}

} // namespace vorn::tool

int main(int argc, char **argv) {
    using namespace vorn::tool;
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        const char *opt = argv[i];
        if (std::strcmp(opt, "--help") == 0 || std::strcmp(opt, "-h") == 0) {
            print_help(stdout);
            return 0;
        }
        if (std::strcmp(opt, "--version") == 0) {
            char text[100];
            get_dll_version("Vorn_B32.DLL", text, sizeof text);
            std::printf("%s\n", text);
            return 0;
        }
        if (std::strcmp(opt, "--debug") == 0) {
            vorn::api::set_debug_output_stderr();
            set_debug(1);
            continue;
        }
        if (std::strcmp(opt, "--tool-name") == 0) {
            if (i + 1 >= argc)
                return usage_error(nullptr, "--tool-name needs a NAME");
            if (std::strlen(argv[i + 1]) > 79)
                return usage_error(nullptr, "--tool-name: NAME has at most 79 characters");
            set_tool_name(argv[++i]);
            continue;
        }
        return unknown_option(nullptr, opt);
    }
    if (i >= argc)
        return usage_error(nullptr, "no command given");
    const Command *command = find(argv[i]);
    if (command == nullptr) {
        std::string msg = std::string("unknown command '") + argv[i] + "'";
        return usage_error(nullptr, msg.c_str());
    }
    return command->run(argc - i, argv + i);
}
