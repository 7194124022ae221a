// The tool's API (vorn_tool/api.h): the conversions with their messages, the
// configuration check and the record comparisons, over the conf, logs,
// report, table and frame layers.
#include "conf/check.h"
#include "conf/mkconf_driver.h"
#include "conf/self_check.h"
#include "frame/error.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "logs/alarm.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "logs/prot_trace.h"
#include "report/report.h"
#include "table/bin_table.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace vorn::api {

namespace {

// The layers' counts in the API's own records.
void copy_stats(const logs::LogcallStats &from, LogcallStats *to) {
    if (to != nullptr)
        *to = {from.records,  from.outgoing,    from.incoming,
               from.rejected, from.unconverted, from.tail_bytes};
}
void copy_stats(const logs::AlarmStats &from, AlarmStats *to) {
    if (to != nullptr)
        *to = {from.events, from.invalid};
}
void copy_stats(const logs::TraceStats &from, TraceStats *to) {
    if (to != nullptr)
        *to = {from.records, from.invalid_data};
}
void copy_stats(const logs::MergeStats &from, MergeStats *to) {
    if (to != nullptr)
        *to = {from.first, from.second};
}

// A message as one line, without its line ends.
std::string one_line(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// What a failed merge could not do, in the words of the merged list.
std::string merge_failure(Error error) {
    switch (error) {
    case Error::FirstListUnreadable:
        return "the first list could not be read or replaced";
    case Error::SecondListUnreadable:
        return "the second list could not be read";
    case Error::CannotCreate:
        return "the merged list could not be created";
    case Error::CannotWrite:
        return "the merged list could not be written completely";
    case Error::InputGrew:
        return "a list grew while it was merged";
    default:
        return error_text(error);
    }
}

// The library's words for one failed file: a file that could not be
// opened, read or written as the exports word it ("Cannot Write
// \"x\"!"); the temporary copy with its folder and the system's reason;
// any other error after the file's name, with the system's reason where
// the error has one.
std::string failure_words(const FileFailure &f) {
    const bool reason = f.system_error != 0 && error_has_system_reason(f.error);
    switch (f.error) {
    case Error::CannotOpen:
    case Error::CannotRead:
    case Error::CannotWrite:
    case Error::CannotCreate:
        return one_line(file_error_message(f.error, f.path.c_str()));
    case Error::TemporaryCopyMissing:
    case Error::TemporaryCopyShort:
        return std::string(error_text(f.error)) + " \"" + f.path + "\"" +
               (reason ? ": " + platform::system_error_text(f.system_error) : std::string());
    default:
        return f.path + ": " + error_text(f.error) +
               (reason ? " (" + platform::system_error_text(f.system_error) + ")" : std::string());
    }
}

// The files of a job's outcome as the API hands them on.
std::vector<FailedFile> failed_files(const JobOutcome &done) {
    std::vector<FailedFile> out;
    for (const FileFailure &f : done.failed)
        out.push_back(
            {f.path, failure_words(f),
             f.error == Error::TemporaryCopyMissing || f.error == Error::TemporaryCopyShort});
    return out;
}

// Runs one conversion; a throw becomes the result the export would give.
template <class Job> Outcome guarded(Job &&job) {
    Outcome outcome;
    platform::set_last_error(0);
    try {
        outcome.result = job(&outcome.message);
        outcome.error = outcome.result < 0 ? platform::last_error() : 0;
    } catch (const std::bad_alloc &) {
        outcome.result = VORN_CONF_NO_MEMORY;
    } catch (...) {
        outcome.result = VORN_CONF_WRITE_FAILED;
    }
    outcome.ok = outcome.result >= 0;
    return outcome;
}

// The same for a job that ends with the library's outcome: the result is
// the number `family` gives for its error, the failed files its own.
template <class Job> Outcome guarded_job(ResultFamily family, Job &&job) {
    JobOutcome done;
    Outcome outcome = guarded([&](std::string *message) {
        done = job(message);
        return export_result(family, done.error);
    });
    outcome.failed = failed_files(done);
    return outcome;
}

// The line a message of the parser names ("Line 12:@TEXT@..."), else 0.
int failed_line(const std::string &message) {
    return message.compare(0, 5, "Line ") == 0 ? std::atoi(message.c_str() + 5) : 0;
}

// A value too long for its field refuses the file with mkconf's "Warning"
// result; the check calls such a line a warning, yet it is the line that
// stopped the compile, so the tool shows it as the error it became.
void mark_refusing_line(CheckReport &report) {
    const int line = failed_line(report.message);
    if (report.result == VORN_CONF_OK || line == 0)
        return;
    const auto on_line = [line](const Diagnostic &d) { return d.line == line; };
    const bool named =
        std::any_of(report.diagnostics.begin(), report.diagnostics.end(), [&](const Diagnostic &d) {
            return on_line(d) && d.severity == vorn::Severity::Error;
        });
    if (named)
        return;
    for (Diagnostic &d : report.diagnostics)
        if (on_line(d))
            d.severity = vorn::Severity::Error;
}

// The text of a configuration as an editor shows it, as the check read it:
// without the UTF-8 byte-order mark that the check skips.
std::string source_text(const CheckReport &report) {
    const std::string &source = report.source.bytes;
    return source.compare(0, 3, "\xEF\xBB\xBF") == 0 ? source.substr(3) : source;
}

// The lines of `source`, each without its end.
std::vector<std::string> source_lines(const std::string &source) {
    std::vector<std::string> lines;
    for (size_t begin = 0; begin < source.size();) {
        size_t end = source.find('\n', begin);
        if (end == std::string::npos)
            end = source.size();
        lines.push_back(source.substr(begin, end - begin));
        if (!lines.back().empty() && lines.back().back() == '\r')
            lines.back().pop_back();
        begin = end + 1;
    }
    return lines;
}

ConfigCheck checked(const char *config, const CheckOptions &options) {
    auto report = std::make_shared<CheckReport>(vorn::check_config(config, options));
    mark_refusing_line(*report);
    ConfigCheck check;
    check.result = report->result;
    check.message = report->message;
    check.note = report->note;
    const std::vector<std::string> lines = report->diagnostics.empty()
                                               ? std::vector<std::string>{}
                                               : source_lines(source_text(*report));
    for (const Diagnostic &d : report->diagnostics) {
        Finding f;
        f.line = d.line;
        f.column = d.column;
        f.length = d.length;
        f.severity = static_cast<Severity>(d.severity);
        f.name = finding_info(d.name).name;
        f.text = d.text;
        if (d.line > 0 && static_cast<size_t>(d.line) <= lines.size())
            f.source = lines[static_cast<size_t>(d.line) - 1];
        f.fix_column = d.fix_column;
        f.fix_length = d.fix_length;
        f.fix_text = d.fix_text;
        check.findings.push_back(std::move(f));
    }
    check.report = std::move(report);
    return check;
}

// The warnings of a configuration as its page lists them, one line each.
std::vector<std::string> page_warnings(const CheckReport &report) {
    std::vector<std::string> lines;
    for (const Diagnostic &d : report.diagnostics)
        if (d.severity == vorn::Severity::Warning)
            lines.push_back(d.line > 0 ? "line " + std::to_string(d.line) + ": " + d.text : d.text);
    return lines;
}

int config_report_page(const char *path, report::PageInfo &info, std::string &page,
                       std::string &why) {
    CheckOptions options;
    options.keep_table = true;
    const ConfigCheck check = checked(path, options);
    if (check.result != VORN_CONF_OK) {
        for (const Diagnostic &d : check.report->diagnostics)
            if (d.severity == vorn::Severity::Error && d.line > 0)
                why += format_diagnostic(path, source_text(*check.report), d);
        if (why.empty())
            why = check.message + (check.note.empty() ? "" : " (" + check.note + ")");
        while (!why.empty() && why.back() == '\n')
            why.pop_back();
        return check.result;
    }
    info.warnings = page_warnings(*check.report);
    info.removed = check.report->removed;
    page = report::table_page(*check.report->table, info);
    return 0;
}

} // namespace

int ConfigCheck::errors() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding &f) {
        return f.severity == Severity::Error;
    }));
}

