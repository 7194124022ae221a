// Pieces shared by the log converters (event log, call log, protocol trace).
//
// Each converter export traces its call, opens or copies its binary input,
// converts it record by record into text files, gives back what it took and
// ends with the library's Error, which the export turns into its number
// (frame/export_results.h) and whose fixed message it copies into the host's
// optional buffer.  The handles below close, free and delete on every
// way out, so an early return never leaks a stream, a block or a temporary
// file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "frame/error.h"
#include "logs/block_writer.h"
#include "platform/output_file.h"

namespace vorn::logs {

// The trace writes "NULL" for a text the host left out.
inline const char *text_or_null(const char *text) {
    return text ? text : "NULL";
}

// An input stream that is closed when the handle goes out of scope (outputs
// are platform::OutputFile).
class File {
  public:
    File() = default;
    explicit File(std::FILE *stream) : m_stream(stream) {}
    ~File() { close(); }
    File(File &&other) noexcept : m_stream(other.m_stream) { other.m_stream = nullptr; }
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    std::FILE *get() const { return m_stream; }
    explicit operator bool() const { return m_stream != nullptr; }
    // Closes now.
    void close();

  private:
    std::FILE *m_stream = nullptr;
};

// Opens a binary input for reading ("rb").  Only a regular file is an
// input: a folder reads as nothing, a FIFO would block the open and a device
// such as /dev/zero never ends; each is refused like an unreadable file.
File open_for_reading(const char *path);

// True when both paths name one file, however they name it: one existing
// file, or one place in one folder for a file still to be made.
bool same_output(const char *a, const char *b);

// The length of a stream that cannot be told.
inline constexpr long kUnknownLength = -1;

// Length of the file behind an open stream, whatever its read position (which
// is left where it was); kUnknownLength when it cannot be told.
long stream_length(std::FILE *stream);

// A zero-filled block from myAlloc, given back with myFree under the same tag
// when the handle goes out of scope.  Empty when myAlloc had no block.
class TrackedBlock {
  public:
    TrackedBlock(size_t size, const char *tag);
    ~TrackedBlock();
    TrackedBlock(const TrackedBlock &) = delete;
    TrackedBlock &operator=(const TrackedBlock &) = delete;

    uint8_t *data() const { return m_data; }
    size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

  private:
    uint8_t *m_data;
    size_t m_size;
    const char *m_tag;
};

// The fixed messages that the converters hand back to their hosts.  A host
// provides room for 39 bytes, and for the named file plus 18 bytes.
std::string cannot_read_message(const char *name);  // Error::CannotRead
std::string cannot_write_message(const char *name); // Error::CannotWrite
// The no-memory text, also written to the trace so that it is seen even when
// the host passed no buffer.
std::string no_memory_message();

// The message of an error that every converter gives: the input or its copy
// not read whole names `input`, no memory has its words, an output not
// written or an event log of unknown version names `output`; empty for any
// other.
std::string result_message(Error error, const char *input, const char *output);

// Copies a fixed message into the host's buffer; nothing when it is absent.
void copy_message(char *buffer, const char *text);

// A whole input file in one block of memory, backed by huge pages where the
// system offers them: records read from anywhere in it seldom miss the
// processor's address cache.
class InputImage {
  public:
    InputImage() = default;
    ~InputImage();
    InputImage(const InputImage &) = delete;
    InputImage &operator=(const InputImage &) = delete;

    // Reads `stream` from its start to its end; false, with the image empty
    // and the stream at its start again, when there is no memory for it, it
    // cannot be read or it grew while being read.
    bool read(std::FILE *stream);

    const uint8_t *data() const { return m_data; }
    size_t size() const { return m_size; }
    explicit operator bool() const { return m_data != nullptr; }

  private:
    void release();
    uint8_t *m_data = nullptr;
    size_t m_size = 0;
};

// A temporary binary copy of a converter's input.  The call log and trace
// converters work on such a copy (the call log sorts it in place), so the
// fetched file itself is never changed.  The copy is named by make_fname from
// a stem ("LOGCAL", "DTRACE") and lives in the thread's temporary folder when
// one is set; the name is only told, the file itself never has it, so it
// goes with the process however that ends.
class TempCopy {
  public:
    explicit TempCopy(const char *stem);
    ~TempCopy();
    TempCopy(const TempCopy &) = delete;
    TempCopy &operator=(const TempCopy &) = delete;

    // The copy's path (empty when no unique name could be made).
    const char *name() const { return m_name.c_str(); }

    // Copies the file `source` into the copy and rewinds the copy for
    // reading.  Returns Ok; CannotRead when the source cannot be opened,
    // TemporaryCopyMissing when the copy cannot be created, NoMemory without
    // the buffer, ShortRead when the source could not be read whole and
    // TemporaryCopyShort when the copy could not be written whole.  Every
    // failure is traced with the message and an empty line.
    Error copy_from(const char *source);

    // The same, through memory: the source is read whole into `image` and
    // `writer`'s thread writes the copy from there, while the caller works
    // on the image.  finish_copy() waits for it and gives copy_from's result
    // of the writing.  Where the image cannot be had (no memory for it, a
    // source that grows while read) the copy is made as copy_from makes it,
    // and `image` stays empty.
    Error copy_from(const char *source, InputImage &image, BlockWriter &writer);
    Error finish_copy();

    // Adds the failure `error` of copy_from or finish_copy to `outcome`: the
    // copy's errors name the temporary folder, the others `source`.
    void add_failure(Error error, const char *source, JobOutcome &outcome) const;

    // The copy, open for reading and writing after a successful copy_from.
    std::FILE *stream() const { return m_file.get(); }

  private:
    Error open_copy(const char *source, File &input);
    Error copy_stream(std::FILE *input);
    // copy_from through `image` when it is given.
    Error copy_through(const char *source, InputImage *image, BlockWriter *writer);

    std::string m_name;
    int m_system_error = 0;        // the system's reason of the last failure
    bool m_opened = false;         // the copy is open
    platform::UnnamedFile m_place; // the file behind the copy, without a name
    File m_file;
    BlockWriter::Client m_writing;   // the copy in the writer's hands
    BlockWriter *m_writer = nullptr; // set while it is
};

} // namespace vorn::logs
