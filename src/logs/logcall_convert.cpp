// The call log converter behind the export mklogcall: the sorted records
// become lines of the outgoing, incoming and reject lists.
#include "frame/export_results.h"
#include "logs/cache_release.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "logs/logcall_sorted.h"
#include "logs/logcall_text.h"
#include "logs/text_buffer.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace vorn {

namespace {

// The list separators, read by position from one text: field, date, date to
// time, time, ..., port.
constexpr const char kSeparators[] = ";.-::,/";
constexpr char kField = kSeparators[0];
constexpr char kDate = kSeparators[1];
constexpr char kDateTime = kSeparators[2];
constexpr char kTime = kSeparators[3];
constexpr char kPort = kSeparators[6];

constexpr uint8_t kNoPort = 0xFF;
constexpr uint16_t kNoValue = 0xFFFF;
constexpr uint8_t kNoSubcode = 0xFF;
constexpr uint8_t kNoAddress = 0xFF;
constexpr size_t kFewRecords = 16;    // 1200 bytes of stack
constexpr size_t kManyRecords = 1024; // 75 KiB

// "dd.mm.yy-hh:mm:ss;"
void add_time(logs::LineText &text, const logcall_time_t &t) {
    const uint8_t fields[6] = {t.day, t.month, t.year, t.hour, t.minute, t.second};
    const char after[6] = {kDate, kDate, kDateTime, kTime, kTime, kField};
    // Only an unknown end day (255) is wider than two digits.
    const bool narrow = std::max({t.day, t.month, t.year, t.hour, t.minute, t.second}) < 100;
    char *at = narrow ? text.extend(18) : nullptr;
    for (size_t i = 0; i < 6; ++i) {
        if (at == nullptr) {
            text.two_digits(fields[i]);
            text.add(after[i]);
            continue;
        }
        logs::LineText::put_pair(at + 3 * i, fields[i]);
        at[3 * i + 2] = after[i];
    }
}

// "%2u/%-2u;"
void add_port(logs::LineText &text, uint8_t code) {
    const PortPair port = logcall_port(code);
    text.number(port.hi, 2);
    text.add(kPort);
    text.number(port.lo, 2, false, true);
    text.add(kField);
}

// One number field: packed digits (marker 0xBB, first byte not 0) or text.
// Returns the length of the text.
size_t decode_number(const uint8_t (&field)[11], char *out) {
    const uint8_t first = field[0] == 0xFF ? 0 : field[0];
    size_t n = 0;
    if (first == 0 || field[10] != kPackedMarker) {
        // Text within its own field: up to its terminator, or all 11 bytes.
        if (first != 0)
            while (n < sizeof field && field[n] != 0)
                out[n] = static_cast<char>(field[n]), ++n;
    } else {
        // Twenty half-bytes, high one first; 1 to 10 are the digits 0 to 9,
        // 11 ends the number.
        for (size_t i = 0; i < 10; ++i) {
            const unsigned high = field[i] >> 4, low = field[i] & 0x0F;
            if (high == 11)
                break;
            out[n++] = static_cast<char>(0x2F + high);
            if (low == 11)
                break;
            out[n++] = static_cast<char>(0x2F + low);
        }
    }
    out[n] = '\0';
    return n;
}

// The dialled address as text; empty when the box stored none.
struct Address {
    char text[sizeof(logcall_t::dad) + 1];
    size_t length = 0;

