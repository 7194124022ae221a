// The binary table file: CRC-16, the writer's sizes and checksum, the reader
// and every way a file can be short, too big or damaged.
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/bin_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;
using test::bin_table_image;
using test::hex4;
using test::read_file;
using test::TempDir;
using test::TraceCapture;
using test::WorkTable;
using test::write_file;
using Lines = std::vector<std::string>;

std::string hex_ptr(const void *p) {
    char text[32];
    std::snprintf(text, sizeof text, "%lX", reinterpret_cast<unsigned long>(p));
    return text;
}

uint16_t stored_crc(const std::string &file) {
    uint16_t crc;
    std::memcpy(&crc, file.data(), sizeof crc);
    return crc;
}

uint16_t crc_of(const void *data, size_t length) {
    return crc16_update(0, static_cast<const uint8_t *>(data), length);
}

// A table read by read_bin_table15 from `path`, released and forgotten at
// the end.
struct ReadTable {
    table_t *table = nullptr;
    int result;
    explicit ReadTable(const std::string &path) {
        std::FILE *f = std::fopen(path.c_str(), "rb");
        EXPECT_NE(f, nullptr);
        result = read_bin_table15(&table, f);
        std::fclose(f);
    }
    ~ReadTable() {
        myFree(table, "pTable");
        set_instance_table(nullptr);
    }
    const uint8_t *bytes() const { return reinterpret_cast<const uint8_t *>(table); }
};

TEST(Crc16, CheckValueAndFill) {
    const char *check = "123456789";
    EXPECT_EQ(crc_of(check, 9), 0xBB3D);
    EXPECT_EQ(crc_of(nullptr, 0), 0);
    // Continuing over a run of equal bytes is the same as over the bytes.
    const std::string ff(1000, '\xFF');
    EXPECT_EQ(crc16_fill(crc_of(check, 4), 0xFF, ff.size()),
              crc16_update(crc_of(check, 4), reinterpret_cast<const uint8_t *>(ff.data()), 1000));
}

TEST(TableCrc, HeadBytesAndEndSlotCountButUnusedSlotsDoNot) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    WorkTable t;
    t.add_maps(2);
    auto written = [&] {
        EXPECT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
        return read_file(path);
    };
    const std::string first = written();
    ASSERT_EQ(first, bin_table_image(2));

    // Memory behind the end slot holds anything; the box sees FFh there.
    const uint8_t *b = t.bytes();
    std::memset(t.bytes() + 2540 + 3 * 40, 0x11, 400);
    t.bytes()[65379] = 0x42;
    {
        TraceCapture cap;
        test::DebugOn debug;
        EXPECT_EQ(written(), first);
        EXPECT_TRUE(cap.contains("TABLE[" + hex_ptr(b + 2) + "--" + hex_ptr(b + 65379) +
                                 "] len=65378 crc16=0x" + hex4(crc_of(b + 2, 65378)) + " OLD\n"));
        EXPECT_TRUE(cap.contains("TABLE[" + hex_ptr(b + 2) + "--" + hex_ptr(b + 2659) +
                                 "] len= 2658 crc16=0x" + hex4(crc_of(b + 2, 2658)) + "\n"));
        EXPECT_TRUE(cap.contains("TABLE[" + hex_ptr(b + 2660) + "--" + hex_ptr(b + 65379) +
                                 "] len=62720 crc16=0x" + hex4(stored_crc(first)) + " NEW\n"));
    }
    // One byte of the head or of the end slot: a new checksum.
    t->table_comment[0] = 'x';
    EXPECT_NE(stored_crc(written()), stored_crc(first));
    t->table_comment[0] = 0;
    table_map_slot(t.get(), 2)->map_code[0] = '9';
    EXPECT_NE(stored_crc(written()), stored_crc(first));
}

TEST(WriteBinTable, FileSizesChecksumsAndTooManyEntries) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    TraceCapture cap;
    test::DebugOn debug;
    // The file is the head, the used maps and the end slot as memory holds
    // them, the new checksum stored in the record as well.  One map too
    // many: -11, the file still written, the old checksum kept.
    for (int maps : {0, 1570, 1571}) {
        WorkTable t;
        t.add_maps(maps);
        t->table_crc16 = 0xABCD;
        cap.clear();
        EXPECT_EQ(write_bin_table15(t.get(), path.c_str()), maps > 1570 ? -11 : 0);
        const std::string file = read_file(path);
        EXPECT_EQ(file, std::string(reinterpret_cast<const char *>(t.bytes()), 2580 + 40 * maps));
        EXPECT_EQ(stored_crc(file), maps > 1570 ? 0xABCD : stored_crc(bin_table_image(maps)));
        EXPECT_EQ(cap.contains("write_bin_table15: too many entries (+1)\n"), maps > 1570);
        EXPECT_TRUE(cap.contains("write_bin_table15: \"" + path +
                                 "\" 2. size(maps) = " + std::to_string(maps + 1) +
                                 "*40=" + std::to_string(40 * maps + 40) + "\n"));
    }
}

