// vorn trace: turns a protocol trace fetched from the box into text, one line per
// record, and on request writes its D-channel frames as a pcapng capture
// for Wireshark and tshark.
#include "command.h"
#include "file_checks.h"
#include "messages.h"
#include "temp_files.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct TraceJob {
    const char *trace = nullptr;
    const char *text = nullptr;
    const char *label = nullptr;
    const char *pcapng = nullptr;
};

// The library's words for the file that failed, else its message.
int report_trace_failure(const vorn::api::Outcome &done) {
    return vorn::tool::library_failed(done.failed.empty() ? done.message : done.failed[0].why,
                                      done.result);
}

int run_trace(const vorn::tool::Args &args) {
    TraceJob job;
    job.trace = args.operand(0);
    job.text = args.operand(1);
    job.label = args.value("--label");
    job.pcapng = args.value("--pcapng");
    if (!vorn::tool::job_files_ok({job.trace}, {job.text, job.pcapng}))
        return 1;
    if (job.pcapng != nullptr && vorn::tool::same_output(job.text, job.pcapng))
        return vorn::tool::usage_error("trace", "OUT.txt and OUT.pcapng must be two files");

    // An empty file would pass every kind's check and leave an output that
    // says nothing: refuse it before anything is written.
    if (uint64_t size = 0; vorn::api::file_size(job.trace, &size) && size == 0)
        return vorn::tool::job_failed(std::string(job.trace) +
                                      " is empty: the box has written no trace records into it, "
                                      "so nothing was converted");
    std::string why;
    if (!vorn::api::input_is(job.trace, vorn::api::InputKind::Trace, why))
        return vorn::tool::job_failed(why);

    // The library's copy of the trace goes to the temporary folder.
    vorn::tool::use_temporary_folder();
    vorn::api::TraceStats stats;
    // The text and the capture go in place together once the job succeeded.
    vorn::api::Publication outputs;
    const vorn::api::Outcome done =
        vorn::api::protocol_trace(job.trace, job.text, job.label, job.pcapng, &stats);
    if (job.label != nullptr && done.ok && vorn::api::console_progress_shown())
        std::fputc('\n', stderr); // ends the countdown of a conversion that ran
    if (vorn::tool::say_copy_failure(done, job.trace))
        return 1;
    if (!done.ok) {
        report_trace_failure(done);
        vorn::tool::add_system_reason(done.error);
        return 1;
    }
    if (!outputs.publish())
        return vorn::tool::publish_failed(outputs);
    std::string line = std::string(job.trace) + ": " + std::to_string(stats.records) +
                       (stats.records == 1 ? " record" : " records") + " converted to " + job.text;
    if (stats.invalid_data)
        line += " up to invalid data (result 1)";
    if (job.pcapng != nullptr)
        line += std::string("; D-channel frames written to ") + job.pcapng;
    vorn::tool::note(line);
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("trace", {{"TRACE.bin", Kind::InFile}, {"OUT.txt", Kind::OutText}},
             {{"--label", 0, Kind::Word, "TEXT", "count the records down under this label"},
              {"--pcapng", 0, Kind::OutFile, "OUT.pcapng", "the D-channel frames as a capture"}},
             "convert a protocol trace into text, its frames into a capture",
             "The library's copy of TRACE.bin goes to $TMPDIR (else /tmp).  The countdown\n"
             "of --label is shown on standard error when it is a terminal.\n",
             &run_trace);
