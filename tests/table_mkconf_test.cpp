// The conversion driver: argument and size checks, the TABLE pre-scan, the
// two directions, the result tables and what is left after each call.
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/bin_table.h"
#include "vorn_b32.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using test::ascii_config;
using test::bin_table_image;
using test::TempDir;
using test::TraceCapture;
using test::write_file;
using Lines = std::vector<std::string>;

bool exists(const std::string &path) {
    uint64_t size = 0;
    return platform::file_size(path.c_str(), &size);
}

// Every call must leave no table registered and every block released.
class Mkconf : public ::testing::Test {
  protected:
    int call(const char *cfg_path, const char *bin_path, int32_t mode) {
        const uint32_t before = live_blocks();
        const int r = mkconf(cfg_path, bin_path, mode);
        table_t *registered = reinterpret_cast<table_t *>(this);
        get_instance_table(&registered);
        EXPECT_EQ(registered, nullptr);
        EXPECT_EQ(live_blocks(), before);
        return r;
    }
    int call(int32_t mode) { return call(cfg.c_str(), bin.c_str(), mode); }
    Lines errors() const { return test::error_lines(cap); }

    TempDir dir;
    TraceCapture cap;
    std::string cfg = dir.file("box.cfg");
    std::string bin = dir.file("box.bin");
};

TEST_F(Mkconf, MissingPathsAllocateNothing) {
    test::DebugOn debug;
    EXPECT_EQ(call(nullptr, bin.c_str(), 1), -1);
    EXPECT_EQ(call(cfg.c_str(), nullptr, 0), -1);
    EXPECT_EQ(call(nullptr, nullptr, 1), -1);
    EXPECT_EQ(cap.bodies(), (Lines{"mkconf(\"NULL\", \"" + bin + "\", 1) pTable=0\n",
                                   "mkconf(\"" + cfg + "\", \"NULL\", 0) pTable=0\n",
                                   "mkconf(\"NULL\", \"NULL\", 1) pTable=0\n"}));
    // Empty texts are paths of files that do not exist.
    EXPECT_EQ(call("", bin.c_str(), 1), -11);
    EXPECT_EQ(call(cfg.c_str(), "", 0), -11);
}

TEST_F(Mkconf, WholeTraceOfAFailedAsciiCall) {
    write_file(cfg, "TABLE=TF01.5\n");
    test::DebugOn debug;
    EXPECT_EQ(call(1), -11);
    std::string text;
    for (const auto &body : cap.bodies())
        text += body.find(" Global") == std::string::npos ? body : "";
    EXPECT_EQ(text, "mkconf(\"" + cfg + "\", \"" + bin + "\", 1) pTable=0\n" + cfg + " -> " + bin +
                        "\n              MAP_IN=01\n             MAP_OUT=02\n"
                        "       MAP_CALLBACK1=04\n       MAP_CALLBACK2=08\n"
                        "         MAP_SPECIAL=10\n        MAP_COMPRESS=10\n"
                        "            MAP_DTMF=20\n           MAP_VOICE=40\n"
                        "            MAP_DATA=80\nconftool#305: read_ascii_table: size=13\n"
                        "\r\nCannot Read \"" +
                        cfg +
                        "\"!\nfree pTable=0\nmyFree(NULL) do nothing\nerr_str freed\n"
                        "mkconf return(1)\n");
    EXPECT_TRUE(cap.contains("GlobalAlloc err_str\n"));
    EXPECT_TRUE(cap.contains("GlobalFree err_str\n"));
}