    explicit Address(const logcall_t &r) {
        if (static_cast<uint8_t>(r.dad[0]) != kNoAddress) {
            const void *end = std::memchr(r.dad, '\0', sizeof r.dad);
            length =
                end ? static_cast<size_t>(static_cast<const char *>(end) - r.dad) : sizeof r.dad;
            std::memcpy(text, r.dad, length);
        }
        text[length] = '\0';
    }
};

bool is_outgoing(const logcall_t &r) {
    return r.dad[0] == '8' || r.dad[0] == '6';
}

// The lists of one conversion (a list named twice is one buffer) and what
// their identity means.
struct Streams {
    logs::TextBuffer *out;
    logs::TextBuffer *in;
    logs::TextBuffer *reject;
    bool traced; // the debug trace is on: every line is traced too
    bool combined() const { return out == in; }
    bool marked() const { return out == reject; }
    bool failed() const { return out->failed() || in->failed() || reject->failed(); }
};

void put(logs::TextBuffer *list, const char *text, size_t length) {
    list->put(text, length);
}

// A line is put together in the free space of its list's buffer and taken
// into the list when it is whole; nothing else is put on the list between.
void begin_line(logs::TextBuffer *list, logs::LineText &text) {
    text.restart(list->reserve(logs::LineText::kStorage));
}

void end_line(logs::TextBuffer *list, const logs::LineText &text) {
    list->commit(text.data() + text.size());
}

// The start of a finished call's line: the arrow of the combined list, the
// reject marker, the start time (none when unknown) and the end time.
// Returns the line's stream: the reject stream when the start is unknown.
logs::TextBuffer *begin_call(const Streams &s, const logcall_t &r, logs::LineText &text) {
    const bool outgoing = is_outgoing(r);
    logs::TextBuffer *line = outgoing ? s.out : s.in;
    if (s.combined())
        put(line, outgoing ? "->" : "<-", 2);

    const bool unknown_start = r.start.day == kUnknownDay;
    if (unknown_start) {
        line = s.reject;
        if (s.marked()) {
            put(s.reject, "! ", 2);
            put(s.reject, &kField, 1);
        }
    } else if (s.marked()) {
        put(s.reject, "  ", 2);
    }
    begin_line(line, text);
    if (!unknown_start)
        add_time(text, r.start);
    add_time(text, r.end);
    return line;
}

// The rest of a line of the combined list: the ports (when the call had a
// second one), both numbers, the address, status, code, subcode and value.
void add_combined_fields(logs::LineText &text, const logcall_t &r, unsigned counter,
                         const char *first, const char *second, const Address &address,
                         bool traced) {
    if (r.port2 == kNoPort) {
        text.add(kField), text.add(first), text.add(kField);
        text.add(second), text.add(kField), text.add(kField);
        if (traced)
            dbg_printf("%4u: %c%s%c%s%c%c\n", counter, kField, first, kField, second, kField,
                       kField);
    } else {
        add_port(text, r.port1);
        text.add(first), text.add(kField), text.add(second), text.add(kField);
        add_port(text, r.port2);
        const PortPair p1 = logcall_port(r.port1), p2 = logcall_port(r.port2);
        if (traced)
            dbg_printf("%4u: %2u%c%-2u%c%s%c%s%c%2u%c%-2u%c\n", counter, p1.hi, kPort, p1.lo,
                       kField, first, kField, second, kField, p2.hi, kPort, p2.lo, kField);
    }
    // The combined list leaves out the address's first digit (the direction
    // prefix); an address the box did not store stays empty.
    if (address.length > 0)
        text.add(address.text + 1, address.length - 1);
    text.add(kField);
    text.hex(r.status, 4);
    text.add(kField);
    text.hex(r.code, 2);
    text.add(kField);
    if (r.subcode != kNoSubcode)
        text.number(r.subcode);
    text.add(kField);
    if (r.value != kNoValue)
        text.number(r.value);
}

// The rest of a line of a separate list: first number, address and status;
// a line of the incoming list adds the value, one of the reject list the
// code and subcode (both, when the two lists are one file).
void add_list_fields(logs::LineText &text, const logcall_t &r, unsigned counter, const char *first,
                     size_t first_length, const Address &address, bool incoming, bool rejected,
                     bool traced) {
    text.add(first, first_length), text.add(kField);
    if (traced)
        dbg_printf("%4u: %s%c\n", counter, first, kField);
    text.add(address.text, address.length);
    text.add(kField);
    text.hex(r.status, 4);
    if (incoming) {
        text.add(kField), text.add(kField);
        text.number(r.value == kNoValue ? 0u : r.value);
    }
    if (rejected) {
        text.add(kField);
        text.hex(r.code, 2);
        text.add(kField);
        if (r.subcode == kNoSubcode)
            text.add("ff");
        else
            text.number(r.subcode);
    }
}

// A finished call: arrow, marker, times, numbers and tail on the line's
// stream (the reject stream when the start time is unknown).
void write_call(const Streams &s, const logcall_t &r, unsigned counter, const Address &address,
                logs::LineText &text) {
    logs::TextBuffer *line = begin_call(s, r, text);
    char first[kLogcallNumberSize];
    const size_t first_length = decode_number(r.number1, first);
    if (s.combined()) {
        char second[kLogcallNumberSize];
        decode_number(r.number2, second);
        add_combined_fields(text, r, counter, first, second, address, s.traced);
    } else {
        add_list_fields(text, r, counter, first, first_length, address, line == s.in,
                        line == s.reject, s.traced);
    }
    text.add('\n');
    end_line(line, text);
}

// "%4u: <start>-<end> call to dad<%s> not finished (plc[%u])!\n"
void write_not_finished(const Streams &s, const logcall_t &r, unsigned counter, unsigned slot,
                        const char *address, logs::LineText &text) {
    begin_line(s.reject, text);
    text.number(counter, 4);
    text.add(": ");
    add_time(text, r.start);
    text.add('-');
    add_time(text, r.end);
    text.add(" call to dad<");
    text.add(address);
    text.add("> not finished (plc[");
    text.number(slot);
    text.add("])!\n");
    end_line(s.reject, text);
    if (s.traced)
        dbg_printf("%s", text.c_str());
}

// "plc[%u] dad<%s>" and the rest, for records that are no call to list.
void write_slot_line(const Streams &s, unsigned slot, const char *address, const char *rest,
                     logs::LineText &text) {
    begin_line(s.reject, text);
    text.add("plc[");
    text.number(slot);
    text.add("] dad<");
    text.add(address);
    text.add(rest);
    end_line(s.reject, text);
    if (s.traced)
        dbg_printf("%s", text.c_str());
}

// A 64 KiB stdio buffer for the CSV table, which is written row by row.
class CsvBuffer {
  public:
    static constexpr size_t kSize = 64 * 1024;
    void attach(std::FILE *stream) {
        m_buffer.reset(new (std::nothrow) char[kSize]);
        if (m_buffer && std::setvbuf(stream, m_buffer.get(), _IOFBF, kSize) != 0)
            m_buffer.reset();
    }

