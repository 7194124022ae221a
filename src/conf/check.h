// The check of a configuration: compiles it in memory as mkconf would and
// tells what each line did.  Besides the library's own result and message
// it collects structured records: the errors of failing lines (with the
// column and length of the offending word and the words expected), and
// warnings for every line whose content does not reach the table as
// written (a map made redundant by another line, a value cut to its field,
// a line cut after its 98th character, an unknown key, a number with
// characters the parser ignores, a period time out of range, a key whose
// later line wins, ...), naming the line that wins where there is one.
// Nothing is printed; the tool renders the records (format_diagnostic
// gives the compiler-style form).
//
// The compile itself is the library's: the table bytes, the traces and the
// listings are those of mkconf.
#pragma once

#include "conf/finding_names.h"
#include "conf/finding_text.h"
#include "parser/config_source.h"
#include "table/owned_table.h"
#include "table/table.h"

#include <memory>
#include <string>
#include <vector>

namespace vorn {

struct Diagnostic {
    int line = 0;   // configuration line (1, 2, ...); 0 = the file as a whole
    int column = 0; // of the offending word (1 = first byte); 0 = none
    int length = 0; // of the offending word; 0 = none
    Severity severity = Severity::Warning;
    std::string text;                     // what happened, in one line
    int related_line = 0;                 // the line that wins over this one; 0 = none
    FindingName name = FindingName::None; // the kind; None for a line the library refused
    // A replacement that does what the line meant: `fix_length` bytes from
    // `fix_column` (1 = first byte) give way to `fix_text`; no fix when 0.
    int fix_column = 0;
    int fix_length = 0;
    std::string fix_text;
};

// A finding of kind `name` at its default severity.
Diagnostic named_finding(FindingName name, int line, int column, int length, std::string text);

struct CheckOptions {
    // Go on after a failing line (noting it) instead of stopping there, so
    // that every error of the file is listed.  The result stays the one of
    // the first failing line.
    bool keep_going = false;
    // Keep the compiled table in the report (only when the result is 0).
    bool keep_table = false;
};

// A map line of the configuration that the optimizer removed, and the map
// that took its place: the page's routing table shows it struck through.
struct RemovedMap {
    int line = 0;        // of the removed map
    int kept_line = 0;   // of the map that took its place; 0 for a standard map
    map_t map;           // the removed map
    map_period_t period; // start and days of its period (0 days: global)
    map_t kept;
};

struct CheckReport {
    int result = 0;      // what mkconf would return for reading the file (VORN_CONF_...)
    std::string message; // the library's message for it ("Line 3:@TEXT@Syntax Error")
    std::string note;    // the cause behind a refusal the message does not name
    std::vector<Diagnostic> diagnostics; // by line, errors and warnings mixed
    ParsedTable table;                   // the compiled table, when kept
    ConfigSource source;                 // the file as the compile read it, for the findings' lines
    std::vector<RemovedMap> removed;     // with keep_table: the removed map lines

    int errors() const;
    int warnings() const;
};

// Compiles `cfgfile` with the thread's settings (listings, debug) and
// reports.  Throws only what the standard library throws.
CheckReport check_config(const char *cfgfile, const CheckOptions &options = {});
// The same for a text held in memory (an editor's unsaved text): nothing
// is read from or written to a file, listings apart when the thread asks
// for them.
CheckReport check_source(ConfigSource source, const CheckOptions &options = {});

// Writes the report's table (kept with keep_table) to `binfile` as mkconf
// does after a clean read.  Returns mkconf's result (VORN_CONF_CANNOT_WRITE
// without a table).
int write_checked_table(const CheckReport &report, const char *binfile);

// A record of the check in that form; `source` is the text of the
// configuration (its line is shown when it has one).
std::string format_diagnostic(const std::string &config_name, const std::string &source,
                              const Diagnostic &d);

// Every record of the report in that form, then the note and a count line
// "N errors, M warnings".
std::string format_report(const std::string &config_name, const std::string &source,
                          const CheckReport &report);

} // namespace vorn