TEST_F(Mkconf, AsciiFileChecksAndTableLinePreScan) {
    const Lines cannot_read = {"\r\n", "Cannot Read \"" + cfg + "\"!\n"}; // empty message first
    const Lines wrong_format = {"\r\n", "Wrong Table Format (TABLE=TFxx.x)\r\n"};
    const Lines none;
    const std::string x = ascii_config("COMMENT=x\n");
    struct Row {
        std::string text; // "": no file
        int result;
        const char *version; // as the pre-scan traces it; nullptr: not scanned
        const Lines &errors;
    };
    const Row rows[] = {
        {"", -11, nullptr, cannot_read},
        {std::string(199 - 14, ';') + "\nTABLE=TF01.5\n", -11, nullptr, cannot_read},
        {x, -11, "0000", cannot_read},                    // no TABLE line
        {x + "TABLE=TF01.4", -11, "0000", cannot_read},   // a last line without line end
        {x + "TABLE=TF00.0\n", -11, "0000", cannot_read}, // version 0 counts as none
        {x + "TABLE=TF01.4\n", -70, "0104", wrong_format},
        {ascii_config("COMMENT=x\r\nTABLE=TF01.4\r\n"), -70, "0104", wrong_format},
        {ascii_config("TABLE = 0105\n"), -70, "FFFF", wrong_format}, // no "TF"
        // Commented-out TABLE lines are passed over, with or without blanks
        // before the semicolon; the first uncommented one decides.
        {ascii_config(";TABLE=TF01.5\n   ; TABLE=TF01.5\n\t;TABLE=TF01.5\nTABLE=TF01.4\n"
                      "TABLE=TF01.5\n"),
         -70, "0104", wrong_format},
        // The right version reaches the parser, which compiles the file.
        {ascii_config("; TABLE=TF01.4\n  ;TABLE=TF01.3\nTABLE=TF01.5 comment\n"), 0, "0105", none},
    };
    test::DebugOn debug;
    for (const Row &row : rows) {
        SCOPED_TRACE(&row - rows);
        if (!row.text.empty())
            write_file(cfg, row.text);
        cap.clear();
        EXPECT_EQ(call(1), row.result);
        EXPECT_EQ(errors(), row.errors);
        EXPECT_EQ(cap.contains("conftool#316: after read_ascii_table() err="),
                  row.version != nullptr);
        if (row.version != nullptr) {
            EXPECT_TRUE(
                cap.contains("read_ascii_table(" + cfg + "): tversion=" + row.version + "\n"));
        }
        for (const auto &body : cap.bodies()) { // commented lines are not shown
            if (body.starts_with("read_ascii_table: line=<")) {
                EXPECT_EQ(body.find(';'), std::string::npos) << body;
            }
        }
        EXPECT_EQ(cap.bodies().back(),
                  row.result == 0 ? "mkconf return(0)\n" : "mkconf return(1)\n");
        EXPECT_EQ(exists(bin), row.result == 0);
    }
    EXPECT_TRUE(cap.contains("read_ascii_table: line=<TABLE=TF01.5 comment\n>\n"));
}

TEST_F(Mkconf, ModeBitZeroSelectsTheDirection) {
    write_file(bin, bin_table_image(3));
    write_file(cfg, ascii_config("TABLE=TF01.4\n"));
    test::DebugOn debug;
    for (int32_t mode : {1, 3, -1, 0, 2}) {
        cap.clear();
        const bool to_binary = (mode & 1) != 0;
        if (!to_binary)
            write_file(cfg, "");
        // The ASCII file's version fails; the binary table is written back.
        EXPECT_EQ(call(mode), to_binary ? -70 : 0) << mode;
        // The direction line looks at the whole mode, not at bit 0.
        EXPECT_EQ(cap.bodies().at(1),
                  mode == 0 ? bin + " -> " + cfg + "\n" : cfg + " -> " + bin + "\n");
        EXPECT_EQ(cap.contains("read_ascii_table(" + cfg), to_binary);
        EXPECT_EQ(cap.contains("conftool#427: read_ascii_table: size=2700 (min. 2540)\n"),
                  !to_binary);
        EXPECT_EQ(cap.contains("call read_hex_file(," + bin + ")\n"), !to_binary);
        EXPECT_EQ(cap.contains("write_ascii_table: pTable="), !to_binary);
        EXPECT_EQ(
            test::read_file(cfg).starts_with("TABLE=TF01.5  4.Dec 2026 14:19 (Don't touch!)\n"),
            !to_binary);
    }
}

TEST_F(Mkconf, BinaryFileMissingShortDamagedOrTooFull) {
    const std::string cannot_read = "Cannot Read \"" + bin + "\"!\n";
    struct Row {
        std::string file; // empty: no file
        int result;
        Lines errors;
    };
    const Row rows[] = {
        {"", -11, {}},
        {bin_table_image(0).substr(0, 2539), -11, {}}, // refused by its size before it is opened
        {bin_table_image(0, "TF01.4"), -11, {cannot_read}},
        {bin_table_image(1, "TF01.5", 5),
         -11,
         {"file size = 2620, expected size2 = 240 bytes, readed bytes 80\n", cannot_read}},
        // More maps than the record holds.
        {bin_table_image(1, "TF01.5", 1571) + std::string(70000, '\xFF'),
         -73,
         {"size to big\r\n", cannot_read, "Too many entries!\r\n"}},
    };
    for (const Row &row : rows) {
        if (!row.file.empty())
            write_file(bin, row.file);
        cap.clear();
        EXPECT_EQ(call(0), row.result) << row.file.size();
        EXPECT_EQ(errors(), row.errors);
        EXPECT_FALSE(exists(cfg));
    }

    // A folder in place of either file is an input that cannot be read.
    const std::string folder = dir.file("sub");
    std::filesystem::create_directory(folder);
    for (int i = 0; i < 200; ++i) // a folder big enough to pass the size checks
        std::filesystem::create_directory(folder + "/a" + std::to_string(i) + std::string(40, 'x'));
    EXPECT_EQ(call(cfg.c_str(), folder.c_str(), 0), -11);
    EXPECT_EQ(call(folder.c_str(), bin.c_str(), 1), -11);
}

