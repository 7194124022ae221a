// The protocol trace converter: mktrace, convert_trace and the skipping of
// the 0xFF filling between and after the records (see prot_trace.h).
#include "logs/prot_trace.h"

#include "frame/export_results.h"
#include "frame/frame.h"
#include "logs/cache_release.h"
#include "logs/converter.h"
#include "logs/hex_text.h"
#include "logs/pcapng.h"
#include "logs/text_buffer.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <optional>

namespace vorn {

namespace {

// Line-interface states of ports 0 and 1 (terminal side) and of the others
// (network side); 16 codes each.
const char *const kStatesDown[16] = {"DR", "RES", "TM1", "TM2", "RSY", "",     "",    "PU",
                                     "AR", "",    "ARL", "CVR", "AI8", "AI10", "AIL", "DC"};
const char *const kStatesUp[16] = {"TIM", "",    "", "", "RSY", "", "", "",
                                   "AR",  "CVR", "", "", "AI",  "", "", "DI"};
const char *const kErrorStates[29] = {
    "E_OK",       "E_IDENT",      "E_MSG",       "E_STATUS",    "E_MAX",   "E_MEM",
    "E_SEND",     "E_CHAN",       "E_BUSY",      "E_COLLISION", "E_PROT",  "E_DCHAN_L2",
    "E_HDLC_MOD", "E_PANIC",      "E_DCHAN_REJ", "E_L2_TMO",    "E_REL",   "E_L1",
    "E_LOST",     "E_CONTROLLER", "E_L3_TMO",    "E_L1_PWR",    "E_L1_TO", "E_L1_NOF",
    "E_L1_RAI",   "E_L1_LOS",     "E_L1_AIS",    "E_L1_RC4",    "E_L1_RLI"};

constexpr long kProgressStart = 1048576;
constexpr long kProgressStep = 1024;
constexpr size_t kInvalidBytesTraced = 20;
constexpr size_t kWindowSize = 65536;
// The longest line a record writes at once: a frame piece of 292 bytes at
// three characters each (and the one character that the hex writer puts
// beyond), behind its prefix; the header fields are at most five digits
// wide.
constexpr size_t kLongestLine = 64 + 3 * kTraceDataSize + 1;

// Reads the copy through a window of its own: the walk reads 8 bytes at a
// time, and a stream call per header would cost more than the conversion.
// Positions, the end-of-file flag and seeks behave as the stream's do: the
// flag is set by a read that got fewer bytes than it asked for and cleared
// by a seek.
class TraceInput {
  public:
    TraceInput(std::FILE *file, uint8_t *window) : m_file(file), m_window(window) {}

    size_t read(uint8_t *out, size_t size) {
        // Most reads lie within the window.
        if (size <= m_filled - m_at) {
            std::memcpy(out, m_window + m_at, size);
            m_at += size;
            return size;
        }
        return read_across(out, size);
    }

    // The next `size` bytes where they lie in the window, read past, with
    // the number of bytes the window holds from them on in `held`; nullptr,
    // with nothing read, when they do not all lie in it.
    const uint8_t *view(size_t size, size_t &held) {
        if (size > m_filled - m_at)
            return nullptr;
        const uint8_t *at = m_window + m_at;
        held = m_filled - m_at;
        m_at += size;
        return at;
    }

    bool eof() const { return m_eof; }
    long tell() const { return m_start + static_cast<long>(m_at); }

    // Inside the window only the read position moves: the stream stays at
    // the window's end, where the next fill goes on.  Elsewhere the stream
    // is moved and the window emptied.
    void seek(long position) {
        m_eof = false;
        if (position >= m_start && position <= m_start + static_cast<long>(m_filled)) {
            m_at = static_cast<size_t>(position - m_start);
            return;
        }
        m_broken = std::fseek(m_file, position, SEEK_SET) != 0;
        m_start = position;
        m_at = m_filled = 0;
    }

  private:
    size_t read_across(uint8_t *out, size_t size) {
        size_t done = 0;
        while (done < size) {
            if (m_at == m_filled && !fill()) {
                m_eof = true;
                break;
            }
            const size_t piece = std::min(size - done, m_filled - m_at);
            std::memcpy(out + done, m_window + m_at, piece);
            m_at += piece;
            done += piece;
        }
        return done;
    }

    bool fill() {
        m_start += static_cast<long>(m_filled);
        m_at = 0;
        m_filled = m_broken ? 0 : std::fread(m_window, 1, kWindowSize, m_file);
        return m_filled > 0;
    }

