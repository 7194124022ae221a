// The internal API's own entries: the conversions with their messages and
// the owned table, over the conf, logs, table and frame layers.
#include "api/internal_api.h"
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "logs/alarm.h"
#include "logs/logcall.h"
#include "logs/prot_trace.h"
#include "report/report.h"
#include "table/bin_table.h"
#include "vorn_b32.h"

#include <cstdio>
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

} // namespace

Outcome compile_config(const char *config, const char *table) {
    return guarded([&](std::string *m) { return mkconf_driver(config, table, 1, m); });
}

Outcome decompile_table(const char *table, const char *config) {
    return guarded([&](std::string *m) { return mkconf_driver(config, table, 0, m); });
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
