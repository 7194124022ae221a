// How the tool tells a user that a table conversion failed.  `compile`,
// `decompile` and `diff` all convert through the library's mkconf driver and
// report its failures in the same words.
#pragma once

#include "internal_api.h"

#include <string>

namespace vorn::tool {

// Prints a failed compilation as compilers do, "CONFIG:LINE: error: TEXT"
// with the line below it (or "CONFIG: error: TEXT" and the driver's message
// when it names no line), then "vorn: compile failed: ...", to standard
// error.  `message` is what the driver composed.
void report_compile_failure(const char *config, int result, const std::string &message);

// Prints what the check of `config` found to standard error, as compilers
// do: every error with its line and a caret under the offending word (or,
// when the library refused the file as a whole, "CONFIG: error: WORDS", its
// message and a note with the cause), then every warning.
void report_findings(const char *config, const vorn::api::ConfigCheck &check);

// "N errors, M warnings" (singular where one).
std::string findings_count(const vorn::api::ConfigCheck &check);

// What a failed decompilation of `table` into `config` means for the user,
// by the driver's result, with the result and its error text.
std::string decompile_failure_text(int result, const char *table, const char *config);

// One difference of a text's compiled record from `table`, as a warning
// says it: "table_te_l2mode: TABLE holds 3 (03h), the text gives 255
// (FFh)", or for a map that one side lacks, "map ...: the text leaves it
// out" and "map ...: the text adds it".
std::string difference_text(const api::RecordDifference &difference, const char *table);

} // namespace vorn::tool
