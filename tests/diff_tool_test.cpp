// vorn diff: its unified diff against the system's diff -u, and the tool's
// session over tables and configurations, stamps, hidden bytes and trouble;
// the round trip of generated configurations through vorn decompile, with
// vorn diff telling whether the records came back.
#include "support/config_generator.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "table/table.h"
#include "vorn/unified_diff.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace vorn::test {
namespace {

std::string numbered(int from, int to) {
    std::string text;
    for (int i = from; i <= to; ++i)
        text += "line " + std::to_string(i) + "\n";
    return text;
}

TEST(DiffTool, HunksAreThoseOfDiffU) {
    if (std::system("command -v diff >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "diff is not installed";
    const std::string ten = numbered(1, 10);
    const struct {
        const char *name;
        std::string a, b;
    } pairs[] = {
        {"one line changed in the middle", numbered(1, 20),
         numbered(1, 9) + "ten\n" + numbered(11, 20)},
        {"changes six lines apart share a hunk", numbered(1, 20),
         "one\n" + numbered(2, 7) + "eight\n" + numbered(9, 20)},
        {"changes seven lines apart do not", numbered(1, 20),
         "one\n" + numbered(2, 8) + "nine\n" + numbered(10, 20)},
        {"lines before the first", ten, "new\n" + ten},
        {"lines after the last", ten, ten + "new 1\nnew 2\n"},
        {"everything removed", ten, ""},
        {"one line each", "a\n", "b\n"},
        {"a last line without line feed", ten, ten.substr(0, ten.size() - 1)},
        {"both without line feed", "a\nb", "a\nc"},
        {"moved and repeated lines", "x\n\ny\n\nz\n" + ten, ten + "x\n\nz\n\n\ny\n"},
        {"removed and added in one place", numbered(1, 12),
         numbered(1, 4) + "five\nsix\nseven\n" + numbered(8, 8) + numbered(10, 12)},
    };
    TempDir dir;
    for (const auto &pair : pairs) {
        SCOPED_TRACE(pair.name);
        write_file(dir.file("a"), pair.a);
        write_file(dir.file("b"), pair.b);
        const std::string command = "diff -u --label A --label B " + shell_quote(dir.file("a")) +
                                    " " + shell_quote(dir.file("b")) + " >" +
                                    shell_quote(dir.file("out"));
        EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
        EXPECT_EQ(tool::unified_diff({"A", tool::split_lines(pair.a), {}},
                                     {"B", tool::split_lines(pair.b), {}}),
                  read_file(dir.file("out")));
    }
}

TEST(DiffTool, ComparesTablesAndConfigurationsInTheirCanonicalForm) {
    TempDir dir;
    const std::string golden = std::string(VORN_SOURCE_DIR) + "/tests/golden/diff/";
    for (const char *name : {"a.cfg", "b.cfg"})
        write_file(dir.file(name), read_file(golden + name));
    const std::string in_dir = "-C " + shell_quote(dir.path()) + " TZ=UTC SOURCE_DATE_EPOCH=";
    ASSERT_EQ(run_tool("compile --quiet a.cfg early.bin", in_dir + "1600000000").exit_code, 0);
    const std::string table = read_file(dir.file("early.bin"));
    write_file(dir.file("short.bin"), table.substr(0, 1000));
    write_file(dir.file("old.bin"), std::string(table).replace(2, 6, "TF01.4"));
    std::string hidden = table;
    hidden[kReservedAt + offsetof(table_reserved_t, table_options2)] |= 0x40;
    write_file(dir.file("hidden.bin"), hidden);
    const std::string tmp = dir.file("tmp");
    std::filesystem::create_directory(tmp);
    const std::string env = "TZ=UTC SOURCE_DATE_EPOCH=1796393109 TMPDIR=" + shell_quote(tmp);

    std::string out = run_session("diff/tools.commands", dir.path(), env);
    // A TMPDIR that names no folder (the files go to /tmp), and an output
    // that cannot be written.
    out += tool_run("diff a.cfg b.cfg", in_dir + "1 TMPDIR=" + shell_quote(dir.file("none")));
    const ToolRun full =
        run_shell("cd " + shell_quote(dir.path()) + " && " + env + " " +
                  shell_quote(VORN_TOOL_PATH) + " diff a.cfg b.cfg 2>&1 >/dev/full");
    out += "$ vorn diff a.cfg b.cfg >/dev/full\nexit " + std::to_string(full.exit_code) + "\n" +
           full.out;
    expect_golden("diff/tools.txt", stable(out + files_left(tmp), dir.path()));
}

// compile -> vorn decompile -> compile gives the same record, which the
// self-check confirms (no warning under --strict) and vorn diff too; a
// second round writes the same text.
TEST(DecompileTool, GeneratedConfigurationsComeBackThroughTheTool) {
    TempDir dir;
    const std::string env =
        "-C " + shell_quote(dir.path()) + " TZ=UTC SOURCE_DATE_EPOCH=1796393109";
    int compiled = 0;
    for (uint64_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        ConfigKnobs knobs;
        knobs.sections = static_cast<unsigned>(seed % 4);
        knobs.maps = 20 + static_cast<unsigned>(seed * 11 % 40);
        knobs.standard_maps = seed % 3 != 0;
        knobs.settings = true;
        knobs.lossy_forms = true;
        write_file(dir.file("g.cfg"), generate_config(seed, knobs).text);
        if (run_tool("compile --quiet g.cfg 1.bin", env).exit_code != 0)
            continue; // a contradicting protocol pair, too many periods
        ++compiled;
        const ToolRun first = run_tool("decompile --quiet --strict 1.bin 1.cfg", env);
        ASSERT_EQ(first.exit_code, 0) << first.err;
        EXPECT_EQ(first.err, "");
        ASSERT_EQ(run_tool("compile --quiet 1.cfg 2.bin", env).exit_code, 0);
        const ToolRun same = run_tool("diff 1.bin 2.bin", env);
        EXPECT_EQ(same.exit_code, 0) << same.out << same.err;
        ASSERT_EQ(run_tool("decompile --quiet --strict 2.bin 2.cfg", env).exit_code, 0);
        EXPECT_EQ(read_file(dir.file("2.cfg")), read_file(dir.file("1.cfg")));
    }
    EXPECT_GE(compiled, 4);
}

} // namespace
} // namespace vorn::test
