// Small builders for tests that compile configurations or read tables: a
// configuration text long enough for mkconf, the bytes of a binary table
// file, and the error lines of a captured trace.
#pragma once

#include "support/trace_capture.h"

#include <string>
#include <vector>

namespace vorn::test {

// An ASCII configuration text of at least 200 bytes: `lines` followed by
// comment lines as padding.
std::string ascii_config(const std::string &lines);

// The bytes of a binary table file: head plus `maps` distinct map slots and
// the end slot, format text `format`, table_used_map_entries = used
// (default: maps) and, up to 1570 maps, the checksum the box expects.
inline constexpr int kUsedAsMaps = 1 << 20;
std::string bin_table_image(int maps, const char *format = "TF01.5  4.Dec 2026 14:19",
                            int used = kUsedAsMaps);

// The bodies of the error lines among the captured output.
std::vector<std::string> error_lines(const TraceCapture &cap);

} // namespace vorn::test
