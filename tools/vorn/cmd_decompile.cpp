// vorn decompile: turns a binary table back into the ASCII configuration it
// was compiled from, through the library's own mkconf driver.  The text is
// the lossless one unless --reference asks for the export's own text; then
// the text is compiled again in memory and every field or map that the
// text would give otherwise is named in a warning, so that nothing the text
// loses goes unnoticed.  Without --tool-name the tool calls itself
// WBIN2CFG, the name under which the library prints its version line.
#include "command.h"
#include "conversion_reports.h"
#include "file_checks.h"
#include "messages.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

namespace api = vorn::api;
namespace tool = vorn::tool;

// Warns of each setting of `table` that the text `config` does not carry;
// true when it carries them all.
bool self_check(const char *table, const char *config) {
    const api::TextCheck check = api::check_decompiled(table, config);
    const std::string head = std::string("vorn: warning: ") + config + ": ";
    if (check.result != 0) {
        tool::say_error(head + "the text does not compile again (" +
                        api::mkconf_result_words(check.result) + "): " + check.message + "\n");
        return false;
    }
    for (const api::RecordDifference &d : check.differences)
        tool::say_error(head + tool::difference_text(d, table) + "\n");
    return check.differences.empty();
}

int run_decompile(const tool::Args &args) {
    const char *table = args.operand(0);
    const char *config = args.operand(1);
    if (!tool::job_files_ok({table}, {config}))
        return 1;

    if (api::tool_name()[0] == '\0')
        set_tool_name("WBIN2CFG");

    const bool lossless = !args.flag("--reference");
    const api::Outcome done = api::decompile_table(table, config, lossless);
    if (!done.ok) {
        tool::job_failed(done.failed.front().why);
        tool::add_system_reason(done.error);
        return 1;
    }
    const bool carried = self_check(table, config);
    tool::note(std::string(table) + ": configuration written to " + config);
    if (!carried && args.flag("--strict"))
        return tool::job_failed(std::string(config) + " does not compile back to " + table +
                                " (--strict)");
    return 0;
}

} // namespace

using tool::Kind;

VORN_COMMAND("decompile", {{"TABLE.bin", Kind::InFile}, {"CONFIG.cfg", Kind::OutText}},
             {{"--reference", 0, Kind::Flag, nullptr,
               "write the text of the library's mkconf export, byte for byte"},
              {"--strict", 0, Kind::Flag, nullptr,
               "fail (exit 1) when the text does not compile back to the table"}},
             "write the ASCII configuration of a binary table",
             "The text is lossless: compiling it gives the table's record again, except\n"
             "for the few forms no line of the language can give (see vorn(1)).\n"
             "--reference writes the text of the library's mkconf export instead.\n\n"
             "Either text is compiled again in memory and compared with the table field\n"
             "by field, the maps as a set, the checksum and compile stamps left out.\n"
             "Each field or map the text would give otherwise is a warning naming it,\n"
             "the table's value and what the text gives.  The text is written either\n"
             "way; with --strict such a difference makes the exit status 1.\n",
             &run_decompile);
