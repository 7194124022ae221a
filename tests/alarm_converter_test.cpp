// The pieces that the log converters share: stream and block handles, the
// fixed messages and the temporary copy of a binary input.
#include "frame/frame.h"
#include "logs/converter.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vorn::test {
namespace {

std::string read_stream(std::FILE *stream) {
    std::string out;
    for (int c; (c = std::fgetc(stream)) != EOF;)
        out += static_cast<char>(c);
    return out;
}

TEST(LogConverterPieces, TempCopy) {
    TempDir dir;
    char previous[260] = {};
    get_TmpPath(previous, sizeof previous);
    set_TmpPath(dir.file("name").c_str(), 1);
    DebugOn debug;
    TraceCapture capture;
    std::string input;
    for (int i = 0; i < 10000; ++i)
        input += static_cast<char>(i * 7);
    write_file(dir.file("in.bin"), input);
    write_file(dir.file("empty.bin"), "");
    uint32_t blocks = live_blocks();
    std::string name;
    {
        logs::TempCopy copy("DTRACE"), empty("LOGCAL"), failed("LOGCAL");
        name = copy.name();
        EXPECT_EQ(std::filesystem::path(name).parent_path(), std::filesystem::path(dir.path()));
        EXPECT_EQ(std::filesystem::path(name).filename().string().substr(0, 6), "DTRACE");
        ASSERT_EQ(copy.copy_from(dir.file("in.bin").c_str()), 0);
        EXPECT_EQ(live_blocks(), blocks) << "the copy buffer is given back at once";
        EXPECT_EQ(read_stream(copy.stream()), input);
        // Open for writing too: the call log sorts its copy in place.
        std::rewind(copy.stream());
        EXPECT_EQ(std::fputc('Z', copy.stream()), 'Z');
        ASSERT_EQ(empty.copy_from(dir.file("empty.bin").c_str()), 0);
        EXPECT_EQ(read_stream(empty.stream()), "");

        EXPECT_EQ(failed.copy_from(dir.file("missing.bin").c_str()), -1);
        EXPECT_EQ(failed.copy_from(nullptr), -1);
        EXPECT_EQ(failed.copy_from(dir.path().c_str()), -1) << "a folder is no input";
        EXPECT_EQ(failed.stream(), nullptr);
        EXPECT_TRUE(capture.contains("Cannot Read \"" + dir.file("missing.bin") + "\"!\n"));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2)
        << "every copy is deleted, the input never written";
    EXPECT_EQ(read_file(dir.file("in.bin")), input);

    // Without a folder to make the copy in, there is no copy.
    set_TmpPath(dir.file("no/such/folder/name").c_str(), 1);
    logs::TempCopy copy("LOGCAL");
    EXPECT_STREQ(copy.name(), "");
    EXPECT_EQ(copy.copy_from(dir.file("in.bin").c_str()), -1);
    EXPECT_TRUE(capture.contains("Cannot Write \"\"!\n"));
    set_TmpPath(*previous ? (std::string(previous) + "/name").c_str() : "", 1);
}

TEST(LogConverterPieces, MessagesHandlesAndLength) {
    EXPECT_EQ(logs::cannot_read_message("a.bin"), "Cannot Read \"a.bin\"!\n");
    EXPECT_EQ(logs::cannot_write_message("LOGout"), "Cannot Write \"LOGout\"!\n");
    EXPECT_EQ(logs::cannot_read_message(nullptr), "Cannot Read \"NULL\"!\n");
    {
        DebugOn debug;
        TraceCapture capture;
        // The longest fixed message fills the 39 bytes a host provides.
        EXPECT_EQ(logs::no_memory_message(), "Not Enough Memory For This Operation!\n");
        EXPECT_EQ(capture.bodies(),
                  std::vector<std::string>{"Not Enough Memory For This Operation!\n\n"});
    }
    char buffer[40];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    logs::copy_message(buffer, "Cannot Read \"a\"!\n");
    EXPECT_STREQ(buffer, "Cannot Read \"a\"!\n");
    EXPECT_EQ(buffer[18], 'x') << "nothing written beyond the terminator";
    logs::copy_message(nullptr, "ignored");

    uint32_t blocks = live_blocks();
    {
        logs::TrackedBlock block(100, "test");
        ASSERT_TRUE(block);
        EXPECT_EQ(live_blocks(), blocks + 1);
        EXPECT_EQ(std::string(block.data(), block.data() + block.size()), std::string(100, '\0'));
    }
    EXPECT_EQ(live_blocks(), blocks);

    TempDir dir;
    write_file(dir.file("f"), "0123456789");
    logs::File file = logs::open_for_reading(dir.file("f").c_str());
    ASSERT_TRUE(file);
    EXPECT_EQ(std::fgetc(file.get()), '0');
    EXPECT_EQ(logs::stream_length(file.get()), 10);
    EXPECT_EQ(std::fgetc(file.get()), '1') << "the read position is kept";
    EXPECT_FALSE(logs::open_for_reading(dir.path().c_str()));
    EXPECT_FALSE(logs::open_file(nullptr, "rb"));
    logs::File moved = std::move(file);
    EXPECT_FALSE(file);
    EXPECT_EQ(moved.close(), 0);
    EXPECT_FALSE(moved);
}

} // namespace
} // namespace vorn::test
