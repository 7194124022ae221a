// vorn alarm LOG.bin [REPORT.txt] [--source TEXT] [--headline TEXT]
//
// Appends the text report of a fetched event log to REPORT.txt, or, without
// a report, only checks that the log can be converted.
#include "command.h"
#include "file_checks.h"
#include "internal_api.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int run_alarm(int argc, char **argv) {
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    const char *source = nullptr;
    const char *headline = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--source") == 0 || std::strcmp(arg, "--headline") == 0) {
            if (i + 1 >= argc)
                return vorn::tool::usage_error("alarm",
                                               (std::string(arg) + " needs a TEXT").c_str());
            (arg[2] == 's' ? source : headline) = argv[++i];
        } else if (std::strncmp(arg, "--", 2) == 0) {
            return vorn::tool::unknown_option("alarm", arg);
        } else if (file_count < 2) {
            files[file_count++] = arg;
        } else {
            return vorn::tool::usage_error("alarm", "alarm takes at most LOG.bin and REPORT.txt");
        }
    }
    if (file_count == 0)
        return vorn::tool::usage_error("alarm", "alarm needs the event log LOG.bin");

    const char *log = files[0];
    const char *report = files[1];
    if (!vorn::tool::job_files_ok({log}, {report}))
        return 1;
    const vorn::api::Outcome done = vorn::api::alarm_report(report, log, source, headline);
    const int result = done.result;
    if (result < 0)
        return vorn::tool::library_failed(done.message, result);
    if (report)
        std::printf("%s: report appended to %s\n", log, report);
    else
        std::printf("%s: event log can be converted (result %d)\n", log, result);
    return 0;
}

} // namespace

VORN_COMMAND("alarm", "alarm LOG.bin [REPORT.txt] [--source TEXT] [--headline TEXT]",
             "append the text report of an event log, or check the log", &run_alarm);
