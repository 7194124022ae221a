// vorn route: which map a table applies to a dialled number, at a time or in
// every period where the answer differs, and the maps it passed over.  The
// answer comes from the library's routing rule, the one the report's week
// grid draws and the optimizer's removals assume; a configuration answers
// in place of a table, compiled in memory.
#include "command.h"
#include "diagnostics.h"
#include "file_checks.h"
#include "internal_api.h"
#include "vorn_b32.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using json = nlohmann::ordered_json; // the keys in the order written

const char *const kDayWords[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA", "HO"};

// The time a call is asked for, as the user wrote it.
struct When {
    int day = 0, minute = 0;
    std::string text; // "SA 19:00", "2026-12-24T19:00 (holiday)"
};

bool read_clock(const std::string &text, int &minute) {
    int h = 0, m = 0;
    char sep = 0, extra = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &h, &sep, &m, &extra) != 3 ||
        (sep != ':' && sep != '.') || h < 0 || h > 23 || m < 0 || m > 59)
        return false;
    minute = h * 60 + m;
    return true;
}

// "SA 19:00" or "2026-12-24T19:00"; a date that is one of the table's
// holidays is a holiday.
bool read_when(const api::table_t &table, const std::string &text, When &when) {
    when.text = text;
    if (text.size() > 3 && (text[2] == ' ' || text[2] == '\t')) {
        const std::string word = {static_cast<char>(std::toupper(text[0])),
                                  static_cast<char>(std::toupper(text[1]))};
        for (int d = 0; d < 8; ++d)
            if (word == kDayWords[d]) {
                when.day = d;
                return read_clock(text.substr(3), when.minute);
            }
        return false;
    }
    int y = 0, mo = 0, d = 0;
    char t = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%n", &y, &mo, &d, &t, &used) != 4 ||
        (t != 'T' && t != ' ') || !read_clock(text.substr(static_cast<size_t>(used)), when.minute))
        return false;
    const std::chrono::year_month_day date{std::chrono::year{y}, std::chrono::month{unsigned(mo)},
                                           std::chrono::day{unsigned(d)}};
    if (!date.ok())
        return false;
    when.day = static_cast<int>(std::chrono::weekday{std::chrono::sys_days{date}}.c_encoding());
    when.text += std::string(" (") + kDayWords[when.day];
    if (api::is_holiday(table, d, mo)) {
        when.day = api::kHolidayDay;
        when.text += ", a holiday";
    }
    when.text += ")";
    return true;
}

// The table to ask: a binary table, or a configuration compiled in memory.
class Source {
  public:
    bool load(const char *path) {
        if (!tool::job_files_ok({path}, {}))
            return false;
        if (api::likely_kind(path) == api::InputKind::Config) {
            set_optimize_files(0); // nothing is written
            m_check = api::check_config(path, false, true);
            m_table = api::checked_table(m_check);
            if (m_table == nullptr) {
                // The errors that stopped the compile, as `vorn check` shows them.
                tool::print_findings(tool::shown_findings(path, m_check, tool::WarningSwitches()));
                tool::job_failed(std::string("\"") + path + "\" does not compile (" +
                                 api::mkconf_result_words(m_check.result) + ")");
                return false;
            }
            return true;
        }
        m_owned = api::read_table_file(path);
        if (m_owned == nullptr) {
            tool::job_failed(std::string("\"") + path +
                             "\" is neither a binary table nor a configuration");
            return false;
        }
        m_table = m_owned.get();
        return true;
    }
    const api::table_t &table() const { return *m_table; }

  private:
    api::ConfigCheck m_check;
    api::OwnedTable m_owned;
    const api::table_t *m_table = nullptr;
};

std::string period_text(const api::table_t &table, int period) {
    return std::to_string(period) + " " + api::period_heading_text(table, period);
}

