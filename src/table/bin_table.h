// The binary table file: the record's head followed by the used maps and the
// end slot, protected by a CRC-16 over the full 65,380-byte record image.
#pragma once

#include "frame/error.h"
#include "table/table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vorn {

// Continues a CRC-16/ARC (reflected polynomial A001h, no final inversion)
// over `length` bytes.  Start with crc = 0.
uint16_t crc16_update(uint16_t crc, const uint8_t *data, size_t length);
// Continues it over `length` bytes that all hold `value`.
uint16_t crc16_fill(uint16_t crc, uint8_t value, size_t length);

// The checksum the box expects in table_crc16: the CRC of bytes 2 to 65379
// of the record, with every byte behind the end slot counted as FFh whatever
// memory holds there.  Writes three debug lines.
uint16_t table_crc(const table_t *table);

// Writes the head and table_used_map_entries + 1 map slots to `path`
// (created or truncated) and stores a fresh checksum in the record first.
// Returns Ok, CannotWrite when the file cannot be created or not every byte
// reached it (a write or the close failed), TooManyEntries when more than 1570
// maps are in use (the file is then still written in full, with the old
// checksum, the slots past the record taken from the work area: pass a
// working buffer in that case).
Error write_bin_table15(table_t *table, const char *path);

// Reads a binary table from `stream` (open for binary reading, at its start)
// into a new zero-filled working buffer of kWorkBufferSize bytes (tag
// "pTable").  The buffer is stored in *table and registered with
// set_instance_table as soon as it exists; the caller releases it with
// myFree, also after a failure.  Returns Ok, NoMemory, CannotRead (the file
// ends inside the head or the map part) or TooManyEntries (map part bigger than the map
// array).  The stored checksum is not compared.
Error read_bin_table15(table_t **table, std::FILE *stream);

} // namespace vorn