    std::FILE *m_file;
    uint8_t *m_window;
    long m_start = 0; // file position of m_window[0]
    size_t m_filled = 0;
    size_t m_at = 0;
    bool m_eof = false;
    bool m_broken = false;
};

// The text output, collected in large blocks that the writer's thread
// hands to the stream while the walk goes on.  A failed write is
// remembered; the walk stops on it and the conversion reports that the text
// could not be written.
class TextOut {
  public:
    TextOut(std::FILE *file, logs::BlockWriter &writer) : m_text(file, &writer) {}

    // Room for `size` characters (at most kLongestLine and the hex slack) at
    // the end of the text.
    char *reserve(size_t size) { return m_text.reserve(size); }
    void commit(char *end) { m_text.commit(end); }

    void put(const char *text, size_t size) { m_text.put(text, size); }
    void put(const char *text) { put(text, std::strlen(text)); }
    template <class... Args> void printf(const char *format, Args... args) {
        char line[256];
        int n = std::snprintf(line, sizeof line, format, args...);
        put(line, std::min(static_cast<size_t>(n < 0 ? 0 : n), sizeof line - 1));
    }

    // Hands everything on and waits until it is written; false when not all
    // of it went.
    bool finish() { return m_text.finish(); }
    bool failed() const { return m_text.failed(); }

  private:
    logs::TextBuffer m_text;
};
static_assert(kLongestLine + logs::kHexSlack <= logs::TextBuffer::kFallback);

// Number writers for the hot lines, as printf's %u, %02u, %2u and %02x.
char *put_unsigned(char *p, unsigned v) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0)
        *p++ = digits[--n];
    return p;
}

char *put_two(char *p, unsigned v, char fill) {
    if (v >= 100)
        return put_unsigned(p, v);
    *p++ = v >= 10 ? static_cast<char>('0' + v / 10) : fill;
    *p++ = static_cast<char>('0' + v % 10);
    return p;
}

char *put_hex(char *p, unsigned byte) {
    static const char kDigits[] = "0123456789abcdef";
    *p++ = kDigits[(byte >> 4) & 0xF];
    *p++ = kDigits[byte & 0xF];
    return p;
}

char *put_text(char *p, const char *text, size_t width) {
    const size_t n = std::strlen(text);
    std::memcpy(p, text, n);
    p += n;
    if (n < width) {
        std::memset(p, ' ', width - n);
        p += width - n;
    }
    return p;
}

