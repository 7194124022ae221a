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

std::string hex4(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", v);
    return text;
}

TEST(TableTool, VerifyGoodAndDamagedTables) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    WorkTable t;
    t.add_maps(3);
    ASSERT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
    const std::string crc = hex4(t->table_crc16);

    ToolRun r = run_tool("verify " + path);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(r.out, "file:     " + path +
                         "\n"
                         "format:   TF01.5  4.Dec 2026 14:19\n"
                         "maps:     3 of 1570\n"
                         "size:     2700 bytes\n"
                         "stored:   " +
                         crc + "\ncomputed: " + crc + "\nchecksum OK\n");

    // One changed byte of a map: the stored checksum no longer fits.
    std::string image = test::read_file(path);
    image[2540 + 13] ^= 0x01;
    write_file(path, image);
    r = run_tool("verify " + path);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("stored:   " + crc + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("vorn: checksum mismatch: stored " + crc + ", computed "),
              std::string::npos);

    // A byte behind the map part: the box would not load it.
    image[2540 + 13] ^= 0x01;
    write_file(path, image + "x");
    r = run_tool("verify " + path);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("vorn: file holds 2701 bytes; a table with 3 maps holds 2700\n"),
              std::string::npos);

    // Not a table at all, another format, too many maps, missing.
    write_file(path, std::string(3000, 'A'));
    EXPECT_EQ(run_tool("verify " + path).code, 1);
    write_file(path, test::bin_table_image(0, "XX01.5"));
    r = run_tool("verify " + path);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "vorn: \"" + path + "\" is not a table of format TF01.5\n");
    write_file(path, test::bin_table_image(0, "TF01.5", 1571) + std::string(63000, '\xFF'));
    r = run_tool("verify " + path);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "vorn: \"" + path + "\" names more maps than a table holds\n");
    EXPECT_EQ(run_tool("verify " + dir.file("none.bin")).code, 1);

    EXPECT_EQ(run_tool("verify").code, 2);
    EXPECT_EQ(run_tool("verify a.bin b.bin").code, 2);
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
        "{\n"
        "  \"crc16\": \"" +
        crc +
        "\",\n"
        "  \"crc16_computed\": \"" +
        crc +
        "\",\n"
        "  \"format\": \"TF01.5  4.Dec 2026 14:19\",\n"
        "  \"comment\": \"say \\\"hi\\\"\\\\\\u00e4\",\n"
        "  \"init_name\": \"\",\n"
        "  \"password\": \"\",\n"
        "  \"remote_code\": \"\",\n"
        "  \"remote_oad\": [\"\", \"0049301\", \"\"],\n"
        "  \"remote_callback\": \"\",\n"
        "  \"nt_l2mode\": 255,\n"
        "  \"te_l2mode\": 255,\n"
        "  \"nt_protocol\": 255,\n"
        "  \"te_protocol\": 255,\n"
        "  \"escape\": 0,\n"
        "  \"currency\": {\"mode\": 8, \"value\": 12, \"div\": 1, \"sign\": \"EUR\"},\n"
        "  \"max_period_entries\": 0,\n"
        "  \"holiday_entries\": 0,\n"
        "  \"map_esclen\": [0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0],\n"
        "  \"max_map_entries\": 1570,\n"
        "  \"used_map_entries\": 2,\n"
        "  \"max_redirect_entries\": 30,\n"
        "  \"max_callback_providers\": 3,\n"
        "  \"poll_interval\": 0,\n"
        "  \"remote_poll\": \"\",\n"
        "  \"emergency_pause\": 0,\n"
        "  \"cdr_interval\": 0,\n"
        "  \"country_code\": 49,\n"
        "  \"options\": 0,\n"
        "  \"options2\": 8192,\n"
        "  \"s2m_l1mode\": 0,\n"
        "  \"free_tone\": 0,\n"
        "  \"alternative_limit\": 0,\n"
        "  \"drop_msn\": \"\",\n"
        "  \"own_msn\": \"\"\n"
        "}\n";
    EXPECT_EQ(r.out, expected);

    // The option may come first; plain text without it.
    EXPECT_EQ(run_tool("info --json " + path).out, expected);
    r = run_tool("info " + path);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("used_map_entries:       2\n"), std::string::npos);

    EXPECT_EQ(run_tool("info").code, 2);
    EXPECT_EQ(run_tool("info " + path + " --xml").code, 2);
    write_file(path, "short");
    EXPECT_EQ(run_tool("info " + path + " --json").code, 1);
}

} // namespace
