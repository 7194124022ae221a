// The pieces every log converter shares (see converter.h): stream and block
// handles, the fixed messages for the host, and the temporary copy of an
// input.
#include "logs/converter.h"

#include "frame/file_messages.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "trace/trace.h"
#include "vorn_b32.h"

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

int File::close() {
    int result = 0;
    if (m_stream)
        result = std::fclose(m_stream);
    m_stream = nullptr;
    return result;
}

bool File::close_written() {
    const bool failed_before = m_stream && std::ferror(m_stream);
    return close() == 0 && !failed_before;
}

File open_file(const char *path, const char *mode) {
    if (!path)
        return File();
    return File(platform::open_stream(path, mode));
}

File open_for_reading(const char *path) {
    return File(path != nullptr ? platform::open_regular_file(path) : nullptr);
}

bool same_file(const char *a, const char *b) {
    if (a == nullptr || b == nullptr)
        return false;
    const platform::FileIdentity ia = platform::file_identity(a);
    const platform::FileIdentity ib = platform::file_identity(b);
    return ia.kind != platform::FileIdentity::Missing &&
           ib.kind != platform::FileIdentity::Missing && ia.device == ib.device &&
           ia.inode == ib.inode;
}

long stream_length(std::FILE *stream) {
    long position = std::ftell(stream);
    if (position < 0 || std::fseek(stream, 0, SEEK_END) != 0)
        return -1;
    long length = std::ftell(stream);
    if (std::fseek(stream, position, SEEK_SET) != 0)
        return -1;
    return length;
}

TrackedBlock::TrackedBlock(size_t size, const char *tag)
    : m_data(static_cast<uint8_t *>(myAlloc(size, tag))), m_size(m_data ? size : 0), m_tag(tag) {}

TrackedBlock::~TrackedBlock() {
    if (m_data)
        myFree(m_data, m_tag);
}

std::string cannot_read_message(const char *name) {
    return file_message(FileMessage::CannotRead, name);
}

std::string cannot_write_message(const char *name) {
    return file_message(FileMessage::CannotWrite, name);
}

std::string no_memory_message() {
    dbg_printf("%s\n", kNoMemoryText);
    return kNoMemoryText;
}

std::string result_message(int result, const char *input, const char *output) {
    switch (result) {
    case -1:
    case -3:
        return cannot_read_message(input);
    case -2:
        return no_memory_message();
    case -4:
        return cannot_write_message(output);
    default:
        return std::string();
    }
}

void copy_message(char *buffer, const char *text) {
    if (buffer && text)
        std::memcpy(buffer, text, std::strlen(text) + 1);
}

TempCopy::TempCopy(const char *stem) {
    // Without a unique name there is nothing of ours to create or delete;
    // copy_from then fails as for a copy that cannot be created.
    m_named = stem && make_fname(stem, m_name, nullptr) != nullptr;
    if (!m_named)
        m_name[0] = '\0';
}

TempCopy::~TempCopy() {
    m_file.close();
    if (m_named)
        platform::remove_file(m_name);
}

int TempCopy::copy_from(const char *source) {
    constexpr size_t kPiece = 4096;
    File input = open_for_reading(source);
    if (!input) {
        dbg_printf("Cannot Read \"%s\"!\n", text_or_null(source));
        dbg_printf("\n");
        return -1;
    }
    if (m_named)
        m_file = open_file(m_name, "w+b");
    if (!m_file) {
        dbg_printf("Cannot Write \"%s\"!\n", m_name);
        dbg_printf("\n");
        return -1;
    }
    TrackedBlock buffer(kPiece, "buf");
    if (!buffer) {
        dbg_printf("%s", kNoMemoryText);
        dbg_printf("\n");
        return -2;
    }
    int err = 0;
    unsigned long total = 0;
    while (!std::feof(input.get())) {
        size_t got = std::fread(buffer.data(), 1, kPiece, input.get());
        if (got == 0)
            break;
        size_t put = std::fwrite(buffer.data(), 1, got, m_file.get());
        total += put;
        if (put != got)
            err = -3;
        dbg_printf("copy %u bytes, err=%d\n", static_cast<unsigned>(put), err);
        if (err != 0)
            break;
    }
    dbg_printf("err=%d feof(intmp)=%d size=%d\n", err, std::feof(input.get()) ? 1 : 0,
               static_cast<int>(total));
    if (err != 0)
        return err;
    if (std::fflush(m_file.get()) != 0)
        return -3;
    std::rewind(m_file.get());
    dbg_printf("make bin copy to <%s>\n", m_name);
    return 0;
}

} // namespace vorn::logs
