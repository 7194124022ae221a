// The routing rule of a table: the period at a time, the maps that may
// apply to a call, and which of them wins.
#include "table/route_rule.h"

#include <algorithm>
#include <cstring>

namespace vorn {
namespace {

std::string field_text(const char *field, size_t size) {
    return std::string(field, ::strnlen(field, size));
}

std::string escape_of(const map_t &map) {
    return field_text(map.map_escape, sizeof map.map_escape);
}

bool has_direction(const map_t &map, CallDirection direction) {
    return (map.map_mode & (direction == CallDirection::In ? MAP_IN : MAP_OUT)) != 0;
}

bool has_service(const map_t &map, CallService service) {
    const uint8_t bit = service == CallService::Voice  ? MAP_VOICE
                        : service == CallService::Data ? MAP_DATA
                                                       : MAP_DTMF;
    return (map.map_mode & bit) != 0;
}

int used_maps(const table_t &table) {
    return std::clamp<int>(table.table_used_map_entries, 0, MAX_MAP_TABLE_ENTRIES);
}

// `a` wins over `b`, both applying to the call and equally long.
bool wins_at_equal_length(const map_t &a, int ia, const map_t &b, int ib) {
    if (a.map_period == 0 && b.map_period != 0 && covers_every_time(a, b))
        return true;
    if (b.map_period == 0 && a.map_period != 0 && covers_every_time(b, a))
        return false;
    return ia < ib;
}

PassedBy why_passed(const table_t &table, const map_t &map, const Call &call, int period,
                    int chosen) {
    if ((map.map_mode & (MAP_IN | MAP_OUT)) == 0 || !has_direction(map, call.direction))
        return PassedBy::OtherDirection;
    if (!has_service(map, call.service))
        return PassedBy::OtherService;
    if (map.map_period != 0 && map.map_period != period) {
        const int periods = period_count(table);
        const bool holiday =
            map.map_period <= periods && table.table_period[map.map_period].period_days == DAY_HO;
        return holiday ? PassedBy::HolidayOnly : PassedBy::OtherPeriod;
    }
    // Here the map applies to the call (chosen is set) and lost.
    const map_t &won = table.table_map[chosen];
    if (escape_of(map).size() < escape_of(won).size())
        return PassedBy::ShorterEscape;
    if (won.map_period == 0 && map.map_period != 0 && covers_every_time(won, map))
        return PassedBy::TimelessFirst;
    return PassedBy::EarlierFirst;
}

} // namespace

int period_count(const table_t &table) {
    const int last = std::clamp<int>(table.table_max_period_entries, 0, MAX_PERIODS - 1);
    int count = 0;
    while (count < last && table.table_period[count + 1].period_days != 0)
        ++count;
    return count;
}

int period_at(const table_t &table, int day, int minute) {
    const uint8_t bit = day == kHolidayDay ? DAY_HO : static_cast<uint8_t>(1u << day);
    const int periods = period_count(table);
    int today = 0, today_start = -1; // started at or before the time
    int last = 0, last_start = -1;   // the day's last start
    for (int k = 1; k <= periods; ++k) {
        const map_period_t &p = table.table_period[k];
        const int start = p.period_hour * 60 + p.period_minute;
        if ((p.period_days & bit) == 0 || start >= kMinutesPerDay)
            continue; // a start past midnight never comes
        if (start <= minute && start >= today_start)
            today = k, today_start = start;
        if (start >= last_start)
            last = k, last_start = start;
    }
    return today != 0 ? today : last;
}

bool is_holiday(const table_t &table, int day, int month) {
    const int count = std::clamp<int>(table.table_holiday_entries, 0, MAX_HOLIDAYS);
    for (int i = 0; i < count; ++i)
        if (table.table_holiday[i].holiday_day == day &&
            table.table_holiday[i].holiday_month == month)
            return true;
    return false;
}

bool covers_every_time(const map_t &timeless, const map_t &timed) {
    return ((timeless.map_mode ^ timed.map_mode) & MAP_OUT) == 0;
}

const char *passed_by_text(PassedBy why) {
    switch (why) {
    case PassedBy::ShorterEscape:
        return "shorter escape";
    case PassedBy::OtherPeriod:
        return "other period";
    case PassedBy::HolidayOnly:
        return "holiday period";
    case PassedBy::OtherDirection:
        return "other direction";
    case PassedBy::OtherService:
        return "other service";
    case PassedBy::TimelessFirst:
        return "the time-independent map of the same escape takes its place";
    case PassedBy::EarlierFirst:
        return "an earlier map of the same escape wins";
    }
    return "";
}

Route route_call(const table_t &table, const Call &call) {
    Route route;
    route.period = period_at(table, call.day, call.minute);
    const int used = used_maps(table);
    std::vector<int> prefixes; // maps whose escape begins the number
    for (int i = 0; i < used; ++i) {
        const map_t &m = table.table_map[i];
        if (map_slot_unused(m) || m.map_escape[0] == 0)
            continue;
        const std::string escape = escape_of(m);
        if (call.number.compare(0, escape.size(), escape) != 0)
            continue;
        prefixes.push_back(i);
        const bool applies = (m.map_mode & (MAP_IN | MAP_OUT)) != 0 &&
                             has_direction(m, call.direction) && has_service(m, call.service) &&
                             (m.map_period == 0 || m.map_period == route.period);
        if (!applies)
            continue;
        if (route.chosen < 0)
            route.chosen = i;
        else {
            const map_t &c = table.table_map[route.chosen];
            const size_t cl = escape_of(c).size();
            if (escape.size() > cl ||
                (escape.size() == cl && wins_at_equal_length(m, i, c, route.chosen)))
                route.chosen = i;
        }
    }
    for (int i : prefixes)
        if (i != route.chosen)
            route.passed.push_back(
                {i, why_passed(table, table.table_map[i], call, route.period, route.chosen)});
    if (route.chosen >= 0) {
        const map_t &c = table.table_map[route.chosen];
        route.result = map_code_digits(c) + call.number.substr(escape_of(c).size());
    }
    return route;
}

bool is_standard_map(const map_t &map) {
    const std::string escape = escape_of(map), code = map_code_digits(map);
    const uint8_t direction = map.map_mode & (MAP_IN | MAP_OUT | MAP_CALLBACK3);
    if (map.map_period != 0 || escape.size() != 1 || escape[0] < '0' || escape[0] > '9' ||
        code.size() != 2 || code[1] != escape[0])
        return false;
    return (direction == MAP_OUT && code[0] == '9') || (direction == MAP_IN && code[0] == '8');
}

std::string map_code_digits(const map_t &map) {
    std::string code = field_text(map.map_code, sizeof map.map_code);
    if (!code.empty())
        code[0] = static_cast<char>(code[0] & 0x7F); // the "|" mark is no digit
    if (!code.empty() && code[0] == 0)
        code.clear();
    return code;
}

std::string provider_digits(const map_t &map) {
    const uint8_t callback = map.map_mode & MAP_CALLBACK3;
    if (callback != 0) {
        // Appended rather than prepended: gcc 12 at -O3 for 32-bit targets
        // warns of an overlapping copy in "literal" + std::string where
        // there is none (GCC bug 105329).
        std::string text = "call-back ";
        text += callback == MAP_CALLBACK1 ? '1' : callback == MAP_CALLBACK2 ? '2' : '3';
        return text;
    }
    const std::string code = map_code_digits(map), escape = escape_of(map);
    if (code.size() >= escape.size() &&
        code.compare(code.size() - escape.size(), escape.size(), escape) == 0)
        return code.substr(0, code.size() - escape.size());
    return ""; // the code replaces the escape: no digits stand in front of it
}

} // namespace vorn
