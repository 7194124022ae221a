// The internal API's own entries: the conversions with their messages and
// the owned table, over the conf, logs, table and frame layers.
#include "api/internal_api.h"
#include "conf/check.h"
#include "conf/mkconf_driver.h"
#include "conf/self_check.h"
#include "frame/file_messages.h"
#include "frame/frame.h"
#include "logs/alarm.h"
#include "logs/logcall.h"
#include "logs/prot_trace.h"
#include "report/report.h"
#include "table/bin_table.h"
#include "vorn_b32.h"
#include "writer/field_formatters.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace vorn::api {

namespace {

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
    return outcome;
}

// A value too long for its field refuses the file with mkconf's "Warning"
// result; the check calls such a line a warning, yet it is the line that
// stopped the compile, so the tool shows it as the error it became.
void mark_refusing_line(CheckReport &report) {
    if (report.result == VORN_CONF_OK || report.message.compare(0, 5, "Line ") != 0)
        return;
    const int line = std::atoi(report.message.c_str() + 5);
    const auto on_line = [line](const Diagnostic &d) { return d.line == line; };
    const bool named =
        std::any_of(report.diagnostics.begin(), report.diagnostics.end(), [&](const Diagnostic &d) {
            return on_line(d) && d.severity == Severity::Error;
        });
    if (named)
        return;
    for (Diagnostic &d : report.diagnostics)
        if (on_line(d))
            d.severity = Severity::Error;
}

// The text of a configuration as an editor shows it: without the UTF-8
// byte-order mark that the check skips.
std::string source_text(const char *config) {
    std::string source;
    platform::read_whole_file(config, source); // without it the records stand without their lines
    if (source.compare(0, 3, "\xEF\xBB\xBF") == 0)
        source.erase(0, 3);
    return source;
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
                                               : source_lines(source_text(config));
    for (const Diagnostic &d : report->diagnostics) {
        Finding f;
        f.line = d.line;
        f.column = d.column;
        f.length = d.length;
        f.severity = d.severity;
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
        if (d.severity == Severity::Warning)
            lines.push_back(d.line > 0 ? "line " + std::to_string(d.line) + ": " + d.text : d.text);
    return lines;
}

int config_report_page(const char *path, report::PageInfo &info, std::string &page,
                       std::string &why) {
    CheckOptions options;
    options.keep_table = true;
    const ConfigCheck check = checked(path, options);
    if (check.result != VORN_CONF_OK) {
        const std::string source = source_text(path); // read once for every error
        for (const Diagnostic &d : check.report->diagnostics)
            if (d.severity == Severity::Error && d.line > 0)
                why += format_diagnostic(path, source, d);
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
        return checked(config, options);
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
            mkconf_bin_write_result(write_hex_file(check.report->table.get(), table), err, table);
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
        return report::page_for_file(path, info, page, why);
    } catch (const std::bad_alloc &) {
        why = vorn::mkconf_result_words(VORN_CONF_NO_MEMORY);
        return VORN_CONF_NO_MEMORY;
    }
}

Outcome compile_config(const char *config, const char *table) {
    return guarded([&](std::string *m) { return mkconf_driver(config, table, 1, m); });
}

Outcome decompile_table(const char *table, const char *config, bool lossless) {
    WriterOptions writer;
    writer.lossless = lossless;
    return guarded([&](std::string *m) { return mkconf_driver(config, table, 0, m, writer); });
}

Outcome alarm_report(const char *report, const char *log, const char *source, const char *headline,
                     AlarmStats *stats) {
    return guarded([&](std::string *m) {
        return make_alarm_report(report, log, 0, source, headline, m, stats);
    });
}

Outcome call_lists(const CallListFiles &files, LogcallStats *stats) {
    LogcallFiles job;
    job.binfile = files.binfile;
    job.outfile = files.outfile;
    job.infile = files.infile;
    job.rejectfile = files.rejectfile;
    job.csvfile = files.csvfile;
    job.stats = stats;
    return guarded([&](std::string *m) { return make_logcall_lists(job, m); });
}

Outcome merge_call_lists(const char *first, const char *second, const char *destination,
                         MergeStats *stats) {
    return guarded(
        [&](std::string *) { return vorn::merge_call_lists(first, second, destination, stats); });
}

Outcome protocol_trace(const char *binfile, const char *textfile, const char *label,
                       const char *pcapng, TraceStats *stats) {
    return guarded(
        [&](std::string *m) { return make_trace(binfile, textfile, label, pcapng, m, stats); });
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

bool input_is(const char *path, InputKind expected, std::string &why) {
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
    const InputKind likely = report::likely_kind(head, size);
    why = std::string(path) + " is not " + kind_name(expected) + " (";
    if (likely != InputKind::Unknown && likely != expected)
        why += std::string("it looks like ") + kind_name(likely) + ")";
    else
        why += check.reason + ")";
    return false;
}

InputKind likely_kind(const char *path) {
    std::string head;
    uint64_t size = 0;
    return read_head(path, head, size) ? report::likely_kind(head, size) : InputKind::Unknown;
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
    const OwnedTable record = read_table_file(table);
    std::string text;
    if (record == nullptr || !read_text(config, text)) {
        check.result = -2;
        check.message = file_message(FileMessage::CannotRead, record == nullptr ? table : config);
        return check;
    }
    SelfCheckResult done = self_check(text, *record);
    check.result = done.result;
    check.message = std::move(done.message);
    check.differences = api_differences(done.differences);
    return check;
}

bool compare_table_files(const char *a, const char *b, bool stamps,
                         std::vector<RecordDifference> &differences) {
    const OwnedTable first = read_table_file(a);
    if (first == nullptr)
        return false;
    // The reader registers each table it reads; the first one stays ours.
    set_instance_table(nullptr);
    const OwnedTable second = read_table_file(b);
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

OwnedTable read_table_file(const char *path) {
    table_t *table = nullptr;
    const int r = read_hex_file(&table, path);
    OwnedTable owned(table);
    if (r != 0)
        owned.reset();
    return owned;
}

uint16_t table_checksum(const table_t *table) {
    return table_crc(table);
}

// ---- routing ----------------------------------------------------------------------

std::string map_line(const table_t &table, int index) {
    char line[kMapLineSize] = {};
    if (index >= 0 && index < MAX_MAP_TABLE_ENTRIES)
        format_map_line(&table, &table.table_map[index], line, sizeof line);
    return line;
}

std::string period_heading_text(const table_t &table, int period) {
    return period <= 0 ? "global" : period_heading(&table, static_cast<unsigned>(period), false);
}

const table_t *checked_table(const ConfigCheck &check) {
    return check.report != nullptr ? check.report->table.get() : nullptr;
}

} // namespace vorn::api
