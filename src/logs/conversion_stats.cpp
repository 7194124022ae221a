// The counts of a call log conversion (see conversion_stats.h): which list
// each converted record went to, and what the log held beyond them.
#include "logs/conversion_stats.h"
#include "logs/converter.h"
#include "logs/logcall.h"

namespace vorn::logs {

void count_logcall_line(LogcallStats &stats, const logcall_t &r) {
    // As the converter decides: unclosed, saved-before and unfinished
    // records and calls of unknown start are rejects; the address's first
    // digit tells an outgoing call.
    if ((r.plc & kLogcallNotClosed) || r.status == 0 || r.end.day == kUnknownDay ||
        r.start.day == kUnknownDay)
        ++stats.rejected;
    else if (r.dad[0] == '8' || r.dad[0] == '6')
        ++stats.outgoing;
    else
        ++stats.incoming;
}

void count_logcall_records(LogcallStats &stats, std::FILE *log) {
    const long length = log ? stream_length(log) : kUnknownLength;
    if (length < 0)
        return;
    stats.records = static_cast<uint64_t>(length) / kLogcallSize;
    stats.tail_bytes = static_cast<uint64_t>(length) % kLogcallSize;
    const uint64_t converted = stats.outgoing + stats.incoming + stats.rejected;
    stats.unconverted = stats.records > converted ? stats.records - converted : 0;
}

} // namespace vorn::logs
