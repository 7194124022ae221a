// The binary table file: the CRC-16 the box checks, the writer of head,
// used maps and end slot, and the reader into a fresh working buffer.
#include "table/bin_table.h"

#include "frame/error.h"

#include "frame/frame.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "trace/trace.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace vorn {

namespace {

// Source lines that the reader's and writer's trace lines name.
constexpr unsigned kLineWriting = 1554;
constexpr unsigned kLineReadHead = 1617;
constexpr unsigned kLineReadMaps = 1622;

// The reader refuses a map part above either limit; the second is the
// tighter one (the map array of the record).
constexpr long kMapPartLimit = 66300;
constexpr long kMapArraySize = static_cast<long>(MAP_TABLE_SLOTS * kMapSize); // 62,840

// The lookup table of the reflected polynomial A001h, built once at compile
// time: the table is the same for every call.
constexpr std::array<uint16_t, 256> make_crc_table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = make_crc_table();

inline uint16_t crc_step(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
}

// The number of used maps that the checksum and the file sizes are built
// on, kept inside the record: -1 (no end slot) up to 1570.
int crc_used_maps(const table_t *table) {
    int used = table->table_used_map_entries;
    if (used < -1)
        used = -1;
    if (used > MAX_MAP_TABLE_ENTRIES)
        used = MAX_MAP_TABLE_ENTRIES;
    return used;
}

} // namespace

uint16_t crc16_update(uint16_t crc, const uint8_t *data, size_t length) {
    for (size_t i = 0; i < length; ++i)
        crc = crc_step(crc, data[i]);
    return crc;
}

uint16_t crc16_fill(uint16_t crc, uint8_t value, size_t length) {
    for (size_t i = 0; i < length; ++i)
        crc = crc_step(crc, value);
    return crc;
}

uint16_t table_crc(const table_t *table) {
    const auto *bytes = reinterpret_cast<const uint8_t *>(table);
    constexpr size_t kFirst = offsetof(table_t, table_format); // the checksum is not covered
    const size_t whole = kTableSize - kFirst;                  // 65378

    const uint16_t old_crc = crc16_update(0, bytes + kFirst, whole);
    dbg_printf("TABLE[%p--%p] len=%u crc16=0x%04x OLD\n", bytes + kFirst, bytes + kTableSize - 1,
               static_cast<unsigned>(whole), old_crc);

    // Head, used maps and end slot as memory holds them ...
    const int used = crc_used_maps(table);
    const size_t stored = kTableHeadSize + static_cast<size_t>(used + 1) * kMapSize - kFirst;
    uint16_t crc = crc16_update(0, bytes + kFirst, stored);
    dbg_printf("TABLE[%p--%p] len=%5u crc16=0x%04x\n", bytes + kFirst, bytes + kFirst + stored - 1,
               static_cast<unsigned>(stored), crc);

    // ... then every slot behind the end slot as the FFh the box sees there.
    const size_t rest = whole - stored; // 62800 - 40 x used
    crc = crc16_fill(crc, UNUSED_BYTE, rest);
    dbg_printf("TABLE[%p--%p] len=%5u crc16=0x%04x NEW\n", bytes + kFirst + stored,
               bytes + kTableSize - 1, static_cast<unsigned>(rest), crc);
    return crc;
}

namespace {

// A table file that could not be created or written: the message and the
// system's reason on the error trace.
void report_write_failure(const char *path, int error) {
    dbg_error(file_error_message(Error::CannotWrite, path).c_str());
    dbg_error(platform::system_error_text(error).c_str());
}

// The new table grows beside the old one, which stays until the new one is
// complete on the disk.
bool create_table_file(const char *path, platform::OutputFile &file) {
    if (path == nullptr || path[0] == '\0') {
        report_write_failure(path, ENOENT);
        return false;
    }
    // A new table is readable by its owner only from its start: it holds
    // the remote-access password.
    if (file.create(path, "wb", 0600))
        return true;
    report_write_failure(path, platform::last_error());
    return false;
}

// Stores a fresh checksum; TooManyEntries (and the old checksum kept) when more maps
// are in use than the record holds.
Error store_checksum(table_t *table) {
    const int used = table->table_used_map_entries;
    if (used > MAX_MAP_TABLE_ENTRIES) {
        dbg_printf("write_bin_table15: too many entries (+%u)\n",
                   static_cast<unsigned>(used - MAX_MAP_TABLE_ENTRIES));
        return Error::TooManyEntries;
    }
    table->table_crc16 = table_crc(table);
    dbg_printf("write_bin_table15: crc16=%04x pTable=%p\n", table->table_crc16,
               static_cast<void *>(table));
    return Error::Ok;
}

// Writes the head, the used maps and the end slot; false when a write came
// short.  A table with too many maps still lies in a working buffer, which
// holds at most WORK_MAP_SLOTS slots; nothing beyond that buffer is read.
bool write_image(const table_t *table, const char *path, std::FILE *file) {
    const int used = table->table_used_map_entries;
    const int slots = std::clamp(used + 1, 0, static_cast<int>(WORK_MAP_SLOTS));
    const auto *bytes = reinterpret_cast<const uint8_t *>(table);
    char format[sizeof table->table_format + 1];
    copy_field(format, table->table_format, sizeof table->table_format);

    dbg_printf("write_bin_table15: table_used_map_entries=%u %p-%p\n", static_cast<unsigned>(used),
               bytes, bytes + kTableHeadSize + static_cast<size_t>(slots) * kMapSize - 1);
    dbg_printf("write_bin_table15: table_format=\"%s\"\n", format);
    dbg_printf("write_bin_table15: \"%s\" 1. size(head) = %u\n", path,
               static_cast<unsigned>(kTableHeadSize));
    bool written = std::fwrite(bytes, 1, kTableHeadSize, file) == kTableHeadSize;

    const size_t map_bytes = static_cast<size_t>(slots) * kMapSize;
    dbg_printf("write_bin_table15: \"%s\" 2. size(maps) = %u*%u=%lu\n", path,
               static_cast<unsigned>(used + 1), static_cast<unsigned>(kMapSize),
               static_cast<unsigned long>(map_bytes));
    if (map_bytes > 0)
        written = std::fwrite(bytes + kTableHeadSize, 1, map_bytes, file) == map_bytes && written;
    return written;
}

// A file that ends inside its map part.
void report_short_maps(size_t wanted, size_t got) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "file size = %lu, expected size2 = %u bytes, readed bytes %u\n",
                  static_cast<unsigned long>(kTableHeadSize + got), static_cast<unsigned>(wanted),
                  static_cast<unsigned>(got));
    dbg_error(text);
}

} // namespace

