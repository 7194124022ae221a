// vorn compile: compiles an ASCII configuration into the box's binary table.  A failure
// is reported as compilers do, "CONFIG:LINE: error: TEXT" with the line
// below it, so that editors jump to the line.
#include "command.h"
#include "conversion_reports.h"
#include "file_checks.h"
#include "internal_api.h"
#include "messages.h"
#include "vorn_b32.h"

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
    if (job.listings && vorn::tool::shown_names(job.config) != job.config)
        return vorn::tool::usage_error("compile", "--listings are written beside a CONFIG file, "
                                                  "not beside standard input");
    if (const int code = check_job_files(job))
        return code;

    if (vorn::api::tool_name()[0] == '\0')
        set_tool_name(kCompilerToolName);
    set_optimize_files(job.listings ? 1 : 0);

    const vorn::api::Outcome done = vorn::api::compile_config(job.config, job.table);
    if (done.result != VORN_CONF_OK) {
        vorn::tool::report_compile_failure(job.config, done.result, done.message);
        return 1;
    }
    vorn::tool::note(std::string(job.config) + " -> " + job.table);
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("compile", {{"CONFIG", Kind::InText}, {"TABLE", Kind::OutFile}},
             {{"--listings", 0, Kind::Flag, nullptr,
               "also write CONFIG's .map and .del listings beside it"}},
             "compile an ASCII configuration into a binary table",
             "A failure is reported as \"CONFIG:LINE: error: TEXT\" with the line below it.\n",
             &run_compile);