json map_json(const api::table_t &table, int index) {
    const api::map_t &m = table.table_map[index];
    return {{"slot", index},
            {"line", api::map_line(table, index)},
            {"escape", std::string(m.map_escape, ::strnlen(m.map_escape, sizeof m.map_escape))},
            {"code", api::map_code_digits(m)},
            {"provider", api::provider_digits(m)},
            {"standard", api::is_standard_map(m)},
            {"period", m.map_period},
            {"heading", api::period_heading_text(table, m.map_period)}};
}

json answer_json(const api::table_t &table, const api::Route &route) {
    json out = {{"period", route.period},
                {"heading", api::period_heading_text(table, route.period)}};
    if (route.chosen >= 0) {
        out["map"] = map_json(table, route.chosen);
        out["result"] = route.result;
    } else {
        out["map"] = nullptr;
    }
    json passed = json::array();
    for (const api::PassedMap &p : route.passed) {
        json one = map_json(table, p.index);
        one["reason"] = api::passed_by_text(p.why);
        passed.push_back(std::move(one));
    }
    out["passed"] = std::move(passed);
    return out;
}

void print_answer(const api::table_t &table, const api::Call &call, const api::Route &route) {
    std::printf("period    %s\n", period_text(table, route.period).c_str());
    if (route.chosen < 0) {
        std::printf("map       none: no map applies, the box dials %s as it is\n",
                    call.number.c_str());
    } else {
        const api::map_t &m = table.table_map[route.chosen];
        const std::string provider = api::provider_digits(m);
        std::printf("map       %s\n", api::map_line(table, route.chosen).c_str());
        std::printf("          in period %s\n", period_text(table, m.map_period).c_str());
        std::printf("escape    %.*s\n", static_cast<int>(::strnlen(m.map_escape, 13)),
                    m.map_escape);
        std::printf("code      %s%s\n", api::map_code_digits(m).c_str(),
                    api::is_standard_map(m) ? " (a standard map of the compiler)"
                    : provider.empty()      ? " (no provider digits)"
                                            : (" (provider " + provider + ")").c_str());
        std::printf("result    %s\n", route.result.c_str());
    }
    if (route.passed.empty())
        return;
    std::printf("passed over\n");
    for (const api::PassedMap &p : route.passed)
        std::printf("  %-32s period %s: %s\n", api::map_line(table, p.index).c_str(),
                    period_text(table, table.table_map[p.index].map_period).c_str(),
                    api::passed_by_text(p.why));
}

// Each period that applies at some time of the week, with a day and minute
// at which it does.
struct PeriodTime {
    int period, day, minute;
};
std::vector<PeriodTime> periods_in_use(const api::table_t &table) {
    std::vector<PeriodTime> out;
    for (int k = 0; k <= api::period_count(table); ++k)
        for (int at = 0; at < 8 * api::kMinutesPerDay; ++at)
            if (api::period_at(table, at / api::kMinutesPerDay, at % api::kMinutesPerDay) == k) {
                out.push_back({k, at / api::kMinutesPerDay, at % api::kMinutesPerDay});
                break;
            }
    return out;
}

// Two periods give the same answer when the same line routes the call to
// the same number (the holiday copy of a weekend map is a slot of its own).
bool same_answer(const api::table_t &table, const api::Route &a, const api::Route &b) {
    return a.result == b.result && api::map_line(table, a.chosen) == api::map_line(table, b.chosen);
}

const char *direction_word(const api::Call &call) {
    return call.direction == api::CallDirection::In ? "incoming" : "outgoing";
}
const char *service_word(const api::Call &call) {
    return call.service == api::CallService::Voice  ? "voice"
           : call.service == api::CallService::Data ? "data"
                                                    : "dtmf";
}

