// A unified diff of two texts, line by line, in the form of `diff -u`: the
// tool must compare files on systems that have no diff(1) of their own.
//
// Lines are compared through keys, so that a caller can leave parts of a
// line out of the comparison (a date stamp) while the output still shows
// the lines as they stand.  The smallest set of changes is found with
// Myers' O(ND) algorithm; lines that both texts share at their start and
// end are taken off first, so that the usual small change costs little.
#pragma once

#include <string>
#include <vector>

namespace vorn::tool {

// The lines of a text, each with its line feed; the last one lacks it when
// the text does not end in one.
std::vector<std::string> split_lines(const std::string &text);

struct DiffSide {
    std::string label;              // the name in the "---" or "+++" head line
    std::vector<std::string> lines; // as split_lines gives them
    std::vector<std::string> keys;  // what is compared; empty: the lines
};

// The unified diff of `a` and `b` with `context` lines around each change:
// empty when the two texts compare equal.  Changes that fewer than
// 2 x context + 1 unchanged lines separate share one hunk.  An unchanged
// line is shown as `a` has it.
std::string unified_diff(const DiffSide &a, const DiffSide &b, int context = 3);

} // namespace vorn::tool