  private:
    std::unique_ptr<char[]> m_buffer;
};

} // namespace

PortPair logcall_port(uint8_t b) {
    if ((b & 0xA0) == 0x20)
        return {static_cast<unsigned>(b >> 6), static_cast<unsigned>((b & 0x3F) + 1)};
    if ((b & 0xA0) == 0xA0)
        return {static_cast<unsigned>((b >> 1) & 0x2F), static_cast<unsigned>((b & 1) + 1)};
    return {static_cast<unsigned>(b >> 6), static_cast<unsigned>(b & 0x3F)};
}

void get_logcall_numbers(const logcall_t *record, char *first, char *second) {
    if (record == nullptr)
        return;
    if (first != nullptr)
        decode_number(record->number1, first);
    if (second != nullptr)
        decode_number(record->number2, second);
}

namespace {

// The records of a sorted copy, read many at a time (a few dozen when there
// is no memory for more); a short last record is never looked at.
class StreamRecords {
  public:
    explicit StreamRecords(std::FILE *sorted)
        : m_file(sorted), m_many(new (std::nothrow) logcall_t[kManyRecords]),
          m_records(m_many ? m_many.get() : m_few),
          m_per_read(m_many ? kManyRecords : kFewRecords) {}

    const logcall_t *next() {
        if (m_next == m_held) {
            m_held = std::fread(m_records, sizeof(logcall_t), m_per_read, m_file);
            m_next = 0;
        }
        return m_next < m_held ? &m_records[m_next++] : nullptr;
    }

  private:
    std::FILE *m_file;
    logcall_t m_few[kFewRecords];
    std::unique_ptr<logcall_t[]> m_many;
    logcall_t *m_records;
    size_t m_per_read;
    size_t m_held = 0;
    size_t m_next = 0;
};

// The records of a sorted log in memory, taken where they lie in sorted
// order.  They lie anywhere in the block, so the records a few lines ahead
// are asked for early: the conversion need not wait for each in turn.
class MemoryRecords {
  public:
    explicit MemoryRecords(const logs::SortedLogcall &log) : m_log(log) {}

