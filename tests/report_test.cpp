// The report pages: a golden page for each bundled example, every page
// parsed by xmllint, the week grid's colours at known quarter hours, the
// period lookup on hand-made tables, and the call figures of a binary log
// against those of the list the converter writes from it.
#include "report/call_stats.h"
#include "report/report.h"
#include "report/week_grid.h"
#include "support/log_golden.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>

namespace {

using namespace vorn;
using namespace vorn::report;
using namespace vorn::test;

std::string example(const char *name) {
    return std::string(VORN_SOURCE_DIR) + "/examples/" + name;
}

std::string page_of(const std::string &path, const char *name) {
    std::string page, why;
    EXPECT_EQ(page_for_file(path.c_str(), {name, {}, {}}, page, why), Error::Ok) << why;
    return page;
}

// The stamp names the time and the library's version.
std::string masked(const std::string &page) {
    return std::regex_replace(page, std::regex("<p class=\"stamp\">[^<]*</p>"),
                              "<p class=\"stamp\">(stamp)</p>");
}

TEST(Report, ExamplePagesAreGoldenAndWellFormed) {
    PinnedClock clock(kDec4th2026); // the compiled table's stamp
    TempDir dir;
    const bool xmllint = std::system("command -v xmllint >/dev/null 2>&1") == 0;
    for (const char *name : {"vorn-box.cfg", "calls.bin", "events.bin"}) {
        const std::string page = page_of(example(name), name);
        test::expect_golden(std::string("report/") + name + ".html", masked(page));
        if (!xmllint)
            continue;
        write_file(dir.file("page.html"), page);
        const std::string lint = "xmllint --noout '" + dir.file("page.html") + "'";
        EXPECT_EQ(std::system(lint.c_str()), 0) << name;
    }
}

// The example's periods by heading (the compiler splits "[00:00] SA SU HO"
// into a holiday and a weekend period); the grid's cells carry their colours.
TEST(Report, WeekGridCellsCarryTheirPeriods) {
    std::string page, why;
    ASSERT_EQ(config_page(example("vorn-box.cfg").c_str(), {}, page, why), Error::Ok) << why;
    // The page of the compiled table names each period's heading in its
    // legend; find the index of each from there.
    auto index_of = [&](const std::string &heading) {
        const std::regex row("<td>([0-9]+)</td><th scope=\"row\">" +
                             std::regex_replace(heading, std::regex(R"([\[\].])"), R"(\$&)") +
                             "</th>");
        std::smatch m;
        return std::regex_search(page, m, row) ? std::stoi(m[1]) : -1;
    };
    const int work = index_of("[08.00] MO TU WE TH FR"),
              evening = index_of("[18.00] MO TU WE TH FR"), weekend = index_of("[00.00] SU SA"),
              holiday = index_of("[00.00] HO");
    ASSERT_GT(work, 0);
    ASSERT_GT(evening, 0);
    ASSERT_GT(weekend, 0);
    ASSERT_GT(holiday, 0);
    const struct {
        const char *cell;
        int period;
    } kCells[] = {{"SA-0730", weekend}, {"HO-0730", holiday}, {"HO-2345", holiday},
                  {"MO-0300", evening}, {"MO-0745", evening}, {"MO-0800", work},
                  {"FR-1745", work},    {"FR-1800", evening}, {"SU-2345", weekend}};
    for (const auto &c : kCells) {
        const std::string cell = "id=\"q-" + std::string(c.cell) + "\"";
        const size_t at = page.find(cell);
        ASSERT_NE(at, std::string::npos) << c.cell;
        const std::string element = page.substr(at, page.find("/>", at) - at);
        EXPECT_NE(element.find("fill=\"" + period_fill(c.period) + "\" data-period=\"" +
                               std::to_string(c.period) + "\""),
                  std::string::npos)
            << element;
    }
}

// Hand-made period records: the latest start of the day at or before the
// time, the day's last period before its first start, the holiday as a day
// of its own, starts past midnight never coming.
TEST(Report, PeriodAtFollowsStartsAndDays) {
    auto table = std::make_unique<table_t>();
    std::memset(static_cast<void *>(table.get()), 0, sizeof(table_t));
    const map_period_t periods[] = {{0, 0, 0xFF},   {8, 0, 0x3E},
                                    {18, 30, 0x3E}, {0, 0, DAY_SA | DAY_HO},
                                    {12, 0, 0x7F},  {25, 99, 0x02}};
    std::memcpy(table->table_period, periods, sizeof periods);
    table->table_max_period_entries = 5;
    EXPECT_EQ(period_count(*table), 5);
    const struct {
        int day, minute, period;
    } kCases[] = {{1, 0, 2},       {1, 8 * 60 - 1, 2},        {1, 8 * 60, 1},      {1, 11 * 60, 1},
                  {1, 12 * 60, 4}, {1, 18 * 60 + 30, 2},      {6, 7 * 60, 3},      {6, 12 * 60, 4},
                  {0, 7 * 60, 4},  {kHolidayRow, 13 * 60, 3}, {3, 23 * 60 + 59, 2}};
    for (const auto &c : kCases)
        EXPECT_EQ(period_at(*table, c.day, c.minute), c.period) << c.day << " " << c.minute;
    table->table_period[3].period_days = 0; // ends the list early
    EXPECT_EQ(period_count(*table), 2);
    EXPECT_EQ(period_at(*table, kHolidayRow, 600), 0);
    EXPECT_EQ(period_at(*table, 6, 600), 0);
}

// Numbers counted while the table of figures grows several times keep
// their own figures: none is lost, doubled or mixed with another one.
TEST(Report, PartyFiguresSurviveTheTableGrowing) {
    PartyTable table;
    constexpr unsigned kNumbers = 5000;
    for (unsigned round = 0; round < 3; ++round)
        for (unsigned n = round; n < kNumbers; ++n)
            table[std::to_string(100000000 + n * 7919)].calls += n + 1;
    ASSERT_EQ(table.entries().size(), kNumbers);
    for (const PartyTable::Entry &e : table.entries()) {
        const unsigned n =
            static_cast<unsigned>(std::stoul(std::string(table.number(e))) - 100000000) / 7919;
        EXPECT_EQ(e.figures.calls, (n + 1) * std::min(n + 1, 3u)) << table.number(e);
    }
}

// The figures of the binary log equal those read back from the combined
// list that mklogcall writes of it.
TEST(Report, CallListGivesTheFiguresOfItsLog) {
    TempDir dir;
    set_TmpPath((dir.path() + "/").c_str(), 1);
    const std::string log = read_file(example("calls.bin"));
    ASSERT_EQ(mklogcall(example("calls.bin").c_str(), dir.file("all.txt").c_str(), nullptr, nullptr,
                        nullptr),
              0);
    const CallStats a = stats_of_log(reinterpret_cast<const uint8_t *>(log.data()), log.size());
    const CallStats b = stats_of_list(read_file(dir.file("all.txt")));
    EXPECT_GT(a.calls, 0u);
    EXPECT_EQ(b.not_read, 0u);
    const uint64_t CallStats::*fields[] = {
        &CallStats::calls,        &CallStats::outgoing,   &CallStats::incoming,
        &CallStats::seconds,      &CallStats::units,      &CallStats::no_start,
        &CallStats::not_finished, &CallStats::not_closed, &CallStats::saved_before};
    for (auto f : fields)
        EXPECT_EQ(a.*f, b.*f);
    EXPECT_EQ(std::memcmp(a.hour_day, b.hour_day, sizeof a.hour_day), 0);
    EXPECT_EQ(a.per_day, b.per_day);
    // A log cut inside its last record: the tail is counted, nothing read past it.
    const std::string cut = log.substr(0, log.size() - 10);
    EXPECT_EQ(stats_of_log(reinterpret_cast<const uint8_t *>(cut.data()), cut.size()).not_read, 1u);
}

} // namespace