int ConfigCheck::warnings() const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(), [](const Finding &f) {
        return f.severity == Severity::Warning;
    }));
}

ConfigCheck check_config(const char *config, bool keep_going, bool keep_table) {
    CheckOptions options;
    options.keep_going = keep_going;
    options.keep_table = keep_table;
    try {
        platform::set_last_error(0);
        ConfigCheck check = checked(config, options);
        // A listing that could not be written: its system reason, which the
        // message ("Cannot Write ...") leaves open.
        if (check.result == VORN_CONF_CANNOT_WRITE)
            check.error = platform::last_error();
        return check;
    } catch (const std::bad_alloc &) {
        ConfigCheck failed;
        failed.result = VORN_CONF_NO_MEMORY;
        failed.message = vorn::mkconf_result_words(VORN_CONF_NO_MEMORY);
        return failed;
    }
}

Outcome write_checked_table(const ConfigCheck &check, const char *table) {
    return guarded([&](std::string *m) {
        if (check.report == nullptr || check.report->table == nullptr)
            return static_cast<int>(VORN_CONF_CANNOT_WRITE);
        char err[kErrStrSize] = {};
        const int result =
            mkconf_bin_write_result(write_table_file(check.report->table.get(), table), err, table);
        m->assign(err, ::strnlen(err, sizeof err));
        return result;
    });
}

