// Holidays: the dates on which the periods marked HO apply.  They come from
// Holiday lines or from a holiday file; the file is read once per process,
// and a process that found none takes every Holiday line as a date.  That
// process-wide state is the only state the parser shares between calls, so
// it sits behind a lock.
#include "parser/parser.h"
#include "platform/platform.h"
#include "table/split_numbers.h"
#include "trace/trace.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace vorn {

namespace {

// Source lines that the holiday-file trace lines name.
constexpr unsigned kLineAccess = 1488;
constexpr unsigned kLineOpen = 1503;
constexpr unsigned kLineRead = 1516;

constexpr const char *kDefaultHolidayFile = "HoliDay.cfg";
// Characters around the date of a holiday file line ("HOLIDAY=24.12 ; ...").
constexpr const char *kHolidayLineSeparators = "HOLIDAY= ;\n";

struct HolidayFileState {
    std::mutex mutex;
    std::string path; // the file read in this process; empty: none read
    bool missing = false;
};

HolidayFileState &holiday_file_state() {
    static HolidayFileState state;
    return state;
}

// The text up to the first double quote, after leading double quotes.
std::string unquoted(const char *value) {
    while (*value == '"')
        ++value;
    const char *end = std::strchr(value, '"');
    return end != nullptr ? std::string(value, end) : std::string(value);
}

// True when `path` may be read; traces why not.
bool readable(const std::string &path) {
    const int error = platform::file_readable(path.c_str());
    dbg_printf("parse_holiday#%u:access -> %d\n", kLineAccess, error == 0 ? 0 : -1);
    if (error != 0)
        dbg_printf("access HolidayPath -> %d %s\n", error,
                   platform::system_error_text(error).c_str());
    return error == 0;
}

Error load_holiday_file(table_t *table, const std::string &path) {
    dbg_printf("parse_holiday#%u:open HolidayPath=<%s>\n", kLineOpen, path.c_str());
    // Only a plain file is read: a FIFO would block and a device need not end.
    if (platform::file_identity(path.c_str()).kind != platform::FileIdentity::Regular)
        return Error::HolidayFile;
    std::FILE *file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return Error::HolidayFile;
    if (table->table_holiday_entries != 0) {
        dbg_printf("delete old %u holiday entries\n",
                   static_cast<unsigned>(table->table_holiday_entries));
        std::memset(table->table_holiday, 0, sizeof table->table_holiday);
        table->table_holiday_entries = 0;
    }
    char buf[100];
    while (platform::read_text_line(file, buf, sizeof buf)) {
        dbg_printf("parse_holiday#%u:read buf<%s>\n", kLineRead, buf);
        for (char *p = buf; *p != '\0'; ++p)
            *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
        char *save = nullptr;
        if (const char *date = strtok_r(buf, kHolidayLineSeparators, &save))
            add_holiday(table, date); // a line that is no date is passed over
    }
    std::fclose(file);
    return Error::Ok;
}

} // namespace

Error add_holiday(table_t *table, const char *text) {
    int slot = 0;
    while (slot < MAX_HOLIDAYS && table->table_holiday[slot].holiday_day != 0)
        ++slot;
    if (slot >= MAX_HOLIDAYS)
        return Error::NotADate;
    uint16_t day = 0;
    uint16_t month = 0;
    if (split_numbers(text, ".", &day, &month, nullptr) != Error::Ok)
        return Error::NotADate;
    if (day < 1 || day > 31 || month < 1 || month > 12)
        return Error::DateOutOfRange;

    holiday_t &h = table->table_holiday[slot];
    h.holiday_day = static_cast<uint8_t>(day);
    h.holiday_month = static_cast<uint8_t>(month);
    dbg_printf("HOLIDAY[%02u] %2u.%02u\n", slot, day, month);
    table->table_holiday_entries = static_cast<int16_t>(slot + 1);
    for (int i = 0; i < slot; ++i) {
        const holiday_t &earlier = table->table_holiday[i];
        if (earlier.holiday_day == h.holiday_day && earlier.holiday_month == h.holiday_month) {
            h = holiday_t{};
            --table->table_holiday_entries;
            break;
        }
    }
    dbg_printf("HOLIDAY[%02u] %2u.%02u (%u entries)\n", slot, day, month,
               static_cast<unsigned>(table->table_holiday_entries));
    return Error::Ok;
}

Error parse_holiday(table_t *table, char **tokens) {
    HolidayFileState &state = holiday_file_state();
    const std::lock_guard<std::mutex> lock(state.mutex);
    const char *value = tokens != nullptr ? tokens[1] : nullptr;

    if (!state.path.empty()) {
        dbg_printf("read entries only once from <%s>\n", state.path.c_str());
        return Error::Ok;
    }
    if (!state.missing) {
        std::string path = value != nullptr && value[0] != '\0' ? unquoted(value) : "";
        if (path.empty())
            path = kDefaultHolidayFile;
        dbg_printf("parse_holiday:HolidayPath=<%s>\n", path.c_str());
        if (!readable(path)) {
            path = kDefaultHolidayFile;
            if (!readable(path))
                path.clear();
        }
        if (!path.empty()) {
            state.path = path;
            return load_holiday_file(table, path);
        }
        state.missing = true;
    }
    // No holiday file in this process: the line's value is a date.
    if (tokens == nullptr)
        return Error::Ok;
    return value != nullptr ? add_holiday(table, value) : Error::NotADate;
}

int cmp_holiday(const void *a, const void *b) {
    const auto *x = static_cast<const holiday_t *>(a);
    const auto *y = static_cast<const holiday_t *>(b);
    if (x->holiday_day == 0 || y->holiday_day == 0)
        return (x->holiday_day == 0) - (y->holiday_day == 0);
    if (x->holiday_month != y->holiday_month)
        return x->holiday_month - y->holiday_month;
    return x->holiday_day - y->holiday_day;
}

std::string holiday_file_read() {
    HolidayFileState &state = holiday_file_state();
    const std::lock_guard<std::mutex> lock(state.mutex);
    return state.path;
}

void reset_holiday_file_state_for_tests() {
    HolidayFileState &state = holiday_file_state();
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.path.clear();
    state.missing = false;
}

} // namespace vorn
