// The tool's API: what the vorn tool may use from inside the library beyond
// the 26 exports of vorn_b32.h.  This header stands alone (the public header
// and the standard library); the library implements it in src/api, and the
// tool links a library whose only visible symbols are these entries and the
// exports, so nothing else inside can be called from tools/.
//
// Each entry says why the tool needs it rather than an export.  A new entry
// comes with its reason; its types are defined here, never taken from a
// layer, and the library copies its own into them.
#pragma once

#include "vorn_b32.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn {
struct CheckReport;
}

#if defined(__GNUC__) && !defined(_WIN32)
#pragma GCC visibility push(default)
#endif

namespace vorn::api {

// ---- conversions ------------------------------------------------------------------

// The exports report a failure as a number and put the text into the trace;
// the tool shows the user the text the library composed.  A conversion hands
// back both and never throws: a failed allocation is VORN_CONF_NO_MEMORY and
// any other failure VORN_CONF_WRITE_FAILED, as the exports answer.
// One file a job failed on, with the library's words for what went wrong.
struct FailedFile {
    std::string path; // as the caller named it; the folder for a temporary copy
    std::string why;  // one line without its line end
    // The job's own copy of its input could not be made in the temporary
    // folder (`path`): `why` names the folder and the system's reason.
    bool temporary_copy = false;
};

struct Outcome {
    int result = 0;      // 0 or the negative result the export would return
    bool ok = true;      // the job did what it was asked (result not negative)
    std::string message; // what the library composed for the user; may be empty
    int error = 0;       // the system's error number the job left (0: none)
    // The files the job failed on, each with its error, where the export's
    // result and message leave them open (a host's message names the call
    // log's lists and the trace's text by fixed names): the tool names
    // files from here and never decodes a result number or a message.
    std::vector<FailedFile> failed;
    // The configuration line a compile failed on (0: the file as a whole).
    int line = 0;
};

// Counts of what a conversion did, for the tool's summary line; the exports
// have no place for them.
struct LogcallStats {
    uint64_t records = 0, outgoing = 0, incoming = 0, rejected = 0, unconverted = 0;
    uint64_t tail_bytes = 0; // bytes behind the last whole record (a log cut short)
};
struct AlarmStats {
    uint64_t events = 0, invalid = 0;
};
struct TraceStats {
    uint64_t records = 0;
    bool invalid_data = false; // the trace ended at invalid data (result 1)
};
struct MergeStats {
    uint64_t first = 0, second = 0;
};

// mkconf from ASCII to binary, with the message mkconf traces and the line
// it names, which the tool shows as "CONFIG:LINE: error:".
Outcome compile_config(const char *config, const char *table);
// mkconf from binary to ASCII; `lossless` (no export has it) writes for each
// setting whose usual line compiles to other bytes the line that gives the
// table's own.
Outcome decompile_table(const char *table, const char *config, bool lossless = false);
// A failed decompile names in `failed` the file at fault with the words a
// user reads, and carries `error` only when the configuration could not be
// written.
// mkalarm, with the message as a string rather than the host's buffer.
Outcome alarm_report(const char *report, const char *log, const char *source, const char *headline,
                     AlarmStats *stats = nullptr);

// mklogcall plus the CSV list, which the export has no argument for.
// Unused lists are nullptr.
struct CallListFiles {
    const char *binfile = nullptr;
    const char *outfile = nullptr;
    const char *infile = nullptr;
    const char *rejectfile = nullptr;
    const char *csvfile = nullptr;
};
Outcome call_lists(const CallListFiles &files, LogcallStats *stats = nullptr);
// merge_logcall with counts; a null destination replaces `first`.
Outcome merge_call_lists(const char *first, const char *second, const char *destination,
                         MergeStats *stats = nullptr);
// mktrace plus the pcapng capture (pcapng may be nullptr).
Outcome protocol_trace(const char *binfile, const char *textfile, const char *label,
                       const char *pcapng, TraceStats *stats = nullptr);

// ---- kinds of input ---------------------------------------------------------------

// The exports convert whatever a host hands them; the tool refuses a file of
// the wrong kind before it writes anything, by the library's own checks.
enum class InputKind { Table, Config, CallLog, CallList, EventLog, Trace, Text, Unknown };
// True when `path` holds `expected` (a log kind; an empty file is every
// kind).  Otherwise false with `why`: "PATH is not a call log (it looks like
// a configuration)", the check's reason, or the system's reason.
bool input_is(const char *path, InputKind expected, std::string &why);

// ---- configuration check ----------------------------------------------------------

// `vorn check` and `vorn compile` show what every line did, in compiler form,
// and `vorn compile` writes the very table it checked: mkconf has no way to
// hand either out.

// One finding of the check: where, what kind and what it says.  The tool
// prints it (compiler form, JSON, SARIF) and decides its severity from the
// kind's default and the -W switches.
enum class Severity { Warning, Error, Note };
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

// The kinds of finding by name: the -W switches and the manual name them
// as the library does.
struct FindingInfo {
    const char *name;    // "period-range"
    Severity severity;   // by default
    const char *summary; // what the finding means, one line
    const char *manual;  // why it has that severity, for the manual page
};
const std::vector<FindingInfo> &finding_table();
const FindingInfo *find_finding(const char *name); // nullptr for an unknown name

// The printed form of a finding: one printer for every finding the tool
// shows, the library's, so that the check's tests and the tool agree.
struct FindingText {
    std::string file;                      // as the user named it
    int line = 0;                          // 0: the file as a whole
    int column = 0;                        // byte of `source` (1 = first); 0: none
    int length = 0;                        // bytes of the word it is about
    Severity severity = Severity::Warning; // as shown, after the user's switches
    std::string name;                      // the finding's name, "" for none
    std::string text;                      // one line
    std::string source;                    // the line as written, without its end
};
// "FILE:LINE:COLUMN: error: TEXT [-Wname]", the line and a caret under the
// word (coloured for a terminal when `colour`).
std::string format_finding(const FindingText &finding, bool colour);
// The column an editor shows for byte `byte_column` of `line` (UTF-8).
int display_column(const std::string &line, int byte_column);
// The switch that shows a finding of kind `name` as `shown` ("" for none).
std::string switch_of(const std::string &name, Severity shown);
// "N errors, M warnings" (singular where one).
std::string count_line(int errors, int warnings);
// The bytes of the UTF-8 character at the start of `text` (0: none): a
// table stores a configuration's texts as written.
std::size_t utf8_sequence(std::string_view text);

struct ConfigCheck {
    int result = 0;                // what mkconf returns for reading the file
    std::string message;           // the library's message for it
    std::string note;              // the cause behind a refusal that the message leaves open
    std::vector<Finding> findings; // by line, errors and warnings mixed
    int error = 0;                 // the system's error number behind a failed write (0: none)
    // What the check kept (the compiled table when asked and the read was
    // clean); the tool only hands it back to write_checked_table.
    std::shared_ptr<const CheckReport> report;