template <size_t N> char *put_literal(char *p, const char (&text)[N]) {
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

// "[mm:ss.hh]" of every record line; below 100 each is a pair from a table.
char *put_time(char *p, unsigned mm, unsigned ss, unsigned hh) {
    static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324"
                                     "25262728293031323334353637383940414243444546474849"
                                     "50515253545556575859606162636465666768697071727374"
                                     "75767778798081828384858687888990919293949596979899";
    if (mm < 100 && ss < 100 && hh < 100) {
        // Stored where they go: a line put together elsewhere and copied
        // would be read back before its pieces had arrived.
        p[0] = '[';
        std::memcpy(p + 1, kPairs + 2 * mm, 2);
        p[3] = ':';
        std::memcpy(p + 4, kPairs + 2 * ss, 2);
        p[6] = '.';
        std::memcpy(p + 7, kPairs + 2 * hh, 2);
        p[9] = ']';
        return p + 10;
    }
    *p++ = '[';
    p = put_two(p, mm, '0');
    *p++ = ':';
    p = put_two(p, ss, '0');
    *p++ = '.';
    p = put_two(p, hh, '0');
    *p++ = ']';
    return p;
}

// "[mm:ss.hh]  [pp]: " of the state lines.
char *put_state_head(char *p, unsigned mm, unsigned ss, unsigned hh, unsigned pp) {
    p = put_time(p, mm, ss, hh);
    p = put_literal(p, "  [");
    p = put_two(p, pp, '0');
    return put_literal(p, "]: ");
}

// " t[pp]:" of the frame lines and of a record that is none: the record's
// type letter and its port.
char *put_port_head(char *p, unsigned type, unsigned pp) {
    *p++ = ' ';
    *p++ = static_cast<char>(type);
    *p++ = '[';
    p = put_two(p, pp, '0');
    return put_literal(p, "]:");
}

void trace_bytes(const uint8_t *b) {
    dbg_printf(" %02x %02x %02x %02x %02x %02x %02x %02x\n", b[0], b[1], b[2], b[3], b[4], b[5],
               b[6], b[7]);
}

unsigned u16_at(const uint8_t *b, size_t offset) {
    return b[offset] | (b[offset + 1] << 8);
}

unsigned leading_ff(const uint8_t *b) {
    unsigned n = 0;
    while (n < sizeof(trace_header_t) && b[n] == 0xFF)
        ++n;
    return n;
}

// One conversion: the walk over the records and its state.
class TraceWalk {
  public:
    TraceWalk(TraceInput &in, TextOut &out, uint8_t *record, long length, const char *label,
              logs::PcapngWriter *frames)
        : m_in(in), m_out(out), m_buf(record), m_length(length), m_left(length), m_label(label),
          m_frames(frames) {}

    // Returns the stop flag: 1 when the walk ended at invalid data.
    int run();
    // The records written as lines so far.
    uint64_t records() const { return m_records; }

  private:
    void progress(bool new_mark);
    void skip_ff_run();
    void record(unsigned mm, unsigned ss, unsigned hh);
    uint8_t read_code();
    void line_state(char *p, unsigned pp);
    void error_state(char *p);
    void clock_line(char *p, unsigned mm, unsigned ss);
    void switch_line(char *p, long size);
    void frame_line(char *p, long size, unsigned pp, bool sent);
    void invalid(char *p, long size);

    TraceInput &m_in;
    TextOut &m_out;
    uint8_t *m_buf; // the record buffer: header, then up to 292 data bytes
    uint8_t *m_data = m_buf + sizeof(trace_header_t);
    const long m_length;
    long m_left; // bytes from the current position to the end of the file
    const char *m_label;
    logs::PcapngWriter *m_frames;
    long m_mark = kProgressStart;
    unsigned m_last_mm = 0, m_last_ss = 0;
    unsigned m_day = 0, m_month = 0, m_year = 0, m_hour = 0;
    int m_stop = 0;
    uint64_t m_records = 0;
    // The debug trace is on: the per-record trace lines are written.  Asked
    // once, as a million records would otherwise ask a million times.
    const bool m_traced = dbg_enabled();
};

void TraceWalk::progress(bool new_mark) {
    if (m_label == nullptr || m_left + kProgressStep > m_mark)
        return;
    // Shown as the box's 32-bit counter would show it.
    platform::console_progress("\r%s %-8lu", m_label,
                               static_cast<unsigned long>(static_cast<uint32_t>(m_left)));
    if (new_mark)
        m_mark = m_left;
}

int TraceWalk::run() {
    while (!m_in.eof()) {
        progress(false);
        m_in.read(m_buf, sizeof(trace_header_t));
        if (m_in.eof())
            break;
        if (m_buf[0] == 0xFF) {
            skip_ff_run();
            if (m_left < 0)
                break;
        }
        const unsigned mm = m_buf[offsetof(trace_header_t, minute)];
        const unsigned ss = m_buf[offsetof(trace_header_t, second)];
        const unsigned tick = u16_at(m_buf, offsetof(trace_header_t, tick));
        const unsigned hh = static_cast<uint16_t>(tick * 2);
        m_left -= static_cast<long>(sizeof(trace_header_t));
        record(mm, ss, hh);
        m_records += m_stop ? 0 : 1; // invalid data is no record
        m_out.put("\n", 1);
        if (m_traced)
            dbg_printf("\n");
        progress(true);
        if (m_stop || m_out.failed())
            break;
        m_last_mm = mm;
        m_last_ss = ss;
    }
    if (m_label != nullptr) {
        platform::console_progress("\r%s         \r%s", m_label, m_label);
    }
    m_out.printf("[%2u.%02u.%02u %02u:%02u:%02u]\n", m_day, m_month, m_year, m_hour, m_last_mm,
                 m_last_ss);
    return m_stop;
}

// The header just read starts with 0xFF: unwritten space.  Skips the run in
// steps of 8 bytes to the first byte that is not 0xFF, or to the start of
// the next 64 KiB segment, and leaves the header found there in the buffer.
void TraceWalk::skip_ff_run() {
    const long start = m_in.tell() - static_cast<long>(sizeof(trace_header_t));
    dbg_printf("0xff detected: pos=%ld all=%ld:", start, m_left);
    trace_bytes(m_buf);
    long p = start;
    for (;;) {
        const unsigned n = leading_ff(m_buf);
        p += n;
        if ((p & (kTraceSegmentSize - 1)) == 0) {
            dbg_printf("segment end  : pos=%ld all=%ld\n", p, m_left);
            m_in.seek(p);
            m_left = m_length - p;
            m_in.read(m_buf, sizeof(trace_header_t));
            dbg_printf("segment begin: pos=%ld all=%ld:", p, m_left);
            trace_bytes(m_buf);
            m_out.printf("%*s trace segment changed\n", 10, "");
            break;
        }
        if (n < sizeof(trace_header_t)) {
            m_in.seek(p);
            m_left = m_length - p;
            m_in.read(m_buf, sizeof(trace_header_t));
            dbg_printf("trace detected  : pos=%ld all=%ld (blocksize=%ld)\n", p, m_left, p - start);
            m_out.printf("%*s 0xff block detected (size=%ld)!\n", 10, "", p - start);
            break;
        }
        m_left -= static_cast<long>(sizeof(trace_header_t));
        p = m_in.tell();
        // With nothing left the buffer still holds 0xFF bytes: the walk
        // reads them as a record of type 0xFF and stops at it.
        if (m_left <= 0)
            break;
        m_in.read(m_buf, std::min(sizeof(trace_header_t), static_cast<size_t>(m_left)));
        if (m_traced) {
            dbg_printf("pos=%ld, all=%ld:", p, m_left);
            trace_bytes(m_buf);
        }
        if (m_in.eof())
            break;
    }
    trace_bytes(m_buf);
}

// The one-byte state code of `1` and `e` records; 0 when the file ended.
uint8_t TraceWalk::read_code() {
    m_data[0] = 0;
    m_in.read(m_data, 1);
    m_left -= 1;
    return m_data[0];
}

void TraceWalk::record(unsigned mm, unsigned ss, unsigned hh) {
    const unsigned pp = m_buf[offsetof(trace_header_t, port)];
    const unsigned type = m_buf[offsetof(trace_header_t, type)];
    const long size = static_cast<long>(u16_at(m_buf, offsetof(trace_header_t, length))) - 4;
    if (m_frames)
        m_frames->record_time(mm, ss, hh);
    char *p = m_out.reserve(kLongestLine + logs::kHexSlack);
    switch (type) {
    case '1':
        line_state(put_state_head(p, mm, ss, hh, pp), pp);
        break;
    case 'b':
        p = put_time(p, mm, ss, hh);
        m_out.commit(put_literal(p, "        boot ======================="));
        break;
    case 'c':
        p = put_time(p, mm, ss, hh);
        switch_line(put_literal(p, "      : "), size);
        break;
    case 'e':
        error_state(put_state_head(p, mm, ss, hh, pp));
        break;
    case 'r':
    case 's':
        p = put_time(p, mm, ss, hh);
        frame_line(put_port_head(p, type, pp), size, pp, type == 's');
        break;
    case 't':
        clock_line(p, mm, ss);
        break;
    default:
        p = put_time(p, mm, ss, hh);
        invalid(put_port_head(p, type, pp), size);
        break;
    }
}

// `1`: the line interface of a port changed its state.  A code beyond the
// table has no name; the code itself is written.
void TraceWalk::line_state(char *p, unsigned pp) {
    const unsigned code = read_code();
    p = put_literal(p, pp < 2 ? "SBC dn " : "SBC up ");
    p = put_text(p, line_state_name(pp, code), 4);
    p = put_literal(p, " (");
    p = put_hex(p, code);
    m_out.commit(put_literal(p, ") -----------"));
}

// `e`: a port entered an error state.
void TraceWalk::error_state(char *p) {
    const unsigned code = read_code();
    p = put_literal(p, "error state ");
    p = put_text(p, error_state_name(code), 12);
    p = put_literal(p, " (");
    p = put_unsigned(p, code);
    m_out.commit(put_literal(p, ") -----------"));
}

// `t`: the box's clock; its date and hour stand in front of every later
// minute and second, in the text and in the capture.
void TraceWalk::clock_line(char *p, unsigned mm, unsigned ss) {
    std::memset(m_data, 0, 4);
    m_in.read(m_data, 4);
    m_left -= 4;
    m_hour = m_data[0];
    m_day = m_data[1];
    m_month = m_data[2];
    m_year = m_data[3];
    *p++ = '[';
    p = put_two(p, m_day, ' ');
    *p++ = '.';
    p = put_two(p, m_month, '0');
    *p++ = '.';
    p = put_two(p, m_year, '0');
    *p++ = ' ';
    p = put_two(p, m_hour, '0');
    *p++ = ':';
    p = put_two(p, mm, '0');
    *p++ = ':';
    p = put_two(p, ss, '0');
    *p++ = ']';
    m_out.commit(p);
    if (m_frames)
        m_frames->clock(m_day, m_month, m_year, m_hour);
}

// `c`: a connection switched on or off.  Fields that the record does not
// hold read as 0; data beyond the five fields is read past.
void TraceWalk::switch_line(char *p, long size) {
    if (size > 0) {
        std::memset(m_data, 0, 5);
        long rest = size;
        size_t piece = std::min(static_cast<size_t>(rest), kTraceDataSize);
        m_in.read(m_data, piece);
        const unsigned port1 = m_data[0], channel1 = m_data[1], port2 = m_data[2],
                       channel2 = m_data[3], state = m_data[4];
        for (rest -= static_cast<long>(piece); rest > 0 && !m_in.eof();
             rest -= static_cast<long>(piece)) {
            piece = std::min(static_cast<size_t>(rest), kTraceDataSize);
            m_in.read(m_data, piece);
        }
        p = put_literal(p, "switch ");
        p = put_unsigned(p, port1);
        *p++ = '/';
        p = put_unsigned(p, channel1);
        *p++ = ' ';
        *p++ = state != 0 ? '-' : 'x';
        *p++ = ' ';
        p = put_unsigned(p, port2);
        *p++ = '/';
        p = put_unsigned(p, channel2);
        p = state != 0 ? put_literal(p, " ON") : put_literal(p, " off");
        m_left -= size;
    }
    m_out.commit(p);
}

// `r` and `s`: a D-channel frame, each byte in hexadecimal.  A frame longer
// than the record buffer is read through it in pieces and written whole, so
// nothing of it is lost; one cut short by the end of the file is written as
// far as it goes.  A length below 4 announces no data.
void TraceWalk::frame_line(char *p, long size, unsigned pp, bool sent) {
    if (m_frames)
        m_frames->begin_frame(pp, sent);
    for (long rest = size; rest > 0;) {
        const size_t piece = std::min(static_cast<size_t>(rest), kTraceDataSize);
        // Most frames are read where the input window holds them.
        size_t held = kTraceDataSize;
        const uint8_t *data = m_in.view(piece, held);
        const size_t got = data ? piece : m_in.read(m_data, piece);
        if (!data)
            data = m_data;
        p = logs::put_spaced_hex(p, data, got, held);
        m_out.commit(p);
        if (m_frames)
            m_frames->add(data, got);
        if (got < piece)
            break;
        rest -= static_cast<long>(piece);
        p = m_out.reserve(kLongestLine + logs::kHexSlack);
    }
    m_out.commit(p);
    if (size > 0)
        m_left -= size;
    if (m_frames)
        m_frames->end_frame();
}

// Any other type: not a record.  The walk stops here; a few of the bytes
// that follow go to the trace to help find out what the data was.
void TraceWalk::invalid(char *p, long size) {
    m_out.commit(put_literal(p, " invalid data"));
    m_stop = 1;
    const size_t want = size > 0 ? std::min(static_cast<size_t>(size), kInvalidBytesTraced) : 0;
    const size_t got = m_in.read(m_data, want);
    for (size_t i = 0; i < got; ++i)
        dbg_printf(" %02x", m_data[i]);
}

// The buffers of one conversion besides the record buffer.
struct WalkBuffers {
    uint8_t window[kWindowSize];
};

} // namespace

