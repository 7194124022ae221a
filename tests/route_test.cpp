// Where a call goes: calls over a configuration with overlapping escapes, a
// night period across midnight and a holiday, each quarter hour of the week
// against the schedule the configuration means, and `vorn route` on the
// shipped example.
#include "support/compiled_config.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/route_rule.h"
#include "vorn_tool/api.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using namespace vorn;
using namespace vorn::test;

const char *const kConfig = R"(TABLE=TF01.5
Holiday=24.12
MapOut0=0
MapOut00=0100900
MapOut004=0104004 DATA
MapIn0049=9
[07:00] MO TU WE TH FR
MapOut0049=0101949
MapOut004930=0103330
[22:00] MO TU WE TH FR SA SU
MapOut0049=0108849
[00:00] HO
MapOut0049=0109949
)";

enum Slot { Day, Night, Holiday };

// What the configuration means, written without the table: working days
// 07:00 to 22:00 are day, the rest of the week is night, holidays their own.
Slot meant(int day, int minute) {
    if (day == kHolidayDay)
        return Holiday;
    const bool weekday = day >= 1 && day <= 5;
    return weekday && minute >= 7 * 60 && minute < 22 * 60 ? Day : Night;
}

struct Compiled {
    CheckReport check;
    const table_t *table = nullptr;
};

void compile(const TempDir &dir, Compiled &out) {
    write_file(dir.file("lcr.cfg"), ascii_config(kConfig));
    out.check = compiled_config(dir.file("lcr.cfg"));
    out.table = out.check.table.get();
    ASSERT_NE(out.table, nullptr) << out.check.message;
}

std::string line_of(const table_t &table, const Route &route) {
    return route.chosen < 0 ? "-" : map_line(table, route.chosen);
}

TEST(Route, CallsFollowEscapesPeriodsAndHolidays) {
    TempDir dir;
    Compiled c;
    compile(dir, c);
    const table_t &table = *c.table;
    const struct {
        const char *number;
        CallDirection direction;
        CallService service;
        int day, minute;
        const char *line, *result;
    } kCalls[] = {
        {"0049301234", CallDirection::Out, CallService::Voice, 2, 10 * 60, "MapOut004930=0103330",
         "01033301234"},
        {"0049301234", CallDirection::Out, CallService::Voice, 2, 23 * 60, "MapOut0049=0108849",
         "0108849301234"},
        {"0049401234", CallDirection::Out, CallService::Voice, 1, 3 * 60, "MapOut0049=0108849",
         "0108849401234"},
        {"0049401234", CallDirection::Out, CallService::Voice, 6, 12 * 60, "MapOut0049=0108849",
         "0108849401234"},
        {"0049401234", CallDirection::Out, CallService::Voice, kHolidayDay, 12 * 60,
         "MapOut0049=0109949", "0109949401234"},
        {"0044123", CallDirection::Out, CallService::Voice, 2, 10 * 60, "MapOut00=0100900",
         "010090044123"},
        {"0044123", CallDirection::Out, CallService::Data, 2, 10 * 60, "MapOut004=0104004 DATA",
         "01040044123"},
        {"0044123", CallDirection::Out, CallService::Dtmf, 2, 10 * 60, "-", ""},
        {"0421123", CallDirection::Out, CallService::Voice, 0, 0, "MapOut0=0", "0421123"},
        {"0049301234", CallDirection::In, CallService::Voice, 2, 10 * 60, "MapIn0049=9", "9301234"},
        // No map of the file: the compiler's standard map of the first digit.
        {"110", CallDirection::Out, CallService::Voice, 2, 10 * 60, "MapOut1=91", "9110"},
    };
    for (const auto &k : kCalls) {
        const Route r = route_call(table, {k.number, k.direction, k.service, k.day, k.minute});
        EXPECT_EQ(line_of(table, r), k.line) << k.number << " day " << k.day << " " << k.minute;
        EXPECT_EQ(r.result, k.result) << k.number;
    }

    // Why the maps of a weekday night call to 004930 were passed over.
    const Route night =
        route_call(table, {"0049301234", CallDirection::Out, CallService::Voice, 2, 23 * 60});
    std::map<std::string, std::string> why;
    for (const PassedMap &p : night.passed)
        why[map_line(table, p.index)] = passed_by_text(p.why);
    EXPECT_EQ(why, (std::map<std::string, std::string>{{"MapOut0=0", "shorter escape"},
                                                       {"MapOut00=0100900", "shorter escape"},
                                                       {"MapOut004=0104004 DATA", "other service"},
                                                       {"MapIn0049=9", "other direction"},
                                                       {"MapIn0=80", "other direction"},
                                                       {"MapOut0049=0101949", "other period"},
                                                       {"MapOut004930=0103330", "other period"},
                                                       {"MapOut0049=0109949", "holiday period"}}));
}

