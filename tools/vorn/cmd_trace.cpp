// vorn trace TRACE.bin OUT.txt [--label TEXT] [--pcapng OUT.pcapng]
//
// Turns a protocol trace fetched from the box into text, one line per
// record, and on request writes its D-channel frames as a pcapng capture
// for Wireshark and tshark.
#include "command.h"
#include "file_checks.h"
#include "internal_api.h"

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

// Reads the command line into `job`; 0, or the exit code of a usage error.
int parse_trace_args(int argc, char **argv, TraceJob &job) {
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--label") == 0 || std::strcmp(arg, "--pcapng") == 0) {
            if (i + 1 >= argc)
                return vorn::tool::usage_error(
                    "trace",
                    (std::string(arg) + (arg[2] == 'l' ? " needs a TEXT" : " needs a file"))
                        .c_str());
            (arg[2] == 'l' ? job.label : job.pcapng) = argv[++i];
        } else if (std::strncmp(arg, "--", 2) == 0) {
            return vorn::tool::unknown_option("trace", arg);
        } else if (file_count < 2) {
            files[file_count++] = arg;
        } else {
            return vorn::tool::usage_error("trace", "trace takes TRACE.bin and OUT.txt");
        }
    }
    if (file_count < 2)
        return vorn::tool::usage_error("trace", "trace needs TRACE.bin and OUT.txt");
    job.trace = files[0];
    job.text = files[1];
    return 0;
}

// The library's message in the user's words: the text file has the name
// given on the command line (the host's message calls it "DTRACE").
int report_trace_failure(const TraceJob &job, int result, std::string message) {
    if (result == -4 && message.find("\"DTRACE\"") != std::string::npos)
        message = std::string("Cannot Write \"") + job.text + "\"!";
    if (result == -19)
        message = std::string(job.trace) + " is empty";
    return vorn::tool::library_failed(message, result);
}

int run_trace(int argc, char **argv) {
    TraceJob job;
    if (const int code = parse_trace_args(argc, argv, job))
        return code;
    if (!vorn::tool::job_files_ok({job.trace}, {job.text, job.pcapng}))
        return 1;
    if (job.pcapng != nullptr && vorn::tool::same_output(job.text, job.pcapng))
        return vorn::tool::usage_error("trace", "OUT.txt and OUT.pcapng must be two files");

    const vorn::api::Outcome done =
        vorn::api::protocol_trace(job.trace, job.text, job.label, job.pcapng);
    const int result = done.result;
    if (job.label != nullptr && result >= 0)
        std::printf("\n"); // ends the progress line of a conversion that ran
    if (result < 0)
        return report_trace_failure(job, result, done.message);
    if (result == 1)
        std::printf("%s: converted to %s up to invalid data (result 1)\n", job.trace, job.text);
    else
        std::printf("%s: converted to %s\n", job.trace, job.text);
    if (job.pcapng != nullptr)
        std::printf("%s: D-channel frames written to %s\n", job.trace, job.pcapng);
    return 0;
}

} // namespace

VORN_COMMAND("trace", "trace TRACE.bin OUT.txt [--label TEXT] [--pcapng OUT.pcapng]",
             "convert a protocol trace into text, its frames into a capture", &run_trace);
