// vorn check: reads configurations as `vorn compile` does but writes nothing,
// and reports every finding of each file rather than the first error, in
// line order, as a compiler does, or as one JSON or SARIF document for CI
// and editors.  GCC's -W switches choose what is shown and what fails.  The
// exit code lets scripts and editors use it as a compiler: 0 when no file
// has an error, 1 when one has.
#include "command.h"
#include "diagnostics.h"
#include "file_checks.h"
#include "messages.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"
#include "warning_switches.h"

#include <cstdio>
#include <string>

namespace {

namespace api = vorn::api;
namespace tool = vorn::tool;

int run_check(const tool::Args &args) {
    tool::WarningSwitches switches;
    if (const int code = tool::read_switches(args, "check", switches); code >= 0)
        return code;
    const std::string format = args.value("--format") != nullptr ? args.value("--format") : "text";
    if (format != "text" && format != "json" && format != "sarif")
        return tool::usage_error("check", "--format is text, json or sarif, not '" + format + "'");
    set_optimize_files(0); // no listings: the check writes no file
    std::vector<tool::FileFindings> files;
    bool failed = false;
    for (const std::string &config : args.operands) {
        if (!tool::job_files_ok({config.c_str()}, {})) {
            failed = true;
            // The documents name every file given, this one with its refusal.
            files.push_back(tool::refusal(tool::shown_names(config), VORN_CONF_CANNOT_READ, "",
                                          "the file cannot be read"));
            continue;
        }
        const api::ConfigCheck check = api::check_config(config.c_str(), true, false);
        tool::FileFindings found = tool::shown_findings(tool::shown_names(config), check, switches);
        failed |= found.errors > 0 || check.result != VORN_CONF_OK;
        if (format == "text") {
            tool::print_findings(found);
            if (!found.findings.empty() && !tool::quiet())
                tool::say_error(tool::findings_count(found));
        } else if (format == "sarif") {
            api::read_whole_file(config.c_str(), found.source);
        }
        files.push_back(std::move(found));
    }
    if (format == "json")
        std::fputs(tool::findings_json(files).c_str(), stdout);
    else if (format == "sarif")
        std::fputs(tool::findings_sarif(files, !failed).c_str(), stdout);
    return failed ? 1 : 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("check", {{"CONFIG", Kind::InText, false, true}},
             {vorn::tool::warning_option(),
              vorn::tool::werror_option(),
              {"--format", 0, Kind::Word, "FORMAT",
               "text (the default), json or sarif (on standard output)"}},
             "report every error and warning of ASCII configurations",
             "Nothing is written.  Each finding reads \"CONFIG:LINE:COLUMN: error: TEXT\n"
             "[-Werror=NAME]\" (or warning: ... [-WNAME], note:) with the line and a caret\n"
             "below, in line order; a count closes each file's list.  -WNAME, -Wno-NAME,\n"
             "-Werror, -Werror=NAME and -Wno-error=NAME work as in GCC on the names that\n"
             "vorn(1) lists.  --format=json writes one JSON document, --format=sarif\n"
             "SARIF 2.1.0, to standard output.  \"-\" reads standard input (once).\n"
             "Exit code 0 when no file has an error, 1 when one has.\n",
             &run_check);