TEST(MkconfResults, EveryRowOfTheResultTables) {
    TraceCapture cap;
    const std::string head = "Line 12:@MapOut=0049 x@";
    const std::pair<int, int> results[] = {{-2, -11}, {-4, -1},  {-5, -72}, {-6, -71},
                                           {-8, -17}, {-9, -70}, {-11, -73}};
    const Lines messages = {"Cannot Read \"a.cfg\"!\n",
                            head + "Warning",
                            head + "Syntax Error",
                            head + "Wrong Value",
                            head + "Not Enough Memory For This Operation!\n",
                            head + "Wrong Table Format (TABLE=TFxx.x)",
                            head + "Too many entries!"};
    char err_str[kErrStrSize];
    for (size_t i = 0; i < messages.size(); ++i) {
        cap.clear();
        std::strcpy(err_str, head.c_str());
        EXPECT_EQ(mkconf_ascii_read_failed(results[i].first, err_str, "a.cfg"), results[i].second);
        EXPECT_EQ(err_str, messages[i]);
        const std::string &m = messages[i];
        EXPECT_EQ(cap.bodies(), (Lines{head + "\r\n", m.back() == '\n' ? m : m + "\r\n"}));
    }
    // The buffer never overflows, however long the head.
    std::memset(err_str, 'x', sizeof err_str - 1);
    err_str[kErrStrSize - 1] = 0;
    EXPECT_EQ(mkconf_ascii_read_failed(-5, err_str, "a.cfg"), -72);
    EXPECT_EQ(std::strlen(err_str), kErrStrSize - 1);

    cap.clear();
    std::strcpy(err_str, "head");
    EXPECT_EQ(mkconf_bin_write_result(0, err_str, "b.bin"), 0);
    EXPECT_EQ(mkconf_bin_write_result(-7, err_str, "b.bin"), -12);
    EXPECT_EQ(mkconf_bin_read_failed(-1, err_str), -11);
    EXPECT_EQ(mkconf_ascii_write_result(0, err_str, "a.cfg"), 0);
    EXPECT_EQ(mkconf_ascii_write_result(-1, err_str, "a.cfg"), -7);
    EXPECT_TRUE(cap.outputs().empty());
    EXPECT_STREQ(err_str, "head");
    EXPECT_EQ(mkconf_ascii_write_result(-3, err_str, "a.cfg"), -70);
    EXPECT_EQ(mkconf_ascii_write_result(-2, err_str, "a.cfg"), -12);
    EXPECT_STREQ(err_str, "Cannot Write \"a.cfg\"!\n");
    EXPECT_EQ(mkconf_bin_write_result(-11, err_str, "b.bin"), -73);
    EXPECT_EQ(mkconf_bin_write_result(-1, err_str, "b.bin"), -12);
    EXPECT_STREQ(err_str, "Cannot Write \"b.bin\"!\n");
    EXPECT_EQ(mkconf_bin_read_failed(-11, err_str), -73);
    EXPECT_STREQ(err_str, "Too many entries!");
    EXPECT_EQ(cap.bodies(), (Lines{"head\r\n", "Wrong Table Format (TABLE=TFxx.x)\r\n", "head\r\n",
                                   "Cannot Write \"a.cfg\"!\n", "Too many entries!\r\n",
                                   "Cannot Write \"b.bin\"!\n", "Too many entries!\r\n"}));

    // The writer's own results that lead to these rows.
    TempDir dir;
    test::WorkTable t;
    EXPECT_EQ(write_hex_file(t.get(), dir.file("no/such/dir.bin").c_str()), -1);
    t.add_maps(1571);
    EXPECT_EQ(write_hex_file(t.get(), dir.file("full.bin").c_str()), -11);
    t.add_maps(1);
    test::DebugOn debug;
    cap.clear();
    EXPECT_EQ(write_hex_file(t.get(), dir.file("ok.bin").c_str()), 0);
    EXPECT_TRUE(cap.contains("write_bin_table: tversion=0105\n"));
    EXPECT_TRUE(cap.contains("nftool.cpp#259: write_bin_table: err=0\n"));
    EXPECT_EQ(cap.bodies().back(), "nftool.cpp#268: write_hex_file: err=0\n");
}

} // namespace
