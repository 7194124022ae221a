// The strict check: every finding name with a short input, its exact line,
// its default severity and what each -W switch does to it, in `vorn check`
// and `vorn compile`; many files and standard input in one run; the JSON
// and SARIF documents against golden files and their schemas; and over
// generated configurations, that a file without errors decompiles to a
// text without errors.
#include "vorn_tool/api.h"
#include "conf/check.h"
#include "conf/check_lines.h"
#include "parser/parser.h"
#include "support/config_generator.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "vorn_b32.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace vorn::test {
namespace {

const std::string kPad = "\n" + std::string(200, ';') + "\n";

// `vorn ARGS` run in `dir`, standard input from `input` ("" none).
ToolRun vorn_in(const TempDir &dir, const std::string &args, const std::string &input = "") {
    return run_shell("cd " + shell_quote(dir.path()) + " && " + shell_quote(VORN_TOOL_PATH) + " " +
                     args + (input.empty() ? "" : " < " + shell_quote(input)));
}

// One short file per finding name: the lines behind "TABLE=TF01.5" and the
// first line `vorn check` prints for it; the file draws no other finding.
struct NameCase {
    const char *name;
    std::string lines;
    std::string shown;
};

std::vector<NameCase> name_cases(const TempDir &dir) {
    const std::string long_options = "OPTIONS=AOCTransparency AutoDown DeActTransparency "
                                     "IgnoreStatusMessage NoAutoActL2 NoBootAlarm SendDTE SaveTEI";
    return {
        {"unknown-key", "PABXNmae=Front desk",
         "box.cfg:2:1: warning: unknown key 'PABXNmae' is ignored; did you mean PABXName? "
         "[-Wunknown-key]"},
        {"digits-only", "OwnMSN=33441abc",
         "box.cfg:2:13: error: '33441abc' holds other characters than digits, * and #: the table "
         "stores '33441ABC' [-Werror=digits-only]"},
        {"trailing-garbage", "EmergencyPause=0:15min",
         "box.cfg:2:20: error: 'min' behind the duration 0:15 is ignored "
         "[-Werror=trailing-garbage]"},
        {"period-range", "[25:70] MO",
         "box.cfg:2:2: error: period start 25:70 is outside 00:00-23:59 [-Werror=period-range]"},
        {"unterminated-period", "[08:00 TU",
         "box.cfg:2:1: error: period heading has no closing ']' [-Werror=unterminated-period]"},
        {"value-cut", "PABXName=" + std::string(45, 'y'),
         "box.cfg:2:49: error: PABXName text is 45 characters long: the table keeps the first 39 "
         "[-Werror=value-cut]"},
        {"spaced-equals", "PABXName = Foo",
         "box.cfg:2:1: error: PABXName takes its text from column 10 on: the table stores '= Foo', "
         "not 'Foo'; write PABXName= at the start of the line [-Werror=spaced-equals]"},
        {"line-cut", long_options,
         "box.cfg:2:99: error: line is 110 characters long: the 12 characters from column 99 on "
         "are ignored [-Werror=line-cut]"},
        {"no-value",
         "Currency=", "box.cfg:2:1: warning: line has no value and is skipped [-Wno-value]"},
        {"overridden", "CountryCode=49\nCountryCode=43",
         "box.cfg:2:1: warning: CountryCode is given again on line 3, which wins [-Woverridden]"},
        {"map-shadowed", "MapOut0049=01019\nMapOut0049=01020",
         "box.cfg:2:1: warning: map is removed as identical to the map of line 3 "
         "[-Wmap-shadowed]"},
        {"standard-map", "MapOut5=150 DATA",
         "box.cfg:2:1: warning: map serves only DATA: the standard map 5=95 VOICE is added for "
         "VOICE [-Wstandard-map]"},
        {"empty-period", "OPTIONS=NoStandardMaps\n[08:00] MO\n[09:00] TU\nMapOut5=1",
         "box.cfg:3:1: warning: period section has no maps: the heading of line 4 takes its "
         "place [-Wempty-period]"},
        {"holiday-ignored", "Holiday=" + dir.file("h/HoliDay.cfg") + "\nHoliday=24.12",
         "box.cfg:3:9: warning: Holiday line is ignored: the holidays come from the holiday file " +
             dir.file("h/HoliDay.cfg") + " [-Wholiday-ignored]"},
        {"encoding", "PABXName=M\xC3\xBCller",
         "box.cfg:2:11: warning: '\xC3\xBC' is not 7-bit ASCII: the table stores its UTF-8 bytes "
         "C3 BC as written [-Wencoding]"},
        {"byte-order-mark", "",
         "box.cfg:1:1: note: the UTF-8 byte-order mark before the first line is skipped"},
    };
}

// The severity word of a line of `vorn check`, "" for none.
std::string severity_of(const std::string &output) {
    for (const char *word : {": error: ", ": warning: ", ": note: "})
        if (output.find(word) != std::string::npos)
            return std::string(word).substr(2, std::strlen(word) - 4);
    return "";
}

// Each finding name: its line, its default severity, and what -Wno-NAME,
// -Werror=NAME, -Wno-error=NAME and -Werror make of it in `vorn check`; an
// error by default fails `vorn compile`, and with -Wno-error=NAME the
// compile writes the very table that mkconf writes from the file.
TEST(StrictCheck, EveryFindingNameAndItsSwitches) {
    PinnedClock clock(kDec4th2026);
    TempDir dir;
    // Elsewhere than in the folder of the runs, where the tool would load it
    // for every file.
    std::filesystem::create_directory(dir.file("h"));
    write_file(dir.file("h/HoliDay.cfg"), "HOLIDAY=01.01\nHOLIDAY=25.12\n");
    const std::vector<NameCase> cases = name_cases(dir);
    std::set<std::string> covered;
    for (const NameCase &c : cases)
        covered.insert(c.name);
    for (const FindingInfo &row : finding_table())
        EXPECT_EQ(covered.count(row.name), 1u) << row.name << " has no case";

    for (const NameCase &c : cases) {
        SCOPED_TRACE(c.name);
        const FindingInfo *row = find_finding(c.name);
        ASSERT_NE(row, nullptr);
        const std::string bom = std::string(c.name) == "byte-order-mark" ? "\xEF\xBB\xBF" : "";
        write_file(dir.file("box.cfg"),
                   bom + "TABLE=TF01.5\n" + c.lines + (c.lines.empty() ? "" : "\n") + kPad);
        const char *def = row->severity == Severity::Error     ? "error"
                          : row->severity == Severity::Warning ? "warning"
                                                               : "note";
        const ToolRun plain = vorn_in(dir, "check -q box.cfg");
        EXPECT_EQ(plain.err.substr(0, plain.err.find('\n')), c.shown);
        EXPECT_EQ(severity_of(plain.err), def);
        EXPECT_EQ(plain.exit_code, row->severity == Severity::Error ? 1 : 0);
        // Only this finding: -Wno-NAME leaves nothing.
        const std::string n = c.name;
        const ToolRun hidden = vorn_in(dir, "check -q -Wno-" + n + " box.cfg");
        EXPECT_EQ(hidden.err, "");
        EXPECT_EQ(hidden.exit_code, 0);
        const struct {
            std::string switches, severity;
        } rows[] = {
            {"-Werror=" + n, "error"},
            {"-Wno-error=" + n, std::string(def) == "note" ? "note" : "warning"},
            {"-Werror", std::string(def) == "note" ? "note" : "error"},
            {"-Werror -Wno-error=" + n, std::string(def) == "note" ? "note" : "warning"},
            {"-Wno-error=" + n + " --werror", std::string(def) == "note" ? "note" : "warning"},
            {"-Wno-" + n + " -Wall", def},
        };
        for (const auto &s : rows) {
            const ToolRun run = vorn_in(dir, "check -q " + s.switches + " box.cfg");
            EXPECT_EQ(severity_of(run.err), s.severity) << s.switches;
            EXPECT_EQ(run.exit_code, s.severity == "error" ? 1 : 0) << s.switches;
            const std::string tag = s.severity == "error" ? "[-Werror=" + n + "]" : "[-W" + n + "]";
            EXPECT_EQ(run.err.find(tag) != std::string::npos, s.severity != "note")
                << s.switches << ": " << run.err;
        }
        if (row->severity != Severity::Error)
            continue;
        const ToolRun refused = vorn_in(dir, "compile -q box.cfg t.bin");
        EXPECT_EQ(refused.exit_code, 1);
        EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')), c.shown);
        const std::string last = "vorn: error: compile failed: 1 error; no table written\n";
        ASSERT_TRUE(refused.err.ends_with("\n" + last)) << refused.err;
        const std::string findings = refused.err.substr(0, refused.err.size() - last.size());
        EXPECT_EQ(findings.rfind(": error: "), findings.find(": error: ")); // one error
        EXPECT_FALSE(std::filesystem::exists(dir.file("t.bin")));
        const ToolRun written = vorn_in(dir, "compile -q -Wno-error=" + n + " box.cfg t.bin");
        EXPECT_EQ(written.exit_code, 0) << written.err;
        ASSERT_EQ(mkconf(dir.file("box.cfg").c_str(), dir.file("m.bin").c_str(), 1), 0);
        EXPECT_TRUE(read_file(dir.file("t.bin")) == read_file(dir.file("m.bin")))
            << "the tool's table differs from mkconf's";
        std::filesystem::remove(dir.file("t.bin"));
    }
    const ToolRun unknown = vorn_in(dir, "check -Wno-such box.cfg");
    EXPECT_EQ(unknown.exit_code, 2);
    EXPECT_NE(unknown.err.find("unknown warning switch '-Wno-such'"), std::string::npos);
}

// The key proposed for a mistyped one is a key the compiler takes, with
// what the line writes behind a key compared on its first letters.
TEST(StrictCheck, DidYouMeanProposesRealKeys) {
    const struct {
        const char *typed, *proposed;
    } rows[] = {
        {"MapCallBak", ""},       {"MapCalBackOut1", "MapCallBackOut1"}, {"MapOt5", "MapOut5"},
        {"PABXNmae", "PABXName"}, {"CountryCod", "CountryCode"},         {"Xyzzy", ""},
    };
    for (const auto &row : rows)
        EXPECT_EQ(check::nearest_key(row.typed), row.proposed) << row.typed;
}

// Three files, one of them standard input: each file's findings in line
// order with its count, the exit code of the worst; "-" only once.
TEST(StrictCheck, ManyFilesAndStandardInput) {
    TempDir dir;
    write_file(dir.file("a.cfg"), "TABLE=TF01.5\nCountryCode=4x9\n[25:70] MO\nCurrency=" + kPad);
    write_file(dir.file("b.cfg"), "TABLE=TF01.5\nCOMMENT=clean" + kPad);
    write_file(dir.file("c.cfg"), "TABLE=TF01.5\nMapOut6=1 FOO\nOwnMSN=12a\nOwnMSN=" + kPad);
    const ToolRun run = vorn_in(dir, "check a.cfg - b.cfg", dir.file("c.cfg"));
    EXPECT_EQ(run.exit_code, 1);
    expect_golden("check/many_files.txt", run.err);
    const ToolRun twice = vorn_in(dir, "check - a.cfg -", dir.file("c.cfg"));
    EXPECT_EQ(twice.exit_code, 2);
    EXPECT_EQ(vorn_in(dir, "check b.cfg b.cfg").exit_code, 0);
}

// On a terminal the findings take GCC's colours, unless NO_COLOR is set.
TEST(StrictCheck, ColoursOnATerminalUnlessNoColor) {
    if (run_shell("command -v script").exit_code != 0)
        GTEST_SKIP() << "no script(1) to give the tool a terminal";
    TempDir dir;
    write_file(dir.file("a.cfg"), "TABLE=TF01.5\n[25:70] MO\nCurrency=" + kPad);
    const std::string command = "cd " + shell_quote(dir.path()) + " && script -qec " +
                                shell_quote(shell_quote(VORN_TOOL_PATH) + " check -q a.cfg") +
                                " /dev/null";
    const ToolRun coloured = run_shell("unset NO_COLOR; " + command);
    EXPECT_NE(coloured.out.find("\033[01;31merror:\033[m"), std::string::npos) << coloured.out;
    EXPECT_NE(coloured.out.find("[\033[01;35m-Wno-value\033[m]"), std::string::npos);
    const ToolRun plain = run_shell("export NO_COLOR=1; " + command);
    EXPECT_EQ(plain.out.find('\033'), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("a.cfg:2:2: error: "), std::string::npos) << plain.out;
}

// Validates `document` against `schema` with Python's jsonschema; "" when
// valid, else what it says; "skip" when the module is missing.
std::string schema_check(const TempDir &dir, const std::string &document,
                         const std::string &schema) {
    if (run_shell("python3 -c 'import jsonschema'").exit_code != 0)
        return "skip";
    write_file(dir.file("doc.json"), document);
    const ToolRun run = run_shell(
        "python3 -c 'import json, sys, jsonschema; "
        "jsonschema.validate(json.load(open(sys.argv[1])), json.load(open(sys.argv[2])))' " +
        shell_quote(dir.file("doc.json")) + " " + shell_quote(schema));
    return run.exit_code == 0 ? "" : run.err;
}

// The JSON and SARIF documents of two files, compared with their golden
// files and validated against their schemas.
TEST(StrictCheck, JsonAndSarifDocumentsMatchTheirSchemas) {
    TempDir dir;
    write_file(dir.file("a.cfg"),
               "TABLE=TF01.5\nPABXName = Front desk\nPABXNmae=x\n[08:00 TU\nMapOut5=150 DATA" +
                   kPad);
    write_file(dir.file("b.cfg"), "\xEF\xBB\xBFTABLE=TF01.5\nCOMMENT=M\xC3\xBCller" + kPad);
    const ToolRun json = vorn_in(dir, "check --format=json a.cfg none.cfg b.cfg");
    EXPECT_EQ(json.exit_code, 1);
    EXPECT_NE(json.err.find("cannot read \"none.cfg\""), std::string::npos) << json.err;
    expect_golden("check/findings.json", json.out);
    const ToolRun sarif = vorn_in(dir, "check --format=sarif a.cfg b.cfg -Wno-standard-map");
    EXPECT_EQ(sarif.exit_code, 1);
    const std::string cwd = std::filesystem::canonical(dir.path()).string();
    expect_golden("check/findings.sarif",
                  replaced(sarif.out, "file://" + cwd + "/", "file://$DIR/"));

    const std::string source = VORN_SOURCE_DIR;
    const std::string json_result =
        schema_check(dir, json.out, source + "/tests/golden/check/findings.schema.json");
    if (json_result == "skip")
        GTEST_SKIP() << "python3 has no jsonschema module (Debian: python3-jsonschema)";
    EXPECT_EQ(json_result, "");
    const std::string sarif_schema = source + "/../shared/sarif-2.1.0.json";
    if (!std::filesystem::exists(sarif_schema))
        GTEST_SKIP() << "no SARIF 2.1.0 schema at " << sarif_schema;
    EXPECT_EQ(schema_check(dir, sarif.out, sarif_schema), "");
}

// A configuration written in UTF-8, with a byte-order mark: it compiles
// with a note and a warning, and the table's views show its text as the
// file wrote it.
TEST(StrictCheck, Utf8TextCompilesAndShowsAsWritten) {
    TempDir dir;
    write_file(dir.file("u.cfg"), "\xEF\xBB\xBFTABLE=TF01.5\nPABXName=M\xC3\xBCller" + kPad);
    const ToolRun compiled = vorn_in(dir, "compile -q u.cfg u.bin");
    EXPECT_EQ(compiled.exit_code, 0) << compiled.err;
    EXPECT_EQ(severity_of(compiled.err.substr(0, compiled.err.find('\n'))), "note");
    const std::string name = "M\xC3\xBCller";
    for (const char *command :
         {"info u.bin", "info --json u.bin", "decompile -q u.bin -", "report u.bin"}) {
        const ToolRun run = vorn_in(dir, command);
        EXPECT_EQ(run.exit_code, 0) << command << ": " << run.err;
        EXPECT_NE(run.out.find(name), std::string::npos) << command;
    }
}

// The manual pages describe every finding of the table, and no other, with
// its default severity and the switch that changes it.
TEST(StrictCheck, ManualPagesDescribeEveryFinding) {
    const std::string tool_page = read_file(std::string(VORN_SOURCE_DIR) + "/doc/vorn.1");
    const std::string language_page =
        read_file(std::string(VORN_SOURCE_DIR) + "/doc/vorn-config.5");
    const auto roff = [](std::string text) { return replaced(text, "-", "\\-"); };
    const size_t begin = tool_page.find(".SH FINDINGS");
    ASSERT_NE(begin, std::string::npos);
    const std::string findings =
        tool_page.substr(begin, tool_page.find("\n.SH ", begin) + 1 - begin);
    size_t entries = 0;
    for (size_t at = 0; (at = findings.find("\n.TP\n.B ", at)) != std::string::npos; ++at)
        ++entries;
    EXPECT_EQ(entries, finding_table().size());
    for (const FindingInfo &row : finding_table()) {
        const std::string name = roff(row.name);
        const std::string severity = row.severity == Severity::Error     ? "error"
                                     : row.severity == Severity::Warning ? "warning"
                                                                         : "note";
        const std::string change =
            row.severity == Severity::Error     ? "\\-Wno\\-error=" + name + " makes it a warning"
            : row.severity == Severity::Warning ? "\\-Werror=" + name + " makes it an error"
                                                : "\\-Wno\\-" + name + " hides it";
        EXPECT_NE(findings.find(".TP\n.B " + name + "\n(" + severity + " by default; " + change +
                                ")\n" + row.manual + "\n"),
                  std::string::npos)
            << row.name << " in vorn(1)";
        EXPECT_NE(language_page.find(".TP\n.B " + name + "\n(" + severity + " by default) " +
                                     row.summary + ".\n"),
                  std::string::npos)
            << row.name << " in vorn-config(5)";
    }
}

// Over generated configurations: where the check finds no error in a file,
// it finds none in the text that `vorn decompile` writes from the file's
// table.
TEST(StrictCheck, CleanFilesDecompileToCleanTexts) {
    PinnedClock clock(kDec4th2026);
    TempDir dir;
    const std::string cfg = dir.file("gen.cfg"), bin = dir.file("gen.bin"),
                      text = dir.file("text.cfg");
    int clean = 0;
    for (uint64_t seed = 1; seed <= 30; ++seed) {
        ConfigKnobs knobs;
        knobs.maps = 20 + seed % 40;
        knobs.settings = true;
        knobs.lossy_forms = seed % 3 == 0;
        knobs.standard_maps = seed % 2 == 0;
        write_file(cfg, generate_config(seed, knobs).text + kPad);
        reset_holiday_file_state_for_tests();
        const CheckReport first = check_config(cfg.c_str(), {true, true});
        if (first.errors() != 0)
            continue;
        ++clean;
        ASSERT_EQ(write_checked_table(first, bin.c_str()), 0) << "seed " << seed;
        // The forms that only the lossless text carries need it (vorn
        // decompile's own); the export's text serves the others.
        const bool lossless = knobs.lossy_forms || seed % 2 == 1;
        ASSERT_EQ(api::decompile_table(bin.c_str(), text.c_str(), lossless).result, 0);
        const CheckReport again = check_config(text.c_str(), {true, false});
        EXPECT_EQ(again.errors(), 0) << "seed " << seed << ":\n"
                                     << format_report("text.cfg", read_file(text), again);
    }
    EXPECT_GT(clean, 20); // the generator writes clean files
}

} // namespace
} // namespace vorn::test
