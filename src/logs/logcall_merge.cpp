// Merging two call lists (as mklogcall writes them) into one list ordered by
// the end time of each line, behind the export merge_logcall.
//
// When the merged list takes the place of an input, it is written beside
// that input, flushed to the disk and renamed over it in one step: a crash
// or a power loss at any moment leaves either the old list or the complete
// merged one under the name, never neither.  The list is locked from its
// read to its replacement, so merges into one list run one after the other
// and none of them loses the lines of another.
#include "frame/export_results.h"
#include "frame/frame.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "logs/text_buffer.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace vorn {
namespace {

// A list is read in pieces of at most 253 characters (a buffer of 254); each
// piece counts as a line of its own.
constexpr size_t kLineBuffer = 254;
constexpr size_t kPieceMax = kLineBuffer - 1;

// Positions of the end time in a line without arrow and with a start time.
constexpr long kArrowWidth = 4;  // "->" or "<-" and the two-character marker
constexpr long kStartWidth = 17; // "dd.mm.yy-hh:mm:ss", without its ";"
constexpr long kEndDay = 18;
constexpr long kEndMonth = 21;
constexpr long kEndYear = 24;
constexpr long kEndRest = 26; // the "-" before the end time of day

// One input list: the piece last read, its merge key and the read position.
// The list is read through a block of its own and scanned for line ends,
// instead of a stream call per character.
struct ListReader {
    static constexpr size_t kBlock = 64 * 1024;

    std::FILE *file;
    long length;
    long position = 0; // bytes taken from the file, CR of CR LF included
    bool ended = false;
    char line[kLineBuffer];
    size_t size = 0;
    char key[kLineBuffer];
    size_t key_size = 0;

    explicit ListReader(std::FILE *f)
        : file(f), length(logs::stream_length(f)), m_block(new (std::nothrow) char[kBlock]),
          m_text(m_block ? m_block.get() : m_fallback),
          m_capacity(m_block ? kBlock : sizeof m_fallback) {}

    // The next piece: up to a line feed (kept) or 253 characters.  A CR LF
    // end counts as one line feed, as text mode reads it.
    void read() {
        size = 0;
        while (size < kPieceMax && (m_at < m_filled || fill())) {
            // The characters up to the next CR or LF go as they are.
            const size_t room = std::min(kPieceMax - size, m_filled - m_at);
            const char *from = m_text + m_at;
            const void *lf = std::memchr(from, '\n', room);
            size_t plain = lf ? static_cast<size_t>(static_cast<const char *>(lf) - from) : room;
            if (const void *cr = std::memchr(from, '\r', plain))
                plain = static_cast<size_t>(static_cast<const char *>(cr) - from);
            std::memcpy(line + size, from, plain);
            size += plain;
            advance(plain);
            if (plain == room)
                continue;
            char c = m_text[m_at];
            advance(1);
            if (c == '\r' && (m_at < m_filled || fill()) && m_text[m_at] == '\n') {
                advance(1);
                c = '\n';
            }
            line[size++] = c;
            if (c == '\n')
                break;
        }
        // A read error ends the list like its end does.
        ended = size == 0;
        if (!ended)
            make_key();
    }

    // Characters of the line only: where a short line has none, the key
    // part stays empty, so such lines order by what they do hold.
    void take(long from, long count) {
        if (from < 0 || static_cast<size_t>(from) >= size)
            return;
        const size_t n = std::min(static_cast<size_t>(count), size - static_cast<size_t>(from));
        std::memcpy(key + key_size, line + from, n);
        key_size += n;
    }

    // End year, month and day, then the rest of the line from the "-"
    // before the end time of day.  A line with an arrow has its times four
    // characters later; a line whose start time is missing ("; " in its
    // place) has its end time 17 characters earlier.
    void make_key() {
        long p = size > 0 && (line[0] == '<' || line[0] == '-') ? kArrowWidth : 0;
        if (static_cast<size_t>(p) < size && line[p] == ';')
            p -= kStartWidth;
        key_size = 0;
        take(p + kEndYear, 2);
        take(p + kEndMonth, 2);
        take(p + kEndDay, 2);
        take(p + kEndRest, static_cast<long>(kLineBuffer));
    }

  private:
    // Moves the read position `n` characters on.
    void advance(size_t n) {
        m_at += n;
        position += static_cast<long>(n);
    }
    // The next block of the list; false at its end (or a read error, which
    // stays the end from then on).
    bool fill() {
        m_at = 0;
        m_filled = m_eof ? 0 : std::fread(m_text, 1, m_capacity, file);
        m_eof = m_filled == 0;
        return !m_eof;
    }

