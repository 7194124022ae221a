// vorn calls: sorts a fetched call log and writes the box's call lists: one combined
// list in OUT.txt, or separate lists of outgoing, incoming and rejected
// calls; with --csv also a table of every record for spreadsheets.
#include "command.h"
#include "file_checks.h"
#include "messages.h"
#include "temp_files.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Every list needs a file of its own.
bool outputs_distinct(std::initializer_list<const char *> outputs) {
    for (auto a = outputs.begin(); a != outputs.end(); ++a) {
        for (auto b = a + 1; b != outputs.end(); ++b) {
            if (*a != nullptr && *b != nullptr && vorn::tool::same_output(*a, *b)) {
                vorn::tool::job_failed(std::string("\"") + *a + "\" and \"" + *b +
                                       "\" are one file; give each list its own");
                return false;
            }
        }
    }
    return true;
}

// The library's message, with the list it concerns; a failed sort has no
// message of its own.
int report_calls_failure(const vorn::api::CallListFiles &job, const vorn::api::Outcome &done) {
    std::string message = done.message;
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    if (message.empty())
        message = std::string("sorting the copy of \"") + job.binfile + "\" failed";
    for (const vorn::api::FailedFile &list : done.failed)
        if (list.path != job.binfile) // the message names the log itself
            message += " (" + list.path + ")";
    return vorn::tool::library_failed(message, done.result);
}

std::string count(uint64_t n, const char *what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// One line: the records read, the lines of each list (a list left out
// takes its lines into OUT.txt), the rejects and the records from the end
// mark on, which the box's format leaves unconverted: a warning that
// --quiet does not silence, as those calls are in no list.
void summarize(const vorn::api::CallListFiles &job, const vorn::api::LogcallStats &stats) {
    const uint64_t in = job.infile ? stats.incoming : 0;
    const uint64_t reject = job.rejectfile ? stats.rejected : 0;
    const uint64_t out = stats.outgoing + stats.incoming + stats.rejected - in - reject;
    std::string line = std::string(job.binfile) + ": " + count(stats.records, "record") +
                       " read; " + count(out, "line") + " in " + job.outfile;
    if (job.infile)
        line += ", " + std::to_string(in) + " in " + job.infile;
    if (job.rejectfile)
        line += ", " + std::to_string(reject) + " in " + job.rejectfile;
    if (job.csvfile)
        line += std::string(", the table in ") + job.csvfile;
    line += "; " + count(stats.rejected, "reject");
    std::string lost;
    if (stats.unconverted != 0)
        lost += "; " + count(stats.unconverted, "record") + " from the end mark on not converted";
    if (stats.tail_bytes != 0)
        lost += "; " + count(stats.tail_bytes, "byte") +
                " after the last whole record not converted (the log is cut short)";
    if (lost.empty())
        return vorn::tool::note(line);
    vorn::tool::say_error("vorn: warning: " + line + lost + "\n");
}

int run_calls(const vorn::tool::Args &args) {
    vorn::api::CallListFiles job;
    job.binfile = args.operand(0);
    job.outfile = args.operand(1);
    job.infile = args.value("--in");
    job.rejectfile = args.value("--reject");
    job.csvfile = args.value("--csv");
    if (!vorn::tool::job_files_ok({job.binfile},
                                  {job.outfile, job.infile, job.rejectfile, job.csvfile}) ||
        !outputs_distinct({job.outfile, job.infile, job.rejectfile, job.csvfile}))
        return 1;

    std::string why;
    if (!vorn::api::input_is(job.binfile, vorn::api::InputKind::CallLog, why))
        return vorn::tool::job_failed(why);

    // The copy of the log goes to the user's temporary folder, not to the
    // folder the tool was started in.
    vorn::tool::use_temporary_folder();
    vorn::api::LogcallStats stats;
    // The lists and the table go in place together, and only when all of
    // them were written: a failed run leaves every earlier one as it was.
    vorn::api::Publication outputs;
    const vorn::api::Outcome done = vorn::api::call_lists(job, &stats);
    if (vorn::tool::say_copy_failure(done, job.binfile))
        return 1;
    if (!done.ok) {
        report_calls_failure(job, done);
        vorn::tool::add_system_reason(done.error);
        return 1;
    }
    if (!outputs.publish())
        return vorn::tool::publish_failed(outputs);
    summarize(job, stats);
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("calls", {{"LOG.bin", Kind::InFile}, {"OUT.txt", Kind::OutText}},
             {{"--in", 0, Kind::OutText, "IN.txt", "incoming calls in a list of their own"},
              {"--reject", 0, Kind::OutText, "REJECT.txt", "rejected calls in a list of their own"},
              {"--csv", 0, Kind::OutText, "CALLS.csv", "every record as a table for spreadsheets"}},
             "sort a call log into call lists (and a CSV table)",
             "Without --in and --reject OUT.txt lists every call; with them it lists the\n"
             "outgoing calls.  The sorted copy of the log goes to $TMPDIR (else /tmp).\n",
             &run_calls);
