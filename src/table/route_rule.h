// Where a call goes: the one rule by which a table's maps and periods
// answer a dialled number at a day and time.  The week grid of the report
// draws the periods with period_at, the optimizer drops a period map under
// a time-independent one by covers_every_time, and `vorn route` answers
// with route_call; all three read the table the same way because they call
// the same functions.
//
// The rule, as this library reads the table:
//   1. The period: on a day (a holiday is its own day, the HO bit) the
//      period of that day that started last at or before the time applies;
//      before the day's first start the period of that day that starts
//      last applies (the one still running from the evening before when
//      it names the day before too).  A day that no period names has the
//      global maps only (period 0).
//   2. The maps that may apply: those whose escape begins the dialled
//      number, whose direction bit (MAP_IN, MAP_OUT) and service bit
//      (MAP_VOICE, MAP_DATA, MAP_DTMF) the call has, and that belong to the
//      global period or to the period of step 1.
//   3. Of those the longest escape wins.  At equal escapes a global map
//      wins over a period map of the same outgoing bit (it applies at every
//      time and takes the period map's place, which is why the optimizer
//      removes such period maps); otherwise the map that stands first in
//      the table wins.
// The box's firmware is the final word on routing; this is the reading
// that the compiler's optimizations assume.
#pragma once

#include "table.h" // the tool reaches this header through the internal API

#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

inline constexpr int kHolidayDay = 7; // day index of holidays beside 0 (SU) .. 6 (SA)
inline constexpr int kMinutesPerDay = 24 * 60;

// Number of periods in use: 1 to table_max_period_entries, ending early at
// a record whose day mask is 0.
int period_count(const table_t &table);

// The period index that applies on `day` (0 Sunday to 6 Saturday, or
// kHolidayDay) at `minute` of the day (0 to 1439); 0 when none.
int period_at(const table_t &table, int day, int minute);

// True when day.month is one of the table's holidays.
bool is_holiday(const table_t &table, int day, int month);

// A time-independent map takes the place of a period map of the same
// escape when the two agree in their outgoing bit.
bool covers_every_time(const map_t &timeless, const map_t &timed);

enum class CallDirection { In, Out };
enum class CallService { Voice, Data, Dtmf };

struct Call {
    std::string number; // the dialled digits
    CallDirection direction = CallDirection::Out;
    CallService service = CallService::Voice;
    int day = 1;    // 0 (SU) .. 6 (SA), or kHolidayDay
    int minute = 0; // of the day
};

// Why a map whose escape begins the number did not route the call.
enum class PassedBy {
    ShorterEscape,  // a longer escape matched
    OtherPeriod,    // its period does not run at that time
    HolidayOnly,    // its period runs on holidays only
    OtherDirection, // it maps the other direction (or is a CmpMSN entry)
    OtherService,   // it serves other calls (voice, data, DTMF)
    TimelessFirst,  // a time-independent map of the same escape takes its place
    EarlierFirst,   // an earlier map of the same escape and period wins
};
const char *passed_by_text(PassedBy why);

struct PassedMap {
    int index; // map slot
    PassedBy why;
};

struct Route {
    int period = 0;                // the period at the call's time
    int chosen = -1;               // map slot of the answer, -1 when no map applies
    std::string result;            // the number the box dials on: code and the rest
    std::vector<PassedMap> passed; // in table order
};

Route route_call(const table_t &table, const Call &call);

// True for a map as the compiler adds it on its own: global, escape one
// digit d, outgoing to the code 9d or incoming to 8d.
bool is_standard_map(const map_t &map);

// The code of a map as digits (the "|" bit cleared).
std::string map_code_digits(const map_t &map);
// The provider part of a map's code: the digits in front of the escape
// when the code ends with the escape ("01019" of 00=0101900), "call-back
// N" for a call-back map, and "" otherwise (the code dials the escape as
// it is, or replaces it by other digits).
std::string provider_digits(const map_t &map);

} // namespace vorn
