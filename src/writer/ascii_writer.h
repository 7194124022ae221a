// The ASCII configuration writer: turns a table record back into a
// configuration file of table format "TF01.5" that the parser reads again.
#pragma once

#include "frame/error.h"
#include "table/table.h"

namespace vorn {

// Size of the message buffer that the writer may fill (the driver's err_str).
inline constexpr size_t kWriterMessageSize = 500;

// Writes the table as an ASCII configuration.  Returns Ok; TableMismatch
// when the statistics counted other maps than the table holds; CannotWrite;
// WrongTableFormat when the file holds the TABLE line only; NoThreadState
// when the thread's device record could not be had.
// err_str (kWriterMessageSize bytes) may receive a message.
Error write_ascii_table15(table_t *table, const char *cfgfile, char *err_str);

// How the writer writes.  The usual text is the reference form that the
// mkconf export writes.  The lossless text writes, for each setting whose
// usual line does not compile to the table's own bytes, a line that does
// where the language has one (an unset protocol side, the service word of
// a call-back map, CmpMSN lines of a period section, charges that the
// usual words drop, ...); everything else as in the usual text.  It also
// leaves the table's name as it is instead of taking the host's.
struct WriterOptions {
    bool lossless = false;
};

Error write_ascii_table15(table_t *table, const char *cfgfile, char *err_str,
                          const WriterOptions &options);

} // namespace vorn
