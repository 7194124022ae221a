// The compiler-style form of the check's records, as a technician knows it
// from C compilers: "box.cfg:12:5: warning: TEXT", the line itself and a
// caret under the word it is about, so that an editor can jump to it.
#include "conf/check.h"

#include <cstdio>

namespace vorn {

namespace {

// Line `number` (1, 2, ...) of `source` without its line end, or nullptr.
bool source_line(const std::string &source, int number, std::string *out) {
    size_t begin = 0;
    for (int n = 1; n < number; ++n) {
        begin = source.find('\n', begin);
        if (begin == std::string::npos)
            return false;
        ++begin;
    }
    if (number < 1 || begin >= source.size())
        return false;
    size_t end = source.find('\n', begin);
    *out = source.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (!out->empty() && out->back() == '\r')
        out->pop_back();
    return true;
}

} // namespace

std::string format_diagnostic(const std::string &config_name, const std::string &source,
                              const Diagnostic &d) {
    const char *kind = d.severity == Severity::Error ? "error" : "warning";
    std::string out = config_name;
    if (d.line > 0) {
        out.append(":").append(std::to_string(d.line));
        if (d.column > 0)
            out.append(":").append(std::to_string(d.column));
    }
    out.append(": ").append(kind).append(": ").append(d.text).append("\n");
    std::string text;
    if (d.line < 1 || !source_line(source, d.line, &text))
        return out;
    out.append(" ").append(text).append("\n");
    if (d.column < 1)
        return out;
    // Tabs stay tabs under the line, so the caret stands under its word.
    std::string marks = " ";
    for (int i = 0; i + 1 < d.column && i < static_cast<int>(text.size()); ++i)
        marks += text[static_cast<size_t>(i)] == '\t' ? '\t' : ' ';
    marks += '^';
    if (d.length > 1)
        marks += std::string(static_cast<size_t>(d.length - 1), '~');
    return out + marks + "\n";
}

std::string format_report(const std::string &config_name, const std::string &source,
                          const CheckReport &report) {
    std::string out;
    for (const Diagnostic &d : report.diagnostics)
        out += format_diagnostic(config_name, source, d);
    if (!report.note.empty())
        out += config_name + ": note: " + report.note + "\n";
    const int e = report.errors();
    const int w = report.warnings();
    out.append(std::to_string(e)).append(e == 1 ? " error, " : " errors, ");
    out.append(std::to_string(w)).append(w == 1 ? " warning\n" : " warnings\n");
    return out;
}

} // namespace vorn
