// The findings as the user sees them (see diagnostics.h).
#include "diagnostics.h"

#include "messages.h"
#include "vorn_b32.h"

#include <algorithm>

namespace vorn::tool {

namespace {

api::Finding file_finding(api::Severity severity, std::string text) {
    api::Finding f;
    f.severity = severity;
    f.text = std::move(text);
    return f;
}

// A refusal that names no line: the kind of error, the lines of the
// library's message beside it ("@" and line ends part them) and the cause.
void refusal_findings(int result, const std::string &message, const std::string &cause,
                      std::vector<ShownFinding> &out) {
    const std::string words = api::mkconf_result_words(result);
    out.push_back({file_finding(api::Severity::Error, words), api::Severity::Error});
    std::string line;
    for (char c : message + "\n") {
        if (c != '@' && c != '\n') {
            line += c;
            continue;
        }
        if (!line.empty() && line != words)
            out.push_back({file_finding(api::Severity::Note, line), api::Severity::Note});
        line.clear();
    }
    if (!cause.empty())
        out.push_back({file_finding(api::Severity::Note, cause), api::Severity::Note});
}

void count(FileFindings &file) {
    for (const ShownFinding &f : file.findings) {
        file.errors += f.severity == api::Severity::Error;
        file.warnings += f.severity == api::Severity::Warning;
        file.notes += f.severity == api::Severity::Note;
    }
}

} // namespace

FileFindings shown_findings(const std::string &shown, const api::ConfigCheck &check,
                            const WarningSwitches &switches) {
    FileFindings out;
    out.file = shown;
    bool line_refused = false;
    for (const api::Finding &f : check.findings) {
        if (f.line == 0 && f.name.empty())
            continue; // the refusal of the whole file: told below in its own words
        const std::optional<api::Severity> severity = switches.shown(f);
        if (!severity)
            continue;
        line_refused |= f.name.empty();
        out.findings.push_back({f, *severity});
    }
    if (check.result != VORN_CONF_OK && !line_refused)
        refusal_findings(check.result, check.message, check.note, out.findings);
    std::stable_sort(out.findings.begin(), out.findings.end(),
                     [](const ShownFinding &a, const ShownFinding &b) {
                         return a.finding.line < b.finding.line;
                     });
    count(out);
    return out;
}

FileFindings refusal(const std::string &shown, int result, const std::string &message,
                     const std::string &cause) {
    FileFindings out;
    out.file = shown;
    refusal_findings(result, message, cause, out.findings);
    count(out);
    return out;
}

void print_findings(const FileFindings &file) {
    say_error(findings_text(file, colour_wanted()));
}

std::string findings_text(const FileFindings &file, bool colour) {
    std::string text;
    for (const ShownFinding &f : file.findings) {
        api::FindingText t;
        t.file = file.file;
        t.line = f.finding.line;
        t.column = f.finding.column;
        t.length = f.finding.length;
        t.severity = f.severity;
        t.name = f.finding.name;
        t.text = f.finding.text;
        t.source = f.finding.source;
        text += api::format_finding(t, colour);
    }
    return text;
}

std::string findings_count(const FileFindings &file) {
    std::string line = file.file + ": " + api::count_line(file.errors, file.warnings);
    if (file.notes > 0)
        line += ", " + std::to_string(file.notes) + (file.notes == 1 ? " note" : " notes");
    return line + "\n";
}

} // namespace vorn::tool
