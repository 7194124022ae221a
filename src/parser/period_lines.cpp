// Period lines of the configuration file: "[hh:mm] days" opens a section,
// and every map line up to the next period line belongs to it.  mk_period
// keeps the sections in the period definition block, from which the
// optimizer later builds the table's periods.
#include "parser/period_block.h"
#include "table/split_numbers.h"
#include "table/table.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace vorn {

namespace {

struct DayName {
    const char *name;
    uint8_t mask;
};

// English and German names; a day piece is matched on its first two letters.
constexpr DayName kDayNames[16] = {
    {"HO", DAY_HO}, {"SU", DAY_SU}, {"MO", DAY_MO}, {"TU", DAY_TU}, {"WE", DAY_WE}, {"TH", DAY_TH},
    {"FR", DAY_FR}, {"SA", DAY_SA}, {"FE", DAY_HO}, {"SO", DAY_SU}, {"MO", DAY_MO}, {"DI", DAY_TU},
    {"MI", DAY_WE}, {"DO", DAY_TH}, {"FR", DAY_FR}, {"SA", DAY_SA},
};

bool day_mask_of_name(const char *piece, uint8_t *mask) {
    for (const DayName &d : kDayNames)
        if (strncasecmp(piece, d.name, 2) == 0) {
            *mask = d.mask;
            return true;
        }
    return false;
}

// A day piece written as a number: two leading hex digits (the second may
// be the x of 0x), but not the holiday word FE.
bool is_numeric_days(const char *piece) {
    return std::isxdigit(static_cast<unsigned char>(piece[0])) &&
           (std::isxdigit(static_cast<unsigned char>(piece[1])) || piece[1] == 'x' ||
            piece[1] == 'X') &&
           strcasecmp(piece, "FE") != 0;
}

// Up to eight binary digits, most significant first.
uint8_t binary_days(const char *piece) {
    unsigned value = 0;
    for (int i = 0; i < 8 && (piece[i] == '0' || piece[i] == '1'); ++i)
        value = (value << 1) | static_cast<unsigned>(piece[i] - '0');
    return static_cast<uint8_t>(value);
}

// The day mask of the pieces from tokens[1] on; false for an unknown name.
bool day_mask(char **tokens, uint8_t *mask) {
    *mask = 0;
    const char *first = tokens[1];
    if (first == nullptr) {
        *mask = 0xFF;
        return true;
    }
    if (is_numeric_days(first)) {
        *mask = std::strlen(first) >= 3 ? binary_days(first) : static_cast<uint8_t>(atoh(first));
    } else {
        for (int i = 1; i < 32 && tokens[i] != nullptr; ++i) {
            uint8_t bits = 0;
            if (!day_mask_of_name(tokens[i], &bits)) {
                dbg_printf("mk_period: invalid weekday <%s>\n", tokens[i]);
                return false;
            }
            *mask = static_cast<uint8_t>(*mask | bits);
        }
    }
    if (*mask == 0)
        *mask = 0xFF;
    return true;
}

void format_day_bits(uint8_t mask, char out[9]) {
    for (int bit = 7; bit >= 0; --bit)
        out[7 - bit] = (mask >> bit) & 1u ? '1' : '0';
    out[8] = '\0';
}

} // namespace

Error mk_period(char **tokens, mpde_t *block, uint32_t map_count, uint32_t *period) {
    if (tokens == nullptr || tokens[0] == nullptr || tokens[0][0] == '\0' || block == nullptr ||
        period == nullptr)
        return Error::BadPeriod;
    uint16_t hour = 0;
    uint16_t minute = 0;
    if (split_numbers(tokens[0] + 1, ":.", &hour, &minute, nullptr) != Error::Ok) {
        dbg_printf("mk_period: invalid time value <%s>\n", tokens[0]);
        return Error::BadPeriod;
    }
    uint8_t days = 0;
    if (!day_mask(tokens, &days))
        return Error::BadPeriod;

    if (block[0].mpde_days == 0)
        block[0].mpde_days = 0xFF;

    // A period line right after another (no map lines between) takes over
    // the entry of the first one.
    int n = 1;
    while (n < kPeriodBlockEntries && block[n].mpde_days != 0 &&
           block[n].mpde_first_map != map_count)
        ++n;
    if (n >= kPeriodBlockEntries) {
        dbg_printf("mk_period: no empty structure element (n=%d, h=%d)\n", n, kPeriodBlockEntries);
        return Error::NoFreePeriod;
    }

    mpde_t &entry = block[n];
    entry.mpde_hour = static_cast<uint8_t>(hour);
    entry.mpde_minute = static_cast<uint8_t>(minute);
    entry.mpde_days = days;
    if (entry.mpde_first_map == 0)
        entry.mpde_first_map = map_count;
    entry.mpde_last_map = map_count;
    // The section before ends where this one begins (entry 0 gets -1 when
    // the file has no time-independent maps).
    block[n - 1].mpde_last_map = entry.mpde_first_map - 1;
    *period = static_cast<uint32_t>(n);

    char bits[9];
    format_day_bits(days, bits);
    dbg_printf("PERIOD[%02u] (%02u%02u-%s) m=%02u-%02u\n", static_cast<unsigned>(n),
               static_cast<unsigned>(entry.mpde_hour), static_cast<unsigned>(entry.mpde_minute),
               bits, entry.mpde_first_map, entry.mpde_last_map);
    return Error::Ok;
}

} // namespace vorn