    const logcall_t *next() {
        if (m_next + kAhead < m_log.size()) {
            // A record may span two cache lines.
            const char *ahead = reinterpret_cast<const char *>(&m_log[m_next + kAhead]);
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + sizeof(logcall_t) - 1);
        }
        return m_next < m_log.size() ? &m_log[m_next++] : nullptr;
    }

  private:
    static constexpr size_t kAhead = 8;
    const logs::SortedLogcall &m_log;
    size_t m_next = 0;
};

// One record of the sorted log as a line of its list.
void convert_record(const Streams &s, const logcall_t &r, unsigned &counter, logs::LineText &text) {
    const Address address(r);
    const unsigned slot = r.plc & 0x7FFFu;
    if (r.plc & kLogcallNotClosed) {
        write_slot_line(s, slot, address.text, "> not closed\n", text);
    } else if (r.status == 0) {
        write_slot_line(s, slot, address.text, "> saved before \n", text);
    } else {
        ++counter;
        if (r.end.day == kUnknownDay)
            write_not_finished(s, r, counter, slot, address.text, text);
        else
            write_call(s, r, counter, address, text);
    }
}

// The conversion of sorted records, from the copy or from memory.  Each
// list's text goes to its stream in large blocks, which `writer` writes;
// a list named for two streams shares one buffer, so its lines keep their
// order.
template <class Records>
Error convert_records(Records &records, std::FILE *out, std::FILE *in, std::FILE *reject,
                      logs::LogcallStats *stats, logs::BlockWriter &writer) {
    logs::TextBuffer out_text(out, &writer);
    std::optional<logs::TextBuffer> in_text, reject_text;
    logs::TextBuffer *in_list = in && in != out ? &in_text.emplace(in, &writer) : &out_text;
    logs::TextBuffer *reject_list = &out_text;
    if (reject && reject != out)
        reject_list = reject == in ? in_list : &reject_text.emplace(reject, &writer);
    const Streams s{&out_text, in_list, reject_list, dbg_enabled()};
    logs::LineText text;
    unsigned counter = 0;
    // A full disk ends the conversion: the caller finds the failed stream
    // when it closes the files.
    const logcall_t *r;
    while (!s.failed() && (r = records.next()) != nullptr && r->plc != kLogcallEnd) {
        convert_record(s, *r, counter, text);
        if (stats)
            logs::count_logcall_line(*stats, *r);
    }
    out_text.finish();
    if (in_text)
        in_text->finish();
    if (reject_text)
        reject_text->finish();
    dbg_printf("%s#%u: end convert_logcall\n", "LOGCALL", static_cast<unsigned>(__LINE__));
    return Error::Ok;
}

} // namespace

Error convert_logcall(std::FILE *sorted, std::FILE *out, std::FILE *in, std::FILE *reject,
                      logs::LogcallStats *stats) {
    if (sorted == nullptr || out == nullptr)
        return Error::Ok;
    StreamRecords records(sorted);
    logs::BlockWriter writer;
    return convert_records(records, out, in, reject, stats, writer);
}

Error logs::convert_sorted_logcall(const SortedLogcall &log, std::FILE *out, std::FILE *in,
                                   std::FILE *reject, LogcallStats *stats, BlockWriter *writer) {
    if (out == nullptr)
        return Error::Ok;
    MemoryRecords records(log);
    if (writer)
        return convert_records(records, out, in, reject, stats, *writer);
    BlockWriter own;
    return convert_records(records, out, in, reject, stats, own);
}

