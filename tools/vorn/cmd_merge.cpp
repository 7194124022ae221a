// vorn merge FIRST SECOND [DESTINATION]
//
// Merges two call lists into one ordered by the end time of each call.
// Without DESTINATION (or when it names FIRST) the merged list replaces
// FIRST; the replacement is a single rename, so FIRST is never lost.
#include "command.h"
#include "file_checks.h"
#include "internal_api.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace {

// The library takes a destination that names the first list, in any case
// or under another path, as the order to replace it.
bool names_first(const char *destination, const char *first) {
    std::string a(destination), b(first);
    for (auto *s : {&a, &b})
        for (char &c : *s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (a == b)
        return true;
    const auto id = vorn::api::file_identity(destination);
    const auto first_id = vorn::api::file_identity(first);
    return id.kind != id.Missing && id.device == first_id.device && id.inode == first_id.inode;
}

const char *reason(int result) {
    switch (result) {
    case -1:
        return "the first list could not be read or replaced";
    case -2:
        return "the second list could not be read";
    case -3:
        return "the merged list could not be created";
    case -4:
        return "the merged list could not be written completely";
    case -5:
        return "a list grew while it was merged";
    default:
        return "the merge failed";
    }
}

int run_merge(int argc, char **argv) {
    if (argc < 3 || argc > 4)
        return vorn::tool::usage_error("merge",
                                       "merge needs FIRST and SECOND, and at most a DESTINATION");
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && argv[i][1] == '-')
            return vorn::tool::unknown_option("merge", argv[i]);
    const char *first = argv[1];
    const char *second = argv[2];
    const char *destination = argc == 4 ? argv[3] : nullptr;
    const bool replace = destination == nullptr || names_first(destination, first);
    if (!vorn::tool::job_files_ok({first, second}, {replace ? nullptr : destination}))
        return 1;
    const int result =
        vorn::api::merge_call_lists(first, second, replace ? nullptr : destination).result;
    const char *target = replace ? first : destination;
    if (result != 0)
        return vorn::tool::job_failed(std::string("merging into ") + target + ": " +
                                      reason(result) + " (result " + std::to_string(result) + ")");
    std::printf("%s and %s merged into %s\n", first, second, target);
    return 0;
}

} // namespace

VORN_COMMAND("merge", "merge FIRST SECOND [DESTINATION]", "merge two call lists by end time",
             &run_merge);
