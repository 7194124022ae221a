// Appends the text report of a fetched event log to REPORT.txt, or, without
// a report, only checks that the log can be converted.
#include "command.h"
#include "file_checks.h"
#include "messages.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int run_alarm(const vorn::tool::Args &args) {
    const char *source = args.value("--source");
    const char *headline = args.value("--headline");
    const char *log = args.operand(0);
    const char *report = args.operand(1);
    if (!vorn::tool::job_files_ok({log}, {report}))
        return 1;
    std::string why;
    if (!vorn::api::input_is(log, vorn::api::InputKind::EventLog, why))
        return vorn::tool::job_failed(why);
    vorn::api::AlarmStats stats;
    const vorn::api::Outcome done = vorn::api::alarm_report(report, log, source, headline, &stats);
    const int result = done.result;
    if (result < 0) {
        vorn::tool::library_failed(done.message, result);
        vorn::tool::add_system_reason(done.error);
        // Without a report nothing is written: the host's message names the
        // missing report, and the log is what failed.
        if (report == nullptr && done.error == 0)
            vorn::tool::job_failed(std::string("\"") + log +
                                   "\" cannot be converted as an event log");
        return 1;
    }
    std::string line = std::string(log) + ": " + std::to_string(stats.events) +
                       (stats.events == 1 ? " event" : " events");
    if (stats.invalid != 0)
        line += " (" + std::to_string(stats.invalid) + " invalid)";
    if (report)
        vorn::tool::note(line + " converted; report appended to " + report);
    else
        vorn::tool::note(line + "; the event log can be converted (result " +
                         std::to_string(result) + ")");
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("alarm", {{"LOG.bin", Kind::InFile}, {"REPORT.txt", Kind::OutText, true}},
             {{"--source", 0, Kind::Word, "TEXT", "where the log came from, for the report's head"},
              {"--headline", 0, Kind::Word, "TEXT", "the report's headline"}},
             "append the text report of an event log, or check the log",
             "Without REPORT.txt the log is only converted, to see that it can be.\n", &run_alarm);