    std::unique_ptr<char[]> m_block;
    char m_fallback[kLineBuffer];
    char *m_text;
    size_t m_capacity;
    size_t m_at = 0;
    size_t m_filled = 0;
    bool m_eof = false;
};

int lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Keys compared without regard to case, as unsigned characters; a key that
// is the beginning of the other sorts first.
int compare_keys(const ListReader &a, const ListReader &b) {
    const size_t n = a.key_size < b.key_size ? a.key_size : b.key_size;
    for (size_t i = 0; i < n; ++i) {
        int d = lower(static_cast<unsigned char>(a.key[i])) -
                lower(static_cast<unsigned char>(b.key[i]));
        if (d != 0)
            return d;
    }
    return a.key_size < b.key_size ? -1 : (a.key_size > b.key_size ? 1 : 0);
}

// The folder part of a path ("." when it has none), for a file beside it.
std::string folder_of(const std::string &path) {
    size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

} // namespace

Error merge_logcall_lines(std::FILE *in1, std::FILE *in2, std::FILE *out, logs::MergeStats *stats) {
    if (in1 == nullptr || in2 == nullptr || out == nullptr)
        return Error::CannotWrite;
    Error result = Error::CannotWrite;
    ListReader first(in1), second(in2);
    dbg_printf("size FileIn1 = %ld\n", first.length);
    dbg_printf("size FileIn2 = %ld\n", second.length);
    enum { Both, First, Second } side = Both;
    // The merged lines go out in large blocks; a block that could not be
    // written ends the merge as a failed line write would.
    logs::BlockWriter writer;
    logs::TextBuffer merged(out, &writer);
    for (;;) {
        if (side != Second)
            first.read();
        if (side != First)
            second.read();
        if (first.ended && second.ended) {
            result = Error::Ok;
            break;
        }
        if (first.position > first.length || second.position > second.length) {
            dbg_printf("FileIn1 %ld/%ld\n", first.position, first.length);
            dbg_printf("FileIn2 %ld/%ld\n", second.position, second.length);
            dbg_printf("wrong position!!!\n");
            result = Error::InputGrew;
            break;
        }
        // On equal keys the second list's line goes first.
        const bool take_first = second.ended || (!first.ended && compare_keys(first, second) < 0);
        const ListReader &chosen = take_first ? first : second;
        merged.put(chosen.line, chosen.size);
        if (merged.failed()) {
            result = Error::CannotWrite;
            break;
        }
        side = take_first ? First : Second;
        if (stats)
            ++(take_first ? stats->first : stats->second);
    }
    if (!merged.finish())
        result = Error::CannotWrite;
    dbg_printf("size FileOut = %ld\n", std::ftell(out));
    return result;
}

void report_merge_error(Error failure) {
    if (failure == Error::Ok)
        return;
    const int code = export_result(ResultFamily::Merge, failure);
    const int error = platform::last_error();
    char text[400];
    if (error != 0)
        std::snprintf(text, sizeof text, "%s: ERROR %d <%d:%s>\n", "LCMERGE", code, error,
                      std::strerror(error));
    else
        std::snprintf(text, sizeof text, "%s: ERROR %d\n", "LCMERGE", code);
    dbg_error(text);
}

namespace {

// Opens both lists.  False when the first or second list cannot be read:
// `done` names it, the failure is reported with the error of that open (the
// second's when both fail) and neither list stays open.
bool open_inputs(const char *first, const char *second, logs::File &in1, logs::File &in2,
                 JobOutcome &done) {
    in1 = logs::open_for_reading(first);
    int error = in1 ? 0 : platform::last_error();
    in2 = logs::open_for_reading(second);
    if (!in2) {
        error = platform::last_error();
        done.fail(Error::SecondListUnreadable, logs::text_or_null(second), error);
    } else if (!in1) {
        done.fail(Error::FirstListUnreadable, logs::text_or_null(first), error);
    }
    if (!done.ok()) {
        in1.close();
        in2.close();
        platform::set_last_error(error);
        report_merge_error(done.error);
    }
    return done.ok();
}

// The list that the merged list replaces: the first list when no other
// destination is named, or an input that the destination names under
// another name (so that no input is emptied before it is read); nullptr
// when the merged list goes to a destination of its own.
const char *replaced_list(const char *first, const char *second, const char *destination) {
    // The destination names the first list when both are one file; a name
    // in other letters names another file where the file system tells
    // letters apart.
    if (destination == nullptr || logs::same_output(destination, first))
        return first;
    return logs::same_output(destination, second) ? second : nullptr;
}

// Where the merged list goes: the named destination, or, when the merge
// replaces a list, a unique file beside that list.
struct MergeOutput {
    const char *replaced = nullptr;
    std::string resolved; // the list to replace, its links resolved
    std::string staging;  // the unique name beside it
    platform::OutputFile out;