Error write_bin_table15(table_t *table, const char *path) {
    static const char kBanner[] =
        "HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH\n";
    dbg_printf("%s", kBanner);
    dbg_printf("#%u: Writing _____________\n", kLineWriting);
    dbg_printf("%s", kBanner);
    dbg_printf("write_bin_table15(%p, \"%s\")\n", static_cast<void *>(table), path);
    if (table == nullptr)
        return Error::CannotWrite;
    platform::OutputFile file;
    if (!create_table_file(path, file))
        return Error::CannotWrite;

    const Error result = store_checksum(table);
    // A table that did not reach the disk whole must not be taken for one:
    // the host would send a truncated image to the box, so the old table
    // stays.  A table of too many maps is still written whole.
    const bool written = write_image(table, path, file.get());
    const int write_error = written ? 0 : platform::last_error();
    if (!written || !file.commit()) {
        const int error = write_error != 0 ? write_error : platform::last_error();
        file.discard();
        report_write_failure(path, error);
        return result != Error::Ok ? result : Error::CannotWrite;
    }
    return result;
}

Error read_bin_table15(table_t **table, std::FILE *stream) {
    auto *bytes = static_cast<uint8_t *>(myAlloc(kWorkBufferSize, "pTable"));
    if (bytes == nullptr) {
        dbg_error(no_memory_message_text().c_str());
        return Error::NoMemory;
    }
    table_t *t = reinterpret_cast<table_t *>(bytes);
    *table = t;
    set_instance_table(t);

    dbg_printf("read_bin_table15#%04u: size1 = %lu ; table without map\xB4s\n", kLineReadHead,
               static_cast<unsigned long>(kTableHeadSize));
    if (stream == nullptr || std::fread(bytes, 1, kTableHeadSize, stream) != kTableHeadSize)
        return Error::CannotRead;

    const int used = t->table_used_map_entries;
    const long map_part = static_cast<long>(used + 1) * static_cast<long>(kMapSize);
    dbg_printf("read_bin_table15#%u: size2 = %lu (%u entries * %u bytes per map) ; only map\xB4s\n",
               kLineReadMaps, static_cast<unsigned long>(map_part), static_cast<unsigned>(used + 1),
               static_cast<unsigned>(kMapSize));
    // A negative count gives a negative map part, which an unsigned size
    // shows as huge: too big as well.
    if (map_part < 0 || map_part > kMapPartLimit || map_part > kMapArraySize) {
        dbg_printf("size to big\n");
        dbg_error("size to big");
        return Error::TooManyEntries;
    }

    const size_t wanted = static_cast<size_t>(map_part);
    const size_t got = wanted > 0 ? std::fread(bytes + kTableHeadSize, 1, wanted, stream) : 0;
    if (got < wanted) {
        report_short_maps(wanted, got);
        return Error::CannotRead;
    }

    char format[sizeof t->table_format + 1];
    copy_field(format, t->table_format, sizeof t->table_format);
    dbg_printf("read_bin_table15: size\t= %lu\n",
               static_cast<unsigned long>(kTableHeadSize + wanted));
    dbg_printf("read_bin_table15: %p %s\n", static_cast<void *>(t), format);
    // The slots the file does not hold are unused, as in a fresh table.
    std::memset(bytes + kTableHeadSize + wanted, UNUSED_BYTE, kTableSize - kTableHeadSize - wanted);

    table_crc(t);
    return Error::Ok;
}

} // namespace vorn
