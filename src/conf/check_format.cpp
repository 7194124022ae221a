// The compiler-style form of the check's findings, as a technician knows it
// from C compilers: "box.cfg:12:5: warning: TEXT [-Wname]", the line itself
// and a caret under the word it is about, so that an editor can jump to it.
// The tool prints every finding through format_finding, whatever command
// found it.
#include "conf/check.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace vorn {

namespace {

// Where each line of `source` starts, found in one pass: the findings of a
// file are put to their lines in time linear in their number, rather than
// each searching from the first line.
std::vector<size_t> line_starts(const std::string &source) {
    std::vector<size_t> starts;
    for (size_t at = 0; at < source.size();) {
        starts.push_back(at);
        const size_t end = source.find('\n', at);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return starts;
}

// Line `number` (1, 2, ...) of `source` without its line end; false when
// it has none.
bool source_line(const std::string &source, const std::vector<size_t> &starts, int number,
                 std::string *out) {
    if (number < 1 || static_cast<size_t>(number) > starts.size())
        return false;
    const size_t begin = starts[static_cast<size_t>(number) - 1];
    const size_t end = source.find('\n', begin);
    *out = source.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (!out->empty() && out->back() == '\r')
        out->pop_back();
    return true;
}

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

const char *kind_word(Severity s) {
    return s == Severity::Error ? "error" : s == Severity::Warning ? "warning" : "note";
}

// GCC's colours: the place bold, the kind and its switch in the kind's
// colour, the caret green.
const char *kind_colour(Severity s) {
    return s == Severity::Error     ? "\033[01;31m"
           : s == Severity::Warning ? "\033[01;35m"
                                    : "\033[01;36m";
}

} // namespace

int display_column(const std::string &line, int byte_column) {
    if (byte_column < 1)
        return byte_column;
    int column = 1;
    for (size_t i = 0; i + 1 < static_cast<size_t>(byte_column) && i < line.size(); ++i)
        column += continuation(line[i]) ? 0 : 1;
    return column + std::max(0, byte_column - 1 - static_cast<int>(line.size()));
}

std::string switch_of(const std::string &name, Severity shown) {
    if (name.empty() || shown == Severity::Note)
        return "";
    return shown == Severity::Error ? "-Werror=" + name : "-W" + name;
}

std::string format_finding(const FindingText &f, bool colour) {
    const std::string bold = colour ? "\033[01m" : "", kind = colour ? kind_colour(f.severity) : "",
                      green = colour ? "\033[32m" : "", end = colour ? "\033[m" : "";
    std::string out = bold + f.file;
    if (f.line > 0) {
        out.append(":").append(std::to_string(f.line));
        if (f.column > 0)
            out.append(":").append(std::to_string(display_column(f.source, f.column)));
    }
    out.append(":" + end + " " + kind + kind_word(f.severity) + ":" + end + " ").append(f.text);
    if (const std::string option = switch_of(f.name, f.severity); !option.empty())
        out.append(" [" + kind + option + end + "]");
    out.append("\n");
    if (f.line < 1 || (f.source.empty() && f.column < 1))
        return out;
    out.append(" ").append(f.source).append("\n");
    if (f.column < 1)
        return out;
    // Tabs stay tabs under the line, so the caret stands under its word;
    // a character of many bytes takes one place.
    std::string marks = " ";
    for (int i = 0; i + 1 < f.column && i < static_cast<int>(f.source.size()); ++i)
        if (!continuation(f.source[static_cast<size_t>(i)]))
            marks += f.source[static_cast<size_t>(i)] == '\t' ? '\t' : ' ';
    marks += green + '^';
    int width = 0;
    for (int i = f.column; i < f.column + f.length - 1; ++i)
        width +=
            i < static_cast<int>(f.source.size()) && continuation(f.source[static_cast<size_t>(i)])
                ? 0
                : 1;
    marks += std::string(static_cast<size_t>(width), '~') + end;
    return out + marks + "\n";
}

namespace {

std::string format_indexed(const std::string &config_name, const std::string &source,
                           const std::vector<size_t> &starts, const Diagnostic &d) {
    FindingText f;
    f.file = config_name;
    f.line = d.line;
    f.column = d.column;
    f.length = d.length;
    f.severity = d.severity;
    f.name = finding_info(d.name).name;
    f.text = d.text;
    if (d.line > 0)
        source_line(source, starts, d.line, &f.source);
    return format_finding(f, false);
}

} // namespace

std::string format_diagnostic(const std::string &config_name, const std::string &source,
                              const Diagnostic &d) {
    return format_indexed(config_name, source, line_starts(source), d);
}

std::string format_report(const std::string &config_name, const std::string &source,
                          const CheckReport &report) {
    std::string out;
    const std::vector<size_t> starts = line_starts(source);
    for (const Diagnostic &d : report.diagnostics)
        out += format_indexed(config_name, source, starts, d);
    if (!report.note.empty())
        out += config_name + ": note: " + report.note + "\n";
    out += count_line(report.errors(), report.warnings());
    return out + "\n";
}

std::string count_line(int errors, int warnings) {
    return std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
           std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

} // namespace vorn