int run_route(const tool::Args &args) {
    api::Call call;
    call.number = args.operand(1);
    if (call.number.empty() || call.number.find_first_not_of("0123456789*#") != std::string::npos)
        return tool::usage_error("route",
                                 "NUMBER holds digits (and * #) only: '" + call.number + "'");
    if (args.flag("--in") && args.flag("--out"))
        return tool::usage_error("route", "--in and --out exclude each other");
    call.direction = args.flag("--in") ? api::CallDirection::In : api::CallDirection::Out;
    if (const char *service = args.value("--service")) {
        const std::string s = service;
        if (s == "voice")
            call.service = api::CallService::Voice;
        else if (s == "data")
            call.service = api::CallService::Data;
        else if (s == "dtmf")
            call.service = api::CallService::Dtmf;
        else
            return tool::usage_error("route", "--service is voice, data or dtmf, not '" + s + "'");
    }
    Source source;
    if (!source.load(args.operand(0)))
        return 1;
    const api::table_t &table = source.table();

    std::vector<std::pair<std::string, api::Route>> answers; // when, answer
    std::vector<std::vector<int>> groups;                    // periods of each answer
    if (const char *at = args.value("--at")) {
        When when;
        if (!read_when(table, at, when))
            return tool::usage_error("route", std::string("--at wants \"SA 19:00\" or "
                                                          "2026-12-24T19:00, not '") +
                                                  at + "'");
        call.day = when.day;
        call.minute = when.minute;
        answers.emplace_back(when.text, api::route_call(table, call));
        groups.push_back({answers.back().second.period});
    } else {
        for (const PeriodTime &p : periods_in_use(table)) {
            call.day = p.day;
            call.minute = p.minute;
            const api::Route route = api::route_call(table, call);
            bool same = false;
            for (size_t i = 0; i < answers.size() && !same; ++i)
                if (same_answer(table, answers[i].second, route)) {
                    groups[i].push_back(p.period);
                    same = true;
                }
            if (!same) {
                answers.emplace_back("", route);
                groups.push_back({p.period});
            }
        }
    }

    if (args.flag("--json")) {
        json out = {{"number", call.number},
                    {"direction", direction_word(call)},
                    {"service", service_word(call)}};
        if (args.value("--at") != nullptr)
            out["at"] = answers.front().first;
        json list = json::array();
        for (size_t i = 0; i < answers.size(); ++i) {
            json one = answer_json(table, answers[i].second);
            json periods = json::array();
            for (int k : groups[i])
                periods.push_back({{"period", k}, {"heading", api::period_heading_text(table, k)}});
            one["periods"] = std::move(periods);
            list.push_back(std::move(one));
        }
        out["answers"] = std::move(list);
        std::printf("%s\n", out.dump(2).c_str());
        return 0;
    }
    std::printf("number    %s (%s %s call%s%s)\n", call.number.c_str(), direction_word(call),
                service_word(call), answers.front().first.empty() ? "" : ", ",
                answers.front().first.c_str());
    for (size_t i = 0; i < answers.size(); ++i) {
        if (args.value("--at") == nullptr) {
            std::printf("\n");
            for (int k : groups[i])
                std::printf("when      %s\n", period_text(table, k).c_str());
        }
        print_answer(table, call, answers[i].second);
    }
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("route", {{"TABLE", Kind::InFile}, {"NUMBER", Kind::Word}},
             {{"--at", 0, Kind::Word, "WHEN",
               "the time of the call: \"SA 19:00\" or 2026-12-24T19:00"},
              {"--in", 0, Kind::Flag, nullptr, "an incoming call"},
              {"--out", 0, Kind::Flag, nullptr, "an outgoing call (the default)"},
              {"--service", 0, Kind::Word, "KIND", "voice (the default), data or dtmf"},
              {"--json", 0, Kind::Flag, nullptr, "write the answer as JSON"}},
             "show which map a table applies to a dialled number",
             "TABLE is a binary table or an ASCII configuration (compiled in memory).\n"
             "The answer names the map: the escape that matched, the code that replaces\n"
             "it and its provider digits, the resulting number, the period by its\n"
             "heading and the map's line as `vorn decompile` writes it; then the maps\n"
             "whose escape also begins the number and why they were passed over.\n"
             "Without --at, the answer for every period in which it differs.  A date\n"
             "that is one of the table's holidays counts as a holiday.  The rule is the\n"
             "one the report's week grid draws; the box's firmware is the final word.\n",
             &run_route);
