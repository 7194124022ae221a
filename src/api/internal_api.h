// The internal API: what the vorn tool may use from inside the library
// beyond the 26 exports of vorn_b32.h.  The tool sees this folder and the
// public header only; every other folder under src/ belongs to its layer.
// The tests, benchmarks and fuzz targets use it too where the exports are
// not enough.
//
// Every entry states why the tool may reuse it rather than go through an
// export.  Adding an entry: put it into its section below with its reason,
// either as a using-declaration of a layer's function that is fit as it is,
// or as a declaration defined in internal_api.cpp when the tool needs it in
// another shape (a result with its message, an owning type).  Keep entries
// small and stable: the tool is built against them.
#pragma once

// The record layout and the operating-system services that entries below
// hand out; the tool names them only through vorn::api.
#include "../conf/finding_names.h"
#include "../conf/finding_text.h"
#include "../frame/utf8_text.h"
#include "../logs/conversion_stats.h"
#include "../logs/input_kinds.h"
#include "../platform/output_file.h"
#include "../platform/platform.h"
#include "../table/owned_table.h"
#include "../table/route_rule.h"
#include "../table/table.h"
#include "../writer/head_field_words.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vorn {
struct CheckReport;
}

namespace vorn::api {

// ---- conversions ------------------------------------------------------------------
// The exports report a failure as a number and put the text into the trace;
// the tool must show the user the text the library composed.  These calls
// hand back both and never throw: a failed allocation is
// VORN_CONF_NO_MEMORY and any other failure -7, as the exports answer.

struct Outcome {
    int result = 0;      // 0 or the negative result the export would return
    std::string message; // what the library composed for the user; may be empty
    // The system's error number as the job left it (0 when it set none): a
    // message of the box's hosts may name another file than the one that
    // failed, and the tool adds the system's reason.
    int error = 0;
};

// mkconf from ASCII to binary: the message carries the parser's
// "Line n:@TEXT@" head, which the tool turns into "CONFIG:LINE: error:".
Outcome compile_config(const char *config, const char *table);
// mkconf from binary to ASCII.  `lossless` writes, for each setting whose
// usual line would compile to other bytes, the line that gives the table's
// own where the language has one; without it the text is the export's,
// byte for byte.
Outcome decompile_table(const char *table, const char *config, bool lossless = false);

// What a conversion did, for the tool's summary line: each conversion below
// fills its record when given one, from the counts its converter keeps.
using logs::AlarmStats;
using logs::LogcallStats;
using logs::MergeStats;
using logs::TraceStats;

// mkalarm with the message as a string rather than the host's buffer.
Outcome alarm_report(const char *report, const char *log, const char *source, const char *headline,
                     AlarmStats *stats = nullptr);

// mklogcall: the tool also writes the CSV list, which the export has no
// argument for.  Unused lists are nullptr.
struct CallListFiles {
    const char *binfile = nullptr;
    const char *outfile = nullptr;
    const char *infile = nullptr;
    const char *rejectfile = nullptr;
    const char *csvfile = nullptr;
};
Outcome call_lists(const CallListFiles &files, LogcallStats *stats = nullptr);

// merge_logcall; a null destination replaces `first`.
Outcome merge_call_lists(const char *first, const char *second, const char *destination,
                         MergeStats *stats = nullptr);

// mktrace: the tool also writes the pcapng capture (pcapng may be nullptr).
Outcome protocol_trace(const char *binfile, const char *textfile, const char *label,
                       const char *pcapng, TraceStats *stats = nullptr);

// ---- kinds of input ---------------------------------------------------------------
// The exports convert whatever a host hands them; the tool refuses a file
// of the wrong kind before it writes anything, with the library's own
// checks of each kind and its guess of what the file is instead.

using logs::InputKind;
using logs::kind_name;
// True when `path` holds `expected` (a log kind; an empty file is every
// kind).  Otherwise false with `why`: "PATH is not a call log (it looks
// like a configuration)", or the check's reason when the file looks like
// nothing known, or the system's reason when it cannot be read.
bool input_is(const char *path, InputKind expected, std::string &why);
// What `path` looks like (Unknown when it cannot be read).
InputKind likely_kind(const char *path);

// ---- configuration check ----------------------------------------------------------
// `vorn check` and `vorn compile` show what every line of a configuration
// did, in the compiler form the library composes, and `vorn compile` writes
// the very table it checked: the file is read once, by mkconf's own reader,
// and written by mkconf's own writer.

// One finding of the check: where, what kind and what it says.  The tool
// prints it (compiler form, JSON, SARIF) and decides its severity from the
// kind's default and the -W switches.
using vorn::FindingInfo;
using vorn::Severity;
// The table of finding names; the -W switches and the manual use it.
using vorn::find_finding;
using vorn::finding_table;
// The printed form of a finding (conf/finding_text.h): one printer for
// every finding the tool shows.
using vorn::count_line;
using vorn::display_column;
using vorn::FindingText;
using vorn::format_finding;
using vorn::switch_of;
// The table stores a configuration's bytes as written: the tool shows the
// UTF-8 characters of a table's texts as they were written.
using vorn::utf8_sequence;

struct Finding {
    int line = 0;                          // 0: the file as a whole
    int column = 0;                        // byte of the line (1 = first); 0: none
    int length = 0;                        // bytes of the offending word; 0: none
    Severity severity = Severity::Warning; // the kind's default (refusals: Error)
    std::string name;   // the kind ("period-range"); "" for a line the library refused
    std::string text;   // what happened, one line
    std::string source; // the line as written, without its end ("" when unknown)
    // A replacement that does what the line meant: `fix_length` bytes from
    // `fix_column` give way to `fix_text`; none when fix_column is 0.
    int fix_column = 0;
    int fix_length = 0;
    std::string fix_text;
};

struct ConfigCheck {
    int result = 0;                // what mkconf returns for reading the file
    std::string message;           // the library's message for it
    std::string note;              // the cause behind a refusal that the message leaves open
    std::vector<Finding> findings; // by line, errors and warnings mixed
    // The report behind the findings; holds the compiled table when it was
    // kept and the file was read cleanly.
    std::shared_ptr<const CheckReport> report;