const char *line_state_name(unsigned port, unsigned code) {
    if (code >= 16)
        return "";
    return port < 2 ? kStatesDown[code] : kStatesUp[code];
}

const char *error_state_name(unsigned code) {
    return code < std::size(kErrorStates) ? kErrorStates[code] : "";
}

Error convert_trace(std::FILE *binary, std::FILE *text, const char *label,
                    logs::PcapngWriter *frames, logs::TraceStats *stats) {
    logs::TrackedBlock record(kTraceBufferSize, "tracebuf");
    std::unique_ptr<WalkBuffers> buffers(new (std::nothrow) WalkBuffers);
    if (!record || !buffers)
        return Error::NoMemory;
    // The copy is a regular file, so its length is known; a stream whose
    // length cannot be told is read as an empty one.
    const long length = std::max(logs::stream_length(binary), 0L);
    dbg_printf("convert_trace: file length=%lu\n", length);
    logs::BlockWriter writer;
    TextOut out(text, writer);
    out.printf("binaer file length %lu bytes\n", static_cast<unsigned long>(length));
    if (length == 0) {
        out.put("binaer trace file have zero length!\nBREAK!\n");
        return out.finish() ? Error::EmptyTrace : Error::CannotWrite;
    }
    TraceInput in(binary, buffers->window);
    TraceWalk walk(in, out, record.data(), length, label, frames);
    const int stop = walk.run();
    if (stats) {
        stats->records = walk.records();
        stats->invalid_data = stop == 1;
    }
    if (!out.finish())
        return Error::CannotWrite;
    return stop == 1 ? Error::InvalidData : Error::Ok;
}

