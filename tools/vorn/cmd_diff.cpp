// vorn diff: shows how two tables differ, as a unified diff of their lossless
// configurations, and by their records where the texts do not show it.  A
// and B may each be a binary table or an ASCII configuration; a file is
// taken for a binary table when its first 2540 bytes (a table's head) hold
// a zero byte, which every table's head does and no configuration, being
// text, ever has.  A table is decompiled; a configuration is compiled and
// its table decompiled, so both sides are compared in the writer's
// canonical form.  The lossless text is taken because the export's text
// drops settings (a call-back map's service, an unset protocol side, ...)
// that a diff must show.  The intermediate files go to the temporary
// folder and are removed on every way out.
//
// The records are compared too, field by field: two tables whose texts are
// the same can still differ in bytes that no line gives, and when a side's
// text does not carry all of its record (the self-check of vorn decompile)
// the text diff may not show everything.  Then the differing fields are
// listed below the diff.
//
// Three lines carry only the moment and the tool of a conversion and are
// left out of the comparison unless --all is given: the TABLE line (beyond
// its format, it holds the compile date), a COMMENT that is a stamp ("write
// by ..." without "mkroute", which the compiler puts in place of an empty
// or default comment) and the ";***\tget table by ..." line.  They are
// still shown as context, as A has them.  The record comparison leaves out
// the same stamps and the checksum unless --all.
//
// Exit status as diff(1): 0 the same, 1 different, 2 trouble.
#include "command.h"
#include "conversion_reports.h"
#include "file_checks.h"
#include "messages.h"
#include "temp_files.h"
#include "unified_diff.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace api = vorn::api;
namespace tool = vorn::tool;

constexpr int kSame = 0, kDifferent = 1, kTrouble = 2;

// Reads a whole file; false when it cannot be read.
bool read_whole(const char *path, std::string &text) {
    if (!api::read_whole_file(path, text))
        return false;
    // The writer writes in text mode: on Windows its lines end in CR LF,
    // which the output to standard output would double.
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
        text.erase(at, 1);
    return true;
}

// Whether `path` holds a binary table (see the head comment); false and a
// message when it cannot be read.
bool is_binary_table(const char *path, bool &binary) {
    std::FILE *file = api::open_regular_file(path);
    if (file == nullptr) {
        tool::job_failed(std::string("cannot read \"") + path +
                         "\": " + api::system_error_text(api::last_error()));
        return false;
    }
    char head[api::kTableHeadSize];
    const size_t got = std::fread(head, 1, sizeof head, file);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    if (!ok) {
        tool::job_failed(std::string("cannot read \"") + path + "\"");
        return false;
    }
    binary = std::memchr(head, '\0', got) != nullptr;
    return true;
}

// Runs the driver with the tool name of the job it stands for, unless the
// user gave one.
api::Outcome convert(const char *cfgfile, const char *binfile, int mode, bool own_tool_name) {
    if (!own_tool_name)
        set_tool_name(mode == 1 ? "WCFG2BIN" : "WBIN2CFG");
    return mode == 1 ? api::compile_config(cfgfile, binfile)
                     : api::decompile_table(binfile, cfgfile, true);
}

// One side of the comparison: the table file and its decompiled text.
struct Side {
    std::string table, config, text;
};

// The canonical configuration text of `path`; false (the user told) when it
// cannot be had.
bool canonical_text(const char *path, bool own_tool_name, tool::TempFiles &temps, Side &side) {
    bool binary = false;
    if (!is_binary_table(path, binary))
        return false;
    std::string &table = side.table;
    table = path;
    if (!binary) {
        table = temps.make();
        if (table.empty())
            return false;
        const api::Outcome done = convert(path, table.c_str(), 1, own_tool_name);
        if (done.result != VORN_CONF_OK) {
            tool::report_compile_failure(path, done);
            return false;
        }
    }
    const std::string &config = side.config = temps.make();
    if (config.empty())
        return false;
    const api::Outcome done = convert(config.c_str(), table.c_str(), 0, own_tool_name);
    if (!done.ok) {
        tool::name_stand_in(table, path); // the words name the user's file
        tool::job_failed(tool::shown_names(done.failed.front().why));
        return false;
    }
    if (!read_whole(config.c_str(), side.text)) {
        tool::job_failed("cannot read the decompiled \"" + config +
                         "\": " + api::system_error_text(api::last_error()));
        return false;
    }
    return true;
}

bool starts_with(const std::string &text, const char *head) {
    return text.compare(0, std::strlen(head), head) == 0;
}

