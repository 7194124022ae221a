// The configuration check: the standard maps beside a file that splits the
// services of one escape over two lines, the rendered report of one file
// with every kind of finding, the causes behind refusals, the decompiled
// examples that compile back without a word, and over generated
// configurations the promise that every map line either reaches the table
// or is named by a warning.
#include "conf/check.h"
#include "parser/parser.h"
#include "support/config_generator.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <vector>

namespace vorn::test {
namespace {

const std::string kPad = "\n" + std::string(200, ';') + "\n";

CheckReport check_text(const TempDir &dir, const std::string &text, bool keep_going = false) {
    reset_holiday_file_state_for_tests();
    write_file(dir.file("box.cfg"), text);
    return check_config(dir.file("box.cfg").c_str(), {keep_going, true});
}

// "code mode" of every map of the table with this escape and direction.
std::string maps_of(const table_t *table, const char *escape, uint8_t direction) {
    std::string out;
    for (int i = 0; i < table->table_used_map_entries; ++i) {
        const map_t &m = *table_map_slot(table, static_cast<size_t>(i));
        if (std::string(m.map_escape) == escape && (m.map_mode & 3) == direction) {
            char text[40];
            std::snprintf(text, sizeof text, "%s%s %02X", out.empty() ? "" : ",", m.map_code,
                          m.map_mode);
            out += text;
        }
    }
    return out;
}

// A standard map supplies only a service that no map of the file with its
// escape and direction in period 0 serves, however many such maps there are.
TEST(Check, StandardMapsSupplyOnlyAMissingService) {
    TempDir dir;
    const struct {
        const char *lines, *escape;
        uint8_t direction;
        const char *maps;
    } rows[] = {
        {"MapOut3=93 VOICE\nMapOut3=142 DATA", "3", 2, "93 42,142 82"},
        {"MapOut3=142 DATA\nMapOut3=93 VOICE", "3", 2, "93 42,142 82"},
        {"MapOut3=142\nMapOut3=143 VOICE", "3", 2, "143 42,142 C2"},
        {"MapOut3=143 VOICE\nMapOut3=142", "3", 2, "143 42,142 C2"},
        {"OPTIMIZE=Off\nMapOut3=143 VOICE\nMapOut3=142", "3", 2, "143 42,142 C2"},
        {"MapCallBackIn1=9 VOICE\nMapIn9=180 DATA", "9", 1, "8c 45,180 81"},
        {"MapOut5=150 DATA", "5", 2, "95 42,150 82"},
        {"MapOut5=150 DATA\nMapOut5=151 DATA", "5", 2, "95 42,151 82"},
        {"[08:00] MO\nMapOut5=150 VOICE", "5", 2, "95 C2"},
    };
    for (const auto &row : rows) {
        const CheckReport r = check_text(dir, "TABLE=TF01.5\n" + std::string(row.lines) + kPad);
        ASSERT_EQ(r.result, 0) << row.lines;
        EXPECT_EQ(maps_of(r.table.get(), row.escape, row.direction), row.maps) << row.lines;
    }
}

// One configuration with every kind of warning and three errors, checked
// to its end, rendered as the tool shows it.
TEST(Check, ReportOfEveryKindOfFinding) {
    TempDir dir;
    write_file(dir.file("HoliDay.cfg"), "HOLIDAY=01.01\nHOLIDAY=25.12\n");
    const std::string golden = std::string(VORN_SOURCE_DIR) + "/tests/golden/compiler/check.cfg";
    const std::string text = replaced(read_file(golden), "{dir}", dir.path()) + kPad;
    const CheckReport r = check_text(dir, text, true);
    std::string out = format_report("box.cfg", text, r);
    out += "result " + std::to_string(r.result) + ", message " + printable(r.message) + "\n";
    for (const bool keep_going : {false, true}) { // without going on: the first refusal only
        const CheckReport first = check_text(dir, text, keep_going);
        EXPECT_EQ(first.result, r.result);
        const auto refusals = std::count_if(
            first.diagnostics.begin(), first.diagnostics.end(), [](const Diagnostic &d) {
                return d.severity == Severity::Error && d.name == FindingName::None;
            });
        EXPECT_EQ(refusals, keep_going ? 4 : 1);
    }
    expect_golden("compiler/check.golden", replaced(out, dir.path(), "$DIR"));
    reset_holiday_file_state_for_tests(); // the holiday file goes with the folder
}

// `vorn check` opens its configuration once: the version scan, the parse
// and the findings' source lines all come from the one read.
TEST(Check, ToolOpensTheConfigurationOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "counted with strace";
#endif
    if (run_shell("command -v strace").exit_code != 0)
        GTEST_SKIP() << "strace is not installed";
    TempDir dir;
    write_file(dir.file("box.cfg"), "TABLE=TF01.5\nNOSUCHKEY=1" + kPad);
    const ToolRun run = run_shell("strace -f -qq -e trace=open,openat -o " +
                                  shell_quote(dir.file("opens.txt")) + " " +
                                  shell_quote(VORN_TOOL_PATH) + " check " +
                                  shell_quote(dir.file("box.cfg")));
    EXPECT_NE(run.err.find(" NOSUCHKEY=1\n"), std::string::npos) << run.err; // its source line
    const std::string opens = read_file(dir.file("opens.txt"));
    size_t count = 0;
    for (size_t at = 0; (at = opens.find("box.cfg\"", at)) != std::string::npos; ++at)
        ++count;
    EXPECT_EQ(count, 1u) << opens;
}

// The cause behind each refusal, beside the library's own result.
TEST(Check, RefusalsSayWhy) {
    TempDir dir;
    const struct {
        std::string text;
        int result;
        const char *note;
    } rows[] = {
        {"TABLE=TF01.5\n", VORN_CONF_CANNOT_READ,
         "a configuration must be at least 200 bytes long"},
        {"OPTIONS=NoStandardMaps" + kPad, VORN_CONF_CANNOT_READ, "no TABLE=TF01.5 line"},
        {"TABLE=TF01.4" + kPad, VORN_CONF_WRONG_FORMAT,
         "the TABLE line names another format than TF01.5"},
        {"TABLE=TF01.5\nMapOut1=2 FOO" + kPad, VORN_CONF_SYNTAX_ERROR, ""},
    };
    for (const auto &row : rows) {
        const CheckReport r = check_text(dir, row.text);
        EXPECT_EQ(r.result, row.result) << row.text;
        EXPECT_EQ(r.note, row.note) << row.text;
        EXPECT_EQ(r.errors(), 1) << row.text;
        EXPECT_EQ(r.table, nullptr);
    }
    EXPECT_EQ(check_config(dir.file("none.cfg").c_str()).note, "the file does not exist");
}

// Each bundled example, and a configuration that sets nothing, compiled and
// decompiled as `vorn decompile` writes it: the text draws no finding from
// the check (the empty lines of unset settings included) and compiles to
// the very table bytes again.
TEST(Check, DecompiledConfigurationsCompileBackQuietly) {
    PinnedClock clock(kDec4th2026);
    TempDir dir;
    const std::string first = dir.file("first.bin"), text = dir.file("text.cfg"),
                      again = dir.file("again.bin");
    std::vector<std::string> sources = {dir.file("unset.cfg")};
    write_file(sources[0], "TABLE=TF01.5\nOPTIONS=NoStandardMaps" + kPad);
    for (const auto &entry :
         std::filesystem::directory_iterator(std::string(VORN_SOURCE_DIR) + "/examples"))
        if (entry.path().extension() == ".cfg")
            sources.push_back(entry.path().string());
    ASSERT_GT(sources.size(), 1u);
    for (const std::string &source : sources) {
        SCOPED_TRACE(source);
        ASSERT_EQ(api::compile_config(source.c_str(), first.c_str()).result, 0);
        ASSERT_EQ(api::decompile_table(first.c_str(), text.c_str(), true).result, 0);
        const CheckReport r = check_config(text.c_str(), {false, true});
        EXPECT_EQ(format_report("text.cfg", read_file(text), r), "0 errors, 0 warnings\n");
        ASSERT_EQ(write_checked_table(r, again.c_str()), 0);
        // The unset text's "COMMENT=" is a line without a value: skipped, so it adds no stamp.
        EXPECT_EQ(read_file(again), read_file(first));
    }
}

// Over generated configurations: every map line reaches the table (a map
// with its escape, code and direction is there) or a warning names it, and
// a warning that names a winning line names a map line.
TEST(Check, EveryMapLineReachesTheTableOrIsNamed) {
    TempDir dir;
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        ConfigKnobs knobs;
        knobs.maps = 30 + seed % 50;
        knobs.shared_maps = seed % 20;
        knobs.standard_maps = seed % 3 != 0;
        knobs.optimize = seed % 7 != 0;
        knobs.settings = seed % 2 == 0;
        const GeneratedConfig config = generate_config(seed, knobs);
        const CheckReport r = check_text(dir, config.text + kPad);
        ASSERT_EQ(r.result, 0) << "seed " << seed << ": " << r.message;
        std::set<int> named, map_lines;
        for (const Diagnostic &d : r.diagnostics)
            named.insert(d.line);
        std::istringstream lines(config.text);
        std::string line;
        for (int number = 1; std::getline(lines, line); ++number) {
            if (line.rfind("Map", 0) != 0 || line.rfind("MapCallBack", 0) == 0)
                continue;
            map_lines.insert(number);
            const size_t key = line.rfind("MapIn", 0) == 0 ? 5 : 6;
            const size_t eq = line.find('=');
            const std::string escape = line.substr(key, eq - key);
            const std::string code = line.substr(eq + 1, line.find(' ', eq) - eq - 1);
            const uint8_t dir_bits = line[3] == 'I' ? 1 : line[4] == 'u' ? 2 : 3;
            bool reached = false;
            for (int i = 0; i < r.table->table_used_map_entries && !reached; ++i) {
                const map_t &m = *table_map_slot(r.table.get(), static_cast<size_t>(i));
                reached =
                    escape == m.map_escape && code == m.map_code && (m.map_mode & 3) == dir_bits;
            }
            EXPECT_TRUE(reached || named.count(number) != 0)
                << "seed " << seed << " line " << number << ": " << line;
        }
        for (const Diagnostic &d : r.diagnostics) {
            if (d.related_line != 0 && d.text.find("map") != std::string::npos) {
                EXPECT_EQ(map_lines.count(d.related_line), 1u) << "seed " << seed << d.text;
            }
        }
    }
}

} // namespace
} // namespace vorn::test