namespace {

// The lists of one conversion.  A list named twice (however) is one list:
// two streams on one file would write over each other's lines, so the
// incoming and reject lines may go to the stream of another list.
struct CallLists {
    platform::OutputFile out, in, reject, csv;
    std::FILE *in_stream = nullptr;
    std::FILE *reject_stream = nullptr;
};

// Opens the lists that `files` names.  Returns Ok, or fails `done` with
// the first that cannot be opened: CannotWrite (out), IncomingNotWritten,
// RejectedNotWritten or CsvNotWritten.
void open_lists(const LogcallFiles &files, CallLists &lists, JobOutcome &done) {
    const auto failed = [&](Error why, const char *path) {
        done.fail(why, logs::text_or_null(path), platform::last_error());
    };
    if (files.outfile == nullptr || !lists.out.create(files.outfile, "w"))
        return failed(Error::CannotWrite, files.outfile);
    lists.in_stream = lists.out.get();
    if (files.infile && !logs::same_output(files.infile, files.outfile)) {
        lists.in.create(files.infile, "w");
        lists.in_stream = lists.in.get();
        if (!lists.in)
            return failed(Error::IncomingNotWritten, files.infile);
    }
    lists.reject_stream = lists.out.get();
    if (files.rejectfile && !logs::same_output(files.rejectfile, files.outfile)) {
        if (lists.in && logs::same_output(files.rejectfile, files.infile)) {
            lists.reject_stream = lists.in.get();
        } else {
            lists.reject.create(files.rejectfile, "w");
            lists.reject_stream = lists.reject.get();
            if (!lists.reject)
                return failed(Error::RejectedNotWritten, files.rejectfile);
        }
    }
    // The CSV table ends its lines in CR LF itself, on every system.
    if (files.csvfile && !lists.csv.create(files.csvfile, "wb"))
        return failed(Error::CsvNotWritten, files.csvfile);
}

// Puts the lists in place.  The lists that a failed open or sort leaves
// behind are put in place empty, as hosts know them.  After a conversion
// the lists go in place together or not at all: a list that cannot be
// written whole keeps every old list as it was and makes a clean outcome
// its failure, a failed conversion rather than a short one.
void close_lists(CallLists &lists, const LogcallFiles &files, JobOutcome &done) {
    const struct {
        platform::OutputFile &file;
        Error failure;
        const char *path;
    } closing[] = {{lists.out, Error::CannotWrite, files.outfile},
                   {lists.in, Error::IncomingNotWritten, files.infile},
                   {lists.reject, Error::RejectedNotWritten, files.rejectfile},
                   {lists.csv, Error::CsvNotWritten, files.csvfile}};
    if (!done.ok()) {
        for (const auto &list : closing)
            if (list.file)
                list.file.commit();
        return;
    }
    platform::Publication together;
    for (const auto &list : closing) {
        if (!list.file)
            continue;
        if (!done.ok())
            list.file.discard();
        else if (!list.file.commit())
            done.fail(list.failure, list.path, platform::last_error());
    }
    if (done.ok() && !together.publish()) {
        const int reason = platform::last_error();
        const auto *failed = &closing[0];
        for (const auto &list : closing)
            if (list.file.path() == together.failed())
                failed = &list;
        done.fail(failed->failure, failed->path, reason);
    }
}

// The host's message for an error of mklogcall: the lists are named by the
// box's names for them, the CSV table by its path.
std::string lists_message(Error error, const LogcallFiles &files) {
    switch (error) {
    case Error::IncomingNotWritten:
        return logs::cannot_write_message("LOGin");
    case Error::RejectedNotWritten:
        return logs::cannot_write_message("LOGreject");
    case Error::CsvNotWritten:
        return logs::cannot_write_message(files.csvfile);
    default:
        return logs::result_message(error, files.binfile, "LOGout");
    }
}

// Writes the lists (and the CSV table) from records sorted in memory.
Error convert_sorted(const logs::SortedLogcall &sorted, CallLists &lists, logs::LogcallStats *stats,
                     logs::BlockWriter &writer) {
    const Error result = logs::convert_sorted_logcall(sorted, lists.out.get(), lists.in_stream,
                                                      lists.reject_stream, stats, &writer);
    if (lists.csv)
        logs::write_sorted_logcall_csv(sorted, lists.csv.get());
    return result;
}

// Sorts the copy and writes the lists (and the CSV table).  While the debug
// trace is on, the copy is sorted in place and converted from the file, as
// the trace tells it step by step; otherwise the copy is viewed in memory
// and its records are converted in sorted order where they lie, which
// spares writing the sorted copy back and reading it again.  The lists are
// the same bytes either way.
Error sort_and_convert(std::FILE *copy, CallLists &lists, logs::LogcallStats *stats,
                       logs::BlockWriter &writer) {
    if (dbg_enabled()) {
        Error result = sort_logcall(copy);
        if (result == Error::Ok) {
            result =
                convert_logcall(copy, lists.out.get(), lists.in_stream, lists.reject_stream, stats);
            if (lists.csv) {
                std::rewind(copy);
                write_logcall_csv(copy, lists.csv.get());
            }
        }
        return result;
    }
    logs::SortedLogcall sorted;
    const Error result = sorted.view_and_sort(copy);
    return result != Error::Ok ? result : convert_sorted(sorted, lists, stats, writer);
}

} // namespace