TEST(WriteBinTable, UnwritablePathGivesMinusOneAndTheSystemError) {
    TempDir dir;
    WorkTable t;
    TraceCapture cap;
    const std::string path = dir.file("missing/t.bin");
    EXPECT_EQ(write_bin_table15(t.get(), path.c_str()), -1);
    EXPECT_EQ(cap.bodies(), (Lines{"Cannot Write \"" + path + "\"!\n",
                                   "System error 2: No such file or directory\r\n"}));
    // A device that takes no byte: the open works, the writes do not.
    cap.clear();
    EXPECT_EQ(write_bin_table15(t.get(), "/dev/full"), -1);
    EXPECT_TRUE(cap.contains("Cannot Write \"/dev/full\"!\n"));
    EXPECT_TRUE(cap.contains("System error 28: No space left on device\r\n"));
    EXPECT_EQ(write_bin_table15(t.get(), ""), -1);
    EXPECT_EQ(write_bin_table15(t.get(), nullptr), -1);
    EXPECT_EQ(write_bin_table15(nullptr, dir.file("x.bin").c_str()), -1);

    // The version check in front of the writer refuses another format
    // before any file is created.
    std::memcpy(t->table_format, "TF01.4", 6);
    EXPECT_EQ(write_bin_table(t.get(), dir.file("old.bin").c_str()), -1);
    uint64_t size = 0;
    EXPECT_FALSE(platform::file_size(dir.file("old.bin").c_str(), &size));
}

TEST(ReadBinTable, ReadsBackShortAndOversizedFiles) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    const std::string big(70000, '\xFF');
    const Lines too_big = {"size to big\r\n"};
    struct Row {
        std::string file;
        int result;
        Lines errors;
    };
    const Row rows[] = {
        {bin_table_image(0), 0, {}},
        {bin_table_image(1570), 0, {}},                            // the most a file holds
        {bin_table_image(0, "TF01.5", -1).substr(0, 2540), 0, {}}, // without the end slot
        {bin_table_image(0).substr(0, 2539), -1, {}}, // ends inside the head: nothing reported
        {bin_table_image(3).substr(0, 2620),
         -1,
         {"file size = 2620, expected size2 = 160 bytes, readed bytes 80\n"}},
        // A map part bigger than the map array: 1571 maps and the end slot,
        // or a negative count.
        {bin_table_image(0, "TF01.5", 1571) + big, -11, too_big},
        {bin_table_image(0, "TF01.5", 32767) + big, -11, too_big},
        {bin_table_image(0, "TF01.5", -2) + big, -11, too_big},
        {bin_table_image(0, "TF01.5", -32768) + big, -11, too_big},
    };
    test::DebugOn debug;
    const uint32_t before = live_blocks();
    for (const Row &row : rows) {
        SCOPED_TRACE(&row - rows);
        write_file(path, row.file);
        TraceCapture cap;
        {
            ReadTable r(path);
            EXPECT_EQ(r.result, row.result);
            EXPECT_EQ(test::error_lines(cap), row.errors);
            EXPECT_EQ(live_blocks(), before + 1);
            // Registered as soon as it exists, also after a failure.
            table_t *registered = nullptr;
            get_instance_table(&registered);
            ASSERT_NE(r.table, nullptr);
            EXPECT_EQ(registered, r.table);
            EXPECT_TRUE(
                cap.contains("read_bin_table15#1617: size1 = 2540 ; table without map\xB4s\n"));
            const size_t size = row.file.size(), maps = (size - 2540) / 40;
            if (row.result != 0)
                continue;
            // What the file holds, FFh behind it, the stored checksum fits.
            EXPECT_EQ(std::memcmp(r.bytes(), row.file.data(), size), 0);
            EXPECT_EQ(std::count(r.bytes() + size, r.bytes() + kTableSize, 0xFF),
                      kTableSize - size);
            EXPECT_EQ(table_crc(r.table), r.table->table_crc16);
            EXPECT_TRUE(cap.contains("read_bin_table15: size\t= " + std::to_string(size) + "\n"));
            EXPECT_TRUE(cap.contains("read_bin_table15#1622: size2 = " + std::to_string(maps * 40) +
                                     " (" + std::to_string(maps) +
                                     " entries * 40 bytes per map) ; only map\xB4s\n"));
        }
        EXPECT_EQ(live_blocks(), before);
    }
}

TEST(ReadHexFile, VersionCheckEmptyMissingAndDamagedFiles) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    TraceCapture cap;
    const uint32_t before = live_blocks();
    table_t *table = reinterpret_cast<table_t *>(&cap); // must be reset
    EXPECT_EQ(read_hex_file(&table, dir.file("none.bin").c_str()), -1);
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(cap.bodies().back(), "Cannot Open \"" + dir.file("none.bin") + "\"!\n");

    struct Row {
        std::string file;
        int result;
        bool obtained;
    };
    const Row rows[] = {
        {"", 0, false}, // an empty file is no table
        // Fewer than 200 bytes or another version: nothing is obtained.
        {bin_table_image(0).substr(0, 199), -1, false},
        {bin_table_image(0, "TF01.4"), -1, false},
        {bin_table_image(0, "TF02.5"), -1, false},
        {bin_table_image(2, "TF01.5", 1500), -1, true},
        // The version is read at byte 4 whatever the two letters before it
        // are: the reader leaves the letters to the format check.
        {bin_table_image(2, "TF1.5"), 0, true},
        {bin_table_image(2, "XX01.5"), 0, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(&row - rows);
        cap.clear();
        write_file(path, row.file);
        EXPECT_EQ(read_hex_file(&table, path.c_str()), row.result);
        EXPECT_EQ(table != nullptr, row.obtained);
        if (row.result != 0) {
            EXPECT_EQ(cap.bodies().back(), "Cannot Read \"" + path + "\"!\n");
        } else if (row.obtained) {
            EXPECT_TRUE(table->table_used_map_entries == 2 && !table_format_ok(table));
        }
        myFree(table, "pTable");
        set_instance_table(nullptr);
        EXPECT_EQ(live_blocks(), before);
    }
}

} // namespace