    // By the kinds' default severities.
    int errors() const;
    int warnings() const;
};

// Reads `config` with the thread's settings as mkconf does.  With
// `keep_going` every failing line is listed, otherwise the first one ends
// the read.  Never throws.
ConfigCheck check_config(const char *config, bool keep_going, bool keep_table);
// Writes the table a check kept, with mkconf's result and message.
Outcome write_checked_table(const ConfigCheck &check, const char *table);

// ---- report pages -----------------------------------------------------------------

// `vorn report`: the library's HTML page of a table, a configuration or a
// log, which no export makes.  `shown` is the file's name on the page.  0,
// or a negative result with the reason in `why`.
int report_page(const char *path, const std::string &shown, std::string &page, std::string &why);

// ---- records ----------------------------------------------------------------------

// `vorn decompile` says what its text will not give back and `vorn diff`
// tells two tables apart beyond their texts, by the library's own
// field-by-field comparison, so that fields are named alike everywhere.
struct RecordDifference {
    std::string field, expected, actual;
};
// One line per difference: "<field>: <expected> -> <actual>".
std::string describe_differences(const std::vector<RecordDifference> &differences);

struct TextCheck {
    // 0, or the compiler's negative result and message when the text does
    // not compile; -2 and a message when the table or the text cannot be read.
    int result = 0;
    std::string message;
    std::vector<RecordDifference> differences; // stamps left out
};
// Compiles `config` in memory, without listings, and compares the record
// with the table file `table`.
TextCheck check_decompiled(const char *table, const char *config);
// The differences of the table file `b` from `a`, stamps only when
// `stamps`; false when either cannot be read as a table.
bool compare_table_files(const char *a, const char *b, bool stamps,
                         std::vector<RecordDifference> &differences);

// ---- binary tables ----------------------------------------------------------------

// `vorn verify` and `vorn info` check and show a table file with the
// library's own reader and checksum, which no export offers.
struct TableFileInfo {
    std::string format;         // the format field as stored
    int used_maps = 0;          // table_used_map_entries
    int max_maps = 0;           // what a table can hold
    uint64_t file_size = 0;     // bytes of the file
    uint64_t expected_size = 0; // bytes a table with `used_maps` maps holds
    unsigned stored_crc = 0;    // table_crc16
    unsigned computed_crc = 0;  // the CRC-16 the box computes
    // The head fields in file order: name and value as JSON text; the
    // remote password masked unless asked for.
    std::vector<std::pair<std::string, std::string>> fields;
    // Beside each field: the words the configuration writes for its coded
    // value ("DSS1" for a protocol 0), "" for a field without words, so
    // that `vorn info` reads like the configuration it came from.
    std::vector<std::string> field_words;
};
// Reads the table file `path`; false with the reason in `why` when its head,
// size or format rule it out or the reader refuses it.
bool read_table_info(const char *path, bool show_password, TableFileInfo &info, std::string &why);
// A table text as a JSON string: UTF-8 characters as the configuration
// wrote them (the table holds their bytes), other bytes above 7Fh as the
// Latin-1 characters they are in the box's character set.
std::string json_string(const std::string &text);
// The bytes of a table head: a file with fewer cannot be a table, and a
// configuration never holds a zero byte among them.
inline constexpr std::size_t kTableHeadSize = 2540;

// ---- routing ----------------------------------------------------------------------

// `vorn route` answers where a call goes by the library's own rule, the one
// the report's week grid draws and the optimizer's removals assume, so that
// the tool keeps no reading of the table of its own.
enum class CallDirection { In, Out };
enum class CallService { Voice, Data, Dtmf };
inline constexpr int kHolidayDay = 7; // beside 0 (SU) .. 6 (SA)
inline constexpr int kMinutesPerDay = 24 * 60;

struct Call {
    std::string number; // the dialled digits
    CallDirection direction = CallDirection::Out;
    CallService service = CallService::Voice;
    int day = 1;    // 0 (SU) .. 6 (SA), or kHolidayDay
    int minute = 0; // of the day
};

// A map as the user finds it: its line as `vorn decompile` writes it, its
// code with the provider digits as the report's routing table shows them,
// and its period by the heading the configuration writes.
struct RouteMap {
    int slot = -1;         // -1: no map
    std::string line;      // "MapOut00=0101900 120.00 1/1"
    std::string escape;    // "00"
    std::string code;      // the code as digits
    std::string provider;  // the provider part of the code, "" when none
    bool standard = false; // a map the compiler adds on its own
    int period = 0;        // 0: global
    std::string heading;   // "[18.00] MO TU WE TH FR", "global"
};
struct PassedMap {
    RouteMap map;
    std::string reason; // why it did not route the call
};
struct Route {
    int period = 0;                // the period at the call's time
    std::string heading;           // its heading
    RouteMap chosen;               // slot -1 when no map applies
    std::string result;            // the number the box dials on
    std::vector<PassedMap> passed; // in table order
};

// A table to ask: a binary table as it is, or a configuration compiled in
// memory by the compiler's own reader.
class RoutingTable {
  public:
    RoutingTable();
    ~RoutingTable();
    RoutingTable(RoutingTable &&) noexcept;
    RoutingTable &operator=(RoutingTable &&) noexcept;

