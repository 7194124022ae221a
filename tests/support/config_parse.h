// Runs the configuration parser on a text in a temporary file and keeps a
// copy of the table it built, so that tests read fields of the record.
#pragma once

#include "table/table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::test {

struct Parsed {
    int result = 0;
    std::string err_str;
    std::vector<uint8_t> bytes; // the working buffer (empty when none was made)

    const table_t &table() const { return *reinterpret_cast<const table_t *>(bytes.data()); }
    const map_t &map(size_t i) const { return *table_map_slot(&table(), i); }
    int used() const { return table().table_used_map_entries; }
};

// "TABLE=TF01.5\n" followed by `lines`, through the parser (the maps stay
// in file order: the optimizer does not run).  The
// holiday-file state is reset first, and the parse runs in the test's
// working directory, which holds no holiday file.  Checks that every block
// is released and no table stays registered.
Parsed parse_config(const std::string &lines);
// The same without the TABLE line in front.
Parsed parse_config_text(const std::string &text);

// "NOSTANDARDMAPS" lines in front keep the standard maps out of the way.
inline std::string without_standard_maps(const std::string &lines) {
    return "OPTIONS=NOSTANDARDMAPS\n" + lines;
}

} // namespace vorn::test
