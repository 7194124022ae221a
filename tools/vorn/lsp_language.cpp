// The language server's door to the library (see lsp_language.h): each
// function turns one entry of the library's language service into the
// server's own types.
#include "lsp_language.h"

#include "vorn_tool/api.h"

namespace vorn::tool::lsp {

namespace {

Severity severity_of(vorn::api::Severity severity) {
    return severity == vorn::api::Severity::Error  ? Severity::Error
           : severity == vorn::api::Severity::Note ? Severity::Note
                                                   : Severity::Warning;
}

KeyHelp help_of(const vorn::api::KeyDocumentation &d) {
    return {d.key, d.form, d.summary, d.range};
}

} // namespace

Analysis analyse(const std::string &text) {
    const vorn::api::TextCheckResult check = vorn::api::check_text(text, true);
    Analysis out;
    out.compiled = check.compiled;
    for (const vorn::api::TextFinding &f : check.findings)
        out.findings.push_back({f.line, f.column, f.length, severity_of(f.severity), f.name, f.text,
                                f.fix_column, f.fix_length, f.fix_text});
    if (out.findings.empty() && check.result != 0)
        out.findings.push_back({0, 0, 0, Severity::Error, "", check.message, 0, 0, ""});
    for (const vorn::api::HeadingCoverage &h : check.headings) {
        Heading heading{h.read, h.hour, h.minute, h.days, {}};
        for (const vorn::api::CoveredSpan &s : h.covered)
            heading.covered.push_back({s.day, s.from, s.to});
        out.headings[h.line] = std::move(heading);
    }
    for (const vorn::api::RemovedLine &r : check.removed)
        out.removed[r.line] = {r.kept_line, r.kept_text};
    return out;
}

LineWord classify(const std::string &line) {
    const vorn::api::LineKey key = vorn::api::line_key(line);
    static constexpr Role kRoles[] = {Role::Blank,   Role::Comment, Role::Setting,
                                      Role::Heading, Role::Map,     Role::Unknown};
    return {kRoles[static_cast<int>(key.role)], key.column, key.length};
}

std::vector<KeyHelp> key_helps() {
    std::vector<KeyHelp> helps;
    for (const vorn::api::KeyDocumentation &d : vorn::api::key_documentation())
        helps.push_back(help_of(d));
    return helps;
}

bool key_help(const std::string &word, KeyHelp &out) {
    vorn::api::KeyDocumentation d;
    if (!vorn::api::documentation_of(word, d))
        return false;
    out = help_of(d);
    return true;
}

std::vector<std::string> service_words() {
    return vorn::api::service_word_list();
}

std::vector<std::string> day_names() {
    return vorn::api::day_name_list();
}

} // namespace vorn::tool::lsp