    // Reads `path`.  A configuration is checked into `check` (which the tool
    // prints when it keeps no table); false with `why` when the file is
    // neither a table nor a configuration that compiles.
    bool load(const char *path, ConfigCheck &check, std::string &why);

    int period_count() const;
    // The period that applies on `day` at `minute`; 0 when none.
    int period_at(int day, int minute) const;
    bool is_holiday(int day, int month) const;
    std::string period_heading(int period) const; // "global" for 0
    Route route(const Call &call) const;

  private:
    struct Held;
    std::shared_ptr<const Held> m_held;
};

// ---- texts of results -------------------------------------------------------------

// The tool words a failure as the library's own vocabulary does.
const char *mkconf_result_words(int result); // "Syntax Error", ...
const char *error_text(int code);            // the text of code 0..89 ("" for others)

// The tool name set for this thread ("" when none): the tool names itself
// after the job only when the user gave no name; no export reads it back.
const char *tool_name();

// ---- platform services ------------------------------------------------------------

// The tool checks its files, reads them and writes its own temporary files
// the way the library does on every system, so it takes the same services.
struct FileIdentity {
    enum Kind { Missing, Regular, Folder, Fifo, Device, Other } kind = Missing;
    uint64_t device = 0; // together with inode: the same file, however named
    uint64_t inode = 0;
    int error = 0; // the system's error number when the path could not be examined
};
FileIdentity file_identity(const char *path);
bool file_size(const char *path, uint64_t *size);
// A regular file opened for binary reading; nullptr (and the error set) else.
std::FILE *open_regular_file(const char *path);
bool read_whole_file(const char *path, std::string &bytes);
bool remove_file(const char *path);
std::string temp_folder(); // without a trailing separator
// The system's error number as the library keeps it, and its text.
int last_error();
void set_last_error(int error);
std::string system_error_text(int error);
// Writes `bytes` to `path` through an output that replaces the old file only
// when the new one is complete, as the library's outputs do; false with the
// system's error number left in last_error().
bool write_complete_file(const char *path, const std::string &bytes);

// A job of several outputs (the lists and table of `vorn calls`, the text
// and capture of `vorn trace`, the listings and table of `vorn compile`)
// puts them in place together once the job succeeded, or none of them: the
// library's outputs made on this thread while a Publication lives are only
// sealed, and publish() renames them all.  One that ends unpublished
// removes every staged output.
class Publication {
  public:
    Publication();
    ~Publication();
    Publication(const Publication &) = delete;
    Publication &operator=(const Publication &) = delete;
    // True when every output got its name; else last_error() tells why and
    // failed() names the destination.
    bool publish();
    std::string failed() const;
    // Whether an output for `path` waits to be published.
    bool holds(const char *path) const;

