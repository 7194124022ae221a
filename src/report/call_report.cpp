// The page of a call log or call list: when the calls were made (hour of
// day by weekday, and day by day over the log's span), who was called and
// from which extension, the directions, and the records that are no
// finished calls.
#include "report/call_stats.h"
#include "report/markup.h"
#include "report/page.h"

#include <algorithm>
#include <cstdio>

namespace vorn::report {
namespace {

constexpr size_t kTopCount = 10;
// Beyond this many days the span is drawn month by month.
constexpr long kMostDays = 400;

std::string duration_text(uint64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

std::string date_text(long day, bool month_only) {
    // Civil date of a day since 1970 (the inverse of days_from_civil).
    const long z = day + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    const long y = yoe + era * 400 + (m <= 2);
    char text[64];
    std::snprintf(text, sizeof text, "%04ld-%02d", y, static_cast<int>(m));
    if (month_only)
        return text;
    char with_day[80];
    std::snprintf(with_day, sizeof with_day, "%s-%02d", text, static_cast<int>(d));
    return with_day;
}

std::string when_section(const CallStats &s) {
    static const char *const kDays[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};
    static const int kDayIndex[] = {1, 2, 3, 4, 5, 6, 0};
    std::vector<std::string> hours;
    for (int h = 0; h < 24; ++h)
        hours.push_back(std::to_string(h / 10) + std::to_string(h % 10));
    std::vector<uint64_t> cells;
    for (int row = 0; row < 7; ++row)
        for (int h = 0; h < 24; ++h)
            cells.push_back(s.hour_day[kDayIndex[row]][h]);
    std::string out = section_open("when", "When the calls were made");
    out += heat_map("hours", "Calls by weekday and hour of day",
                    std::vector<std::string>(kDays, kDays + 7), hours, cells,
                    {"hour of day (h, local time of the box)", "weekday"});
    if (s.per_day.empty())
        return out + paragraph("No call with a known date.") + section_close();
    const long first = s.per_day.begin()->first, last = s.per_day.rbegin()->first;
    const bool by_month = last - first >= kMostDays;
    std::vector<std::string> labels;
    Series series{"calls", {}};
    if (!by_month) {
        for (long day = first; day <= last; ++day) {
            labels.push_back(date_text(day, false).substr(5));
            const auto found = s.per_day.find(day);
            series.values.push_back(found == s.per_day.end() ? 0 : found->second);
        }
    } else {
        std::map<std::string, uint64_t> months;
        for (const auto &[day, count] : s.per_day)
            months[date_text(day, true)] += count;
        for (const auto &[month, count] : months) {
            labels.push_back(month);
            series.values.push_back(count);
        }
    }
    const std::string span = date_text(first, false) + " to " + date_text(last, false);
    out += line_chart(
        "days", std::string(by_month ? "Calls per month, " : "Calls per day, ") + span, labels,
        {series}, {by_month ? "month (yyyy-mm)" : "day (mm-dd)", "calls (count)"});
    return out + section_close();
}

using Party = std::pair<std::string, PartyFigures>;

// The kTopCount numbers with the largest figure `by`, ties by number.  The
// numbers are all different, so this order is total and one pass that
// keeps the best few finds the same list as sorting them all would.
std::vector<Party> top(const PartyTable &all, uint64_t PartyFigures::*by) {
    using Entry = PartyTable::Entry;
    auto before = [&all, by](const Entry *a, const Entry *b) {
        return a->figures.*by != b->figures.*by ? a->figures.*by > b->figures.*by
                                                : all.number(*a) < all.number(*b);
    };
    const Entry *best[kTopCount];
    size_t n = 0;
    for (const Entry &e : all.entries()) {
        if (n == kTopCount && !before(&e, best[n - 1]))
            continue;
        size_t at = n < kTopCount ? n++ : n - 1;
        for (; at > 0 && before(&e, best[at - 1]); --at)
            best[at] = best[at - 1];
        best[at] = &e;
    }
    std::vector<Party> list;
    list.reserve(n);
    for (size_t i = 0; i < n; ++i)
        list.emplace_back(std::string(all.number(*best[i])), best[i]->figures);
    return list;
}

std::string party_section(const std::string &id, const std::string &name, const PartyTable &all) {
    std::string out = section_open(id, "Top " + name);
    if (all.empty())
        return out + paragraph("None recorded.") + section_close();
    const std::vector<Party> by_calls = top(all, &PartyFigures::calls);
    std::vector<std::string> labels;
    Series counts{"calls", {}};
    for (const Party &p : by_calls) {
        labels.push_back(p.first);
        counts.values.push_back(p.second.calls);
    }
    out += bar_chart(id + "-calls", name + " by number of calls", labels, counts,
                     {"number (as dialled)", "calls (count)"});
    const struct {
        const char *title;
        uint64_t PartyFigures::*by;
    } kRankings[] = {{"by duration", &PartyFigures::seconds},
                     {"by charge units", &PartyFigures::units}};
    for (const auto &ranking : kRankings) {
        Table t{name + " " + ranking.title, {"number", "calls", "duration", "units"}, {}};
        for (const Party &p : top(all, ranking.by))
            t.rows.push_back({p.first, grouped(p.second.calls), duration_text(p.second.seconds),
                              grouped(p.second.units)});
        out += html_table(t);
    }
    return out + section_close();
}

std::string totals_section(const CallStats &s) {
    std::string out = section_open("totals", "Calls and records");
    out += bar_chart("direction", "Finished calls by direction", {"outgoing", "incoming"},
                     {"calls", {s.outgoing, s.incoming}}, {"direction", "calls (count)"});
    Table t{"Records that are no finished call, and totals", {"records", "count"}, {}};
    t.rows = {
        {"finished calls", grouped(s.calls)},
        {"of them without start time", grouped(s.no_start)},
        {"not finished (no end time)", grouped(s.not_finished)},
        {"not closed", grouped(s.not_closed)},
        {"saved before", grouped(s.saved_before)},
        {"not read (after the end mark, cut short, or of no known form)", grouped(s.not_read)},
        {"\ttotal duration", duration_text(s.seconds)},
        {"\ttotal charge units", grouped(s.units)}};
    return out + html_table(t) + section_close();
}

std::string calls_page(const char *kind, const CallStats &s, const PageInfo &info) {
    return page_open(kind, info) + totals_section(s) + when_section(s) +
           party_section("destinations", "destinations", s.destinations) +
           party_section("extensions", "extensions", s.extensions) + page_close();
}

} // namespace

std::string call_log_page(const uint8_t *data, size_t size, const PageInfo &info) {
    return calls_page("Call log", stats_of_log(data, size), info);
}

std::string call_list_page(std::string_view text, const PageInfo &info) {
    return calls_page("Call list", stats_of_list(text), info);
}

} // namespace vorn::report
