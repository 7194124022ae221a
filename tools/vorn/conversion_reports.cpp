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

std::string quoted(const char *path) {
    return std::string("\"") + path + "\"";
}

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

std::string decompile_failure_text(int result, const char *table, const char *config) {
    std::string why;
    switch (result) {
    case VORN_CONF_CANNOT_READ:
        why = quoted(table) + " is not a binary table that can be read (missing, too short or "
                              "damaged)";
        break;
    case VORN_CONF_TOO_MANY:
        why = quoted(table) + " names more maps than a table holds";
        break;
    case VORN_CONF_WRONG_FORMAT:
        why = quoted(table) + " is not a table of format TF01.5";
        break;
    case VORN_CONF_CANNOT_WRITE:
        why = "cannot write " + quoted(config);
        break;
    case VORN_CONF_NO_MEMORY:
        why = "not enough memory";
        break;
    case VORN_CONF_WRITE_FAILED:
        why = quoted(table) + " does not add up: its map count differs from the maps it holds";
        break;
    default:
        why = "cannot decompile " + quoted(table);
        break;
    }
    return why + " (result " + std::to_string(result) + ": " + vorn::api::error_text(-result) + ")";
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
