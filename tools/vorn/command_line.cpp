// The table of commands and the one parser of their command lines (see
// command.h), with the help texts and usage errors made from the rows.
#include "command.h"

#include "messages.h"

#include <algorithm>
#include <cstring>

namespace vorn::tool {

namespace {

std::vector<Command> &registry() {
    static std::vector<Command> list;
    return list;
}

// The options every command takes beside those of its row.
const std::vector<Option> &common_options() {
    static const std::vector<Option> options = {
        {"--quiet", 'q', Kind::Flag, nullptr,
         "no progress or notes, only what was asked for and errors"},
        {"--verbose", 'v', Kind::Flag, nullptr,
         "progress lines also when standard error is no terminal"},
        {"--help", 'h', Kind::Flag, nullptr, "this text"},
    };
    return options;
}

const Option *find_option(const Command &c, const std::string &name, char short_name) {
    for (const std::vector<Option> *list : {&c.options, &common_options()})
        for (const Option &o : *list)
            if (short_name != 0 ? o.short_name == short_name : name == o.name)
                return &o;
    return nullptr;
}

std::string option_words(const Option &o) {
    if (o.name[1] != '-') // "-WNAME"
        return o.name + std::string(o.value != nullptr ? o.value : "");
    std::string words = o.short_name != 0 ? std::string("-") + o.short_name + ", " : "    ";
    words += o.name;
    if (o.value != nullptr)
        words += std::string(" ") + o.value;
    return words;
}

void print_options(const std::vector<Option> &options, std::FILE *out) {
    for (const Option &o : options) {
        const std::string words = option_words(o);
        if (words.size() <= 20)
            std::fprintf(out, "  %-20s %s\n", words.c_str(), o.help);
        else
            std::fprintf(out, "  %s\n  %-20s %s\n", words.c_str(), "", o.help);
    }
}

// Takes one option, `shown` as the user wrote it, its value from
// `inline_value` or the next word; false after a usage error, whose code is
// in `code`.
bool take_option(const Command &c, const Option &o, const std::string &shown,
                 const char *inline_value, int argc, char **argv, int &i, Args &args,
                 std::map<std::string, std::string> &out, int &code) {
    if (o.kind == Kind::Flag) {
        if (inline_value != nullptr) {
            code = usage_error(c.name, "option '" + shown + "' takes no value");
            return false;
        }
        out[o.name];
        args.given.emplace_back(o.name, "");
        // The later of --quiet and --verbose wins.
        if (std::strcmp(o.name, "--quiet") == 0 || std::strcmp(o.name, "--verbose") == 0) {
            args.quiet = o.name[2] == 'q';
            args.verbose = !args.quiet;
        }
        return true;
    }
    if (inline_value == nullptr) {
        if (i + 1 >= argc) {
            code = usage_error(c.name, "option '" + shown + "' needs " + o.value);
            return false;
        }
        inline_value = argv[++i];
    }
    out[o.name] = inline_value;
    args.given.emplace_back(o.name, inline_value);
    return true;
}

// Checks the operand count against the row; -1 or the usage error's code.
int check_operands(const Command &c, size_t given) {
    size_t required = 0;
    for (const Operand &o : c.operands)
        required += o.optional ? 0 : 1;
    if (given < required) {
        std::string missing;
        for (size_t k = given; k < c.operands.size(); ++k)
            if (!c.operands[k].optional)
                missing += (missing.empty() ? "" : " and ") + std::string(c.operands[k].name);
        return usage_error(c.name, std::string(c.name) + " needs " + missing);
    }
    if (given > c.operands.size() && (c.operands.empty() || !c.operands.back().repeated))
        return usage_error(c.name, std::string(c.name) + " takes at most " +
                                       std::to_string(c.operands.size()) +
                                       (c.operands.size() == 1 ? " operand" : " operands"));
    return -1;
}

} // namespace

const char *Args::operand(size_t i) const {
    return i < operands.size() ? operands[i].c_str() : nullptr;
}

std::vector<std::string> Args::values(const char *option) const {
    std::vector<std::string> out;
    for (const auto &[name, value] : given)
        if (name == option)
            out.push_back(value);
    return out;
}

const char *Args::value(const char *option) const {
    const auto it = options.find(option);
    return it == options.end() ? nullptr : it->second.c_str();
}

bool register_command(const Command &command) {
    registry().push_back(command);
    return true;
}

const std::vector<Command> &commands() {
    return registry();
}

const Command *find_command(const char *name) {
    for (const Command &c : registry())
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

std::string synopsis(const Command &c) {
    std::string text = c.name;
    for (const Operand &o : c.operands)
        text += (o.optional ? std::string(" [") + o.name + "]" : std::string(" ") + o.name) +
                (o.repeated ? "..." : "");
    for (const Option &o : c.options)
        text += std::string(" [") +
                (o.name[1] != '-' ? option_words(o)
                                  : o.name + (o.value ? std::string(" ") + o.value : "")) +
                "]";
    return text;
}

void print_help(std::FILE *out) {
    std::fprintf(out, "usage: vorn [--debug] [--tool-name NAME] COMMAND [ARGS...]\n"
                      "       vorn --help | --version\n\n"
                      "Configuration and service tool of the Vorn-Box.\n\n"
                      "global options:\n"
                      "  --debug            write the library's debug trace to standard error\n"
                      "  --tool-name NAME   name under which host trace lines appear\n"
                      "  --help             this text\n"
                      "  --version          the versions of the tool and the library\n\n"
                      "options of every command:\n");
    print_options(common_options(), out);
    std::fprintf(out, "\ncommands (\"vorn COMMAND --help\" tells more):\n");
    std::vector<const Command *> sorted;
    for (const Command &c : registry())
        sorted.push_back(&c);
    std::sort(sorted.begin(), sorted.end(),
              [](const Command *a, const Command *b) { return std::strcmp(a->name, b->name) < 0; });
    for (const Command *c : sorted) {
        const std::string line = synopsis(*c);
        if (line.size() <= 40)
            std::fprintf(out, "  %-40s %s\n", line.c_str(), c->summary);
        else
            std::fprintf(out, "  %s\n  %-40s %s\n", line.c_str(), "", c->summary);
    }
}

void print_command_help(const Command &c, std::FILE *out) {
    std::fprintf(out, "usage: vorn %s\n\n%s.\n", synopsis(c).c_str(), c.summary);
    if (c.details != nullptr)
        std::fprintf(out, "\n%s", c.details);
    std::fprintf(out, "\noptions:\n");
    print_options(c.options, out);
    print_options(common_options(), out);
    bool dash_in = false, dash_out = false;
    auto note_kind = [&](Kind k) {
        dash_in |= k == Kind::InText;
        dash_out |= k == Kind::OutText;
    };
    for (const Operand &o : c.operands)
        note_kind(o.kind);
    for (const Option &o : c.options)
        note_kind(o.kind);
    if (dash_in || dash_out) {
        std::string names;
        for (const Operand &o : c.operands)
            if (o.kind == Kind::InText || o.kind == Kind::OutText)
                names += std::string(names.empty() ? "" : ", ") + o.name;
        for (const Option &o : c.options)
            if (o.kind == Kind::InText || o.kind == Kind::OutText)
                names += std::string(names.empty() ? "" : ", ") + o.value;
        std::fprintf(out, "\n\"-\" as %s means standard %s; other files must be named.\n",
                     names.c_str(),
                     dash_in && dash_out ? "input or output"
                     : dash_in           ? "input"
                                         : "output");
    }
}

int parse_command_line(const Command &c, int argc, char **argv, Args &args) {
    bool options_end = false;
    int code = -1;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (options_end || arg[0] != '-' || arg[1] == '\0') {
            args.operands.push_back(arg);
        } else if (std::strcmp(arg, "--") == 0) {
            options_end = true;
        } else if (arg[1] == '-') {
            const char *equals = std::strchr(arg, '=');
            const std::string name = equals ? std::string(arg, equals) : std::string(arg);
            const Option *o = find_option(c, name, 0);
            if (o == nullptr)
                return usage_error(c.name, "unknown option '" + name + "'");
            if (!take_option(c, *o, name, equals ? equals + 1 : nullptr, argc, argv, i, args,
                             args.options, code))
                return code;
        } else {
            // One or more letters; a letter with a value takes the rest of
            // the word or the next one.
            for (const char *letter = arg + 1; *letter != '\0'; ++letter) {
                const Option *o = find_option(c, "", *letter);
                const std::string shown = std::string("-") + *letter;
                if (o == nullptr)
                    return usage_error(c.name, "unknown option '" + shown + "'");
                const char *rest =
                    o->kind != Kind::Flag && letter[1] != '\0' ? letter + 1 : nullptr;
                if (!take_option(c, *o, shown, rest, argc, argv, i, args, args.options, code))
                    return code;
                if (rest != nullptr)
                    break;
            }
        }
        // --help answers at once, whatever else the line holds.
        if (args.options.count("--help") != 0) {
            print_command_help(c, stdout);
            return 0;
        }
    }
    args.options.erase("--quiet");
    args.options.erase("--verbose");
    return check_operands(c, args.operands.size());
}

int usage_error(const char *command, const std::string &message) {
    say_error("vorn: error: " + message + "\n");
    if (command != nullptr)
        if (const Command *c = find_command(command)) {
            std::fprintf(stderr, "usage: vorn %s\nTry 'vorn %s --help'.\n", synopsis(*c).c_str(),
                         c->name);
            return 2;
        }
    std::fprintf(stderr, "Try 'vorn --help'.\n");
    return 2;
}

int job_failed(const std::string &message) {
    say_error("vorn: error: " + message + "\n");
    return 1;
}

int library_failed(std::string message, int result) {
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    return job_failed(message + " (result " + std::to_string(result) + ")");
}

} // namespace vorn::tool