    const char *name(const char *destination) const {
        return replaced != nullptr ? staging.c_str() : destination;
    }
};

// Opens the merged list.  False when it cannot be opened; a unique name
// made for it is removed again.
bool open_output(const char *destination, MergeOutput &m) {
    if (m.replaced == nullptr)
        return destination != nullptr && m.out.create(destination, "w");
    m.resolved = platform::resolved_path(m.replaced);
    // The merged list grows without a name of its own, so that a kill
    // leaves nothing: its unique name is made as a file only when a failed
    // merge keeps the lines merged so far.
    m.staging = make_unique_name((folder_of(m.resolved) + "/MERGE").c_str());
    if (m.staging.empty())
        return false;
    return m.out.create(m.resolved.c_str(), "w");
}

// Puts the merged list in place.  Returns the merge's error, CannotWrite
// when the list did not reach the disk whole, or FirstListUnreadable when it
// could not take the replaced list's name.
Error finish_output(const char *first, const char *second, const char *out_name, MergeOutput &m,
                    Error result) {
    const bool written = result == Error::Ok && platform::sync_stream(m.out.get()) == 0 &&
                         std::ferror(m.out.get()) == 0;
    if (result == Error::Ok && !written)
        result = Error::CannotWrite;
    dbg_printf("end merge <%s>+<%s> -> <%s>\n", first, second, out_name);
    if (result == Error::InputGrew && m.replaced == nullptr) {
        // An input that changed under the merge: the destination keeps the
        // lines merged so far, as a host of the list expects.
        m.out.commit();
        return result;
    }
    if (result != Error::Ok) {
        // A failed replacement keeps the merged lines under the temporary
        // name and the first list as it was, so that nothing merged so far
        // is lost; a separate destination stays as it was.
        const int error = platform::last_error();
        if (m.replaced != nullptr) {
            // The name is taken again as a new file, or another unique one.
            std::string kept = m.staging;
            if (platform::create_new_file(kept.c_str()) != 0)
                kept = make_unique_file((folder_of(m.resolved) + "/MERGE").c_str());
            if (kept.empty() || !m.out.keep_staged(kept)) {
                m.out.discard();
                if (!kept.empty())
                    platform::remove_file(kept.c_str());
            }
        } else
            m.out.discard();
        platform::set_last_error(error);
        return result;
    }
    if (m.replaced != nullptr)
        dbg_printf("rename <%s> to <%s>\n", m.staging.c_str(), m.resolved.c_str());
    if (!m.out.commit())
        return m.replaced != nullptr ? Error::FirstListUnreadable : Error::CannotWrite;
    return Error::Ok;
}

} // namespace

JobOutcome merge_call_lists(const char *first, const char *second, const char *destination,
                            logs::MergeStats *stats) {
    // Only errors of this merge belong into its report.
    platform::set_last_error(0);
    MergeOutput m;
    m.replaced =
        first != nullptr && second != nullptr ? replaced_list(first, second, destination) : nullptr;
    // A list that is read and then replaced is held for the whole merge.
    platform::FileLock lock;
    if (m.replaced != nullptr && !lock.lock(platform::resolved_path(m.replaced).c_str()))
        platform::set_last_error(0); // a list that is missing fails its open below
    JobOutcome done;
    logs::File in1, in2;
    if (!open_inputs(first, second, in1, in2, done))
        return done;
    // The merged list is named as the caller named it.
    const char *target = m.replaced != nullptr ? m.replaced : destination;
    if (!open_output(destination, m)) {
        const int reason = platform::last_error();
        in1.close();
        in2.close();
        report_merge_error(Error::CannotCreate);
        done.fail(Error::CannotCreate, logs::text_or_null(target), reason);
        return done;
    }

    const char *out_name = m.name(destination);
    dbg_printf("merge <%s>+<%s> -> <%s>\n", first, second, out_name);
    Error result = merge_logcall_lines(in1.get(), in2.get(), m.out.get(), stats);
    in1.close();
    in2.close();
    result = finish_output(first, second, out_name, m, result);
    report_merge_error(result);
    if (result != Error::Ok)
        done.fail(result, logs::text_or_null(target), platform::last_error());
    return done;
}

} // namespace vorn

extern "C" VORN_B32_API int32_t merge_logcall(const char *first, const char *second,
                                              const char *destination) {
    try {
        return vorn::export_result(vorn::ResultFamily::Merge,
                                   vorn::merge_call_lists(first, second, destination).error);
    } catch (...) {
        // Only texts allocate here; without memory nothing could be written.
        return vorn::export_result(vorn::ResultFamily::Merge, vorn::Error::CannotCreate);
    }
}
