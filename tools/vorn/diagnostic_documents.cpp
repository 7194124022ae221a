// The findings as one JSON document and as SARIF 2.1.0 (see diagnostics.h),
// both written with nlohmann-json.  Columns count characters, as in the
// text form; an end column is the column behind the last character, so an
// insertion has its end at its start.  Text that is no valid UTF-8 is
// written with U+FFFD in place of the bytes that are not.
#include "diagnostics.h"

#include "vorn_tool/api.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace vorn::tool {

namespace {

using nlohmann::ordered_json;

const char *severity_word(api::Severity s) {
    return s == api::Severity::Error ? "error" : s == api::Severity::Warning ? "warning" : "note";
}

int column(const ShownFinding &f, int byte_column) {
    return api::display_column(f.finding.source, byte_column);
}

std::string dump(const ordered_json &document) {
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

ordered_json json_finding(const ShownFinding &f) {
    const api::Finding &x = f.finding;
    ordered_json j;
    j["name"] = x.name.empty() ? ordered_json() : ordered_json(x.name);
    j["severity"] = severity_word(f.severity);
    j["line"] = x.line;
    j["column"] = x.column > 0 ? column(f, x.column) : 0;
    j["end_column"] = x.column > 0 ? column(f, x.column + x.length) : 0;
    j["message"] = x.text;
    if (x.fix_column > 0)
        j["fixit"] = {{"column", column(f, x.fix_column)},
                      {"end_column", column(f, x.fix_column + x.fix_length)},
                      {"replacement", x.fix_text}};
    return j;
}

// A file name as a URI reference: characters outside the unreserved ones
// and "/" are percent-encoded ("<stdin>" becomes "%3Cstdin%3E").
std::string uri_path(const std::string &path) {
    static const char *hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("-._~/", c) != nullptr) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

ordered_json artifact_location(const std::string &file) {
    if (!file.empty() && file[0] == '/')
        return {{"uri", "file://" + uri_path(file)}};
    return {{"uri", uri_path(file)}, {"uriBaseId", "PWD"}};
}

ordered_json region(int line, int start, int end) {
    ordered_json r = {{"startLine", line}};
    if (start > 0) {
        r["startColumn"] = start;
        r["endColumn"] = end;
    }
    return r;
}

ordered_json sarif_result(const FileFindings &file, const ShownFinding &f) {
    const api::Finding &x = f.finding;
    const std::string option = api::switch_of(x.name, f.severity);
    ordered_json result;
    result["ruleId"] = !option.empty()  ? option
                       : x.name.empty() ? std::string(severity_word(f.severity))
                                        : "-W" + x.name;
    result["level"] = severity_word(f.severity);
    result["message"] = {{"text", x.text}};
    ordered_json physical = {{"artifactLocation", artifact_location(file.file)}};
    if (x.line > 0) {
        const int start = x.column > 0 ? column(f, x.column) : 0;
        physical["region"] =
            region(x.line, start, x.column > 0 ? column(f, x.column + x.length) : 0);
        physical["contextRegion"] = {{"startLine", x.line},
                                     {"snippet", {{"text", x.source + "\n"}}}};
    }
    result["locations"] = ordered_json::array({{{"physicalLocation", physical}}});
    if (x.fix_column > 0) {
        const ordered_json replacement = {
            {"deletedRegion",
             region(x.line, column(f, x.fix_column), column(f, x.fix_column + x.fix_length))},
            {"insertedContent", {{"text", x.fix_text}}}};
        result["fixes"] = ordered_json::array(
            {{{"artifactChanges",
               ordered_json::array({{{"artifactLocation", artifact_location(file.file)},
                                     {"replacements", ordered_json::array({replacement})}}})}}});
    }
    return result;
}

} // namespace

std::string findings_json(const std::vector<FileFindings> &files) {
    ordered_json document;
    document["files"] = ordered_json::array();
    int errors = 0, warnings = 0;
    for (const FileFindings &file : files) {
        ordered_json findings = ordered_json::array();
        for (const ShownFinding &f : file.findings)
            findings.push_back(json_finding(f));
        document["files"].push_back({{"file", file.file},
                                     {"errors", file.errors},
                                     {"warnings", file.warnings},
                                     {"notes", file.notes},
                                     {"findings", findings}});
        errors += file.errors;
        warnings += file.warnings;
    }
    document["errors"] = errors;
    document["warnings"] = warnings;
    return dump(document);
}

std::string findings_sarif(const std::vector<FileFindings> &files, bool successful) {
    ordered_json run;
    run["tool"] = {{"driver",
                    {{"name", "vorn"},
                     {"fullName", std::string("vorn ") + VORN_TOOL_VERSION},
                     {"version", VORN_TOOL_VERSION},
                     {"rules", ordered_json::array()}}}};
    run["invocations"] =
        ordered_json::array({{{"executionSuccessful", successful},
                              {"toolExecutionNotifications", ordered_json::array()}}});
    std::error_code error;
    std::string cwd = std::filesystem::current_path(error).generic_string();
    if (!cwd.empty() && cwd.back() != '/')
        cwd += '/';
    run["originalUriBaseIds"] = {{"PWD", {{"uri", "file://" + uri_path(cwd)}}}};
    ordered_json artifacts = ordered_json::array(), results = ordered_json::array();
    for (const FileFindings &file : files) {
        artifacts.push_back({{"location", artifact_location(file.file)},
                             {"contents", {{"text", file.source}}},
                             {"sourceLanguage", "vorn-config"}});
        for (const ShownFinding &f : file.findings)
            results.push_back(sarif_result(file, f));
    }
    run["artifacts"] = artifacts;
    run["results"] = results;
    run["columnKind"] = "unicodeCodePoints";
    ordered_json document;
    document["$schema"] = "https://raw.githubusercontent.com/oasis-tcs/sarif-spec/master/Schemata/"
                          "sarif-schema-2.1.0.json";
    document["version"] = "2.1.0";
    document["runs"] = ordered_json::array({run});
    return dump(document);
}

} // namespace vorn::tool
