// How the tool tells a user that a table conversion failed.  `compile`,
// `decompile` and `diff` all convert through the library's mkconf driver and
// report its failures in the same words.
#pragma once

#include "vorn_tool/api.h"

#include <string>

namespace vorn::tool {

// Prints a failed compilation as compilers do, "CONFIG:LINE: error: TEXT"
// with the line below it (or "CONFIG: error: TEXT" and the driver's message
// as notes when it names no line), then "vorn: compile failed: ...", to
// standard error.  `done` is what the driver composed.
void report_compile_failure(const char *config, const vorn::api::Outcome &done);

// One difference of a text's compiled record from `table`, as a warning
// says it: "table_te_l2mode: TABLE holds 3 (03h), the text gives 255
// (FFh)", or for a map that one side lacks, "map ...: the text leaves it
// out" and "map ...: the text adds it".
std::string difference_text(const api::RecordDifference &difference, const char *table);

} // namespace vorn::tool
