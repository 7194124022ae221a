// The internal API's own entries: the conversions with their messages and
// the owned table, over the conf, logs, table and frame layers.
#include "api/internal_api.h"
#include "conf/mkconf_driver.h"
#include "conf/self_check.h"
#include "frame/file_messages.h"
#include "frame/frame.h"
#include "logs/alarm.h"
#include "logs/logcall.h"
#include "logs/prot_trace.h"
#include "table/bin_table.h"
#include "vorn_b32.h"

#include <cstdio>
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

} // namespace

Outcome compile_config(const char *config, const char *table) {
    return guarded([&](std::string *m) { return mkconf_driver(config, table, 1, m); });
}

Outcome decompile_table(const char *table, const char *config, bool lossless) {
    WriterOptions writer;
    writer.lossless = lossless;
    return guarded([&](std::string *m) { return mkconf_driver(config, table, 0, m, writer); });
}

Outcome alarm_report(const char *report, const char *log, const char *source,
                     const char *headline) {
    return guarded(
        [&](std::string *m) { return make_alarm_report(report, log, 0, source, headline, m); });
}

Outcome call_lists(const CallListFiles &files) {
    LogcallFiles job;
    job.binfile = files.binfile;
    job.outfile = files.outfile;
    job.infile = files.infile;
    job.rejectfile = files.rejectfile;
    job.csvfile = files.csvfile;
    return guarded([&](std::string *m) { return make_logcall_lists(job, m); });
}

Outcome merge_call_lists(const char *first, const char *second, const char *destination) {
    return guarded(
        [&](std::string *) { return vorn::merge_call_lists(first, second, destination); });
}

Outcome protocol_trace(const char *binfile, const char *textfile, const char *label,
                       const char *pcapng) {
    return guarded([&](std::string *m) { return make_trace(binfile, textfile, label, pcapng, m); });
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

void TableRelease::operator()(table_t *table) const {
    myFree(table, "pTable");
    set_instance_table(nullptr);
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

} // namespace vorn::api