namespace {

// Converts the copy into the text file and, when one is named, the capture.
// Returns convert_trace's error, or CannotWrite with `unwritten` set to the
// file that could not be written (left as it is for the text file).
Error write_trace_files(std::FILE *copy, const char *textfile, const char *label,
                        const char *pcapng, const char *&unwritten, logs::TraceStats *stats) {
    // The text and the capture go in place together or not at all.
    platform::Publication together;
    platform::OutputFile text;
    if (textfile == nullptr || !text.create(textfile, "wt")) {
        dbg_printf("%s", logs::cannot_write_message(textfile).c_str());
        return Error::CannotWrite;
    }
    platform::OutputFile capture;
    if (pcapng && !capture.create(pcapng, "wb")) {
        dbg_printf("%s", logs::cannot_write_message(pcapng).c_str());
        unwritten = pcapng;
        return Error::CannotWrite;
    }
    std::optional<logs::PcapngWriter> frames;
    if (capture)
        frames.emplace(capture.get());
    const Error result = convert_trace(copy, text.get(), label, frames ? &*frames : nullptr, stats);
    // A text or capture that did not reach the disk whole is not a
    // conversion: a full disk must not look like success, and the files
    // keep their old content.  The texts of an empty trace, of invalid data
    // and of a missing record buffer are results of their own and stay.
    if (result == Error::CannotWrite || !text.commit())
        return Error::CannotWrite;
    if (capture && !(frames->ok() && capture.commit())) {
        unwritten = pcapng;
        return Error::CannotWrite;
    }
    if (!together.publish()) {
        if (capture && together.failed() == capture.path())
            unwritten = pcapng;
        return Error::CannotWrite;
    }
    return result;
}

} // namespace