int report_page(const char *path, const std::string &shown, std::string &page, std::string &why) {
    try {
        report::PageInfo info;
        info.source = shown;
        std::string bytes;
        if (platform::read_whole_file(path, bytes) &&
            report::input_kind(bytes) == report::InputKind::Config)
            return config_report_page(path, info, page, why);
        return export_result(ResultFamily::Mkconf, report::page_for_file(path, info, page, why));
    } catch (const std::bad_alloc &) {
        why = vorn::mkconf_result_words(VORN_CONF_NO_MEMORY);
        return VORN_CONF_NO_MEMORY;
    }
}

Outcome compile_config(const char *config, const char *table) {
    Outcome done = guarded([&](std::string *m) { return mkconf_driver(config, table, 1, m); });
    done.line = failed_line(done.message);
    return done;
}

namespace {

std::string quoted(const char *path) {
    return std::string("\"") + (path != nullptr ? path : "NULL") + "\"";
}

// What a failed decompile tells a user, by the result mkconf gives: which
// of the two files is at fault and how, then the result and its text.
std::string decompile_failure_words(int result, const char *table, const char *config) {
    std::string why;
    switch (result) {
    case VORN_CONF_CANNOT_READ:
        why = quoted(table) + " is not a binary table that can be read (missing, too short or "
                              "damaged)";
        break;
    case VORN_CONF_TOO_MANY:
        why = quoted(table) + " names more maps than a table holds";
        break;
    case VORN_CONF_WRONG_FORMAT:
        why = quoted(table) + " is not a table of format TF01.5";
        break;
    case VORN_CONF_CANNOT_WRITE:
        why = "cannot write " + quoted(config);
        break;
    case VORN_CONF_NO_MEMORY:
        why = "not enough memory";
        break;
    case VORN_CONF_WRITE_FAILED:
        why = quoted(table) + " does not add up: its map count differs from the maps it holds";
        break;
    default:
        why = "cannot decompile " + quoted(table);
        break;
    }
    return why + " (result " + std::to_string(result) + ": " + error_text(-result) + ")";
}

} // namespace

Outcome decompile_table(const char *table, const char *config, bool lossless) {
    WriterOptions writer;
    writer.lossless = lossless;
    Outcome done =
        guarded([&](std::string *m) { return mkconf_driver(config, table, 0, m, writer); });
    if (!done.ok) {
        const bool writing = done.result == VORN_CONF_CANNOT_WRITE;
        done.failed.push_back(
            {writing ? config : table, decompile_failure_words(done.result, table, config), false});
        // Only the write names a file whose system reason the words leave open.
        if (!writing)
            done.error = 0;
    }
    return done;
}

Outcome alarm_report(const char *report, const char *log, const char *source, const char *headline,
                     AlarmStats *stats) {
    logs::AlarmStats counted;
    Outcome done = guarded_job(ResultFamily::Converter, [&](std::string *m) {
        return make_alarm_report(report, log, 0, source, headline, m, &counted);
    });
    copy_stats(counted, stats);
    return done;
}

Outcome call_lists(const CallListFiles &files, LogcallStats *stats) {
    LogcallFiles job;
    job.binfile = files.binfile;
    job.outfile = files.outfile;
    job.infile = files.infile;
    job.rejectfile = files.rejectfile;
    job.csvfile = files.csvfile;
    logs::LogcallStats counted;
    job.stats = &counted;
    // The export's message names the lists by the box's names for them; the
    // outcome names them by their paths.
    Outcome done = guarded_job(ResultFamily::Converter,
                               [&](std::string *m) { return make_logcall_lists(job, m); });
    copy_stats(counted, stats);
    return done;
}

Outcome merge_call_lists(const char *first, const char *second, const char *destination,
                         MergeStats *stats) {
    logs::MergeStats counted;
    JobOutcome merged;
    Outcome done = guarded([&](std::string *) {
        merged = vorn::merge_call_lists(first, second, destination, &counted);
        return export_result(ResultFamily::Merge, merged.error);
    });
    copy_stats(counted, stats);
    // The merge's failure is told of the merged list, whichever file failed.
    if (!done.ok)
        done.failed.push_back(
            {destination != nullptr ? destination : first, merge_failure(merged.error), false});
    return done;
}

