// vorn compile: compiles an ASCII configuration into the box's binary table.  The first
// failing line ends the job, as in the box's own compiler; it and the
// warnings of the lines before are reported as C compilers do,
// "CONFIG:LINE:COLUMN: error: TEXT" with the line and a caret below, so that
// editors jump to them.  The table is written by mkconf's own writer from
// the table the check read, so it is byte for byte mkconf's.
#include "command.h"
#include "conversion_reports.h"
#include "diagnostics.h"
#include "file_checks.h"
#include "messages.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"
#include "warning_switches.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The tool name under which the compiler shows its version and progress.
constexpr const char *kCompilerToolName = "WCFG2BIN";

struct CompileJob {
    const char *config = nullptr;
    const char *table = nullptr;
    bool listings = false;
};

// The listings are written beside the configuration under its name with
// .map and .del; none of the outputs may be the configuration, and no
// listing the table.  0, or 1 when the job cannot go on (the user is told).
int check_job_files(const CompileJob &job) {
    char map_name[4096], del_name[4096];
    const bool names_fit = std::strlen(job.config) < sizeof map_name;
    if (job.listings && names_fit) {
        make_fname(job.config, map_name, ".map");
        make_fname(job.config, del_name, ".del");
    }
    const char *map_path = job.listings && names_fit ? map_name : nullptr;
    const char *del_path = job.listings && names_fit ? del_name : nullptr;
    if (!vorn::tool::job_files_ok({job.config}, {job.table, map_path, del_path}))
        return 1;
    for (const char *listing : {map_path, del_path})
        if (listing != nullptr && std::strcmp(listing, job.table) == 0)
            return vorn::tool::job_failed(std::string("the table \"") + job.table +
                                          "\" would be overwritten by a listing; name it "
                                          "differently");
    return 0;
}

int run_compile(const vorn::tool::Args &args) {
    CompileJob job;
    job.config = args.operand(0);
    job.table = args.operand(1);
    job.listings = args.flag("--listings");
    vorn::tool::WarningSwitches switches;
    if (const int code = vorn::tool::read_switches(args, "compile", switches); code >= 0)
        return code;
    if (job.listings && vorn::tool::shown_names(job.config) != job.config)
        return vorn::tool::usage_error("compile", "--listings are written beside a CONFIG file, "
                                                  "not beside standard input");
    if (const int code = check_job_files(job))
        return code;

    if (vorn::api::tool_name()[0] == '\0')
        set_tool_name(kCompilerToolName);
    set_optimize_files(job.listings ? 1 : 0);
    // The listings, written while the configuration is read, and the table
    // go in place together once the table is written.
    vorn::api::Publication outputs;
    const vorn::api::ConfigCheck check = vorn::api::check_config(job.config, false, true);
    const vorn::tool::FileFindings found =
        vorn::tool::shown_findings(vorn::tool::shown_names(job.config), check, switches);
    vorn::tool::print_findings(found);
    const int result = check.result;
    if (result != VORN_CONF_OK) {
        vorn::tool::job_failed(std::string("compile failed: ") +
                               vorn::api::mkconf_result_words(result) + " (result " +
                               std::to_string(result) + ")");
        vorn::tool::add_system_reason(check.error);
        return 1;
    }
    if (found.errors > 0)
        return vorn::tool::job_failed("compile failed: " + std::to_string(found.errors) +
                                      (found.errors == 1 ? " error" : " errors") +
                                      "; no table written");
    const vorn::api::Outcome done = vorn::api::write_checked_table(check, job.table);
    if (!done.ok) {
        vorn::tool::report_compile_failure(job.config, done);
        vorn::tool::add_system_reason(done.error);
        return 1;
    }
    // A listing that could not be made is left out by the library; asked
    // for by name here, it fails the job, and the older listings stay.
    std::string missing;
    for (const char *extension : {".map", ".del"}) {
        char listing[4096];
        if (job.listings && std::strlen(job.config) < sizeof listing &&
            !outputs.holds(make_fname(job.config, listing, extension)))
            missing += std::string(missing.empty() ? "\"" : ", \"") + listing + "\"";
    }
    if (!missing.empty())
        return vorn::tool::job_failed("cannot create the listings " + missing +
                                      "; no output written");
    if (!outputs.publish())
        return vorn::tool::publish_failed(outputs);
    vorn::tool::note(std::string(job.config) + " -> " + job.table);
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("compile", {{"CONFIG", Kind::InText}, {"TABLE", Kind::OutFile}},
             {{"--listings", 0, Kind::Flag, nullptr,
               "also write CONFIG's .map and .del listings beside it"},
              vorn::tool::warning_option(),
              vorn::tool::werror_option()},
             "compile an ASCII configuration into a binary table",
             "The first error ends the job; no table is written when a finding is an\n"
             "error.  Findings are reported as \"CONFIG:LINE:COLUMN: error: TEXT\" with\n"
             "the line and a caret below; \"vorn check\" lists every error.  The -W\n"
             "switches work as in \"vorn check\": -Wno-error=NAME writes the table of a\n"
             "file whose only errors are findings of that name.\n",
             &run_compile);
