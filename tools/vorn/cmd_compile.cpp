// vorn compile CONFIG TABLE [--quiet] [--listings]
//
// Compiles an ASCII configuration into the box's binary table.  A failure
// is reported as compilers do, "CONFIG:LINE: error: TEXT" with the line
// below it, so that editors jump to the line.
#include "command.h"
#include "conversion_reports.h"
#include "file_checks.h"
#include "internal_api.h"
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
    bool quiet = false;
    bool listings = false;
};

// Reads the command line into `job`; 0, or the exit code of a usage error.
int parse_compile_args(int argc, char **argv, CompileJob &job) {
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--quiet") == 0) {
            job.quiet = true;
        } else if (std::strcmp(arg, "--listings") == 0) {
            job.listings = true;
        } else if (std::strncmp(arg, "--", 2) == 0) {
            return vorn::tool::unknown_option("compile", arg);
        } else if (file_count < 2) {
            files[file_count++] = arg;
        } else {
            return vorn::tool::usage_error("compile", "too many files");
        }
    }
    if (file_count < 2)
        return vorn::tool::usage_error("compile", "needs CONFIG and TABLE");
    job.config = files[0];
    job.table = files[1];
    return 0;
}

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

int run_compile(int argc, char **argv) {
    CompileJob job;
    if (const int code = parse_compile_args(argc, argv, job))
        return code;
    if (const int code = check_job_files(job))
        return code;

    if (vorn::api::tool_name()[0] == '\0')
        set_tool_name(kCompilerToolName);
    vorn::api::set_console_quiet(job.quiet);
    set_optimize_files(job.listings ? 1 : 0);

    const vorn::api::Outcome done = vorn::api::compile_config(job.config, job.table);
    if (done.result != VORN_CONF_OK) {
        vorn::tool::report_compile_failure(job.config, done.result, done.message);
        return 1;
    }
    if (!job.quiet)
        std::printf("%s -> %s\n", job.config, job.table);
    return 0;
}

} // namespace

VORN_COMMAND("compile", "compile CONFIG TABLE [--quiet] [--listings]",
             "compile an ASCII configuration into a binary table", &run_compile);
