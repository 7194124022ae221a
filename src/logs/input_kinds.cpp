// The checks of what a file handed to a log converter holds (see
// input_kinds.h): call log records, call list lines, the event log's head
// and the trace's first record.
#include "logs/input_kinds.h"
#include "logs/alarm.h"
#include "logs/logcall.h"

#include <cstring>

namespace vorn::logs {
namespace {

// Most of what a check looks at must be of its kind: three in four.
bool most(size_t good, size_t seen) {
    return 4 * good >= 3 * seen;
}

KindCheck fits() {
    return {true, {}};
}

KindCheck refused(std::string reason) {
    return {false, std::move(reason)};
}

// A time of a call record: a day of 0xFF is an unknown start or a call not
// finished and stands for any time; otherwise every field in range.
bool time_in_range(const logcall_time_t &t) {
    if (t.day == kUnknownDay)
        return true;
    return t.day >= 1 && t.day <= 31 && t.month >= 1 && t.month <= 12 && t.year < 100 &&
           t.hour < 24 && t.minute < 60 && t.second < 60;
}

bool digits(std::string_view s, size_t at, size_t count) {
    if (s.size() < at + count)
        return false;
    for (size_t i = at; i < at + count; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

// "dd.mm.yy-hh:mm:ss;" at the start of `s` (a day of 255 for a call not
// finished).
bool starts_with_time(std::string_view s) {
    size_t day = digits(s, 0, 3) && s.substr(0, 3) == "255" ? 3 : 2;
    if (!digits(s, 0, day) || s.size() < day + 16)
        return false;
    const char separators[] = ".-::;";
    for (size_t i = 0; i < 5; ++i)
        if (!digits(s, day + 1 + 3 * i, 2) || s[day + 3 + 3 * i] != separators[i])
            return false;
    return s[day] == '.';
}

std::string_view skip(std::string_view s, char c) {
    while (!s.empty() && s.front() == c)
        s.remove_prefix(1);
    return s;
}

// A line as the call log converter writes it: a call of the combined list
// (arrow, marker, start time or its missing mark), of a separate list, or a
// reject line ("plc[n] dad<...> ...", "   n: <times> call to ... not
// finished").  The markers of a marked list may stand before any line.
bool list_line(std::string_view line) {
    if (line.starts_with("->") || line.starts_with("<-"))
        line.remove_prefix(2);
    line = skip(line, ' ');
    if (line.starts_with("!")) {
        line = skip(line.substr(1), ' ');
        if (!line.starts_with(";"))
            return false;
        line.remove_prefix(1);
    } else if (line.starts_with(";")) {
        line.remove_prefix(1);
    }
    if (line.starts_with("plc[")) {
        const size_t close = line.find("] dad<");
        return close != std::string_view::npos && close > 4 && digits(line, 4, close - 4);
    }
    size_t n = 0;
    while (n < line.size() && line[n] >= '0' && line[n] <= '9')
        ++n;
    if (n > 0 && line.substr(n, 2) == ": ")
        line.remove_prefix(n + 2);
    return starts_with_time(line);
}

int16_t i16_at(std::string_view head, size_t at) {
    int16_t value = 0;
    std::memcpy(&value, head.data() + at, sizeof value);
    return value;
}

} // namespace

const char *kind_name(InputKind kind) {
    switch (kind) {
    case InputKind::Table:
        return "a binary table";
    case InputKind::Config:
        return "a configuration";
    case InputKind::CallLog:
        return "a call log";
    case InputKind::CallList:
        return "a call list";
    case InputKind::EventLog:
        return "an event log";
    case InputKind::Trace:
        return "a protocol trace";
    case InputKind::Text:
        return "a text file";
    case InputKind::Unknown:
        break;
    }
    return "nothing the box writes";
}

KindCheck check_call_log(std::string_view head, uint64_t size) {
    if (size == 0)
        return fits();
    // A log cut short still converts its whole records (the converter
    // leaves the rest), so only a file without one is no log at all.
    if (size < kLogcallSize)
        return refused("its " + std::to_string(size) + " bytes are less than one " +
                       std::to_string(kLogcallSize) + "-byte record");
    size_t seen = 0, good = 0;
    for (size_t at = 0; at + kLogcallSize <= head.size(); at += kLogcallSize) {
        logcall_t r;
        std::memcpy(&r, head.data() + at, sizeof r);
        // The end mark and what follows it are never converted; unwritten
        // space of the box reads as end marks.
        if (r.plc == kLogcallEnd)
            continue;
        ++seen;
        good += time_in_range(r.start) && time_in_range(r.end) ? 1 : 0;
    }
    if (most(good, seen))
        return fits();
    return refused("only " + std::to_string(good) + " of its first " + std::to_string(seen) +
                   " records have times in range");
}

KindCheck check_call_list(std::string_view head, uint64_t size) {
    if (head.find('\0') != std::string_view::npos)
        return refused("it is no text");
    // A head cut inside a line leaves that line out.
    if (size > head.size() && head.find_last_of('\n') != std::string_view::npos)
        head = head.substr(0, head.find_last_of('\n') + 1);
    size_t seen = 0, good = 0, first_bad = 0, number = 0;
    while (!head.empty()) {
        const size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.find_first_not_of(' ') == std::string_view::npos)
            continue;
        ++seen;
        if (list_line(line))
            ++good;
        else if (first_bad == 0)
            first_bad = number;
    }
    if (most(good, seen))
        return fits();
    return refused("its line " + std::to_string(first_bad) + " is no line of a call list");
}

KindCheck check_event_log(std::string_view head, uint64_t size) {
    if (size == 0)
        return fits();
    const int version = static_cast<unsigned char>(head[0]);
    if (version != 1 && version != 2)
        return refused("its first byte, " + std::to_string(version) +
                       ", is no event version (1 or 2)");
    const size_t header =
        version == 1 ? offsetof(alarm_buffer_t, records) : sizeof(alarm_buffer2_t);
    if (head.size() < header)
        return refused("it is shorter than the head of an event log");
    const size_t queue =
        version == 1 ? offsetof(alarm_buffer_t, acq) : offsetof(alarm_buffer2_t, acq);
    // The converter repairs a queue header within the ring sizes the box
    // knows; an empty log stores -1.
    const int16_t ring = i16_at(head, queue + offsetof(alarm_queue_t, size));
    const int16_t count = i16_at(head, queue + offsetof(alarm_queue_t, count));
    if (ring < -1 || ring == 0 || ring > kAlarmEventsV2 || count < -1 || count > kAlarmEventsV2)
        return refused("its queue header (size " + std::to_string(ring) + ", count " +
                       std::to_string(count) + ") is out of range");
    return fits();
}

KindCheck check_trace(std::string_view head, uint64_t size) {
    if (size == 0)
        return fits();
    const size_t at = head.find_first_not_of('\xFF');
    if (at == std::string_view::npos)
        return fits(); // unwritten space only
    if (head.size() < at + 8)
        return refused("its first record is cut short");
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(head[at + i]); };
    const char type = static_cast<char>(byte(7));
    if (std::strchr("1bcerst", type) == nullptr || type == '\0')
        return refused("its first record is of no known type");
    if (byte(0) >= 60 || byte(1) >= 60)
        return refused("the time of its first record is out of range");
    return fits();
}

KindCheck check_kind(InputKind kind, std::string_view head, uint64_t size) {
    switch (kind) {
    case InputKind::CallLog:
        return check_call_log(head, size);
    case InputKind::CallList:
        return check_call_list(head, size);
    case InputKind::EventLog:
        return check_event_log(head, size);
    case InputKind::Trace:
        return check_trace(head, size);
    default:
        return fits();
    }
}

InputKind likely_log_kind(std::string_view head, uint64_t size) {
    if (size == 0)
        return InputKind::Unknown;
    if (head.find('\0') == std::string_view::npos && head.find('\xFF') == std::string_view::npos)
        return check_call_list(head, size).fits ? InputKind::CallList : InputKind::Text;
    for (InputKind kind : {InputKind::EventLog, InputKind::CallLog, InputKind::Trace})
        if (check_kind(kind, head, size).fits)
            return kind;
    return InputKind::Unknown;
}

} // namespace vorn::logs