// Every quarter hour of the week and the holiday: the answer is the map of
// the slot the configuration means, and its period is the one the week
// grid draws there.
TEST(Route, EveryQuarterHourMatchesTheSchedule) {
    TempDir dir;
    Compiled c;
    compile(dir, c);
    const table_t &table = *c.table;
    const char *const kMeant[] = {"01033301234", "0108849301234", "0109949301234"};
    for (int day = 0; day <= kHolidayDay; ++day)
        for (int minute = 0; minute < kMinutesPerDay; minute += 15) {
            const Route r = route_call(
                table, {"0049301234", CallDirection::Out, CallService::Voice, day, minute});
            ASSERT_GE(r.chosen, 0);
            EXPECT_EQ(r.result, kMeant[meant(day, minute)]) << day << " " << minute;
            EXPECT_EQ(table.table_map[r.chosen].map_period, period_at(table, day, minute))
                << day << " " << minute;
        }
}

TEST(Route, ToolAnswersForTheExample) {
    const std::string box = shell_quote(std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg");
    const ToolRun sat = run_tool("route " + box + " 00493012345 --at 'SA 19:00'");
    ASSERT_EQ(sat.exit_code, 0) << sat.err;
    for (const char *text : {"map       MapOut00=0101900 120.00 1/1", "[00.00] SU SA",
                             "result    0101900493012345", "(provider 01019)"})
        EXPECT_NE(sat.out.find(text), std::string::npos) << text << "\n" << sat.out;

    const ToolRun eve = run_tool("route " + box + " 00493012345 --at 2026-12-24T19:00 --json");
    ASSERT_EQ(eve.exit_code, 0) << eve.err;
    const nlohmann::json answer = nlohmann::json::parse(eve.out);
    EXPECT_EQ(answer["answers"][0]["heading"], "[00.00] HO");
    EXPECT_EQ(answer["answers"][0]["map"]["line"], "MapOut00=0101900 120.00 1/1");

    // Without a time: the working day's answer, and the one of the evening,
    // the weekend and the holiday, whose maps read the same.
    const ToolRun all = run_tool("route " + box + " 00493012345 --json");
    ASSERT_EQ(all.exit_code, 0) << all.err;
    const nlohmann::json answers = nlohmann::json::parse(all.out)["answers"];
    ASSERT_EQ(answers.size(), 2u) << all.out;
    EXPECT_EQ(answers[0]["periods"].size() + answers[1]["periods"].size(), 4u) << all.out;

    EXPECT_EQ(run_tool("route " + box + " 0049 --at 'XX 19:00'").exit_code, 2);
    EXPECT_EQ(run_tool("route " + box + " 00x49").exit_code, 2);
}

// The routing table of the example's page is golden; a map line the
// optimizer removes stands struck through in its period's column with the
// line that took its place.
TEST(Route, PageShowsTheRoutingTable) {
    auto routing = [](const std::string &page) {
        const size_t from = page.find("<section id=\"routing\">");
        return from == std::string::npos
                   ? std::string()
                   : page.substr(from, page.find("</section>", from) + 11 - from);
    };
    std::string page, why;
    const std::string box = std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg";
    ASSERT_EQ(api::report_page(box.c_str(), "vorn-box.cfg", page, why), 0) << why;
    expect_golden("report/routing.html", routing(page));

    // The cell of MapOut00 in the weekend's column is what `vorn route`
    // answers for Saturday 19:00.
    const std::string table_html = routing(page);
    auto cells_of = [&](const std::string &row_start, const char *cell) {
        const size_t at = table_html.find(row_start);
        std::vector<std::string> cells;
        if (at == std::string::npos)
            return cells;
        const std::string row = table_html.substr(at, table_html.find("</tr>", at) - at);
        for (size_t c = row.find(cell); c != std::string::npos; c = row.find(cell, c + 1))
            cells.push_back(row.substr(c, row.find(cell, c + 1) - c));
        return cells;
    };
    const std::vector<std::string> heads =
        cells_of("<tr><th scope=\"col\">map", "<th scope=\"col\"");
    const std::vector<std::string> cells = cells_of("<tr><th scope=\"row\">MapOut 00<", "<td>");
    size_t weekend = 0;
    while (weekend < heads.size() && heads[weekend].find("[00.00] SU SA") == std::string::npos)
        ++weekend;
    ASSERT_LT(weekend, heads.size());
    ASSERT_GT(weekend, 0u);
    ASSERT_EQ(cells.size() + 1, heads.size()); // the first head names the rows
    const ToolRun sat =
        run_tool("route --json " + shell_quote(box) + " 00493012345 --at 'SA 19:00'");
    const nlohmann::json map = nlohmann::json::parse(sat.out)["answers"][0]["map"];
    EXPECT_NE(cells[weekend - 1].find(map["code"].get<std::string>() + " (" +
                                      map["provider"].get<std::string>() + ")"),
              std::string::npos)
        << cells[weekend - 1];

    TempDir dir;
    write_file(dir.file("lcr.cfg"), ascii_config("TABLE=TF01.5\nMapOut0049=010190049\n"
                                                 "[18:00] MO TU WE TH FR\nMapOut0049=010880049\n"));
    ASSERT_EQ(api::report_page(dir.file("lcr.cfg").c_str(), "lcr.cfg", page, why), 0) << why;
    const std::string table = routing(page);
    EXPECT_NE(table.find("[18.00] MO TU WE TH FR<br/><span class=\"dates\">no map left in this "
                         "period</span>"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find("<del>010880049 (01088)</del> <span class=\"removed\">line 4 removed: "
                         "line 2 takes its place</span>"),
              std::string::npos)
        << table;
}

// The optimizer removes a map repeated in a later period of the same days
// even where the later period keeps other maps: the call then goes by a
// shorter escape.  The removal follows the compiler's rule, not the intent
// "only redundant maps go"; this pins what the table then does.
TEST(Route, RepeatedMapOfALaterPeriodGoesWithTheOptimizer) {
    const std::string periods = "[08:00] MO TU WE TH FR\nMapOut00=0101300\nMapOut01=0101001\n"
                                "[18:00] MO TU WE TH FR\nMapOut00=0101300\nMapOut01=0101901\n";
    TempDir dir;
    std::string results;
    for (const char *optimize : {"On", "Off"}) {
        write_file(dir.file("r.cfg"), ascii_config(std::string("TABLE=TF01.5\nOPTIMIZE=") +
                                                   optimize + "\n" + periods));
        const CheckReport check = compiled_config(dir.file("r.cfg").c_str());
        const table_t *table = check.table.get();
        ASSERT_NE(table, nullptr) << check.message;
        results +=
            route_call(*table, {"00493012345", CallDirection::Out, CallService::Voice, 1, 19 * 60})
                .result +
            " ";
    }
    EXPECT_EQ(results, "900493012345 0101300493012345 ");
}

// The worked example of vorn-config(5): each step's configuration asked
// as the page asks it gives the answer the page prints (the page shows a
// choice of the answer's lines; the same lines of the tool's answer are
// compared).
TEST(Route, WorkedExampleOfTheManualPageHolds) {
    const std::string page = read_file(std::string(VORN_SOURCE_DIR) + "/doc/vorn-config.5");
    const size_t from = page.find(".SH A WORKED EXAMPLE"), to = page.find(".SH ", from + 4);
    ASSERT_NE(from, std::string::npos);
    std::vector<std::string> shown; // the answer blocks, in order
    for (size_t at = page.find(".EX\n", from); at < to; at = page.find(".EX\n", at + 1)) {
        std::string block = page.substr(at + 4, page.find(".EE\n", at) - at - 4);
        block = replaced(replaced(block, "\\-", "-"), "\\(dq", "\"");
        if (block.rfind("period", 0) == 0 || block.rfind("when", 0) == 0)
            shown.push_back(block);
    }
    const std::string night = "[18:00] MO TU WE TH FR SA SU";
    const std::string periods =
        "[08:00] MO TU WE TH FR\nMapOut00=0101300\n" + night + "\nMapOut00=0101900\n";
    const std::string holidays = "Holiday=24.12\nHoliday=25.12\n";
    const std::string with_ho = replaced(periods, night, night + " HO");
    const std::string callback = "MapCallBackPin1=1234\nMapCallBackOut1001=08001234567 VOICE\n";
    const std::string redirect = "Redirect1100=0421555200\nMapOut0421=0421\n";
    const struct {
        std::string lines, call;
    } kSteps[] = {
        {"", "00493012345 --at 'MO 10:00'"},
        {"MapOut00=0101300\n", "00493012345 --at 'MO 10:00'"},
        {periods, "00493012345"},
        {holidays + with_ho, "00493012345 --at 2026-12-24T10:00"},
        {holidays + callback + with_ho, "0012125551234 --at 'MO 10:00'"},
        {holidays + callback + redirect + with_ho, "0421555200 --at 'MO 10:00'"},
    };
    ASSERT_EQ(shown.size(), std::size(kSteps));
    TempDir dir;
    for (size_t i = 0; i < shown.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        write_file(dir.file("lcr.cfg"), ascii_config("TABLE=TF01.5\n" + kSteps[i].lines));
        const ToolRun run =
            run_tool("route " + shell_quote(dir.file("lcr.cfg")) + " " + kSteps[i].call);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        // The tool's lines that begin with a word the page's block shows.
        std::set<std::string> words;
        std::istringstream block(shown[i]);
        const auto word = [](const std::string &line) {
            return line.empty() ? std::string("(blank)") : line.substr(0, line.find(' '));
        };
        for (std::string line; std::getline(block, line);)
            words.insert(word(line));
        std::string kept;
        std::istringstream out(run.out);
        for (std::string line; std::getline(out, line);)
            if (words.count(word(line)) != 0 && !(line.empty() && kept.empty()))
                kept += line + "\n";
        EXPECT_EQ(kept, shown[i]);
    }
}

} // namespace
