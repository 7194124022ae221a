// The time of a call record as a moment: the box's two-digit years, the
// days of each month and the seconds since 1970 that durations and the
// day of the week are computed from.  The CSV table and the report pages
// read the records' times through it.
#pragma once

#include "logs/logcall.h"

namespace vorn {

// Days since 1 January 1970 of a proleptic Gregorian date.
inline long days_from_civil(int year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long>(era) * 146097 + static_cast<long>(doe) - 719468;
}

inline bool leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// A stored time that names a real moment; the box's two-digit years 97 to
// 99 are 1997 to 1999, all others 2000 and later.
struct CallTime {
    bool known = false;
    int year = 0;
    long seconds = 0; // since 1970, for durations

    explicit CallTime(const logcall_time_t &t) {
        static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (t.day == kUnknownDay || t.year > 99 || t.month < 1 || t.month > 12 || t.day < 1 ||
            t.hour > 23 || t.minute > 59 || t.second > 59)
            return;
        year = t.year >= 97 ? 1900 + t.year : 2000 + t.year;
        const unsigned days = kDays[t.month - 1] + (t.month == 2 && leap(year) ? 1 : 0);
        if (t.day > days)
            return;
        known = true;
        seconds = days_from_civil(year, t.month, t.day) * 86400L + t.hour * 3600L + t.minute * 60L +
                  t.second;
    }
};

// Day of the week of a day since 1970: 0 Sunday to 6 Saturday.
inline int weekday_of(long days) {
    return static_cast<int>(((days % 7) + 11) % 7);
}

} // namespace vorn
