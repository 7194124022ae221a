// The event log converter behind mkalarm: reads the fetched ring queue of
// events (version 1 or 2), repairs a damaged queue header so that the walk
// stays inside the file, and appends one report line per stored event.
#include "logs/alarm.h"

#include "frame/blank_text.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "logs/converter.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cctype>
#include <cstring>

namespace vorn {

namespace {

constexpr size_t kRecordsV1 = offsetof(alarm_buffer_t, records);
constexpr size_t kTextsV1 = offsetof(alarm_buffer_t, alarm_string);
constexpr size_t kEntriesV2 = sizeof(alarm_buffer2_t);
// The box never stores more than 100 events; a walk that goes on longer is
// fed by a header beyond repair.
constexpr unsigned kMaxEventsListed = 110;
constexpr int kVersionTextSize = 59;

const char *const kEqualsLine =
    "==============================================================================\n";
const char *const kDashLine =
    "------------------------------------------------------------------------------\n";
const char *const kDestroyed =
    "Event structure destroyed, the following entries may be invalid and unsorted!\n";

// The log as read into one block.  Every access checks the block's end; a
// field that a short file does not hold reads as zero, so a header cut short
// describes an empty queue instead of reaching past the block.
class LogBlock {
  public:
    LogBlock(const uint8_t *data, size_t length) : m_data(data), m_length(length) {}

    size_t length() const { return m_length; }
    bool holds(size_t offset, size_t size) const {
        return offset <= m_length && size <= m_length - offset;
    }
    uint8_t u8(size_t offset) const { return offset < m_length ? m_data[offset] : 0; }
    uint16_t u16(size_t offset) const {
        return static_cast<uint16_t>(u8(offset) | (u8(offset + 1) << 8));
    }
    int16_t s16(size_t offset) const { return static_cast<int16_t>(u16(offset)); }
    uint32_t u32(size_t offset) const {
        return static_cast<uint32_t>(u16(offset)) | (static_cast<uint32_t>(u16(offset + 2)) << 16);
    }
    const uint8_t *at(size_t offset) const { return m_data + offset; }
    // Position in memory for the trace, also for offsets beyond the block.
    const void *address(size_t offset) const {
        return reinterpret_cast<const void *>(reinterpret_cast<uintptr_t>(m_data) + offset);
    }

  private:
    const uint8_t *m_data;
    size_t m_length;
};

// The queue header as the walk changes it.
struct Queue {
    int size;
    int count;
    int overflow;
    int first;
    int last;
};

Queue read_queue(const LogBlock &log, size_t offset) {
    return Queue{log.s16(offset + offsetof(alarm_queue_t, size)),
                 log.s16(offset + offsetof(alarm_queue_t, count)),
                 log.s16(offset + offsetof(alarm_queue_t, overflow)),
                 log.s16(offset + offsetof(alarm_queue_t, first)),
                 log.s16(offset + offsetof(alarm_queue_t, last))};
}

// Brings a damaged header back into the ring's bounds; true when anything
// had to be repaired.  Afterwards 0 <= first < size and 0 <= count <= size.
bool repair_queue(Queue &q, int version) {
    bool damaged = false;
    if (q.size != kAlarmEventsV1 && q.size != kAlarmEventsV2) {
        q.size = version == 1 ? kAlarmEventsV1 : kAlarmEventsV2;
        damaged = true;
    }
    if (q.count > q.size || q.count < 0) {
        q.count = q.size;
        damaged = true;
    }
    if (q.first >= q.size || q.first < 0) {
        q.overflow = 0;
        q.first = 0;
        damaged = true;
    }
    if (q.last >= q.size || q.last < 0) {
        q.first = q.size - 1;
        q.overflow = 0;
        damaged = true;
    }
    return damaged;
}

// One step of the walk: the ring index of the next stored event, or size
// when none is left.
int next_index(Queue &q) {
    if (q.count == 0)
        return q.size;
    int index = q.first;
    if (q.count < q.size)
        q.overflow = 0;
    --q.count;
    if (++q.first >= q.size)
        q.first = 0;
    return index;
}

struct Event {
    int second;
    int minute;
    int hour;
    int day;
    int month;
    int year;
    unsigned pid;
    unsigned err_class;
    unsigned err_code;