// What of each line is compared: a stamp line compares by its fixed part,
// so that any two stamps of its kind are equal.
std::vector<std::string> comparison_keys(const std::vector<std::string> &lines) {
    std::vector<std::string> keys;
    keys.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (i == 0 && starts_with(line, "TABLE="))
            keys.push_back(std::string(1, '\x01').append(line, 0, 12));
        else if (starts_with(line, "COMMENT=write by ") &&
                 line.find("mkroute") == std::string::npos)
            keys.push_back("\x01"
                           "COMMENT=write by");
        else if (starts_with(line, ";***\tget table by "))
            keys.push_back("\x01"
                           ";***\tget table by");
        else
            keys.push_back(line);
    }
    return keys;
}

// Whether a side's text leaves out some of its record.
bool text_loses(const Side &side) {
    const api::TextCheck check = api::check_decompiled(side.table.c_str(), side.config.c_str());
    return check.result != 0 || !check.differences.empty();
}

// The differing fields of the two records below the text diff, when the
// texts are the same or one of them does not carry its whole record;
// false (the user told) when a table cannot be read again.
bool record_report(const Side (&sides)[2], const tool::DiffSide (&shown)[2], bool texts_same,
                   bool all, std::string &report) {
    std::vector<api::RecordDifference> differences;
    if (!api::compare_table_files(sides[0].table.c_str(), sides[1].table.c_str(), all,
                                  differences)) {
        tool::job_failed("cannot read the tables of \"" + shown[0].label + "\" and \"" +
                         shown[1].label + "\" again");
        return false;
    }
    if (differences.empty() || (!texts_same && !text_loses(sides[0]) && !text_loses(sides[1])))
        return true;
    report = "Records " + shown[0].label + " and " + shown[1].label +
             (texts_same ? " differ where their texts are the same:\n"
                         : " differ beyond what their texts show:\n") +
             api::describe_differences(differences);
    return true;
}

int run_diff(const tool::Args &args) {
    const char *files[2] = {args.operand(0), args.operand(1)};
    const bool all = args.flag("--all");
    if (!tool::job_files_ok({files[0], files[1]}, {}))
        return kTrouble;

    const bool own_tool_name = api::tool_name()[0] != '\0';
    // The compiler's version and progress lines are not what was asked for.
    api::set_console_quiet(true);
    set_optimize_files(0);

    tool::DiffSide shown[2];
    std::string difference, records;
    {
        tool::TempFiles temps;
        Side sides[2];
        for (int s = 0; s < 2; ++s) {
            if (!canonical_text(files[s], own_tool_name, temps, sides[s]))
                return kTrouble;
            shown[s].label = tool::shown_names(files[s]);
            shown[s].lines = tool::split_lines(sides[s].text);
            if (!all)
                shown[s].keys = comparison_keys(shown[s].lines);
        }
        difference = tool::unified_diff(shown[0], shown[1]);
        if (!record_report(sides, shown, difference.empty(), all, records))
            return kTrouble;
    }
    difference += records;
    if (difference.empty())
        return kSame;
    // A failed write is found when standard output is closed (exit 2).
    std::fwrite(difference.data(), 1, difference.size(), stdout);
    return kDifferent;
}

} // namespace

using tool::Kind;

VORN_COMMAND("diff", {{"A", Kind::InText}, {"B", Kind::InText}},
             {{"--all", 0, Kind::Flag, nullptr, "compare the stamp lines too"}},
             "compare two tables or configurations (unified diff)",
             "Shows how two tables differ as a unified diff (diff -u) of their\n"
             "lossless configurations, the form `vorn decompile` writes, headed by the\n"
             "names A and B as given.  Each of A and B is a binary table or an ASCII\n"
             "configuration: a file with a zero byte in its first 2540 bytes is read\n"
             "as a binary table, any other as a configuration, which is compiled\n"
             "first.  Temporary files go to $TMPDIR (else /tmp) and are removed.\n\n"
             "Left out of the comparison unless --all: the date of the TABLE line, a\n"
             "COMMENT that is a compiler stamp (\"write by ...\" without \"mkroute\")\n"
             "and the \";***<tab>get table by ...\" line.  Hunk line numbers count the\n"
             "lines of the whole canonical texts.\n\n"
             "The records are compared too, field by field and the maps as a set.\n"
             "When the texts are the same, or a text does not carry all of its\n"
             "record, the differing fields follow the diff, one a line\n"
             "(\"FIELD: A's value -> B's value\"); the checksum and the stamps count\n"
             "only with --all.\n\n"
             "exit status: 0 the same, 1 different, 2 trouble (a file missing or\n"
             "unreadable, a failed compile or decompile, a failed write)\n",
             &run_diff, kTrouble);
