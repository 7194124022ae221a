#include "support/log_golden.h"

#include "support/run_tool.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

namespace vorn::test {

std::string printable(const std::string &bytes) {
    std::string out;
    char escaped[8];
    for (unsigned char c : bytes) {
        std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
        out += (c >= 0x20 && c < 0x7F) || c == '\n' ? std::string(1, char(c)) : escaped;
    }
    return out;
}

std::string hex_dump(const std::string &bytes) {
    std::string out;
    char hex[32];
    for (size_t at = 0; at < bytes.size(); ++at) {
        if (at % 16 == 0)
            std::snprintf(hex, sizeof hex, "%06zx: %02x", at, uint8_t(bytes[at]));
        else
            std::snprintf(hex, sizeof hex, " %02x", uint8_t(bytes[at]));
        out += hex + std::string(at % 16 == 15 || at + 1 == bytes.size() ? "\n" : "");
    }
    return out;
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos;
         at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::string stable(const std::string &text, const std::string &dir) {
    char version[59]; // "Vorn_B32.DLL 1.0.0.0": the module, then the number
    get_vorn_b32_dll_version(version, sizeof version);
    const std::string number = std::strrchr(version, ' ') ? std::strrchr(version, ' ') + 1 : "";
    return replaced(replaced(replaced(text, dir, "<dir>"), version, "<version>"), number,
                    "<number>");
}

std::string stable_trace(const TraceCapture &capture, const std::string &dir) {
    static const std::pair<std::regex, const char *> masks[] = {
        {std::regex(R"(#\s*\d+)"), "#N"},
        {std::regex(R"(\S+#N: p=)"), "<allocator>#N: p="},
        // The live count, padded to three places: its width depends on what
        // ran before in the same process.
        {std::regex(R"( +\d+ (Global(Alloc|Free)))"), " N $1"},
        {std::regex(R"((LOGCAL|DTRACE|MERGEX)[a-z0-9]{6})"), "$1XXXXXX"},
        {std::regex(
             R"(((\bp|palarm_entry |palarm|alarm_string|alarm_buffer|alarmsize)= ?)[0-9A-F]+)"),
         "$1<address>"}};
    std::string text;
    for (const std::string &body : capture.bodies())
        text += body;
    for (const auto &[pattern, mask] : masks)
        text = std::regex_replace(text, pattern, mask);
    return stable(printable(text), dir);
}

std::string section(const std::string &name, int result, const char *message,
                    std::initializer_list<std::string> files) {
    std::string out = "#### " + name + ": result " + std::to_string(result) +
                      (message ? ", message " + replaced(printable(message), "\n", "\\n") : "") +
                      "\n";
    for (const std::string &file : files)
        if (std::filesystem::is_regular_file(file))
            out += "--- " + std::filesystem::path(file).filename().string() + "\n" +
                   printable(read_file(file));
    return out;
}

std::string tool_run(const std::string &args, const std::string &env, const std::string &folder) {
    // In the folder through the shell, so that redirections in `args` name
    // its files.
    const ToolRun run = folder.empty() ? run_tool(args, env)
                                       : run_shell("cd " + shell_quote(folder) + " && " +
                                                   (env.empty() ? "" : "env " + env + " ") +
                                                   shell_quote(VORN_TOOL_PATH) + " " + args);
    auto part = [](const char *name, const std::string &text) {
        return text.empty() ? "" : name + printable(text) + (text.back() == '\n' ? "" : "\n");
    };
    return "$ vorn " + args + "\nexit " + std::to_string(run.exit_code) + "\n" +
           part("--- stdout\n", run.out) + part("--- stderr\n", run.err);
}

std::string run_session(const std::string &name, const std::string &folder,
                        const std::string &env) {
    std::istringstream lines(read_file(std::string(VORN_SOURCE_DIR) + "/tests/golden/" + name));
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        const std::string word = line.substr(0, line.find(' '));
        const std::string rest = line.substr(std::min(line.size(), word.size() + 1));
        const std::string file = folder + "/" + rest.substr(0, rest.find(' '));
        if (word == "@file") {
            std::filesystem::create_directories(std::filesystem::path(file).parent_path());
            write_file(file,
                       replaced(replaced(replaced(rest.substr(rest.find(' ') + 1), "\\n", "\n"),
                                         "\\r", "\r"),
                                "{pad}", std::string(200, ';')));
        } else if (word == "@show" || word == "@hex") {
            out += "--- " + rest + "\n" +
                   (word == "@show" ? printable(read_file(file))
                                    : hex_dump(stable(read_file(file), folder)));
        } else if (word == "-C") { // in a sub-folder
            out += "(in " + rest.substr(0, rest.find(' ')) + ")\n" +
                   tool_run(rest.substr(rest.find(' ') + 1), "-C " + shell_quote(file) + " " + env);
        } else if (!line.empty() && !line.starts_with("#")) {
            out += tool_run(line, env, folder);
        }
    }
    return out;
}

std::string files_left(const std::string &folder) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    std::string out;
    for (const std::string &name : names)
        out += "file left: " + name + "\n";
    return out;
}

static bool updating() {
    const char *update = std::getenv("VORN_UPDATE_EXAMPLES");
    return update && *update == '1';
}

void expect_golden(const std::string &name, const std::string &actual) {
    const std::string path = std::string(VORN_SOURCE_DIR) + "/tests/golden/" + name;
    if (updating())
        write_file(path, actual);
    const std::string expected = read_file(path);
    size_t line = 1, at = 0;
    for (size_t i = 0; i < std::min(expected.size(), actual.size()) && expected[i] == actual[i];
         ++i)
        if (expected[i] == '\n')
            line++, at = i + 1;
    auto line_of = [at](const std::string &text) {
        return at >= text.size() ? "(end of text)" : text.substr(at, text.find('\n', at) - at);
    };
    EXPECT_TRUE(expected == actual)
        << name << " differs from the golden file at line " << line
        << "\n  golden: " << line_of(expected) << "\n  now:    " << line_of(actual)
        << "\n(VORN_UPDATE_EXAMPLES=1 rewrites " << path << ")";
}

void expect_example(const std::string &name, const std::string &bytes) {
    const std::string path = std::string(VORN_SOURCE_DIR) + "/examples/" + name;
    if (updating())
        write_file(path, bytes);
    EXPECT_TRUE(read_file(path) == bytes) << path << " is not what its builder makes";
}

} // namespace vorn::test