    const char *err_label() const { return err_class != 0 ? "Err=" : ""; }
    bool valid() const {
        return day < 32 && month < 13 && hour < 24 && minute < 60 && pid < 7 && err_class < 9;
    }
};

Event read_event(const LogBlock &log, size_t offset) {
    return Event{log.u8(offset + offsetof(alarm_record_t, second)),
                 log.u8(offset + offsetof(alarm_record_t, minute)),
                 log.u8(offset + offsetof(alarm_record_t, hour)),
                 log.u8(offset + offsetof(alarm_record_t, day)),
                 log.u8(offset + offsetof(alarm_record_t, month)),
                 log.u8(offset + offsetof(alarm_record_t, year)),
                 log.u16(offset + offsetof(alarm_record_t, pid)),
                 log.u8(offset + offsetof(alarm_record_t, err_class)),
                 log.u16(offset + offsetof(alarm_record_t, err_code))};
}

void trace_event(const Event &e, int index, unsigned number) {
    if (e.second >= 60)
        dbg_printf("i%-3u [%02d.%02d.%02d %2d:%02d:($%02x)] %3d: PId=%u %4s%u-%-3u", index, e.day,
                   e.month, e.year, e.hour, e.minute, e.second, number, e.pid, e.err_label(),
                   e.err_class, e.err_code);
    else if (e.year >= 100)
        dbg_printf("[%02d.%02d.[$%02x) %2d:%02d:%02d] %3d: PId=%u %4s%u-%-3u", e.day, e.month,
                   e.year, e.hour, e.minute, e.second, number, e.pid, e.err_label(), e.err_class,
                   e.err_code);
    else
        dbg_printf("[%02d.%02d.%02d %2d:%02d:%02d] %3d: PId=%u %4s%u-%-3u", e.day, e.month, e.year,
                   e.hour, e.minute, e.second, number, e.pid, e.err_label(), e.err_class,
                   e.err_code);
    dbg_printf("i%-3u [%02d.%02d.%02d %2d:%02d:%02d] %3d: PId=%u %4s%u-%-3u", index, e.day, e.month,
               e.year, e.hour, e.minute, e.second, number, e.pid, e.err_label(), e.err_class,
               e.err_code);
}

// The event text: the field's characters up to its terminator (all 60 when
// it has none), without trailing white space.  Null when the field lies
// outside the file.
void write_event_text(std::FILE *text, const LogBlock &log, size_t offset) {
    char field[kAlarmTextSize + 1] = {};
    if (log.holds(offset, kAlarmTextSize))
        std::memcpy(field, log.at(offset), kAlarmTextSize);
    else
        std::strcpy(field, "<invalid entry>");
    trim_blanks(field);
    // The copy holds at most 60 characters, so the text is already cut to
    // the width of its field.
    if (std::isgraph(static_cast<unsigned char>(field[0])))
        std::fprintf(text, " \"%s\"", field);
}

void trace_queue(const Queue &q) {
    dbg_printf("  queue=size%02u count%02u overflow%u first%02u last%02u\n", q.size, q.count,
               q.overflow, q.first, q.last);
}

void write_event_line(std::FILE *text, const LogBlock &log, const Event &e, unsigned number,
                      size_t text_offset, bool has_address, uint32_t address, const Queue &q) {
    if (e.year >= 100)
        std::fprintf(text, "[%02d.%02d%02d %2d:%02d:%02d] %3u: PId=%u", e.day, e.month,
                     e.year % 100, e.hour, e.minute, e.second, number, e.pid);
    else if (e.second >= 60)
        std::fprintf(text, "[%02d.%02d.%02d %2d:%02d   ] %3u: PId=%u", e.day, e.month, e.year,
                     e.hour, e.minute, number, e.pid);
    else
        std::fprintf(text, "[%02d.%02d.%02d %2d:%02d:%02d] %3u: PId=%u", e.day, e.month, e.year,
                     e.hour, e.minute, e.second, number, e.pid);
    if (!e.valid()) {
        std::fputs(" !!! INVALID ENTRY (date/time/pid) !!!\n", text);
        return;
    }
    std::fprintf(text, " %4s%u-%-3u", e.err_label(), e.err_class, e.err_code);
    write_event_text(text, log, text_offset);
    if (has_address && address != 0) {
        std::fprintf(text, " at <%08X>", address);
        dbg_printf(" <%Fp>", reinterpret_cast<const void *>(static_cast<uintptr_t>(address)));
    }
    std::fputc('\n', text);
    trace_queue(q);
}

void write_head(std::FILE *text, const LogBlock &log, const char *source, const char *headline) {
    std::fputs(kEqualsLine, text);
    platform::LocalTime now = platform::local_time();
    if (source && *source)
        std::fprintf(text, "[%02d.%02d.%02d %2d:%02d:%02d] get event log from %s\n", now.day,
                     now.month, now.year % 100, now.hour, now.minute, now.second, source);
    else
        std::fprintf(text, "[%02d.%02d.%02d %2d:%02d:%02d]\n", now.day, now.month, now.year % 100,
                     now.hour, now.minute, now.second);
    if (headline && *headline)
        std::fprintf(text, "%s\n", headline);
    char version[kVersionTextSize] = {};
    get_vorn_b32_dll_version(version, kVersionTextSize);
    std::fprintf(text, "Alarm-Version:%d", static_cast<int8_t>(log.u8(0)));
    std::fprintf(text, "\t(convert by %s)\n", version);
}

// The device name behind the version-2 entries, when the file reaches there.
void device_name(std::FILE *text, const LogBlock &log, int stored_size) {
    long position = static_cast<long>(kEntriesV2) + static_cast<long>(stored_size) * 75;
    if (position < 0 || static_cast<size_t>(position) >= log.length())
        return;
    const char *start = reinterpret_cast<const char *>(log.at(static_cast<size_t>(position)));
    size_t room = log.length() - static_cast<size_t>(position);
    const void *end = std::memchr(start, '\0', room);
    std::string name(start, end ? static_cast<const char *>(end) - start : room);
    unsigned char first = log.u8(static_cast<size_t>(position));
    dbg_printf("Device: %02x\n", static_cast<unsigned>(first));
    if (!std::isprint(first))
        return;
    dbg_printf("Device: %Fs\n", name.c_str());
    if (text)
        std::fprintf(text, "Device: %40.40s\n", name.c_str());
}

// Reads the queue header of the log's version into `q` and the count of
// all events the box ever logged into `whole_count`; a version-2 log also
// names its device.  False for a version the converter does not know.
bool read_header(std::FILE *text, const LogBlock &log, int version, unsigned &whole_count,
                 Queue &q) {
    if (version == 1) {
        whole_count = log.u8(offsetof(alarm_buffer_t, whole_count));
        q = read_queue(log, offsetof(alarm_buffer_t, acq));
    } else if (version == 2) {
        whole_count = log.u16(offsetof(alarm_buffer2_t, whole_count));
        q = read_queue(log, offsetof(alarm_buffer2_t, acq));
        device_name(text, log, q.size);
    } else {
        dbg_printf("invalid event version %d\n", version);
        return false;
    }
    dbg_printf("event version %d\n", version);
    return true;
}

// Where one stored event lies in the log: its record and its text.
struct EventPlace {
    size_t record;
    size_t record_size;
    size_t text_offset;
};

EventPlace locate_event(int version, int index) {
    if (version == 1)
        return EventPlace{kRecordsV1 + sizeof(alarm_record_t) * static_cast<size_t>(index),
                          sizeof(alarm_record_t),
                          kTextsV1 + kAlarmTextSize * static_cast<size_t>(index)};
    const size_t record = kEntriesV2 + sizeof(alarm_entry_t) * static_cast<size_t>(index);
    dbg_printf("index=%u off=%u\n", index, static_cast<unsigned>(record));
    return EventPlace{record, sizeof(alarm_entry_t),
                      record + offsetof(alarm_entry_t, alarm_string)};
}

// An event whose record the file does not hold: a line that says so, and
// the addresses involved in the trace.
void report_invalid_entry(std::FILE *text, const LogBlock &log, const EventPlace &place,
                          unsigned number) {
    if (text)
        std::fprintf(text, "[  invalid entry\t] %3d:\n", number);
    dbg_printf("[\tinvalid entry  ] %3d:\n", number);
    dbg_printf("palarm=%p\n", log.address(place.record));
    dbg_printf("alarm_string=%p\n", log.address(place.text_offset));
    dbg_printf("alarm_buffer=%p\n", log.address(0));
    dbg_printf("alarm_buffer+alarmsize=%p\n", log.address(log.length()));
}

// The lines between the head and the events: a warning when the header had
// to be repaired, the counts and a dashed line.
void write_counts(std::FILE *text, const Queue &q, unsigned whole_count, bool damaged) {
    if (damaged) {
        if (text)
            std::fputs(kDestroyed, text);
        dbg_printf("%s", kDestroyed);
    }
    if (text) {
        std::fprintf(text, "Whole entries %u (stored %u/%u)\n", whole_count,
                     static_cast<unsigned>(q.count), static_cast<unsigned>(q.size));
        std::fputs(kDashLine, text);
    }
}

// The walk over the stored events, oldest first, each numbered so that the
// newest event carries the whole count.  A repaired header may describe a
// ring that is no ring: the walk then stops after one round.
void list_events(std::FILE *text, const LogBlock &log, int version, Queue &q, unsigned whole_count,
                 bool damaged, logs::AlarmStats *stats) {
    auto number = static_cast<uint16_t>(whole_count - static_cast<unsigned>(q.count) + 1);
    unsigned listed = 0;
    for (int index = next_index(q); index != q.size; index = next_index(q), ++number) {
        if (listed >= kMaxEventsListed || (damaged && listed >= static_cast<unsigned>(q.size)))
            break;
        ++listed;
        const EventPlace place = locate_event(version, index);
        if (stats)
            ++stats->events;
        if (!log.holds(place.record, place.record_size)) {
            if (stats)
                ++stats->invalid;
            report_invalid_entry(text, log, place, number);
            continue;
        }
        if (!text)
            continue;
        Event e = read_event(log, place.record);
        trace_event(e, index, number);
        uint32_t address =
            version == 2 ? log.u32(place.record + offsetof(alarm_entry_t, address)) : 0;
        write_event_line(text, log, e, number, place.text_offset, version == 2, address, q);
    }
}

void trace_sizes(long file_length) {
    dbg_printf("alarm_buffer_t  size = %u\n", static_cast<unsigned>(sizeof(alarm_buffer_t)));
    dbg_printf("alarm_buffer2_t size = %u\n", static_cast<unsigned>(sizeof(alarm_buffer2_t)));
    dbg_printf("alarm_entry_t\t size = %u\n", static_cast<unsigned>(sizeof(alarm_entry_t)));
    dbg_printf("binary size\t\t = %lu\n", file_length);
}

void trace_v2_pointers(const LogBlock &log) {
    dbg_printf("alarm_ptr\t  = %Fp\n", reinterpret_cast<const void *>(static_cast<uintptr_t>(
                                           log.u32(offsetof(alarm_buffer2_t, alarm_ptr)))));
    dbg_printf("palarm_entry = %Fp\n", log.address(kEntriesV2));
    dbg_printf("sizeof(alarm_buffer2_t) = %u\n", static_cast<unsigned>(sizeof(alarm_buffer2_t)));
}

} // namespace

Error convert_alarm(std::FILE *binary, std::FILE *text, const char *source, const char *headline,
                    logs::AlarmStats *stats) {
    long file_length = binary ? logs::stream_length(binary) : logs::kUnknownLength;
    if (file_length <= 0)
        return Error::CannotRead;
    logs::TrackedBlock block(static_cast<size_t>(file_length), "alarm_buffer");
    if (!block)
        return Error::NoMemory;
    trace_sizes(file_length);
    if (std::fread(block.data(), 1, block.size(), binary) != block.size()) {
        dbg_printf("size error\n");
        return Error::ShortRead;
    }
    const LogBlock log(block.data(), block.size());

    if (text)
        write_head(text, log, source, headline);

    int version = static_cast<int8_t>(log.u8(0));
    dbg_printf("Alarm-Version:%d\n", version);
    unsigned whole_count;
    Queue q;
    if (!read_header(text, log, version, whole_count, q))
        return Error::UnknownEventVersion;
    dbg_printf("acq->size = %d ->count = %d\n", q.size, q.count);
    if (q.size == -1 || q.count == 0) {
        dbg_printf("mkalarm: No entries\n");
        if (text)
            std::fputs("No entries\n", text);
        return Error::Ok;
    }

    dbg_printf("mkalarm: queue=size%02u count%02u overflow%u first%02u last%02u whole count=%u\n",
               q.size, q.count, q.overflow, q.first, q.last, whole_count);
    const bool damaged = repair_queue(q, version);
    write_counts(text, q, whole_count, damaged);
    if (version == 2)
        trace_v2_pointers(log);
    list_events(text, log, version, q, whole_count, damaged, stats);
    if (text)
        std::fputc('\n', text);
    dbg_printf("mkalarm: end\n");
    return Error::Ok;
}

JobOutcome make_alarm_report(const char *textfile, const char *binfile, int32_t direction,
                             const char *source, const char *headline, std::string *message,
                             logs::AlarmStats *stats) {
    using logs::text_or_null;
    dbg_printf("mkalarm(\"%s\", \"%s\", %d, \"%s\", \"%s\",)\n", text_or_null(textfile),
               text_or_null(binfile), direction, text_or_null(source), text_or_null(headline));
    if (textfile && binfile) {
        if (direction == 0)
            dbg_printf("%s -> %s\n", binfile, textfile);
        else
            dbg_printf("%s -> %s\n", textfile, binfile);
    }

    JobOutcome done;
    {
        logs::File binary = logs::open_for_reading(binfile);
        platform::OutputFile text;
        if (!binary) {
            const int reason = platform::last_error();
            dbg_printf("%s", logs::cannot_read_message(binfile).c_str());
            dbg_printf("\n");
            done.fail(Error::CannotRead, text_or_null(binfile), reason);
        } else if (textfile && !text.append(textfile)) {
            const int reason = platform::last_error();
            dbg_printf("%s", logs::cannot_write_message(textfile).c_str());
            dbg_printf("\n");
            done.fail(Error::CannotWrite, textfile, reason);
        } else {
            done.error = convert_alarm(binary.get(), text.get(), source, headline, stats);
            if (done.error != Error::Ok && done.error != Error::NoMemory)
                done.failed.push_back({binfile, done.error, 0});
            // A report that did not reach the file is not a report: a full
            // disk must not look like success to the host, and the file is
            // cut back to the reports before it.
            if (text && !text.commit() && done.ok()) {
                const int reason = platform::last_error();
                dbg_printf("%s", logs::cannot_write_message(textfile).c_str());
                dbg_printf("\n");
                done.fail(Error::CannotWrite, textfile, reason);
            }
        }
    }

    std::string text = logs::result_message(done.error, binfile, textfile);
    if (message)
        *message = text;
    return done;
}

} // namespace vorn

extern "C" VORN_B32_API int32_t mkalarm(const char *textfile, const char *binfile,
                                        int32_t direction, const char *source, const char *headline,
                                        char *message) {
    try {
        std::string text;
        const vorn::JobOutcome done =
            vorn::make_alarm_report(textfile, binfile, direction, source, headline, &text);
        if (!done.ok())
            vorn::logs::copy_message(message, text.c_str());
        return vorn::export_result(vorn::ResultFamily::Converter, done.error);
    } catch (...) {
        // Only the message and trace texts allocate here; without memory the
        // host gets the no-memory result.
        vorn::logs::copy_message(message, vorn::no_memory_message_text().c_str());
        return vorn::export_result(vorn::ResultFamily::Converter, vorn::Error::NoMemory);
    }
}