    // By the kinds' default severities.
    int errors() const;
    int warnings() const;
};

// Reads `config` with the thread's settings (tool name, listings) as
// mkconf does.  With `keep_going` every failing line is listed, otherwise
// the first one ends the read as in mkconf.  Never throws: a failed
// allocation is VORN_CONF_NO_MEMORY without findings.
ConfigCheck check_config(const char *config, bool keep_going, bool keep_table);

// Writes the table a check kept to `table` as mkconf does after a clean
// read, with mkconf's result and message ("Cannot Write ...").
Outcome write_checked_table(const ConfigCheck &check, const char *table);

// ---- report pages -----------------------------------------------------------------
// `vorn report` makes the library's HTML page of a table, a configuration or
// a log; the page of a configuration shows the warnings of its check.

// The page of the file `path`; `shown` is its name on the page and in the
// warnings.  0, or a negative result with the reason in `why` (the kinds of
// input the page knows when the file is none of them).
int report_page(const char *path, const std::string &shown, std::string &page, std::string &why);

// ---- records ---------------------------------------------------------------------
// A text can read the same while the records behind it differ.  `vorn
// decompile` tells the user what its text will not give back, and `vorn
// diff` tells two tables apart beyond their texts, both by the library's
// own field-by-field comparison, so that the tool names fields as the
// library's tests do.

// One field (or "map") in which two records differ, with the values as the
// library's comparison shows them ("-" for a map one side lacks).
struct RecordDifference {
    std::string field, expected, actual;
};
// One line per difference: "<field>: <expected> -> <actual>".
std::string describe_differences(const std::vector<RecordDifference> &differences);

// What compiling a written configuration again makes of its table.
struct TextCheck {
    // The compiler's result (0, or the parser's negative result) and its
    // message when the text does not compile; -2 and a message when the
    // table or the text cannot be read.
    int result = 0;
    std::string message;
    // The fields of the table (expected) that the text gives otherwise
    // (actual); the maps as a multiset; stamps left out.
    std::vector<RecordDifference> differences;
};

// Compiles `config` in memory, without listings, and compares the record
// with the table file `table`.
TextCheck check_decompiled(const char *table, const char *config);

// The differences of the table file `b` from `a`, stamps only when
// `stamps`; false when either cannot be read as a table.
bool compare_table_files(const char *a, const char *b, bool stamps,
                         std::vector<RecordDifference> &differences);

// ---- texts of results -------------------------------------------------------------
// The tool words a failure as the library's own vocabulary does.

// The words of an error kind for a result of mkconf ("Syntax Error", ...).
const char *mkconf_result_words(int result);
// The error vocabulary's text of code 0..89 ("" for others).
const char *error_text(int code);

// ---- per-thread settings ----------------------------------------------------------

// The tool name set for this thread ("" when none): the tool only names
// itself after the job when the user gave no name.
const char *tool_name();

// ---- binary tables ----------------------------------------------------------------
// `vorn verify` and `vorn info` check and show a table file beside the
// conversions, with the library's own reader and checksum.

// A table working buffer that goes back to the library, and is forgotten
// by the thread, when its owner ends.
using vorn::OwnedTable;

// Reads a binary table file as mkconf does; nullptr when it cannot be read.
OwnedTable read_table_file(const char *path);
// The CRC-16 the box expects in table_crc16.
uint16_t table_checksum(const table_t *table);
// The bytes a table file with this record holds.
using vorn::used_table_size;
// A fixed-size text field as a terminated string (out: size + 1 bytes).
using vorn::copy_field;
// The sizes and the format a table file is checked against.
using vorn::kMapSize;
using vorn::kTableFormat;
using vorn::kTableFormatLength;
using vorn::kTableHeadSize;
using vorn::MAX_MAP_TABLE_ENTRIES;
using vorn::table_reserved_t;
using vorn::table_t;

// ---- platform services ------------------------------------------------------------
// The tool checks its files and writes its own temporary files the way the
// library does on every system, so it takes the same services.

using platform::file_identity;
using platform::file_size;
using platform::FileIdentity;
using platform::last_error;
using platform::open_regular_file;
using platform::read_whole_file;
using platform::remove_file;
using platform::set_last_error;
using platform::system_error_text;
using platform::temp_folder;
// The tool keeps standard output for data: the console lines of the
// conversions go to standard error, progress only on a terminal, none
// with --quiet.
using platform::console_progress_shown;
using platform::ConsoleSettings;
using platform::is_terminal;
using platform::set_console;
using platform::set_console_quiet;
// The library's module name (`vorn --version`) and the hosts' path size.
using platform::kModuleLabel;
using platform::kPathMax;
// --debug: the trace goes to standard error instead of the debugger output.
using platform::set_debug_output_stderr;
// The tool's own outputs (a report page) replace the old file only when
// complete, as the library's outputs do.
using platform::OutputFile;
// A job of several outputs (the lists and table of `vorn calls`, the text
// and capture of `vorn trace`, the listings and table of `vorn compile`)
// puts them in place together once the job succeeded, or none of them.
using platform::Publication;
// "-" and the compared texts of `vorn diff` go through files without a name
// that the library opens by path, so that none outlives the process.
using platform::UnnamedFile;
// Named staging files are removed when a signal ends the tool, and a write
// to a closed pipe fails as a write instead of killing the tool.
using platform::remove_named_on_signals;

// ==== routing (`vorn route`, added as one block) ==================================
// `vorn route` answers where a call goes.  It must answer by the very rule
// that the report's week grid draws and that the optimizer's removals
// assume, so the tool takes the library's rule instead of keeping its own
// reading of the table.

// The rule itself (table/route_rule.h): the tool asks it for the period at
// a time, the winning map and the maps passed over with their reasons.
using vorn::Call;
using vorn::CallDirection;
using vorn::CallService;
using vorn::is_holiday;
using vorn::kHolidayDay;
using vorn::kMinutesPerDay;
using vorn::map_t;
using vorn::passed_by_text;
using vorn::PassedBy;
using vorn::PassedMap;
using vorn::period_at;
using vorn::period_count;
using vorn::Route;
using vorn::route_call;
// The answer names the code and its provider part as the report's routing
// table does, so both show the same digits.
using vorn::is_standard_map;
using vorn::map_code_digits;
using vorn::provider_digits;

// The configuration line of map slot `index` as `vorn decompile` writes it:
// the user finds the answer in a decompiled configuration by this text.
std::string map_line(const table_t &table, int index);
// The heading of `period` as a configuration writes it ("[18.00] MO TU WE
// TH FR"), "global" for period 0: the user knows a period by its heading.
std::string period_heading_text(const table_t &table, int period);
// The table a check kept (keep_table), or nullptr: a configuration answers
// in place of a table, compiled in memory by the compiler's own reader.
const table_t *checked_table(const ConfigCheck &check);

// `vorn info` shows the coded head fields with the words the configuration
// writes for them ("0 (DSS1)"), from the writer's own word lists.
using vorn::head_field_words;

} // namespace vorn::api
