// vorn route: which map a table applies to a dialled number, at a time or in
// every period where the answer differs, and the maps it passed over.  The
// answer comes from the library's routing rule, the one the report's week
// grid draws and the optimizer's removals assume; a configuration answers
// in place of a table, compiled in memory.
#include "command.h"
#include "diagnostics.h"
#include "file_checks.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

namespace api = vorn::api;
namespace tool = vorn::tool;
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
bool read_when(const api::RoutingTable &table, const std::string &text, When &when) {
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
    if (table.is_holiday(d, mo)) {
        when.day = api::kHolidayDay;
        when.text += ", a holiday";
    }
    when.text += ")";
    return true;
}

// The table to ask: a binary table, or a configuration compiled in memory;
// a configuration's errors are shown as `vorn check` shows them.
bool load(const char *path, api::RoutingTable &table) {
    if (!tool::job_files_ok({path}, {}))
        return false;
    set_optimize_files(0); // a configuration is compiled in memory: nothing is written
    api::ConfigCheck check;
    std::string why;
    if (table.load(path, check, why))
        return true;
    if (check.report != nullptr)
        tool::print_findings(tool::shown_findings(path, check, tool::WarningSwitches()));
    tool::job_failed(why);
    return false;
}

std::string period_text(int period, const std::string &heading) {
    return std::to_string(period) + " " + heading;
}

json map_json(const api::RouteMap &m) {
    return {{"slot", m.slot},     {"line", m.line},         {"escape", m.escape},
            {"code", m.code},     {"provider", m.provider}, {"standard", m.standard},
            {"period", m.period}, {"heading", m.heading}};
}

json answer_json(const api::Route &route) {
    json out = {{"period", route.period}, {"heading", route.heading}};
    if (route.chosen.slot >= 0) {
        out["map"] = map_json(route.chosen);
        out["result"] = route.result;
    } else {
        out["map"] = nullptr;
    }
    json passed = json::array();
    for (const api::PassedMap &p : route.passed) {
        json one = map_json(p.map);
        one["reason"] = p.reason;
        passed.push_back(std::move(one));
    }
    out["passed"] = std::move(passed);
    return out;
}

void print_answer(const api::Call &call, const api::Route &route) {
    std::printf("period    %s\n", period_text(route.period, route.heading).c_str());
    const api::RouteMap &m = route.chosen;
    if (m.slot < 0) {
        std::printf("map       none: no map applies, the box dials %s as it is\n",
                    call.number.c_str());
    } else {
        std::printf("map       %s\n", m.line.c_str());
        std::printf("          in period %s\n", period_text(m.period, m.heading).c_str());
        std::printf("escape    %s\n", m.escape.c_str());
        std::printf("code      %s%s\n", m.code.c_str(),
                    m.standard           ? " (a standard map of the compiler)"
                    : m.provider.empty() ? " (no provider digits)"
                                         : (" (provider " + m.provider + ")").c_str());
        std::printf("result    %s\n", route.result.c_str());
    }
    if (route.passed.empty())
        return;
    std::printf("passed over\n");
    for (const api::PassedMap &p : route.passed)
        std::printf("  %-32s period %s: %s\n", p.map.line.c_str(),
                    period_text(p.map.period, p.map.heading).c_str(), p.reason.c_str());
}

// Each period that applies at some time of the week, with a day and minute
// at which it does.
struct PeriodTime {
    int period, day, minute;
};
std::vector<PeriodTime> periods_in_use(const api::RoutingTable &table) {
    std::vector<PeriodTime> out;
    for (int k = 0; k <= table.period_count(); ++k)
        for (int at = 0; at < 8 * api::kMinutesPerDay; ++at)
            if (table.period_at(at / api::kMinutesPerDay, at % api::kMinutesPerDay) == k) {
                out.push_back({k, at / api::kMinutesPerDay, at % api::kMinutesPerDay});
                break;
            }
    return out;
}

// Two periods give the same answer when the same line routes the call to
// the same number (the holiday copy of a weekend map is a slot of its own).
bool same_answer(const api::Route &a, const api::Route &b) {
    return a.result == b.result && a.chosen.line == b.chosen.line;
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
    api::RoutingTable table;
    if (!load(args.operand(0), table))
        return 1;

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
        answers.emplace_back(when.text, table.route(call));
        groups.push_back({answers.back().second.period});
    } else {
        for (const PeriodTime &p : periods_in_use(table)) {
            call.day = p.day;
            call.minute = p.minute;
            const api::Route route = table.route(call);
            bool same = false;
            for (size_t i = 0; i < answers.size() && !same; ++i)
                if (same_answer(answers[i].second, route)) {
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
            json one = answer_json(answers[i].second);
            json periods = json::array();
            for (int k : groups[i])
                periods.push_back({{"period", k}, {"heading", table.period_heading(k)}});
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
                std::printf("when      %s\n", period_text(k, table.period_heading(k)).c_str());
        }
        print_answer(call, answers[i].second);
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
