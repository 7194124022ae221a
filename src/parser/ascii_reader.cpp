// The parse of an ASCII configuration file: open, allocate and initialise
// the working buffer, read the file line by line through the two passes,
// then the end-of-parse work (holidays, map count, periods), the standard
// maps and the period test.  The compiler above hands the result to the
// optimizer.
#include "frame/frame.h"
#include "parser/config_source.h"
#include "parser/parse_observer.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace vorn {

namespace {

constexpr const char *kSourceLabel = "CONF15";
// Source lines that the banners and trace lines name.
constexpr unsigned kLineOpen = 182;
constexpr unsigned kLineInit = 200;
constexpr unsigned kLineNoTable = 224;
constexpr unsigned kLineNoPeriodBlock = 230;
constexpr unsigned kLineInitPhase[] = {237, 247, 258, 271, 284, 318};
constexpr unsigned kLineParse = 321;
constexpr unsigned kLineEndOfParse = 1167;
constexpr unsigned kLineStandardMaps = 1234;

// Lines are read with a 100-byte buffer: 99 characters at most.
constexpr size_t kReadSize = kLineBufferSize;
// Messages show at most this many characters of the failing line.
constexpr int kShownLineLength = 50;
constexpr size_t kWorkAreaBlocks = 40;

void banner(char letter, const char *format, unsigned line, const char *arg = nullptr) {
    char row[66];
    std::memset(row, letter, 65);
    row[65] = '\0';
    dbg_printf("%s\n", row);
    if (arg != nullptr)
        dbg_printf(format, line, arg);
    else
        dbg_printf(format, line);
    dbg_printf("%s\n", row);
}

void size_report() {
    struct Row {
        const char *name;
        unsigned size;
        unsigned count;
    };
    static constexpr Row kRows[] = {
        {"table_t", sizeof(table_t), 1},
        {"k_currency_t", sizeof(k_currency_t), 1},
        {"map_period_t", sizeof(map_period_t), MAX_PERIODS},
        {"holiday_t", sizeof(holiday_t), MAX_HOLIDAYS},
        {"mapcb_t", sizeof(mapcb_t), 1},
        {"dtmf_t", sizeof(dtmf_t), 1},
        {"redirect_t", sizeof(redirect_t), MAX_REDIRECT},
        {"table_reserved_t", sizeof(table_reserved_t), 1},
        {"map_t", sizeof(map_t), MAX_MAP_TABLE_ENTRIES},
    };
    for (const Row &r : kRows)
        dbg_printf("size %20s: %5u * %4u = %6u\n", r.name, r.size, r.count, r.size * r.count);
}

// Blanks, tabs and the CR of a line end: nothing the parser reads as a word.
bool is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Passes over the rest of a line that is cut after its 98th character; the
// character in `dropped` (the 99th) goes with it.  Notes in `cut` how long
// the physical line was and what the part passed over began with, so that a
// check can tell the user; the line end (LF, or CR LF) is not counted.
void pass_over_rest(SourceCursor &file, char dropped, LineCut &cut) {
    int32_t length = static_cast<int32_t>(kCutLineLength) + 1;
    char first = is_blank(static_cast<unsigned char>(dropped)) ? '\0' : dropped;
    int c = 0;
    int previous = 0;
    while ((c = file.get()) != EOF && c != '\n') {
        ++length;
        if (first == '\0' && !is_blank(c))
            first = static_cast<char>(c);
        previous = c;
    }
    if (c == '\n' && previous == '\r')
        --length;
    cut.length = length;
    cut.first_text = first;
}

// Reads one physical line into ps.line (kReadSize bytes): a CR LF end is
// read as LF, a line of 99 characters or more keeps 98 of them and a line
// end, and the rest of it is passed over.  False at the end of the file.
bool read_line(SourceCursor &file, ParseState &ps) {
    char *buf = ps.line;
    size_t n = 0;
    int c = 0;
    bool ended = false;
    ps.cut = LineCut{};
    while (n + 1 < kReadSize && (c = file.get()) != EOF) {
        if (c == '\r') {
            const int next = file.get();
            if (next == '\n')
                c = '\n';
            else if (next != EOF)
                file.unget();
        }
        buf[n++] = static_cast<char>(c);
        if (c == '\n') {
            ended = true;
            break;
        }
    }
    buf[n] = '\0';
    if (n == 0)
        return false;
    if (!ended && n + 1 == kReadSize) {
        const char dropped = buf[kCutLineLength];
        buf[kCutLineLength] = '\n';
        buf[kCutLineLength + 1] = '\0';
        pass_over_rest(file, dropped, ps.cut);
        dbg_printf("WARNING: cut line %d\n", ps.line_number + 1);
    }
    // A NUL byte ends the text of the line; the rest is not looked at.
    return true;
}

// An editor's UTF-8 byte-order mark in front of the first line.
void drop_byte_order_mark(char *line) {
    if (std::strncmp(line, "\xEF\xBB\xBF", 3) == 0)
        std::memmove(line, line + 3, std::strlen(line + 3) + 1);
}

void upper_case(char *text) {
    for (; *text != '\0'; ++text)
        *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
}

// The first pass decides whether the line is looked at at all.
bool line_has_key_and_value(const LineWords &w, Error split) {
    const char *key = w.tokens[0];
    if (split == Error::NoFirstWord || key == nullptr || strcasecmp(key, "rem") == 0)
        return false;
    return w.tokens[1] != nullptr || key[0] == '[';
}

void handle_line(ParseState &ps) {
    LineWords written;
    if (!line_has_key_and_value(written, parse_line(ps.line, written)))
        return;
    first_pass_keys(ps, written.tokens);

    std::memcpy(ps.scratch, ps.line, sizeof ps.scratch);
    upper_case(ps.scratch);
    std::memcpy(ps.upper_line, ps.scratch, sizeof ps.upper_line);
    if (parse_line(ps.scratch, ps.words) == Error::NoFirstWord)
        return;
    dispatch_key(ps);
}

void init_table(table_t *t) {
    auto *bytes = reinterpret_cast<uint8_t *>(t);
    dbg_printf("%s#%u: init phase 1\n", kSourceLabel, kLineInitPhase[0]);
    dbg_printf("fill table: whole table with 0xff (%u bytes at %p)\n",
               static_cast<unsigned>(kTableSize), static_cast<void *>(bytes));
    std::memset(bytes, UNUSED_BYTE, kTableSize);
    dbg_printf("fill table: first part with 0x00 (%u bytes at %p)\n",
               static_cast<unsigned>(kTableHeadSize), static_cast<void *>(bytes));
    std::memset(bytes, 0, kTableHeadSize);

    dbg_printf("%s#%u: init phase 2\n", kSourceLabel, kLineInitPhase[1]);
    const size_t block = kWorkAreaSize / kWorkAreaBlocks;
    for (size_t i = 0; i < kWorkAreaBlocks; ++i) {
        uint8_t *at = bytes + kTableSize + i * block;
        dbg_printf("fill table: remain with 0xff (%u bytes at %p)\n", static_cast<unsigned>(block),
                   static_cast<void *>(at));
        std::memset(at, UNUSED_BYTE, block);
    }

    // Phases 3 to 5 set the counts, the currency, the protocol bytes and the
    // call-back and DTMF defaults of a fresh table.
    dbg_printf("%s#%u: init phase 3\n", kSourceLabel, kLineInitPhase[2]);
    init_fresh_table(t);
    dbg_printf("%s#%u: init phase 4\n", kSourceLabel, kLineInitPhase[3]);
    dbg_printf("%s#%u: init phase 5\n", kSourceLabel, kLineInitPhase[4]);
    dbg_printf("%s#%u: init phase 6\n", kSourceLabel, kLineInitPhase[5]);
}

// The message head for the failing line, then the result of its level.
Error fail_at_line(ParseState &ps, char *err_str) {
    dbg_printf("readed line %4d: %s\n", ps.line_number, ps.upper_line);
    if (err_str != nullptr) {
        if (std::strlen(ps.upper_line) <= static_cast<size_t>(kShownLineLength))
            std::snprintf(err_str, kErrStrSize, "%s %d:@%s@", "Line", ps.line_number,
                          ps.upper_line);
        else
            std::snprintf(err_str, kErrStrSize, "%s %d:@%50.50s...@", "Line", ps.line_number,
                          ps.upper_line);
    }
    release_period_block(ps);
    return line_failed(ps.error_level);
}

// Holidays, map count and period bookkeeping after the last line.
void end_of_parse(ParseState &ps) {
    table_t *t = ps.table;
    if (t->table_holiday_entries == 0)
        parse_holiday(t, nullptr); // the holiday file, when there is one
    banner('D', "#%u: End of parsing _____________\n", kLineEndOfParse);
    std::qsort(t->table_holiday, MAX_HOLIDAYS, sizeof(holiday_t), cmp_holiday);

    dbg_printf("fill maps: map_i=%u/%u\n", ps.map_count, 0u);
    t->table_used_map_entries = static_cast<int16_t>(ps.map_count);
    dbg_printf("new map_i=%u/%u map_entries=%u/%u\n", ps.map_count, 0u, ps.map_count,
               static_cast<unsigned>(t->table_max_map_entries));
    dbg_printf("table_used_map_entries=%u\n", static_cast<unsigned>(t->table_used_map_entries));

    ps.mpde[ps.current_period].mpde_last_map = ps.map_count - 1;
    t->table_max_period_entries = static_cast<int16_t>(ps.current_period);
    ps.error_level = CONF_OK;
    ps.current_period = 0;
}

// PERIODTEST: the periods start one minute after another from now on, so
// that a technician sees them switch.
void period_test(ParseState &ps) {
    uint8_t now[6];
    conf_gettime(now);
    const unsigned periods = static_cast<unsigned>(ps.table->table_max_period_entries);
    for (unsigned i = 1; i <= periods && i < static_cast<unsigned>(kPeriodBlockEntries); ++i) {
        unsigned hour = now[2];
        unsigned minute = now[1] + i - 1;
        if (minute >= 60) {
            minute %= 60;
            hour += 1;
        }
        if (hour == 24)
            hour = 0;
        ps.mpde[i].mpde_hour = static_cast<uint8_t>(hour);
        ps.mpde[i].mpde_minute = static_cast<uint8_t>(minute);
        dbg_printf("set period[%u]=[%u:%u]\n", i, hour, minute);
    }
}

// Takes the source and obtains the two blocks.  Returns Ok or the error.
Error start_parse(ParseState &ps, table_t **table, const ConfigSource &source) {
    banner('A', "#%u: Open file <%s> _____________\n", kLineOpen, source.origin.c_str());
    if (!source.loaded)
        return Error::CannotRead;

    banner('B', "#%u: Beginn of initializing _____________\n", kLineInit);
    void *block = myAlloc(kWorkBufferSize, "pt");
    dbg_printf("read_ascii_table15: alloc %u bytes, pt=%p\n",
               static_cast<unsigned>(kWorkBufferSize), block);
    ps.table = static_cast<table_t *>(block);
    *table = ps.table;
    set_instance_table(ps.table);
    size_report();
    if (ps.table == nullptr) {
        dbg_printf("%s#%u: pt==NULL\n", kSourceLabel, kLineNoTable);
        return Error::NoMemory;
    }
    ps.mpde = static_cast<mpde_t *>(myAlloc(kPeriodBlockSize, "mpde"));
    if (ps.mpde == nullptr) {
        dbg_printf("%s#%u: mpde==NULL\n", kSourceLabel, kLineNoPeriodBlock);
        return Error::NoMemory;
    }
    std::memset(static_cast<void *>(ps.mpde), 0, kPeriodBlockSize);
    init_table(ps.table);
    return Error::Ok;
}

} // namespace