  private:
    struct Held;
    std::unique_ptr<Held> m_held;
};

// "-" and the compared texts of `vorn diff` go through files without a name
// that the library opens by path, so that none outlives the process.
class UnnamedFile {
  public:
    UnnamedFile();
    ~UnnamedFile();
    UnnamedFile(const UnnamedFile &) = delete;
    UnnamedFile &operator=(const UnnamedFile &) = delete;
    // A new empty file in `folder`; false (last_error() set) when none was had.
    bool create(const std::string &folder);
    // The path the library opens it by.
    const std::string &path() const;
    // A stream on the file from its start, owned by the caller; nullptr
    // (last_error() set) when none could be opened.
    std::FILE *open_stream() const;

  private:
    struct Held;
    std::unique_ptr<Held> m_held;
};

// Named staging files are removed when SIGINT, SIGTERM or SIGHUP ends the
// tool, and a write to a closed pipe fails as a write (SIGPIPE ignored)
// instead of killing the tool unseen.
void remove_named_on_signals();

// `vorn lsp` talks its protocol on standard input and output as raw bytes
// and waits on its input with a time limit (the pause after typing), which
// the C streams cannot do; the library's platform layer can on every system.
// wait: 1 ready (bytes or the end), 0 the time passed, -1 failed; read: the
// count, 0 at the end, -1 failed; write: false when the reader is gone.
int wait_standard_input(int timeout_ms);
long read_standard_input(char *buffer, std::size_t size);
bool write_standard_output(const char *data, std::size_t size);

// The tool keeps standard output for data: the conversions' console lines go
// to `stream`, progress only on a terminal, none with --quiet.
struct ConsoleSettings {
    std::FILE *stream = nullptr; // nullptr: standard output
    bool quiet = false;
    bool progress = true;
};
void set_console(const ConsoleSettings &settings);
void set_console_quiet(bool quiet);
bool console_progress_shown();
bool is_terminal(std::FILE *stream);
// --debug: the trace goes to standard error instead of the debugger output.
void set_debug_output_stderr();
// The library's module name (`vorn --version`) and the hosts' path size.
inline constexpr const char *kModuleLabel = "Vorn_B32.DLL";
inline constexpr std::size_t kPathMax = 260;

// ---- language service (`vorn lsp`) -------------------------------------------------

// `vorn lsp` shows an editor's text checked as `vorn check` checks a file,
// by the same compile; no export checks a text held in memory.  The check's
// findings, the coverage of each period heading and the fate of each map
// line come from that one compile, so that the editor shows no second
// reading of the language.

// One finding of the check of a text; lines and columns count from 1,
// columns are bytes of the line.
struct TextFinding {
    int line = 0;                          // 0: the text as a whole
    int column = 0;                        // 0: no word named
    int length = 0;                        // bytes of the offending word
    Severity severity = Severity::Warning; // the kind's default
    std::string name;     // the kind ("period-range"); "" for a line the library refused
    std::string text;     // what happened, one line
    int related_line = 0; // the line that wins over this one; 0 none
    // A replacement that does what the line meant: fix_length bytes from
    // fix_column give way to fix_text; no fix when fix_column is 0.
    int fix_column = 0;
    int fix_length = 0;
    std::string fix_text;
};
// The minutes [from, to) of one day that a period covers.
struct CoveredSpan {
    int day = 0; // 0 (SU) .. 6 (SA), or kHolidayDay
    int from = 0, to = 0;
};
// A period heading as the compiler reads it, and the times the compiled
// table gives its period by the routing rule (none when the text does not
// compile, or the period has no maps and so no record of its own).
struct HeadingCoverage {
    int line = 0;
    bool read = false; // false: the compiler refuses the heading
    int hour = 0, minute = 0;
    unsigned days = 0; // bit 0 Sunday ... bit 6 Saturday, bit 7 holidays
    std::vector<CoveredSpan> covered;
};
// A map line whose every map the optimizer removed, and what took its place.
struct RemovedLine {
    int line = 0;
    int kept_line = 0;     // 0: a standard map took its place
    std::string kept_text; // that map as "escape=code"
};
struct TextCheckResult {
    int result = 0;      // what mkconf would return for reading the text
    std::string message; // the library's message for it
    bool compiled = false;
    std::vector<TextFinding> findings;     // by line
    std::vector<HeadingCoverage> headings; // by line, only with `with_table`
    std::vector<RemovedLine> removed;      // by line, only with `with_table`
};
// Checks `text` as `vorn check` checks a file, held in memory: no file is
// read or written (no listing either), every failing line is listed.  With `with_table` also the
// coverage of each heading and the removed map lines.  Never throws.
TextCheckResult check_text(const std::string &text, bool with_table);

// The outline and the hover of an editor need to know what each line is;
// the compiler's own splitting and key table say it, not a reading of the
// server's.
enum class LineRole { Blank, Comment, Setting, Heading, Map, Unknown };
struct LineKey {
    LineRole role = LineRole::Blank;
    int column = 0, length = 0; // of the first word, 1 = first byte
    std::string row;            // the key-table row it goes to ("MapOut", "["), "" none
};
LineKey line_key(const std::string &line);

// The hover and completion of keys show the table that vorn-config(5) is
// held to, so that the editor and the page say the same.
struct KeyDocumentation {
    std::string key, form, summary, range;
};
std::vector<KeyDocumentation> key_documentation();
// The row of the key that begins `word` (the longest); false when none.
bool documentation_of(const std::string &word, KeyDocumentation &out);
// The words a map line's service and a heading's days may be, as the
// compiler takes them.
std::vector<std::string> service_word_list();
std::vector<std::string> day_name_list();

} // namespace vorn::api

#if defined(__GNUC__) && !defined(_WIN32)
#pragma GCC visibility pop
#endif
