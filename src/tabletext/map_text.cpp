// The map line of traces and listings, the minute-model charge words, the
// subscriber lines and the date text.  Every field is read within its own
// bytes: tables come from files of any content, so texts may lack their
// terminator and period indices may exceed the 64 period records.
#include "tabletext/map_text.h"

#include "platform/platform.h"
#include "trace/trace.h"

#include <cstring>

namespace vorn {

namespace {

// Every text goes to the trace; to the file only when there is one.
void emit(std::FILE *file, const char *text) {
    if (file != nullptr)
        std::fputs(text, file);
    dbg_printf("%s", text);
}

// Appends text to a bounded buffer, cutting what does not fit.
void append(char *buffer, size_t capacity, const char *text) {
    if (buffer == nullptr || capacity == 0)
        return;
    const size_t used = ::strnlen(buffer, capacity - 1);
    std::snprintf(buffer + used, capacity - used, "%s", text);
}

// The day mask as eight characters 0 or 1, holiday bit first.
void day_bits(uint8_t days, char out[9]) {
    for (int bit = 7; bit >= 0; --bit)
        out[7 - bit] = (days >> bit) & 1 ? '1' : '0';
    out[8] = '\0';
}

// One named value of the charge word, v in thousandths, with trailing zeros
// of the decimals dropped.
void value_text(char *out, size_t cap, const char *name, unsigned long v) {
    const unsigned long whole = v / 1000;
    const unsigned long rest = v % 1000;
    if (rest == 0)
        std::snprintf(out, cap, " %s=%lu", name, whole);
    else if (rest % 100 == 0)
        std::snprintf(out, cap, " %s=%lu.%01lu", name, whole, rest / 100);
    else if (rest % 10 == 0)
        std::snprintf(out, cap, " %s=%lu.%02lu", name, whole, rest / 10);
    else
        std::snprintf(out, cap, " %s=%lu.%03lu", name, whole, rest);
}

// The charge words of w: the file form (decimals) into `text`, the trace
// form (raw thousandths) into `trace`.
void charge_texts(uint32_t w, char *text, size_t text_cap, char *trace, size_t trace_cap) {
    text[0] = '\0';
    trace[0] = '\0';
    auto shown = [&](const char *name, unsigned long v) {
        char part[48];
        value_text(part, sizeof part, name, v);
        append(text, text_cap, part);
        std::snprintf(part, sizeof part, " %s=%lu", name, v);
        append(trace, trace_cap, part);
    };
    auto word = [&](const char *w_text) {
        append(text, text_cap, w_text);
        append(trace, trace_cap, w_text);
    };

    const unsigned m1 = w & 0x7Fu;
    const unsigned s1 = (w >> 16) & 7u;
    const unsigned t1 = (w >> 11) & 0x1Fu;
    const unsigned m2 = (w >> 19) & 0x1FFFu;
    const unsigned s2 = (w >> 7) & 3u;

    if (m1 > 0)
        shown("M1", m1 * 10ul);
    if (s1 == 7)
        word(" ST1");
    else if (s1 == 6)
        word(" U1");
    else if (s1 > 0)
        shown("S1", static_cast<unsigned long>(m1) * s1 * 10);
    if (t1 > 0)
        shown("T1", t1 * 30000ul);
    if (m2 > 0)
        shown("M2", m2);
    if (s2 == 3)
        word(" ST2");
    else if (s2 > 0)
        shown("S2", m1 != 0 ? static_cast<unsigned long>(s2) * m1 * 10
                            : static_cast<unsigned long>(s2) * m2);
    if (m1 != 0 || m2 != 0)
        shown("I", charge_interval_seconds(w) * 1000ul);
}

constexpr size_t kChargeTextSize = 160;

} // namespace

map_period_t table_period_record(const table_t *table, unsigned index) {
    // Periods beyond the 64 records are read from the bytes behind them, as
    // the box does; the index is a byte, so this stays in the table's head.
    map_period_t period{};
    const size_t offset = offsetof(table_t, table_period) + (index & 0xFFu) * sizeof(map_period_t);
    std::memcpy(&period, reinterpret_cast<const uint8_t *>(table) + offset, sizeof period);
    return period;
}

void format_charge_word(std::FILE *file, char *buffer, size_t capacity, uint32_t word,
                        const uint32_t * /*unit: never shown*/) {
    char text[kChargeTextSize];
    char trace[kChargeTextSize];
    charge_texts(word, text, sizeof text, trace, sizeof trace);
    if (buffer != nullptr && capacity > 0) {
        buffer[0] = '\0';
        append(buffer, capacity, text);
    }
    dbg_printf("%s\n", trace);
    if (file == nullptr)
        return;
    std::fputs(text, file);
    const bool amounts = (word & 0x7Fu) != 0 || (word >> 19) != 0;
    if (amounts)
        std::fprintf(file, " ;(%08lx)", static_cast<unsigned long>(word));
    std::fputs("\n", file);
}

namespace {

// The part of a map line before its charge: index, escape length, rank,
// mode, period with its start and days, escape and code.
void format_map_head(const table_t *table, const char *prefix, const map_t *map, unsigned index,
                     char (&head)[256]) {
    const map_period_t period = table_period_record(table, map->map_period);
    char days[9];
    day_bits(period.period_days, days);
    char code[sizeof map->map_code + 1];
    copy_field(code, map->map_code, sizeof map->map_code);
    std::snprintf(head, sizeof head,
                  "%smap[%04u]: l%02d r%02d m%02X i%02u(%02u%02u-%s) esc:%-*.*s code:%s",
                  prefix != nullptr ? prefix : "", index, map_esclen(*map), map_rank(*map),
                  map->map_mode, map->map_period, period.period_hour, period.period_minute, days,
                  MAX_ESCAPE_LENGTH, MAX_ESCAPE_LENGTH, map->map_escape, code);
}

// A map charged through its three charge fields (the table is not in the
// minute model); nothing behind the head when the first field is 0.
void print_field_charge(const map_t *map, const char *head, std::FILE *file) {
    char charge[64];
    if (map->map_time == 0) {
        charge[0] = '\0';
    } else {
        std::snprintf(charge, sizeof charge, " c%u.%02u %u/%u", map->map_time / 100u,
                      map->map_time % 100u, map->map_charge_start, map->map_charge_add);
    }
    if (file != nullptr)
        std::fprintf(file, "%s%s\n", head, charge);
    if (map->map_time == 0)
        dbg_printf("%s\n", head);
    else
        dbg_printf("%s%s (%08x)\n", head, charge, map_charge_word(*map));
}

} // namespace

void print_map_entry(const table_t *table, const char *prefix, const map_t *map, unsigned index,
                     std::FILE *file) {
    if (table == nullptr || map == nullptr)
        return;
    const auto first = static_cast<uint8_t>(map->map_escape[0]);
    if (first == 0 || first == UNUSED_BYTE) {
        dbg_printf("map[%04u]: %s\n", index, first == 0 ? "NULL" : "0xFF");
        return;
    }
    char head[256];
    format_map_head(table, prefix, map, index, head);

    const uint32_t w = map_charge_word(*map);
    if (map->map_time == MAP_TIME_ORG) {
        if (file != nullptr)
            std::fprintf(file, "%s ORG\n", head);
        dbg_printf("%s ORG\n", head);
    } else if ((table->table_reserved.table_options & OPT_MINUTE_MODEL) == 0) {
        print_field_charge(map, head, file);
    } else if (w == 0) {
        if (file != nullptr)
            std::fprintf(file, "%s\n", head);
        dbg_printf("%s\n", head);
    } else {
        // The charge words end their own line in the listing, and an empty
        // line sets such a map apart from the next one.
        if (file != nullptr)
            std::fputs(head, file);
        dbg_printf("%s (%08x)", head, w);
        format_charge_word(file, nullptr, 0, w, nullptr);
        if (file != nullptr)
            std::fputs("\n", file);
    }
}

int print_map_entries(const table_t *table, std::FILE *file) {
    if (table == nullptr)
        return 0;
    const int used = table->table_used_map_entries;
    dbg_printf("print_map_entries 0--%d\n", used - 1);
    const int last = used < MAX_WORK_MAP_ENTRIES ? used : MAX_WORK_MAP_ENTRIES;
    for (int i = 0; i < last; ++i) {
        const map_t *map = table_map_slot(table, static_cast<size_t>(i));
        const auto first = static_cast<uint8_t>(map->map_escape[0]);
        if (first == 0 || first == UNUSED_BYTE)
            dbg_printf("map[%04u]: %s\n", static_cast<unsigned>(i), "0xFF");
        else
            print_map_entry(table, "", map, static_cast<unsigned>(i), file);
    }
    return used;
}

void trace_maps(const table_t *table, unsigned count) {
    if (table == nullptr)
        return;
    const int used_value = table->table_used_map_entries;
    const unsigned used = used_value > 0 ? static_cast<unsigned>(used_value) : 0u;
    if (count == 0 || count >= static_cast<unsigned>(MAX_WORK_MAP_ENTRIES))
        count = used;
    const map_t *first = table_map_slot(table, 0);
    dbg_printf("trace %4u maps (from %u) %02x\n", count, static_cast<unsigned>(used_value),
               static_cast<uint8_t>(first->map_escape[0]));
    const unsigned last = count < static_cast<unsigned>(MAX_WORK_MAP_ENTRIES)
                              ? count
                              : static_cast<unsigned>(MAX_WORK_MAP_ENTRIES);
    for (unsigned i = 0; i < last; ++i)
        print_map_entry(table, "", table_map_slot(table, i), i, nullptr);
    if (count < used)
        dbg_printf("map[%04u--%04u]: ...\n", count, used);
}

void write_subscribers(std::FILE *file, const table_t *table) {
    if (table == nullptr)
        return;
    const table_reserved_t &r = table->table_reserved;
    if (r.table_chinc_second[0] == 0 && r.table_chinc_second[1] == 0 && r.table_chstart[0] == 0 &&
        r.table_chstart[1] == 0)
        return;
    static const char *const kStartKinds[] = {"LIN]", "CYC]", "INV]", "ANY]"};
    for (unsigned s = 0; s < 2; ++s) {
        unsigned second = r.table_chinc_second[s] & CHSTART_NUMBER_MASK;
        if (second == 0)
            second = 29; // no second number given
        char line[96];
        std::snprintf(line, sizeof line, "Subscriber%02u=CHINC[%02u,%02u] CHSTART[%02u,%s\n", s,
                      (r.table_chinc_first[s] & CHSTART_NUMBER_MASK) + 1u, second + 1u,
                      (r.table_chstart[s] & CHSTART_NUMBER_MASK) + 1u,
                      kStartKinds[r.table_chstart[s] >> 6]);
        emit(file, line);
    }
}

void make_date_text(char *buffer, size_t capacity) {
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (buffer == nullptr || capacity == 0)
        return;
    const platform::LocalTime t = platform::local_time();
    const char *month = t.month >= 1 && t.month <= 12 ? kMonths[t.month - 1] : "???";
    std::snprintf(buffer, capacity, "%2d.%s %04d %02d:%02d", t.day, month, t.year, t.hour,
                  t.minute);
}

} // namespace vorn