Outcome protocol_trace(const char *binfile, const char *textfile, const char *label,
                       const char *pcapng, TraceStats *stats) {
    logs::TraceStats counted;
    // The export's message calls the text file "DTRACE", as hosts expect;
    // the outcome names it by its path.
    Outcome done = guarded_job(ResultFamily::Converter, [&](std::string *m) {
        return make_trace(binfile, textfile, label, pcapng, m, &counted);
    });
    copy_stats(counted, stats);
    return done;
}

namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

// The head of a file that the kind checks look at, and the file's size.
bool read_head(const char *path, std::string &head, uint64_t &size) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file || !platform::file_size(path, &size))
        return false;
    head.resize(logs::kKindHeadSize);
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    return std::ferror(file.get()) == 0;
}

} // namespace

// The API's kinds are the layers' kinds, named alike.
static_assert(static_cast<int>(InputKind::Unknown) == static_cast<int>(logs::InputKind::Unknown));
static_assert(static_cast<int>(InputKind::Text) == static_cast<int>(logs::InputKind::Text));

bool input_is(const char *path, InputKind wanted, std::string &why) {
    const auto expected = static_cast<logs::InputKind>(wanted);
    std::string head;
    uint64_t size = 0;
    if (!read_head(path, head, size)) {
        why = std::string("cannot read ") + path + ": " +
              platform::system_error_text(platform::last_error());
        return false;
    }
    const logs::KindCheck check = logs::check_kind(expected, head, size);
    if (check.fits)
        return true;
    const logs::InputKind likely = report::likely_kind(head, size);
    why = std::string(path) + " is not " + logs::kind_name(expected) + " (";
    if (likely != logs::InputKind::Unknown && likely != expected)
        why += std::string("it looks like ") + logs::kind_name(likely) + ")";
    else
        why += check.reason + ")";
    return false;
}

namespace {

// A whole text file as the compiler reads it (text mode); false when it
// cannot be read.
bool read_text(const char *path, std::string &text) {
    std::FILE *file = std::fopen(path, "r");
    if (file == nullptr)
        return false;
    char buffer[8192];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    const bool ok = std::ferror(file) == 0;
    return std::fclose(file) == 0 && ok;
}

std::vector<RecordDifference> api_differences(const std::vector<vorn::RecordDifference> &from) {
    std::vector<RecordDifference> out;
    out.reserve(from.size());
    for (const vorn::RecordDifference &d : from)
        out.push_back({d.field, d.expected, d.actual});
    return out;
}

} // namespace

std::string describe_differences(const std::vector<RecordDifference> &differences) {
    std::vector<vorn::RecordDifference> library;
    library.reserve(differences.size());
    for (const RecordDifference &d : differences)
        library.push_back({d.field, d.expected, d.actual});
    return vorn::describe_differences(library);
}

TextCheck check_decompiled(const char *table, const char *config) {
    TextCheck check;
    const OwnedTable record = read_owned_table(table);
    std::string text;
    if (record == nullptr || !read_text(config, text)) {
        check.result = export_result(ResultFamily::ConfigReader, Error::CannotRead);
        check.message = file_error_message(Error::CannotRead, record == nullptr ? table : config);
        return check;
    }
    SelfCheckResult done = self_check(text, *record);
    check.result = export_result(ResultFamily::ConfigReader, done.result);
    check.message = std::move(done.message);
    check.differences = api_differences(done.differences);
    return check;
}

bool compare_table_files(const char *a, const char *b, bool stamps,
                         std::vector<RecordDifference> &differences) {
    const OwnedTable first = read_owned_table(a);
    if (first == nullptr)
        return false;
    // The reader registers each table it reads; the first one stays ours.
    set_instance_table(nullptr);
    const OwnedTable second = read_owned_table(b);
    if (second == nullptr)
        return false;
    RecordCompareOptions options;
    options.stamps = stamps;
    differences = api_differences(compare_records(*first, *second, options));
    return true;
}

const char *mkconf_result_words(int result) {
    return vorn::mkconf_result_words(result);
}

const char *error_text(int code) {
    return vorn::error_text(code);
}

const char *tool_name() {
    const char *name = nullptr;
    get_tool_name(&name);
    return name != nullptr ? name : "";
}

} // namespace vorn::api
