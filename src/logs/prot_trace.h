// The protocol trace converter behind the export mktrace.
//
// The box traces its ISDN ports into 64 KiB segments: state changes of a
// port's line interface, the D-channel frames it receives and sends,
// switched connections, error states, boot marks and time stamps.  Space not
// yet written holds 0xFF bytes.  A host fetches the trace as a file; mktrace
// converts a temporary copy of it into a text file with one line per record,
// skipping the 0xFF filling, and can show its progress on the console.  The
// tool can also export the frames for protocol analysers (logs/pcapng.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "frame/error.h"
#include "logs/conversion_stats.h"

namespace vorn {

namespace logs {
class PcapngWriter;
}

#pragma pack(push, 1)
// The head of every record.  For the types c, r and s the header is
// followed by length - 4 data bytes; the other types have fixed data.
struct trace_header_t {
    uint8_t second;
    uint8_t minute;
    uint16_t tick;   // shown doubled, as the hundredths of the second
    uint16_t length; // unsigned
    uint8_t port;
    uint8_t type; // a character: 1 b c e r s t
};
#pragma pack(pop)

static_assert(sizeof(trace_header_t) == 8);
static_assert(offsetof(trace_header_t, minute) == 1 && offsetof(trace_header_t, tick) == 2 &&
              offsetof(trace_header_t, length) == 4 && offsetof(trace_header_t, port) == 6 &&
              offsetof(trace_header_t, type) == 7);

// The record buffer: a header and up to 292 data bytes.
inline constexpr size_t kTraceBufferSize = 300;
inline constexpr size_t kTraceDataSize = kTraceBufferSize - sizeof(trace_header_t);
inline constexpr long kTraceSegmentSize = 65536;

// Name of a line-interface state: the terminal-side names on ports 0 and 1,
// the network-side names on the others.  Empty for codes without a name.
const char *line_state_name(unsigned port, unsigned code);
// Name of an error state; empty for codes without a name.
const char *error_state_name(unsigned code);

// Converts the trace open in `binary` (read from its current position, which
// must be its start) into `text`.  With a `label`, the progress is shown on
// standard output.  `frames`, when given, receives the D-channel frames and
// the times.  Returns Ok when the trace was read to its end, InvalidData
// when it ended at invalid data, NoMemory for the record buffer, EmptyTrace
// for an empty file, CannotWrite when the text could not be written.  The
// records written are counted into `stats` when it is given.
Error convert_trace(std::FILE *binary, std::FILE *text, const char *label,
                    logs::PcapngWriter *frames = nullptr, logs::TraceStats *stats = nullptr);

// All of mktrace: copies the trace, converts the copy, deletes it.  With a
// `pcapng` path the frames are also written there as a capture.  On a
// failure `message` (when given) receives the fixed message for the host:
// the trace or its copy not read names the trace, no memory has its words,
// an output not written names "DTRACE" for the text file (as hosts expect)
// or the capture's path.  The outcome names the file that failed by its
// own path (the text file, the capture, the trace, or the temporary folder
// of the copy).
JobOutcome make_trace(const char *binfile, const char *textfile, const char *label,
                      const char *pcapng, std::string *message, logs::TraceStats *stats = nullptr);

} // namespace vorn