JobOutcome make_trace(const char *binfile, const char *textfile, const char *label,
                      const char *pcapng, std::string *message, logs::TraceStats *stats) {
    JobOutcome done;
    const char *unwritten = "DTRACE"; // the name hosts get when the text fails
    {
        const logs::CacheRelease release({textfile, pcapng});
        logs::TempCopy copy("DTRACE");
        dbg_printf("mktrace(\"%s\", \"%s\",\n", logs::text_or_null(binfile),
                   logs::text_or_null(textfile));
        const Error copied = copy.copy_from(binfile);
        if (copied != Error::Ok)
            copy.add_failure(copied, binfile, done);
        else
            done.error =
                write_trace_files(copy.stream(), textfile, label, pcapng, unwritten, stats);
    } // the copy is deleted here, after every outcome

    if (done.error == Error::CannotWrite)
        done.failed.push_back(
            {unwritten == pcapng ? logs::text_or_null(pcapng) : logs::text_or_null(textfile),
             Error::CannotWrite, platform::last_error()});
    else if (done.error == Error::EmptyTrace)
        done.failed.push_back({logs::text_or_null(binfile), Error::EmptyTrace, 0});
    std::string text = logs::result_message(done.error, binfile, unwritten);
    if (!done.ok()) {
        // The host's buffer holds the message when there is one, else the label.
        const char *shown = label == nullptr ? "" : text.empty() ? label : text.c_str();
        dbg_printf("mktrace:Error %d (%s)\n", export_result(ResultFamily::Converter, done.error),
                   shown);
    }
    if (message)
        *message = text;
    return done;
}

} // namespace vorn

extern "C" VORN_B32_API int32_t mktrace(const char *binfile, const char *textfile, char *label) {
    try {
        std::string message;
        const vorn::JobOutcome done = vorn::make_trace(binfile, textfile, label, nullptr, &message);
        if (!message.empty())
            vorn::logs::copy_message(label, message.c_str());
        return vorn::export_result(vorn::ResultFamily::Converter, done.error);
    } catch (...) {
        // Only the message and trace texts allocate here; without memory the
        // host gets the no-memory result.
        vorn::logs::copy_message(label, vorn::no_memory_message_text().c_str());
        return vorn::export_result(vorn::ResultFamily::Converter, vorn::Error::NoMemory);
    }
}
