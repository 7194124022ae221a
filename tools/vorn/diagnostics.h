// The findings of the configurations a command read, as the user sees
// them: every finding with the severity the warning switches give it (or
// left out), the refusal of a file that names no line turned into findings
// of the file, and the counts.  Printed as a compiler prints (text), or as
// one JSON or SARIF document for CI and editors (diagnostic_documents.cpp).
#pragma once

#include "vorn_tool/api.h"
#include "warning_switches.h"

#include <string>
#include <vector>

namespace vorn::tool {

struct ShownFinding {
    api::Finding finding;
    api::Severity severity; // as shown
};

struct FileFindings {
    std::string file;   // as the user named it
    std::string source; // the whole text as read, for the SARIF artifact
    std::vector<ShownFinding> findings;
    int errors = 0, warnings = 0, notes = 0;
};

// The findings of `check` of the file `shown` (its name for the user) under
// `switches`.
FileFindings shown_findings(const std::string &shown, const api::ConfigCheck &check,
                            const WarningSwitches &switches);

// A refusal of the library for `shown` that names no finding: the kind of
// error, the lines of the library's message and the cause (may be "").
FileFindings refusal(const std::string &shown, int result, const std::string &message,
                     const std::string &cause);

// Prints the findings of `file` to standard error as a compiler does.
void print_findings(const FileFindings &file);

// The findings of one file as a compiler prints them, in line order.
std::string findings_text(const FileFindings &file, bool colour);

// "FILE: N errors, M warnings" (and ", K notes" where there are notes).
std::string findings_count(const FileFindings &file);

// One JSON document of the files' findings; see doc/vorn.1.
std::string findings_json(const std::vector<FileFindings> &files);
// SARIF 2.1.0 of the files' findings, in the form GCC writes it.
std::string findings_sarif(const std::vector<FileFindings> &files, bool successful);

} // namespace vorn::tool
