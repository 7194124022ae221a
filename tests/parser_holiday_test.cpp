// Holidays: dates of Holiday lines, duplicates and range errors, the
// order, and the holiday file that a process reads once.  Every case starts
// from the state of a freshly loaded library (the test reset), and the
// file in the current folder is tried in a child process.
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "support/config_parse.h"
#include "support/run_tool.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::parse_config;
using test::TempDir;
using test::write_file;

std::string holidays_of(const table_t &t) {
    std::string out;
    for (const holiday_t &h : t.table_holiday)
        if (h.holiday_day != 0)
            out += std::to_string(h.holiday_day) + "." + std::to_string(h.holiday_month) + " ";
    return out + "(" + std::to_string(t.table_holiday_entries) + ")";
}

TEST(Holidays, DatesDuplicatesRangesAndOrder) {
    struct Row {
        const char *lines;
        int result;
        const char *holidays;
    };
    const Row rows[] = {
        {"Holiday=24.12\nHoliday=24.12\n", 0, "24.12 (1)"},
        {"Holiday=24.12\nHoliday=01.01\nHoliday=25.12\n", 0, "1.1 24.12 25.12 (3)"},
        {"Holiday=31.12.2026\nHoliday=1.1\n", 0, "1.1 31.12 (2)"},
        {"Holiday=31.13\n", -6, "(0)"},
        {"Holiday=0.5\n", -6, "(0)"},
        {"Holiday=32.1\n", -6, "(0)"},
        {"Holiday=5\n", -5, "(0)"},
        {"Holiday=X\n", -5, "(0)"},
        {"", 0, "(0)"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.lines);
        const test::Parsed p = parse_config(row.lines);
        EXPECT_EQ(p.result, row.result);
        EXPECT_EQ(holidays_of(p.table()), row.holidays);
    }

    // 50 records at most; the 51st date is not a date any more (-1).
    test::WorkTable t;
    for (int i = 0; i < MAX_HOLIDAYS; ++i) {
        const std::string date = std::to_string(i % 28 + 1) + "." + std::to_string(i / 28 + 1);
        ASSERT_EQ(add_holiday(t.get(), date.c_str()), i + 1);
    }
    EXPECT_EQ(add_holiday(t.get(), "1.12"), -1);

    holiday_t list[] = {{24, 12}, {0, 0}, {1, 1}, {25, 12}, {0, 7}, {31, 1}};
    std::qsort(list, std::size(list), sizeof(holiday_t), cmp_holiday);
    const uint8_t sorted[] = {1, 1, 31, 1, 24, 12, 25, 12};
    EXPECT_EQ(std::memcmp(list, sorted, sizeof sorted), 0);
    EXPECT_EQ(list[4].holiday_day + list[5].holiday_day, 0);
}

TEST(Holidays, HolidayFileNamedByALineIsReadOncePerProcess) {
    TempDir dir;
    const std::string file = dir.file("Feiertage.cfg");
    write_file(file, "HOLIDAY=24.12 ; Christmas\r\n01.01\nno date\n  31.12\n25.12.2026\n");
    const test::Parsed p = parse_config("Holiday=\"" + file + "\"\nHoliday=06.01\n");
    ASSERT_EQ(p.result, 0) << p.err_str;
    EXPECT_EQ(holidays_of(p.table()), "1.1 24.12 25.12 31.12 (4)");

    // Without the reset, this process has read its holiday file: Holiday
    // lines are passed over.
    reset_holiday_file_state_for_tests();
    table_t *table = nullptr;
    char err[kErrStrSize];
    test::TempDir cfg_dir;
    write_file(cfg_dir.file("a.cfg"), "TABLE=TF01.5\nHoliday=" + file + "\n");
    write_file(cfg_dir.file("b.cfg"), "TABLE=TF01.5\nHoliday=06.01\n");
    for (const char *name : {"a.cfg", "b.cfg"}) {
        ASSERT_EQ(read_ascii_table15(&table, cfg_dir.file(name).c_str(), err), 0);
        EXPECT_EQ(table->table_holiday_entries, name[0] == 'a' ? 4 : 0) << name;
        myFree(table, "pt");
        set_instance_table(nullptr);
    }

    // A holiday "file" that may be read but is no plain file: Cannot Read.
    const test::Parsed folder = parse_config("Holiday=" + dir.path() + "\n");
    EXPECT_EQ(folder.result, -2);
    std::string upper = dir.path();
    for (char &c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(folder.err_str, "Line 2:@HOLIDAY=" + upper + "\n@");
    reset_holiday_file_state_for_tests();
}

TEST(Holidays, HoliDayCfgInTheCurrentFolderWinsOverHolidayLines) {
    TempDir dir;
    write_file(dir.file("HoliDay.cfg"), "HOLIDAY=01.05\nHOLIDAY=03.10\n");
    write_file(dir.file("box.cfg"), test::ascii_config("TABLE=TF01.5\nHoliday=24.12\n"));
    write_file(dir.file("plain.cfg"), test::ascii_config("TABLE=TF01.5\n"));
    for (const char *cfg : {"box.cfg", "plain.cfg"}) {
        SCOPED_TRACE(cfg);
        const test::ToolRun run = test::run_tool(std::string("compile --quiet ") + cfg + " box.bin",
                                                 "-C " + test::shell_quote(dir.path()));
        ASSERT_EQ(run.exit_code, 0) << run.err;
        const std::string bin = test::read_file(dir.file("box.bin"));
        ASSERT_GT(bin.size(), kTableHeadSize);
        const auto *t = reinterpret_cast<const table_t *>(bin.data());
        EXPECT_EQ(holidays_of(*t), "1.5 3.10 (2)");
    }
}

} // namespace
