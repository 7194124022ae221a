// vorn calls LOG.bin OUT.txt [--in IN.txt] [--reject REJECT.txt] [--csv CALLS.csv]
//
// Sorts a fetched call log and writes the box's call lists: one combined
// list in OUT.txt, or separate lists of outgoing, incoming and rejected
// calls; with --csv also a table of every record for spreadsheets.
#include "command.h"
#include "file_checks.h"
#include "internal_api.h"
#include "vorn_b32.h"

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
                std::fprintf(stderr,
                             "vorn: \"%s\" and \"%s\" are one file; give each list its own\n", *a,
                             *b);
                return false;
            }
        }
    }
    return true;
}

// The copy of the log goes to the user's temporary folder ($TMPDIR when it
// names a folder, else /tmp), not to the folder the tool was started in.
void use_temporary_folder() {
    const char *tmp = std::getenv("TMPDIR");
    std::string folder = "/tmp";
    if (tmp != nullptr && vorn::api::file_identity(tmp).kind == vorn::api::FileIdentity::Folder)
        folder = tmp;
    set_TmpPath((folder + "/vorn").c_str(), 1);
}

// Reads the command line into `job`; 0, or the exit code of a usage error.
int parse_calls_args(int argc, char **argv, vorn::api::CallListFiles &job) {
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const char **option = std::strcmp(arg, "--in") == 0       ? &job.infile
                              : std::strcmp(arg, "--reject") == 0 ? &job.rejectfile
                              : std::strcmp(arg, "--csv") == 0    ? &job.csvfile
                                                                  : nullptr;
        if (option != nullptr) {
            if (i + 1 >= argc)
                return vorn::tool::usage_error("calls",
                                               (std::string(arg) + " needs a file name").c_str());
            *option = argv[++i];
        } else if (std::strncmp(arg, "--", 2) == 0) {
            return vorn::tool::unknown_option("calls", arg);
        } else if (file_count < 2) {
            files[file_count++] = arg;
        } else {
            return vorn::tool::usage_error("calls", "calls takes one LOG.bin and one OUT.txt");
        }
    }
    if (file_count < 2)
        return vorn::tool::usage_error("calls", "calls needs the call log LOG.bin and OUT.txt");
    job.binfile = files[0];
    job.outfile = files[1];
    return 0;
}

// The library's message, with the list it concerns; a failed sort has no
// message of its own.
int report_calls_failure(const vorn::api::CallListFiles &job, int result, std::string message) {
    const char *list = result == -4   ? job.outfile
                       : result == -5 ? job.infile
                       : result == -6 ? job.rejectfile
                                      : nullptr;
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    if (message.empty())
        message = std::string("sorting the copy of \"") + job.binfile + "\" failed";
    if (list != nullptr)
        message += std::string(" (") + list + ")";
    return vorn::tool::library_failed(message, result);
}

int run_calls(int argc, char **argv) {
    vorn::api::CallListFiles job;
    if (const int code = parse_calls_args(argc, argv, job))
        return code;
    if (!vorn::tool::job_files_ok({job.binfile},
                                  {job.outfile, job.infile, job.rejectfile, job.csvfile}) ||
        !outputs_distinct({job.outfile, job.infile, job.rejectfile, job.csvfile}))
        return 1;

    use_temporary_folder();
    const vorn::api::Outcome done = vorn::api::call_lists(job);
    if (done.result != 0)
        return report_calls_failure(job, done.result, done.message);
    std::printf("%s: calls listed in %s", job.binfile, job.outfile);
    for (const char *extra : {job.infile, job.rejectfile, job.csvfile})
        if (extra != nullptr)
            std::printf(", %s", extra);
    std::printf("\n");
    return 0;
}

} // namespace

VORN_COMMAND("calls", "calls LOG.bin OUT.txt [--in IN.txt] [--reject REJECT.txt] [--csv CALLS.csv]",
             "sort a call log into call lists (and a CSV table)", &run_calls);
