// vorn merge: merges two call lists into one ordered by the end time of each call.
// Without DESTINATION (or when it names FIRST) the merged list replaces
// FIRST; the replacement is a single rename, so FIRST is never lost.
#include "command.h"
#include "file_checks.h"
#include "messages.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <string>

namespace {

// The library takes a destination that names the first list, under any
// path, as the order to replace it: both name one file.  A name in other
// letters is another file where the file system tells letters apart.
bool names_first(const char *destination, const char *first) {
    return vorn::tool::same_output(destination, first);
}

std::string lines(uint64_t n) {
    return std::to_string(n) + (n == 1 ? " line" : " lines");
}

int run_merge(const vorn::tool::Args &args) {
    const char *first = args.operand(0);
    const char *second = args.operand(1);
    const char *destination = args.operand(2);
    if (destination == nullptr && vorn::tool::shown_names(first) != first)
        return vorn::tool::usage_error("merge", "FIRST from standard input needs a DESTINATION");
    const bool replace = destination == nullptr || names_first(destination, first);
    if (!vorn::tool::job_files_ok({first, second}, {replace ? nullptr : destination}))
        return 1;
    std::string why;
    for (const char *list : {first, second})
        if (!vorn::api::input_is(list, vorn::api::InputKind::CallList, why))
            return vorn::tool::job_failed(why);
    vorn::api::MergeStats stats;
    const vorn::api::Outcome done =
        vorn::api::merge_call_lists(first, second, replace ? nullptr : destination, &stats);
    const char *target = replace ? first : destination;
    if (!done.ok) {
        vorn::tool::job_failed(std::string("merging into ") + target + ": " +
                               (done.failed.empty() ? done.message : done.failed[0].why) +
                               " (result " + std::to_string(done.result) + ")");
        vorn::tool::add_system_reason(done.error);
        return 1;
    }
    vorn::tool::note(std::string(first) + " (" + lines(stats.first) + ") and " + second + " (" +
                     lines(stats.second) + ") merged into " + target + " (" +
                     lines(stats.first + stats.second) + ")");
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND(
    "merge",
    {{"FIRST", Kind::InText}, {"SECOND", Kind::InText}, {"DESTINATION", Kind::OutText, true}}, {},
    "merge two call lists by end time",
    "Without DESTINATION, or when it names FIRST, the merged list replaces FIRST.\n", &run_merge);
