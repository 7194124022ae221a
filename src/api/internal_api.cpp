// The internal API's own entries: the conversions with their messages and
// the owned table, over the conf, logs, table and frame layers.
#include "api/internal_api.h"
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "logs/alarm.h"
#include "logs/logcall.h"
#include "logs/prot_trace.h"
#include "table/bin_table.h"
#include "vorn_b32.h"

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

} // namespace vorn::api
