// The binary table file: CRC-16, the writer's sizes and checksum, the reader
// and every way a file can be short, too big or damaged.
#include "frame/frame.h"
#include "platform/platform.h"
#include "support/table_builder.h"
#include "support/trace_capture.h"
#include "table/bin_table.h"
#include "table/conftool.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace vorn;
using test::read_file;
using test::TempDir;
using test::TraceCapture;
using test::WorkTable;
using test::write_file;

std::string hex_ptr(const void *p) {
    char text[32];
    std::snprintf(text, sizeof text, "%lX", reinterpret_cast<unsigned long>(p));
    return text;
}

std::string hex4(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", v);
    return text;
}

uint16_t stored_crc(const std::string &file) {
    return static_cast<uint16_t>(static_cast<uint8_t>(file[0]) | static_cast<uint8_t>(file[1])
                                                                     << 8);
}

uint16_t crc_of(const uint8_t *data, size_t length) {
    return crc16_update(0, data, length);
}

// A table read by read_bin_table15, released and forgotten at the end.
struct ReadTable {
    table_t *table = nullptr;
    ~ReadTable() {
        myFree(table, "pTable");
        set_instance_table(nullptr);
    }
};

int read_file_into(ReadTable &out, const std::string &path) {
    std::FILE *f = std::fopen(path.c_str(), "rb");
    EXPECT_NE(f, nullptr);
    const int r = read_bin_table15(&out.table, f);
    std::fclose(f);
    return r;
}

TEST(Crc16, CheckValueAndFill) {
    const char *check = "123456789";
    EXPECT_EQ(crc_of(reinterpret_cast<const uint8_t *>(check), 9), 0xBB3D);
    EXPECT_EQ(crc_of(nullptr, 0), 0);
    // Continuing over a run of equal bytes is the same as over the bytes.
    std::string ff(1000, '\xFF');
    const uint16_t head = crc_of(reinterpret_cast<const uint8_t *>(check), 4);
    EXPECT_EQ(crc16_fill(head, 0xFF, ff.size()),
              crc16_update(head, reinterpret_cast<const uint8_t *>(ff.data()), ff.size()));
}

TEST(TableCrc, CountsSlotsBehindTheEndSlotAsFFAndTracesThreeLines) {
    WorkTable t;
    t.add_maps(2);
    // Memory behind the end slot holds anything; the box sees FFh there.
    std::memset(t.bytes() + 2540 + 3 * 40, 0x11, 400);
    std::string image(reinterpret_cast<const char *>(t.bytes()), kTableSize);
    std::memset(image.data() + 2540 + 3 * 40, 0xFF, 400);
    const uint16_t expected = crc_of(reinterpret_cast<const uint8_t *>(image.data()) + 2, 65378);
    const uint16_t as_held = crc_of(t.bytes() + 2, 65378);
    ASSERT_NE(expected, as_held);

    TraceCapture cap;
    test::DebugOn debug;
    EXPECT_EQ(table_crc(t.get()), expected);
    const auto lines = cap.bodies();
    ASSERT_EQ(lines.size(), 3u);
    const uint8_t *b = t.bytes();
    EXPECT_EQ(lines[0], "TABLE[" + hex_ptr(b + 2) + "--" + hex_ptr(b + 65379) +
                            "] len=65378 crc16=0x" + hex4(as_held) + " OLD\n");
    EXPECT_EQ(lines[1], "TABLE[" + hex_ptr(b + 2) + "--" + hex_ptr(b + 2659) +
                            "] len= 2658 crc16=0x" + hex4(crc_of(b + 2, 2658)) + "\n");
    EXPECT_EQ(lines[2], "TABLE[" + hex_ptr(b + 2660) + "--" + hex_ptr(b + 65379) +
                            "] len=62720 crc16=0x" + hex4(expected) + " NEW\n");
}

