// Small builders for tests that compile configurations: a configuration
// text long enough for mkconf, and the error lines of a captured trace.
#pragma once

#include "support/trace_capture.h"

#include <string>
#include <vector>

namespace vorn::test {

// An ASCII configuration text of at least 200 bytes: `lines` followed by
// comment lines as padding.
std::string ascii_config(const std::string &lines);

// The bodies of the error lines among the captured output.
std::vector<std::string> error_lines(const TraceCapture &cap);

} // namespace vorn::test
