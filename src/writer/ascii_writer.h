// The ASCII configuration writer: turns a table record back into a
// configuration file of table format "TF01.5" that the parser reads again.
#pragma once

#include "table/table.h"

namespace vorn {

// Size of the message buffer that the writer may fill (the driver's err_str).
inline constexpr size_t kWriterMessageSize = 500;

// Writes the table as an ASCII configuration.  Results: 0, -2 (cannot
// write), -3 (wrong table format), other negative values (failed).
// err_str (kWriterMessageSize bytes) may receive a message.
int write_ascii_table15(table_t *table, const char *cfgfile, char *err_str);

} // namespace vorn