TEST(WriteBinTable, FileSizesChecksumsAndTooManyEntries) {
    TempDir dir;
    const std::string path = dir.file("t.bin");

    // No maps: the head and the end slot.
    WorkTable empty;
    ASSERT_EQ(write_bin_table15(empty.get(), path.c_str()), 0);
    std::string file = read_file(path);
    ASSERT_EQ(file.size(), 2580u);
    EXPECT_EQ(stored_crc(file), table_crc(empty.get()));
    EXPECT_EQ(empty->table_crc16, stored_crc(file)); // stored in the record as well
    EXPECT_EQ(file.substr(2), std::string(reinterpret_cast<const char *>(empty.bytes()) + 2, 2578));
    EXPECT_EQ(static_cast<uint8_t>(file[2579]), 0xFF); // the end slot of a fresh table

    // A full table is the whole record; its checksum covers all of it.
    WorkTable full;
    full.add_maps(1570);
    ASSERT_EQ(write_bin_table15(full.get(), path.c_str()), 0);
    file = read_file(path);
    ASSERT_EQ(file.size(), 65380u);
    EXPECT_EQ(stored_crc(file), crc_of(reinterpret_cast<const uint8_t *>(file.data()) + 2, 65378));

    // One map too many: -11, the file still written, the checksum kept.
    WorkTable over;
    over.add_maps(1571);
    over->table_crc16 = 0xABCD;
    TraceCapture cap;
    test::DebugOn debug;
    EXPECT_EQ(write_bin_table15(over.get(), path.c_str()), -11);
    file = read_file(path);
    EXPECT_EQ(file.size(), 65420u);
    EXPECT_EQ(stored_crc(file), 0xABCD);
    EXPECT_EQ(file.substr(65380, 40),
              std::string(reinterpret_cast<const char *>(over.bytes()) + 65380, 40));
    EXPECT_TRUE(cap.contains("write_bin_table15: too many entries (+1)\n"));
    EXPECT_TRUE(
        cap.contains("write_bin_table15: \"" + path + "\" 2. size(maps) = 1572*40=62880\n"));
}

TEST(WriteBinTable, HeadBytesCountButUnusedSlotsDoNot) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    WorkTable t;
    t.add_maps(2);
    ASSERT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
    const std::string first = read_file(path);

    // Slots behind the end slot: neither checksum nor file change.
    std::memset(t.bytes() + 2540 + 3 * 40, 0x00, 40);
    t.bytes()[65379] = 0x42;
    ASSERT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
    EXPECT_EQ(read_file(path), first);

    // One byte of the head: a new checksum.
    t->table_comment[0] = 'x';
    ASSERT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
    const std::string changed = read_file(path);
    EXPECT_NE(stored_crc(changed), stored_crc(first));
    EXPECT_EQ(changed.substr(2, 76), first.substr(2, 76));
    // The end slot is part of the covered bytes as well.
    t->table_comment[0] = 0;
    table_map_slot(t.get(), 2)->map_code[0] = '9';
    ASSERT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
    EXPECT_NE(stored_crc(read_file(path)), stored_crc(first));
}

TEST(WriteBinTable, UnwritablePathGivesMinusOneAndTheSystemError) {
    TempDir dir;
    WorkTable t;
    TraceCapture cap;
    const std::string path = dir.file("missing/t.bin");
    EXPECT_EQ(write_bin_table15(t.get(), path.c_str()), -1);
    const auto lines = cap.bodies();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Cannot Write \"" + path + "\"!\n");
    EXPECT_EQ(lines[1], "System error 2: No such file or directory\r\n");

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

TEST(ReadBinTable, ReadsBackAnEmptyTableWithFFSlotsAndItsChecksum) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    WorkTable t;
    std::strcpy(t->table_comment, "read back");
    ASSERT_EQ(write_bin_table15(t.get(), path.c_str()), 0);
    ASSERT_EQ(read_file(path).size(), 2580u);

    const uint32_t before = live_blocks();
    {
        TraceCapture cap;
        test::DebugOn debug;
        ReadTable r;
        ASSERT_EQ(read_file_into(r, path), 0);
        ASSERT_NE(r.table, nullptr);
        table_t *registered = nullptr;
        get_instance_table(&registered);
        EXPECT_EQ(registered, r.table);
        EXPECT_EQ(live_blocks(), before + 1);

        const auto *b = reinterpret_cast<const uint8_t *>(r.table);
        EXPECT_EQ(std::memcmp(b, t.bytes(), 2580), 0);
        for (size_t i = 2580; i < kTableSize; ++i)
            ASSERT_EQ(b[i], 0xFF) << i;
        EXPECT_EQ(table_crc(r.table), r.table->table_crc16);
        EXPECT_TRUE(cap.contains("read_bin_table15: size\t= 2580\n"));
        EXPECT_TRUE(cap.contains("read_bin_table15#1617: size1 = 2540 ; table without map\xB4s\n"));
        EXPECT_TRUE(cap.contains(
            "read_bin_table15#1622: size2 = 40 (1 entries * 40 bytes per map) ; only map\xB4s\n"));
    }
    EXPECT_EQ(live_blocks(), before);
}

