// The verify and info commands of the vorn tool on good, damaged and
// foreign files.
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/bin_table.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>

namespace {

using namespace vorn;
using test::hex4;
using test::TempDir;
using test::WorkTable;
using test::write_file;

struct ToolRun {
    int code;
    std::string out; // standard output and standard error together
};

ToolRun run_tool(const std::string &args) {
    const std::string command = std::string(VORN_TOOL_PATH) + " " + args + " 2>&1";
    std::FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {-1, ""};
    std::string out;
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(TableTool, VerifyGoodDamagedAndMissingTables) {
    TempDir dir;
    const std::string path = dir.file("t.bin"), good = test::bin_table_image(3);
    const std::string crc =
        hex4(static_cast<uint8_t>(good[0]) | static_cast<uint8_t>(good[1]) << 8);
    write_file(path, good);
    ToolRun r = run_tool("verify " + path);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "file:     " + path + "\nformat:   TF01.5  4.Dec 2026 14:19\n" +
                         "maps:     3 of 1570\nsize:     2700 bytes\nstored:   " + crc +
                         "\ncomputed: " + crc + "\nchecksum OK\n");

    std::string flipped = good; // one changed byte of a map
    flipped[2540 + 13] ^= 0x01;
    const std::string named = "vorn: \"" + path + "\" ";
    const std::pair<std::string, std::string> damaged[] = {
        {flipped, "stored:   " + crc + "\ncomputed: "},
        {flipped, "vorn: checksum mismatch: stored " + crc + ", computed "},
        {good + "x", "vorn: file holds 2701 bytes; a table with 3 maps holds 2700\n"},
        {std::string(3000, 'A'),
         named + "is not a binary table of format TF01.5 (its format reads \"AAAAAA\")\n"},
        {test::bin_table_image(0, "XX01.5"),
         named + "is not a binary table of format TF01.5 (its format reads \"XX01.5\")\n"},
        {test::bin_table_image(0, "TF01.5", 1571) + std::string(63000, '\xFF'),
         named + "names 1571 used maps; a table holds 0 to 1570\n"},
        {test::bin_table_image(0, "TF01.5", -2),
         named + "names -2 used maps; a table holds 0 to 1570\n"},
        {good.substr(0, 2600), named + "holds 2600 bytes; a table with 3 maps needs 2700\n"},
        {good.substr(0, 100), named + "holds 100 bytes; the head of a table alone needs 2540\n"},
    };
    for (const auto &[image, message] : damaged) {
        write_file(path, image);
        r = run_tool("verify " + path);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.out.find(message), std::string::npos) << r.out;
    }
    r = run_tool("verify " + dir.file("none.bin"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "vorn: cannot read \"" + dir.file("none.bin") +
                         "\" (System error 2: No such file or directory)\n");
    for (const char *usage : {"verify", "verify a.bin b.bin", "info", "info a.bin --xml"})
        EXPECT_EQ(run_tool(usage).code, 2) << usage;
}

TEST(TableTool, InfoPrintsTheHeadAsJson) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    WorkTable t;
    t.add_maps(2);
    std::snprintf(t->table_comment, sizeof t->table_comment, "say \"hi\"\\\xE4");
    std::snprintf(t->table_remote_oad[1], 20, "0049301");
    t->table_currency.currency_mode = CURRENCY_E;
    t->table_currency.currency_value = 12;
    std::snprintf(t->table_currency.currency_sign, 10, "EUR");
    t->table_reserved.table_country_code = 49;
    t->table_reserved.table_options2 = OPT2_SAVE_TEI;
    ASSERT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
    const std::string crc = hex4(t->table_crc16);

    ToolRun r = run_tool("info " + path + " --json");
    ASSERT_EQ(r.code, 0) << r.out;
    const std::string expected =
        "{\n  \"crc16\": \"" + crc + "\",\n  \"crc16_computed\": \"" + crc +
        "\",\n  \"format\": \"TF01.5  4.Dec 2026 14:19\",\n"
        "  \"comment\": \"say \\\"hi\\\"\\\\\\u00e4\",\n  \"init_name\": \"\",\n"
        "  \"password\": \"\",\n  \"remote_code\": \"\",\n"
        "  \"remote_oad\": [\"\", \"0049301\", \"\"],\n  \"remote_callback\": \"\",\n"
        "  \"nt_l2mode\": 255,\n  \"te_l2mode\": 255,\n  \"nt_protocol\": 255,\n"
        "  \"te_protocol\": 255,\n  \"escape\": 0,\n"
        "  \"currency\": {\"mode\": 8, \"value\": 12, \"div\": 1, \"sign\": \"EUR\"},\n"
        "  \"max_period_entries\": 0,\n  \"holiday_entries\": 0,\n"
        "  \"map_esclen\": [0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0],\n"
        "  \"max_map_entries\": 1570,\n  \"used_map_entries\": 2,\n"
        "  \"max_redirect_entries\": 30,\n  \"max_callback_providers\": 3,\n"
        "  \"poll_interval\": 0,\n  \"remote_poll\": \"\",\n  \"emergency_pause\": 0,\n"
        "  \"cdr_interval\": 0,\n  \"country_code\": 49,\n  \"options\": 0,\n"
        "  \"options2\": 8192,\n  \"s2m_l1mode\": 0,\n  \"free_tone\": 0,\n"
        "  \"alternative_limit\": 0,\n  \"drop_msn\": \"\",\n  \"own_msn\": \"\"\n}\n";
    EXPECT_EQ(r.out, expected);

    // The option may come first; plain text without it.
    EXPECT_EQ(run_tool("info --json " + path).out, expected);
    r = run_tool("info " + path);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("used_map_entries:       2\n"), std::string::npos);
    write_file(path, "short");
    EXPECT_EQ(run_tool("info " + path + " --json").code, 1);
}

} // namespace
