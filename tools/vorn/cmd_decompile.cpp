// vorn decompile: turns a binary table back into the ASCII configuration it was compiled
// from (as far as the format keeps it), through the library's own mkconf.
// Without --tool-name the tool calls itself WBIN2CFG, the name under which
// the library prints its version line.
#include "command.h"
#include "conversion_reports.h"
#include "file_checks.h"
#include "internal_api.h"
#include "messages.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace vorn;

int run_decompile(const tool::Args &args) {
    const char *table = args.operand(0);
    const char *config = args.operand(1);
    if (!tool::job_files_ok({table}, {config}))
        return 1;

    if (api::tool_name()[0] == '\0')
        set_tool_name("WBIN2CFG");

    const int result = api::decompile_table(table, config).result;
    if (result != VORN_CONF_OK)
        return tool::job_failed(tool::decompile_failure_text(result, table, config));
    tool::note(std::string(table) + ": configuration written to " + config);
    return 0;
}

} // namespace

using tool::Kind;

VORN_COMMAND("decompile", {{"TABLE.bin", Kind::InFile}, {"CONFIG.cfg", Kind::OutText}}, {},
             "write the ASCII configuration of a binary table", nullptr, &run_decompile);
