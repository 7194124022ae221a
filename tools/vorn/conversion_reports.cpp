// The tool's reports of failed table conversions, shared by the commands
// that compile and decompile.
#include "conversion_reports.h"

#include "diagnostics.h"
#include "messages.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstdlib>

namespace vorn::tool {

namespace {

// The physical line `number` of `path` as written, without its line end.
std::string config_line(const char *path, long number) {
    std::FILE *file = std::fopen(path, "r");
    if (file == nullptr)
        return {};
    std::string line;
    long current = 1;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c == '\n') {
            if (current++ == number)
                break;
            continue;
        }
        if (current == number && c != '\r')
            line += static_cast<char>(c);
    }
    std::fclose(file);
    return line;
}

} // namespace

void report_compile_failure(const char *config, const vorn::api::Outcome &done) {
    const int result = done.result, line = done.line;
    const std::string &message = done.message;
    const char *words = vorn::api::mkconf_result_words(result);
    // The check reads the file as the compile did and names the word of the
    // failing line; the driver's own words stand where it cannot.
    const api::ConfigCheck check =
        line > 0 ? api::check_config(config, false, false) : api::ConfigCheck{};
    FileFindings findings = refusal(config, result, message, "");
    if (line > 0 && check.result == result) {
        findings = shown_findings(shown_names(config), check, WarningSwitches{});
    } else if (line > 0) {
        findings.findings.resize(1);
        findings.findings[0].finding.line = line;
        findings.findings[0].finding.source = config_line(config, line);
    }
    print_findings(findings);
    say_error(std::string("vorn: error: compile failed: ") + words + " (result " +
              std::to_string(result) + ")\n");
}

std::string difference_text(const api::RecordDifference &difference, const char *table) {
    const api::RecordDifference &d = difference;
    if (d.expected == "-")
        return d.field + " " + d.actual + ": the text adds it";
    if (d.actual == "-")
        return d.field + " " + d.expected + ": the text leaves it out";
    const std::string what = d.field == "map" ? "map " + d.expected : d.field;
    const std::string held =
        d.field == "map" ? "" : std::string(table) + " holds " + d.expected + ", ";
    return what + ": " + held + "the text gives " + d.actual;
}

} // namespace vorn::tool