TEST(ReadBinTable, ShortFilesAndOversizedMapParts) {
    TempDir dir;
    const std::string path = dir.file("t.bin");
    TraceCapture cap;

    // Ends inside the head: -1, nothing reported, the table registered.
    write_file(path, test::bin_table_image(0).substr(0, 2539));
    {
        ReadTable r;
        EXPECT_EQ(read_file_into(r, path), -1);
        table_t *registered = nullptr;
        get_instance_table(&registered);
        EXPECT_NE(r.table, nullptr);
        EXPECT_EQ(registered, r.table);
        EXPECT_TRUE(cap.outputs().empty());
    }

    // Ends inside the map part.
    write_file(path, test::bin_table_image(3).substr(0, 2540 + 80));
    {
        ReadTable r;
        EXPECT_EQ(read_file_into(r, path), -1);
        ASSERT_EQ(cap.bodies().size(), 1u);
        EXPECT_EQ(cap.bodies()[0],
                  "file size = 2620, expected size2 = 160 bytes, readed bytes 80\n");
    }

    // A count whose map part is bigger than the map array: 1571 maps and the
    // end slot, or a negative count.
    for (int used : {1571, 32767, -2, -32768}) {
        cap.clear();
        write_file(path, test::bin_table_image(0, "TF01.5", used) + std::string(70000, '\xFF'));
        ReadTable r;
        EXPECT_EQ(read_file_into(r, path), -11) << used;
        ASSERT_EQ(cap.bodies().size(), 1u);
        EXPECT_EQ(cap.bodies()[0], "size to big\r\n");
    }

    // 1570 maps is the most a file holds; -1 maps leaves even the end slot
    // out.
    write_file(path, test::bin_table_image(1570));
    {
        ReadTable r;
        EXPECT_EQ(read_file_into(r, path), 0);
    }
    write_file(path, test::bin_table_image(0, "TF01.5", -1).substr(0, 2540));
    {
        ReadTable r;
        EXPECT_EQ(read_file_into(r, path), 0);
        EXPECT_EQ(reinterpret_cast<const uint8_t *>(r.table)[2540], 0xFF);
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

    write_file(path, "");
    EXPECT_EQ(read_hex_file(&table, path.c_str()), 0); // an empty file is no table
    EXPECT_EQ(table, nullptr);

    // Fewer than 200 bytes, or another version: refused before anything is
    // obtained.
    cap.clear();
    write_file(path, test::bin_table_image(0).substr(0, 199));
    EXPECT_EQ(read_hex_file(&table, path.c_str()), -1);
    EXPECT_EQ(cap.bodies().back(), "Cannot Read \"" + path + "\"!\n");
    for (const char *format : {"TF01.4", "TF02.5", "TF", ""}) {
        write_file(path, test::bin_table_image(0, format));
        EXPECT_EQ(read_hex_file(&table, path.c_str()), -1) << format;
        EXPECT_EQ(table, nullptr);
    }
    EXPECT_EQ(live_blocks(), before);

    // The version is read at byte 4 whatever the two letters before it are:
    // the reader leaves the letters to the format check of its users.
    for (const char *format : {"TF1.5", "XX01.5"}) {
        write_file(path, test::bin_table_image(2, format));
        EXPECT_EQ(read_hex_file(&table, path.c_str()), 0);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->table_used_map_entries, 2);
        EXPECT_EQ(table_format_ok(table), false);
        myFree(table, "pTable");
        set_instance_table(nullptr);
    }

    write_file(path, test::bin_table_image(2, "TF01.5", 1500));
    EXPECT_EQ(read_hex_file(&table, path.c_str()), -1);
    EXPECT_EQ(cap.bodies().back(), "Cannot Read \"" + path + "\"!\n");
    myFree(table, "pTable");
    set_instance_table(nullptr);
    EXPECT_EQ(live_blocks(), before);
}

} // namespace
