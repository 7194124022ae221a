// The configuration compiler seen through its case files (every case of
// tests/golden/compiler/*.cases, whole outputs compared with their golden
// files), mkconf's whole debug trace in both directions, what mkconf does
// with absent paths and its mode argument, and the vorn tool's table jobs as
// a user runs them (compile with listings and the holiday file of the
// working folder, decompile, verify and info on the bundled example, on
// damaged tables and on failing configurations) into tools.golden.
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "support/config_cases.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "table/bin_table.h"
#include "vorn_b32.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <vector>

namespace vorn::test {
namespace {

TEST(ConfigCases, ParserOptimizerAndWriter) {
    for (const std::string name : {"parser", "optimizer", "writer"})
        expect_golden("compiler/" + name + ".golden", run_config_cases(name));
    // The table checksum is CRC-16/ARC, which has a published check value.
    EXPECT_EQ(crc16_update(0, reinterpret_cast<const uint8_t *>("123456789"), 9), 0xBB3D);
}

// The trace with its pointers masked: a word of 8 to 16 hexadecimal digits
// that lies inside one of the blocks its GlobalAlloc lines show (or just past
// its end), and the tool name's pointer.  Table data of the same look, such
// as period masks and remote codes, stays.
std::string masked_pointers(const std::string &text) {
    static const std::regex block(R"(p=([0-9A-F]+) size= *(\d+) +\d+ GlobalAlloc)"),
        word(R"(\b[0-9A-F]{8,16}\b)"), tool_name(R"(ToolName=[0-9A-F]+<)");
    std::vector<std::pair<uint64_t, uint64_t>> blocks;
    for (std::sregex_iterator it(text.begin(), text.end(), block), end; it != end; ++it) {
        const uint64_t base = std::stoull((*it)[1], nullptr, 16);
        blocks.emplace_back(base, base + std::stoull((*it)[2]));
    }
    std::string masked;
    auto copied = text.cbegin();
    for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) {
        const uint64_t value = std::stoull(it->str(), nullptr, 16);
        const bool pointer = std::any_of(blocks.begin(), blocks.end(), [value](auto b) {
            return b.first <= value && value <= b.second;
        });
        masked.append(copied, (*it)[0].first).append(pointer ? "<addr>" : it->str());
        copied = (*it)[0].second;
    }
    masked.append(copied, text.cend());
    return std::regex_replace(masked, tool_name, "ToolName=<addr><");
}

// The trace bodies of one mkconf call, with pointers and the process-wide
// count of live blocks masked.
std::string mkconf_trace(const TempDir &dir, int mode) {
    reset_holiday_file_state_for_tests(); // no holiday file of an earlier test
    TraceCapture cap;
    DebugOn debug;
    EXPECT_EQ(mkconf(dir.file("box.cfg").c_str(), dir.file("box.bin").c_str(), mode), 0);
    std::string text;
    for (const std::string &body : cap.bodies())
        text += body;
    text = masked_pointers(text);
    text = std::regex_replace(text, std::regex("(size= *\\d+) +\\d+ Global"), "$1 <n> Global");
    return replaced(text, dir.path(), "$DIR");
}

TEST(ConfigTraces, MkconfCompileAndDecompile) {
    PinnedClock clock(kDec4th2026);
    TempDir dir;
    write_file(dir.file("box.cfg"),
               read_file(std::string(VORN_SOURCE_DIR) + "/tests/golden/compiler/mkconf_trace.cfg"));
    expect_golden("compiler/mkconf_compile.trace", mkconf_trace(dir, 1));
    expect_golden("compiler/mkconf_decompile.trace", mkconf_trace(dir, 0));
}

// Absent and empty paths, and bit 0 of the mode choosing the direction: to
// the table for 1, 3 and -1, to the configuration for 0 and 2.
TEST(Mkconf, MissingPathsAndTheDirectionBit) {
    TempDir dir;
    const std::string cfg = dir.file("box.cfg"), bin = dir.file("box.bin");
    const uint32_t before = live_blocks();
    const struct {
        const char *cfg, *bin;
        int mode, result;
    } rows[] = {{nullptr, bin.c_str(), 1, -1},
                {cfg.c_str(), nullptr, 0, -1},
                {nullptr, nullptr, 1, -1},
                {"", bin.c_str(), 1, -11},
                {cfg.c_str(), "", 0, -11}};
    for (const auto &row : rows)
        EXPECT_EQ(mkconf(row.cfg, row.bin, row.mode), row.result) << "row " << &row - rows;
    const std::string text = "TABLE=TF01.5\nOPTIONS=NOSTANDARDMAPS\n" + std::string(200, ';');
    for (int mode : {1, 3, -1, 0, 2}) {
        write_file(cfg, text);
        write_file(bin, "");
        ASSERT_EQ((mode & 1) == 0 ? mkconf(cfg.c_str(), bin.c_str(), 1) : 0, 0);
        EXPECT_EQ(mkconf(cfg.c_str(), bin.c_str(), mode), 0) << mode;
        EXPECT_EQ(read_file(bin).size(), 2580u) << mode;
        EXPECT_EQ(read_file(cfg) == text, (mode & 1) != 0) << mode;
    }
    table_t *registered = reinterpret_cast<table_t *>(&dir);
    get_instance_table(&registered);
    EXPECT_EQ(registered, nullptr);
    EXPECT_EQ(live_blocks(), before);
}

TEST(TableTools, SessionOfCommands) {
    PinnedClock clock(kDec4th2026);
    TempDir dir;
    const std::string example = read_file(std::string(VORN_SOURCE_DIR) + "/examples/vorn-box.cfg");
    write_file(dir.file("box.cfg"), example);
    write_file(dir.file("box.map"), example);
    ::mkdir(dir.file("folder").c_str(), 0700);
    ASSERT_EQ(
        run_tool("compile --quiet box.cfg box.bin", "-C " + shell_quote(dir.path())).exit_code, 0);

    // Damaged copies of the compiled example.
    const std::string good = read_file(dir.file("box.bin"));
    auto damaged = [&](const std::string &name, size_t at, const std::string &bytes, size_t size) {
        std::string image = good;
        image.replace(at, bytes.size(), bytes);
        image.resize(size == 0 ? image.size() : size, '\xFF');
        write_file(dir.file(name), image);
    };
    damaged("flipped.bin", 2553, std::string(1, good[2553] ^ 1), 0);
    damaged("longer.bin", 0, "", good.size() + 1);
    damaged("format.bin", 2, "XX01.5", 0);
    damaged("old.bin", 2, "TF01.4", 0);
    damaged("many.bin", 366, "\x23\x06", 70000); // 1571 maps
    damaged("negative.bin", 366, "\xFE\xFF", 0);
    damaged("short.bin", 0, "", 2600);
    damaged("head.bin", 0, "", 100);
    damaged("gap.bin", 2540 + 40, std::string(13, '\0'), 0);
    write_file(dir.file("letters.bin"), std::string(3000, 'A'));
    // The check's own example, with the holiday file it names beside it.
    ::mkdir(dir.file("check").c_str(), 0700);
    write_file(dir.file("check/HoliDay.cfg"), "HOLIDAY=01.01\nHOLIDAY=25.12\n");
    const std::string check_cfg =
        read_file(std::string(VORN_SOURCE_DIR) + "/tests/golden/compiler/check.cfg");
    write_file(dir.file("check/check.cfg"),
               replaced(check_cfg, "{dir}", dir.file("check")) + std::string(200, ';') + "\n");

    const std::string session = run_session("compiler/tools.commands", dir.path());
    expect_golden("compiler/tools.golden", stable(session, dir.path()));
    EXPECT_EQ(read_file(dir.file("box.map")), example);
    // The tool writes the table it checked; mkconf's own compile gives the
    // same bytes.
    ASSERT_EQ(mkconf(dir.file("box.cfg").c_str(), dir.file("mkconf.bin").c_str(), 1), 0);
    EXPECT_EQ(read_file(dir.file("mkconf.bin")), read_file(dir.file("out.bin")));
}

} // namespace
} // namespace vorn::test
