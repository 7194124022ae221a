// vorn decompile TABLE.bin CONFIG.cfg [--quiet]
//
// Turns a binary table back into the ASCII configuration it was compiled
// from (as far as the format keeps it), through the library's own mkconf.
// Without --tool-name the tool calls itself WBIN2CFG, the name under which
// the library prints its version line; --quiet prints nothing on success.
#include "command.h"
#include "conversion_reports.h"
#include "file_checks.h"
#include "internal_api.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace vorn;

int run_decompile(int argc, char **argv) {
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--quiet") == 0 || std::strcmp(arg, "-q") == 0)
            quiet = true;
        else if (arg[0] == '-' && arg[1] != '\0')
            return tool::unknown_option("decompile", arg);
        else if (file_count < 2)
            files[file_count++] = arg;
        else
            return tool::usage_error("decompile", "decompile takes TABLE.bin and CONFIG.cfg");
    }
    if (file_count != 2)
        return tool::usage_error("decompile", "decompile needs TABLE.bin and CONFIG.cfg");
    const char *table = files[0];
    const char *config = files[1];
    if (!tool::job_files_ok({table}, {config}))
        return 1;

    if (api::tool_name()[0] == '\0')
        set_tool_name("WBIN2CFG");
    api::set_console_quiet(quiet);

    const int result = api::decompile_table(table, config).result;
    if (result != VORN_CONF_OK)
        return tool::job_failed(tool::decompile_failure_text(result, table, config));
    if (!quiet)
        std::printf("%s: configuration written to %s\n", table, config);
    return 0;
}

} // namespace

VORN_COMMAND("decompile", "decompile TABLE.bin CONFIG.cfg [--quiet]",
             "write the ASCII configuration of a binary table", &run_decompile);
