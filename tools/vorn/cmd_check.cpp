// vorn check: reads a configuration as `vorn compile` does but writes nothing, and
// reports every failing line rather than the first, then the warnings about
// lines whose content does not reach the table as written.  The exit code
// lets scripts and editors use it as a compiler: 0 clean, 1 errors (or
// warnings with --werror).
#include "command.h"
#include "conversion_reports.h"
#include "file_checks.h"
#include "internal_api.h"
#include "messages.h"
#include "vorn_b32.h"

#include <string>

namespace {

int run_check(const vorn::tool::Args &args) {
    const char *config = args.operand(0);
    if (!vorn::tool::job_files_ok({config}, {}))
        return 1;
    set_optimize_files(0); // no listings: the check writes no file
    const vorn::api::ConfigCheck check = vorn::api::check_config(config, true, false);
    vorn::tool::report_findings(config, check);
    const bool failed = check.result != VORN_CONF_OK || check.errors() > 0 ||
                        (args.flag("--werror") && check.warnings() > 0);
    if (!check.findings.empty() && !vorn::tool::quiet())
        vorn::tool::say_error(std::string(config) + ": " + vorn::tool::findings_count(check) +
                              "\n");
    return failed ? 1 : 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("check", {{"CONFIG", Kind::InText}},
             {{"--werror", 0, Kind::Flag, nullptr, "warnings fail the check too"}},
             "report every error and warning of an ASCII configuration",
             "Nothing is written.  Each finding reads \"CONFIG:LINE:COLUMN: error: TEXT\"\n"
             "(or warning:) with the line and a caret below; a count closes the list.\n"
             "Exit code 0 when no line fails, 1 when one does or, with --werror, when\n"
             "there is a warning.\n",
             &run_check);
