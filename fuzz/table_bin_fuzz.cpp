// Feeds arbitrary bytes to the binary table reader as a file, and what it
// accepts to the checksum, the binary writer, the configuration writer and
// the map listing's index step.  Every input must end in a result code with
// every block released.  The debug trace is on, so that every trace line of
// those steps is formatted too (the output itself is dropped).
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "fuzz_input.h"
#include "table/bin_table.h"
#include "table/split_numbers.h"
#include "writer/ascii_writer.h"
#include "writer/map_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vorn;
    static const bool debug_on = (set_debug(1), true);
    (void)debug_on;
    const uint32_t before = live_blocks();

    // The same bytes as a format text.
    const std::string text(reinterpret_cast<const char *>(data), size);
    get_table_version(text.c_str());
    uint16_t a, b, c;
    split_numbers(text.c_str(), "^.", &a, &b, &c);

    if (size == 0)
        return 0;
    std::FILE *stream = fmemopen(const_cast<uint8_t *>(data), size, "rb");
    if (stream == nullptr)
        return 0;
    table_t *table = nullptr;
    const Error r = read_bin_table(&table, stream);
    std::fclose(stream);

    if (r == Error::Ok) {
        fuzz::require(table != nullptr && table->table_used_map_entries <= MAX_MAP_TABLE_ENTRIES);
        table_crc(table);
        write_bin_table15(table, "/dev/null");
        // The writer sorts the maps in place; the listing step indexes them.
        char err_str[kWriterMessageSize] = {};
        const Error w = write_ascii_table15(table, "/dev/null", err_str);
        fuzz::require(w == Error::Ok || w == Error::TableMismatch || w == Error::WrongTableFormat);
        write_map_listing(table, nullptr);
    } else {
        fuzz::require(r == Error::CannotRead || r == Error::NoMemory || r == Error::TooManyEntries);
    }
    myFree(table, "pTable");
    set_instance_table(nullptr);
    fuzz::require(live_blocks() == before);
    return 0;
}
