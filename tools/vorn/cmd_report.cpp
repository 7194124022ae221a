// vorn report: one self-contained HTML page of a table, a configuration or a log, made
// by the library's report pages; what the input is, its bytes decide.  A
// configuration is compiled in memory and its page lists the warnings of
// `vorn check`.  The page goes to standard output, or with -o to a file that
// is replaced only by a complete page.
#include "command.h"
#include "diagnostics.h"
#include "file_checks.h"
#include "messages.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <string>

namespace {

namespace api = vorn::api;
namespace tool = vorn::tool;

// Writes `page` to `path` through an output file that replaces the old
// page only when the new one is complete.  False (the user told) when not.
bool write_page_file(const char *path, const std::string &page) {
    if (api::write_complete_file(path, page))
        return true;
    const int error = api::last_error();
    tool::job_failed(std::string("cannot write \"") + path + "\"" +
                     (error != 0 ? ": " + api::system_error_text(error) : std::string()));
    return false;
}

int run_report(const tool::Args &args) {
    const char *input = args.operand(0);
    const char *output = args.value("--output");
    if (!tool::job_files_ok({input}, {output}))
        return 1;
    std::string page, why;
    const int result = api::report_page(input, tool::shown_names(input), page, why);
    if (result != 0) {
        // A configuration that does not compile is told as the compiler
        // tells it, through the printer of every finding.
        if (why.find('\n') == std::string::npos)
            return tool::job_failed(why);
        const api::ConfigCheck check = api::check_config(input, false, false);
        tool::print_findings(
            tool::shown_findings(tool::shown_names(input), check, tool::WarningSwitches{}));
        return tool::job_failed(std::string("no page: the configuration does not compile (") +
                                api::mkconf_result_words(result) + ", result " +
                                std::to_string(result) + ")");
    }
    if (output == nullptr) {
        // A failed write shows when standard output is closed.
        std::fwrite(page.data(), 1, page.size(), stdout);
        return 0;
    }
    if (!write_page_file(output, page))
        return 1;
    tool::note(std::string(input) + ": page written to " + output);
    return 0;
}

} // namespace

using tool::Kind;

VORN_COMMAND("report", {{"INPUT", Kind::InText}},
             {{"--output", 'o', Kind::OutText, "PAGE.html",
               "write the page there instead of to standard output"}},
             "make an HTML page of a table, a configuration or a log",
             "INPUT's bytes tell what it is: a binary table, an ASCII configuration\n"
             "(compiled in memory; its page lists the warnings of \"vorn check\"), a\n"
             "binary call log, a call list or a binary event log.  The page needs\n"
             "nothing else: its charts are inline SVG, it has no script.\n",
             &run_report);
