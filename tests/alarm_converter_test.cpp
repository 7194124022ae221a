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

using logs::TempCopy;

// Points the thread's temporary folder at `folder` for the test's lifetime.
class TmpPathIn {
  public:
    explicit TmpPathIn(const std::string &folder) {
        char previous[260] = {};
        get_TmpPath(previous, sizeof previous);
        m_previous = previous;
        set_TmpPath((folder + "/name").c_str(), 1);
    }
    ~TmpPathIn() { set_TmpPath(m_previous.empty() ? "" : (m_previous + "/name").c_str(), 1); }

  private:
    std::string m_previous;
};

std::string read_stream(std::FILE *stream) {
    std::string out;
    char buf[1000];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, stream)) > 0)
        out.append(buf, got);
    return out;
}

TEST(LogConverterPieces, TempCopyHoldsTheInputAndIsDeleted) {
    TempDir dir;
    TmpPathIn tmp(dir.path());
    std::string input;
    for (int i = 0; i < 10000; ++i)
        input += static_cast<char>(i * 7);
    write_file(dir.file("trace.bin"), input);
    uint32_t blocks = live_blocks();
    std::string name;
    {
        TempCopy copy("DTRACE");
        name = copy.name();
        EXPECT_EQ(std::filesystem::path(name).parent_path(), std::filesystem::path(dir.path()));
        EXPECT_EQ(std::filesystem::path(name).filename().string().substr(0, 6), "DTRACE");
        ASSERT_EQ(copy.copy_from(dir.file("trace.bin").c_str()), 0);
        EXPECT_EQ(live_blocks(), blocks) << "the copy buffer is given back at once";
        EXPECT_EQ(read_stream(copy.stream()), input);
        // Open for writing too: the call log sorts its copy in place.
        std::rewind(copy.stream());
        EXPECT_EQ(std::fputc('Z', copy.stream()), 'Z');
    }
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_EQ(read_file(dir.file("trace.bin")), input) << "the input is never written";

    // An empty input gives an empty copy.
    write_file(dir.file("empty.bin"), "");
    TempCopy empty("LOGCAL");
    ASSERT_EQ(empty.copy_from(dir.file("empty.bin").c_str()), 0);
    EXPECT_EQ(read_stream(empty.stream()), "");
}

TEST(LogConverterPieces, TempCopyFailures) {
    TempDir dir;
    TmpPathIn tmp(dir.path());
    DebugOn debug;
    TraceCapture capture;
    std::string name;
    {
        TempCopy copy("LOGCAL");
        name = copy.name();
        EXPECT_EQ(copy.copy_from(dir.file("missing.bin").c_str()), -1);
        EXPECT_EQ(copy.copy_from(nullptr), -1);
        EXPECT_EQ(copy.copy_from(dir.path().c_str()), -1) << "a folder is no input";
        EXPECT_EQ(copy.stream(), nullptr);
    }
    EXPECT_TRUE(capture.contains("Cannot Read \"" + dir.file("missing.bin") + "\"!\n"));
    EXPECT_FALSE(std::filesystem::exists(name)) << "the empty copy is removed as well";

    // Without a folder to make the copy in, there is no copy.
    TmpPathIn nowhere(dir.file("no/such/folder"));
    write_file(dir.file("in.bin"), "abc");
    TempCopy copy("LOGCAL");
    EXPECT_STREQ(copy.name(), "");
    EXPECT_EQ(copy.copy_from(dir.file("in.bin").c_str()), -1);
    EXPECT_TRUE(capture.contains("Cannot Write \"\"!\n"));
}

TEST(LogConverterPieces, MessagesHandlesAndLength) {
    EXPECT_EQ(logs::cannot_read_message("a.bin"), "Cannot Read \"a.bin\"!\n");
    EXPECT_EQ(logs::cannot_write_message("LOGout"), "Cannot Write \"LOGout\"!\n");
    EXPECT_EQ(logs::cannot_read_message(nullptr), "Cannot Read \"NULL\"!\n");
    {
        DebugOn debug;
        TraceCapture capture;
        std::string text = logs::no_memory_message();
        EXPECT_EQ(text, "Not Enough Memory For This Operation!\n");
        // The longest fixed message fills the 39 bytes a host provides.
        EXPECT_EQ(text.size() + 1, 39u);
        auto bodies = capture.bodies();
        ASSERT_EQ(bodies.size(), 1u);
        EXPECT_EQ(bodies[0], "Not Enough Memory For This Operation!\n\n");
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
        EXPECT_EQ(block.size(), 100u);
        EXPECT_EQ(live_blocks(), blocks + 1);
        for (size_t i = 0; i < block.size(); ++i)
            ASSERT_EQ(block.data()[i], 0) << i;
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
