// Bytes as hexadecimal text, " %02x" each, as the protocol trace writes the
// bytes of its frames.  Two thirds of a trace's text is such hex, so it is
// written sixteen bytes at a time where the processor has byte shuffles,
// and from a table of the 256 spaced values elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn::logs {

// The characters that put_spaced_hex may write beyond the text's end.
inline constexpr size_t kHexSlack = 48;

// Writes " %02x" of each of the `count` bytes at `p`, 3 * count characters,
// and returns their end.  It may write up to kHexSlack characters beyond:
// the room after the text must allow for them.  `readable` (at least
// `count`) says how many bytes from `bytes` on may be read: where a last
// piece of fewer than sixteen can be read as sixteen, it is converted as
// sixteen too, which is quicker than a byte at a time.
char *put_spaced_hex(char *p, const uint8_t *bytes, size_t count, size_t readable);

// The same, a byte at a time: what put_spaced_hex writes wherever it runs.
char *put_spaced_hex_bytewise(char *p, const uint8_t *bytes, size_t count);

} // namespace vorn::logs