JobOutcome make_logcall_lists(const LogcallFiles &files, std::string *message) {
    using logs::text_or_null;
    // Declared first: the copy is written from the image by the writer's
    // thread, and the lists' blocks too, so both outlive the copy.
    logs::BlockWriter writer;
    logs::InputImage image;
    const logs::CacheRelease release(
        {files.outfile, files.infile, files.rejectfile, files.csvfile});
    logs::TempCopy copy("LOGCAL");
    dbg_printf("mklogcall(\"%s\", \"%s\",\"%s\",\"%s\"\n", text_or_null(files.binfile),
               text_or_null(files.outfile), text_or_null(files.infile),
               text_or_null(files.rejectfile));

    // Without the debug trace the log is read into memory once and sorted
    // there while the writer's thread makes the copy from it.
    JobOutcome done;
    Error copied = dbg_enabled() ? copy.copy_from(files.binfile)
                                 : copy.copy_from(files.binfile, image, writer);
    logs::SortedLogcall sorted;
    Error sorted_result = Error::Ok;
    if (copied == Error::Ok && image)
        sorted_result = sorted.sort_image(image.data(), image.size());
    if (copied == Error::Ok)
        copied = copy.finish_copy();
    if (copied != Error::Ok)
        copy.add_failure(copied, files.binfile, done);
    // A larger buffer than stdio's 4 KiB for the CSV table (the lists have
    // their own).  Declared before the lists, so that it outlives them on
    // every way out.
    CsvBuffer csv_buffer;
    CallLists lists;
    if (done.ok())
        open_lists(files, lists, done);
    if (lists.csv)
        csv_buffer.attach(lists.csv.get());
    if (done.ok() && image)
        done.error = sorted_result != Error::Ok
                         ? sorted_result
                         : convert_sorted(sorted, lists, files.stats, writer);
    else if (done.ok())
        done.error = sort_and_convert(copy.stream(), lists, files.stats, writer);
    if (done.ok() && files.stats)
        logs::count_logcall_records(*files.stats, copy.stream());
    close_lists(lists, files, done);

    const std::string text = lists_message(done.error, files);
    if (!done.ok())
        dbg_printf("mklogcall:Error %d (%s)\n", export_result(ResultFamily::Converter, done.error),
                   text.c_str());
    if (message)
        *message = text;
    return done;
}

} // namespace vorn

extern "C" VORN_B32_API int32_t mklogcall(const char *binfile, const char *outfile,
                                          const char *infile, const char *rejectfile,
                                          char *message) {
    try {
        std::string text;
        vorn::LogcallFiles files;
        files.binfile = binfile;
        files.outfile = outfile;
        files.infile = infile;
        files.rejectfile = rejectfile;
        const vorn::JobOutcome done = vorn::make_logcall_lists(files, &text);
        if (!done.ok() && !text.empty())
            vorn::logs::copy_message(message, text.c_str());
        return vorn::export_result(vorn::ResultFamily::Converter, done.error);
    } catch (...) {
        // Only the message and trace texts allocate here; without memory the
        // host gets the no-memory result.
        vorn::logs::copy_message(message, vorn::no_memory_message_text().c_str());
        return vorn::export_result(vorn::ResultFamily::Converter, vorn::Error::NoMemory);
    }
}
