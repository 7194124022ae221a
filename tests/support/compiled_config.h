// A configuration compiled in memory by the compiler's own reader, for tests
// that ask the table it makes (routing), and a map's line as the decompiler
// writes it, by which a test names the map it expects.
#pragma once

#include "conf/check.h"
#include "table/table.h"
#include "writer/field_formatters.h"

#include <string>

namespace vorn::test {

inline CheckReport compiled_config(const std::string &path) {
    CheckOptions options;
    options.keep_table = true;
    return check_config(path.c_str(), options);
}

inline std::string map_line(const table_t &table, int index) {
    char line[kMapLineSize] = {};
    if (index >= 0 && index < MAX_MAP_TABLE_ENTRIES)
        format_map_line(&table, &table.table_map[index], line, sizeof line);
    return line;
}

} // namespace vorn::test