Error line_failed(int error_level) {
    switch (error_level) {
    case CONF_WARNING:
        return Error::ValueCut;
    case CONF_WRONG_VALUE:
        return Error::WrongValue;
    case CONF_NO_PERIOD:
        return Error::NoMemory;
    case CONF_MAPS_FULL:
        return Error::TooManyEntries;
    case CONF_NO_HOLIDAYS:
        return Error::HolidayFile;
    default: // CONF_SYNTAX; the handlers set no other level
        return Error::SyntaxError;
    }
}

ParseState::~ParseState() {
    release_period_block(*this);
}

void release_period_block(ParseState &ps) {
    if (ps.mpde == nullptr)
        return;
    myFree(ps.mpde, "mpde");
    ps.mpde = nullptr;
}

Error parse_ascii_config(ParseState &ps, table_t **table, const ConfigSource &source,
                         char *err_str) {
    if (table != nullptr)
        *table = nullptr;
    if (err_str != nullptr)
        err_str[0] = '\0';

    SourceCursor cursor(source);
    table_t *unused = nullptr;
    if (const Error r = start_parse(ps, table != nullptr ? table : &unused, source);
        r != Error::Ok) {
        release_period_block(ps);
        return r;
    }

    banner('C', "#%u: Beginn of parsing _____________\n", kLineParse);
    if (ps.verbose)
        platform::console_printf("Parsing table...\n");
    while (read_line(cursor, ps)) {
        ++ps.line_number;
        if (ps.line_number == 1 && ps.observer != nullptr && ps.observer->skips_byte_order_mark())
            drop_byte_order_mark(ps.line);
        if (ps.observer != nullptr)
            ps.observer->before_line(ps);
        handle_line(ps);
        if (ps.observer != nullptr && ps.observer->after_line(ps)) {
            ps.error_level = CONF_OK; // noted by the observer: read on
            ps.wrong_table_format = false;
        }
        if (ps.wrong_table_format) {
            release_period_block(ps);
            return Error::WrongTableFormat;
        }
        if (ps.error_level != CONF_OK)
            return fail_at_line(ps, err_str);
    }

    end_of_parse(ps);
    if ((ps.option_byte & OPT_NO_STANDARD_MAPS) == 0) {
        banner('E', "#%u: Including standard maps _____________\n", kLineStandardMaps);
        add_standard_maps(ps);
    }
    if ((ps.option_word & OPT2_PERIOD_TEST) != 0)
        period_test(ps);
    if (ps.observer != nullptr)
        ps.observer->parse_done(ps);
    return Error::Ok;
}

} // namespace vorn
