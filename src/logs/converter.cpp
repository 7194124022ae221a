// The pieces every log converter shares (see converter.h): stream and block
// handles, the fixed messages for the host, and the temporary copy of an
// input.
#include "logs/converter.h"

#include "frame/error.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstring>

namespace vorn::logs {

File &File::operator=(File &&other) noexcept {
    if (this != &other) {
        close();
        m_stream = other.m_stream;
        other.m_stream = nullptr;
    }
    return *this;
}

void File::close() {
    if (m_stream)
        std::fclose(m_stream);
    m_stream = nullptr;
}

File open_for_reading(const char *path) {
    return File(path != nullptr ? platform::open_regular_file(path) : nullptr);
}

namespace {

// Where a path leads: the file with its links resolved, or, for a file
// still to be made, its resolved folder and its name.
std::string place_of(const char *path) {
    if (platform::file_identity(path).kind != platform::FileIdentity::Missing)
        return platform::resolved_path(path);
    const std::string text(path);
    const size_t cut = text.find_last_of("/\\");
    if (cut == std::string::npos)
        return platform::resolved_path(".") + "/" + text;
    const std::string folder = cut == 0 ? text.substr(0, 1) : text.substr(0, cut);
    return platform::resolved_path(folder.c_str()) + "/" + text.substr(cut + 1);
}

} // namespace

bool same_output(const char *a, const char *b) {
    if (a == nullptr || b == nullptr)
        return false;
    const platform::FileIdentity ia = platform::file_identity(a);
    const platform::FileIdentity ib = platform::file_identity(b);
    if (ia.kind != platform::FileIdentity::Missing && ib.kind != platform::FileIdentity::Missing)
        return ia.device == ib.device && ia.inode == ib.inode;
    return place_of(a) == place_of(b);
}

long stream_length(std::FILE *stream) {
    long position = std::ftell(stream);
    if (position < 0 || std::fseek(stream, 0, SEEK_END) != 0)
        return kUnknownLength;
    long length = std::ftell(stream);
    if (std::fseek(stream, position, SEEK_SET) != 0)
        return kUnknownLength;
    return length;
}

TrackedBlock::TrackedBlock(size_t size, const char *tag)
    : m_data(static_cast<uint8_t *>(myAlloc(size, tag))), m_size(m_data ? size : 0), m_tag(tag) {}

TrackedBlock::~TrackedBlock() {
    if (m_data)
        myFree(m_data, m_tag);
}

std::string cannot_read_message(const char *name) {
    return file_error_message(Error::CannotRead, name);
}

std::string cannot_write_message(const char *name) {
    return file_error_message(Error::CannotWrite, name);
}

std::string no_memory_message() {
    const std::string text = no_memory_message_text();
    dbg_printf("%s\n", text.c_str());
    return text;
}

std::string result_message(Error error, const char *input, const char *output) {
    switch (error) {
    case Error::CannotRead:
    case Error::ShortRead:
    case Error::TemporaryCopyMissing:
    case Error::TemporaryCopyShort:
        return cannot_read_message(input);
    case Error::NoMemory:
        return no_memory_message();
    case Error::CannotWrite:
    case Error::UnknownEventVersion:
        return cannot_write_message(output);
    default:
        return std::string();
    }
}

void copy_message(char *buffer, const char *text) {
    if (buffer && text)
        std::memcpy(buffer, text, std::strlen(text) + 1);
}

namespace {

// The folder part of a path ("." when it has none).
std::string folder_of(const std::string &path) {
    const size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

} // namespace

TempCopy::TempCopy(const char *stem) {
    // Without a unique name there is nothing of ours to create or delete;
    // copy_from then fails as for a copy that cannot be created.
    if (stem != nullptr)
        m_name = make_unique_name(stem);
    // The copy is made in the folder of its name without taking the name,
    // so that no kill can leave it behind.
    if (!m_name.empty() && m_place.create(folder_of(m_name))) {
        m_file = File(m_place.open_stream());
        m_opened = static_cast<bool>(m_file);
    }
    if (!m_opened)
        m_system_error = platform::last_error();
}

TempCopy::~TempCopy() {
    finish_copy(); // the writer's thread may still be writing the copy
    m_file.close();
}

// Opens the source and the copy; copy_from's errors for either failing.
Error TempCopy::open_copy(const char *source, File &input) {
    input = open_for_reading(source);
    if (!input) {
        m_system_error = platform::last_error();
        dbg_printf("%s", cannot_read_message(source).c_str());
        dbg_printf("\n");
        return Error::CannotRead;
    }
    if (!m_file) {
        dbg_printf("%s", cannot_write_message(m_name.c_str()).c_str());
        dbg_printf("\n");
        return Error::TemporaryCopyMissing;
    }
    return Error::Ok;
}

// The bytes move in the kernel in large pieces.
Error TempCopy::copy_stream(std::FILE *input) {
    constexpr size_t kPiece = size_t{8} << 20;
    Error err = Error::Ok;
    bool at_end = false;
    unsigned long long total = 0;
    for (;;) {
        const long long put = platform::copy_file_piece(input, m_file.get(), kPiece);
        if (put <= 0) {
            at_end = put == 0;
            if (put < 0) {
                // Only a write meets a full disk or a size limit: the copy
                // failed, not the source.
                m_system_error = platform::last_error();
                err = platform::is_write_refusal(m_system_error) ? Error::TemporaryCopyShort
                                                                 : Error::ShortRead;
            }
            break;
        }
        total += static_cast<unsigned long long>(put);
        dbg_printf("copy %u bytes, err=%d\n", static_cast<unsigned>(put),
                   export_result(ResultFamily::Converter, err));
    }
    dbg_printf("err=%d feof(intmp)=%d size=%d\n", export_result(ResultFamily::Converter, err),
               at_end ? 1 : 0, static_cast<int>(total));
    if (err != Error::Ok)
        return err;
    std::rewind(m_file.get());
    dbg_printf("make bin copy to <%s>\n", m_name.c_str());
    return Error::Ok;
}

// The block of 4096 bytes is the copy's memory as hosts see it in the
// allocator's trace and in the no-memory result.
constexpr size_t kCopyBlock = 4096;

Error TempCopy::copy_from(const char *source) {
    return copy_through(source, nullptr, nullptr);
}

Error TempCopy::copy_from(const char *source, InputImage &image, BlockWriter &writer) {
    return copy_through(source, &image, &writer);
}

Error TempCopy::copy_through(const char *source, InputImage *image, BlockWriter *writer) {
    File input;
    if (const Error err = open_copy(source, input); err != Error::Ok)
        return err;
    TrackedBlock buffer(kCopyBlock, "buf");
    if (!buffer) {
        dbg_printf("%s", no_memory_message_text().c_str());
        dbg_printf("\n");
        return Error::NoMemory;
    }
    if (image == nullptr || !image->read(input.get()))
        return copy_stream(input.get());
    m_writing.stream = m_file.get();
    m_writer = writer;
    writer->write(m_writing, 0, reinterpret_cast<const char *>(image->data()), image->size(),
                  false);
    return Error::Ok;
}

Error TempCopy::finish_copy() {
    if (m_writer == nullptr)
        return Error::Ok;
    m_writer->wait(m_writing, 0);
    m_writer = nullptr;
    if (m_writing.failed.load()) {
        // The writer's thread saw the reason; it is found again here.
        m_system_error = platform::write_failure_reason(m_file.get());
        platform::set_last_error(m_system_error);
        return Error::TemporaryCopyShort;
    }
    if (std::fflush(m_file.get()) != 0) {
        m_system_error = platform::last_error();
        return Error::TemporaryCopyShort;
    }
    std::rewind(m_file.get());
    return Error::Ok;
}

void TempCopy::add_failure(Error error, const char *source, JobOutcome &outcome) const {
    if (error == Error::TemporaryCopyMissing || error == Error::TemporaryCopyShort)
        outcome.fail(error, m_name.empty() ? std::string(".") : folder_of(m_name), m_system_error);
    else if (error != Error::NoMemory)
        outcome.fail(error, text_or_null(source), m_system_error);
    else
        outcome.error = error;
}

InputImage::~InputImage() {
    release();
}

void InputImage::release() {
    platform::global_free(m_data);
    m_data = nullptr;
    m_size = 0;
}

bool InputImage::read(std::FILE *stream) {
    release();
    const long length = stream_length(stream);
    // A positive long fits a size_t wherever the library is built.
    if (length <= 0)
        return false;
    const size_t size = static_cast<size_t>(length);
    m_data = static_cast<uint8_t *>(platform::global_alloc(size));
    // Read in pieces: a single read of tens of megabytes was seen to take
    // ten times as long as its pieces.
    constexpr size_t kPiece = size_t{1} << 20;
    size_t got = 0;
    while (m_data != nullptr && got < size) {
        const size_t piece = std::min(size - got, kPiece);
        if (std::fread(m_data + got, 1, piece, stream) != piece)
            break;
        got += piece;
    }
    if (got == size && std::fgetc(stream) == EOF && !std::ferror(stream)) {
        m_size = size;
        return true;
    }
    release();
    std::clearerr(stream);
    std::rewind(stream);
    return false;
}

} // namespace vorn::logs
