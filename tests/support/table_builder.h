// Builders of table records and table files for the tests of the table
// subsystem and of the parts that read or write tables.
#pragma once

#include "support/trace_capture.h"
#include "table/table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::test {

// A working buffer (record plus work area) owned by the test, initialised as
// a fresh table with a "TF01.5" format text and no maps.
class WorkTable {
  public:
    WorkTable();
    table_t *get() { return reinterpret_cast<table_t *>(m_bytes.data()); }
    table_t *operator->() { return get(); }
    uint8_t *bytes() { return m_bytes.data(); }
    // Fills slots 0 .. count-1 with distinct maps and sets the used count;
    // slots behind them keep their FFh.
    void add_maps(int count);

  private:
    std::vector<uint8_t> m_bytes;
};

// The bytes of a binary table file: head plus `maps` map slots and the end
// slot, format text `format`, table_used_map_entries = used (default: maps)
// and, up to 1570 maps, the checksum the box expects.
inline constexpr int kUsedAsMaps = 1 << 20;
std::string bin_table_image(int maps, const char *format = "TF01.5  4.Dec 2026 14:19",
                            int used = kUsedAsMaps);

// An ASCII configuration text of at least 200 bytes: `lines` followed by
// comment lines as padding.
std::string ascii_config(const std::string &lines);

// The bodies of the error lines among the captured output.
std::vector<std::string> error_lines(const TraceCapture &cap);

// Four upper-case hex digits, as the trace and the tool print checksums.
std::string hex4(unsigned value);

} // namespace vorn::test
