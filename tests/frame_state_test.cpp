// Per-thread settings, the tracked allocator and the error vocabulary.
#include "frame/frame.h"
#include "support/trace_capture.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstring>
#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <thread>

using vorn::test::DebugOn;
using vorn::test::TraceCapture;

namespace {

std::string tmp_path(uint32_t size = 260) {
    char buf[260];
    std::memset(buf, '#', sizeof buf);
    get_TmpPath(buf, size);
    return buf;
}

// Each case runs on a thread of its own, so it starts from fresh settings.
template <class F> void on_fresh_thread(F f) {
    std::thread t(f);
    t.join();
}

} // namespace

TEST(FrameState, TmpPathKeepsTheFolderAndHonoursForce) {
    on_fresh_thread([] {
        set_TmpPath("C:\\A\\B\\file.cfg", 0);
        EXPECT_EQ(tmp_path(), "C:\\A\\B");
        set_TmpPath("D:\\X\\y.cfg", 0);
        EXPECT_EQ(tmp_path(), "C:\\A\\B") << "force 0 keeps a stored folder";
        set_TmpPath("D:\\X\\y.cfg", 1);
        EXPECT_EQ(tmp_path(), "D:\\X");
        set_TmpPath("name.cfg", 1);
        EXPECT_EQ(tmp_path(), "");
        set_TmpPath("/tmp/x/y", 1);
        EXPECT_EQ(tmp_path(), "/tmp/x");
        set_TmpPath("C:\\TMP\\X.CFG", 1);
        EXPECT_EQ(tmp_path(4), "C:\\"); // three characters and the terminator
        char one[2] = {'#', '#'};
        get_TmpPath(one, 1);
        EXPECT_EQ(one[0], '\0');
        EXPECT_EQ(one[1], '#') << "nothing written beyond the size";
        get_TmpPath(nullptr, 10);
        set_TmpPath(nullptr, 1);
        EXPECT_EQ(tmp_path(), "");
        std::string longer = std::string(250, 'a') + "/" + std::string(300, 'b');
        set_TmpPath(longer.c_str(), 1);
        EXPECT_EQ(tmp_path(), std::string(250, 'a')) << "only the field's 259 characters count";
    });
}

TEST(FrameState, SettingsAreSeenOnlyByTheirThread) {
    set_TmpPath("/main/thread/x", 1);
    set_optimize_files(1);
    on_fresh_thread([] {
        EXPECT_EQ(tmp_path(), "");
        uint32_t files = 7;
        ASSERT_EQ(vorn::get_optimize_files(&files), 0);
        EXPECT_EQ(files, 0u);
        const char *name = nullptr;
        ASSERT_EQ(vorn::get_tool_name(&name), 0);
        EXPECT_STREQ(name, "");
    });
    uint32_t files = 0;
    vorn::get_optimize_files(&files);
    EXPECT_EQ(files, 1u);
    EXPECT_EQ(tmp_path(), "/main/thread");
    set_optimize_files(0);
}

TEST(FrameState, PasswordKeeps39CharactersAndHasADefault) {
    on_fresh_thread([] {
        char buf[80];
        std::string fifty(50, 'p');
        set_Password(fifty.c_str());
        get_Password(buf, sizeof buf);
        EXPECT_EQ(std::string(buf), std::string(39, 'p'));
        set_Password(nullptr);
        get_Password(buf, sizeof buf);
        EXPECT_EQ(std::strlen(buf), 5u);
        for (int i = 0; i < 5; ++i)
            EXPECT_TRUE(buf[i] >= 'a' && buf[i] <= 'z') << buf;
        std::string def = buf;
        get_Password(buf, 3);
        EXPECT_EQ(std::string(buf), def.substr(0, 2));
        set_Password("mine");
        get_Password(buf, sizeof buf);
        EXPECT_STREQ(buf, "mine");
    });
}

TEST(FrameState, ToolNameOfEightyCharactersStaysReadable) {
    on_fresh_thread([] {
        std::string name(120, 'N');
        set_tool_name(name.c_str());
        const char *stored = nullptr;
        ASSERT_EQ(vorn::get_tool_name(&stored), 0);
        EXPECT_EQ(std::string(stored).size(), 80u);
        set_tool_name(nullptr);
        vorn::get_tool_name(&stored);
        EXPECT_STREQ(stored, "");
    });
}

TEST(FrameState, AllocatorLinesAndLiveCounter) {
    on_fresh_thread([] {
        TraceCapture cap;
        DebugOn on;
        uint32_t before = vorn::live_blocks();
        void *block = vorn::myAlloc(100, "pt");
        ASSERT_NE(block, nullptr);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(static_cast<unsigned char *>(block)[i], 0) << "blocks are zero-filled";
        EXPECT_EQ(vorn::live_blocks(), before + 1);
        vorn::myFree(block, "pt");
        EXPECT_EQ(vorn::live_blocks(), before);
        vorn::myFree(nullptr, "pt");
        EXPECT_EQ(vorn::live_blocks(), before) << "an empty pointer does not count";
        auto bodies = cap.bodies();
        ASSERT_EQ(bodies.size(), 3u);
        char counter[8];
        std::snprintf(counter, sizeof counter, "%3u", before + 1);
        // %-4u: the trace formatter right-aligns numbers whatever the flag says.
        std::regex alloc(std::string(R"(^nftool\.cpp#  72: p=[0-9A-F]+ size=100 )") + counter +
                         " GlobalAlloc pt\n$");
        EXPECT_TRUE(std::regex_match(bodies[0], alloc)) << bodies[0];
        std::snprintf(counter, sizeof counter, "%3u", before);
        std::regex release(std::string(R"(^nftool\.cpp#  83: p=[0-9A-F]+ size=100 )") + counter +
                           " GlobalFree pt\n$");
        EXPECT_TRUE(std::regex_match(bodies[1], release)) << bodies[1];
        EXPECT_EQ(bodies[2], "myFree(NULL) do nothing\n");
    });
}

TEST(FrameState, DevInfoCopyReplacesAndReleasesThePreviousOne) {
    on_fresh_thread([] {
        uint8_t first[90];
        uint8_t second[90];
        for (int i = 0; i < 90; ++i) {
            first[i] = static_cast<uint8_t>(i);
            second[i] = static_cast<uint8_t>(200 - i);
        }
        TraceCapture cap;
        DebugOn on;
        uint32_t before = vorn::live_blocks();
        set_DevInfo(first);
        set_DevInfo(second);
        set_DevInfo(nullptr);
        EXPECT_EQ(vorn::live_blocks(), before + 1);
        const uint8_t *copy = nullptr;
        ASSERT_EQ(vorn::get_dev_info(&copy), 0);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(std::memcmp(copy, second, 90), 0);
        int releases = 0;
        for (const auto &b : cap.bodies())
            if (b.find("GlobalFree pGlobalDevInfo") != std::string::npos)
                ++releases;
        EXPECT_EQ(releases, 1);
    });
}

TEST(FrameState, RegisteredTableIsReleasedWhenReplaced) {
    on_fresh_thread([] {
        TraceCapture cap;
        DebugOn on;
        uint32_t before = vorn::live_blocks();
        auto *first = static_cast<vorn::table_t *>(vorn::myAlloc(16, "pTable"));
        auto *second = static_cast<vorn::table_t *>(vorn::myAlloc(16, "pTable"));
        vorn::set_instance_table(first);
        vorn::set_instance_table(second); // releases the first
        vorn::table_t *now = nullptr;
        vorn::get_instance_table(&now);
        EXPECT_EQ(now, second);
        vorn::set_instance_table(nullptr); // only forgets
        vorn::get_instance_table(&now);
        EXPECT_EQ(now, nullptr);
        EXPECT_EQ(vorn::live_blocks(), before + 1);
        vorn::myFree(second, "pTable");
        EXPECT_TRUE(cap.contains("GlobalFree pInstanceGlobals->m_pTable"));
        set_global_error();
    });
}

TEST(FrameState, ErrorVocabulary) {
    EXPECT_STREQ(vorn::error_text(0), "no error");
    EXPECT_STREQ(vorn::error_text(17), "alloc error");
    EXPECT_STREQ(vorn::error_text(31), "ESC break");
    EXPECT_STREQ(vorn::error_text(73), "to many entries");
    EXPECT_STREQ(vorn::error_text(80), "NULL pointer");
    EXPECT_STREQ(vorn::error_text(8), "");
    EXPECT_STREQ(vorn::error_text(89), "");
    EXPECT_STREQ(vorn::error_text(90), "");
    EXPECT_STREQ(vorn::error_text(-1), "");
    int with_text = 0;
    for (int code = 0; code < vorn::kErrorTexts; ++code)
        with_text += vorn::error_text(code)[0] != '\0';
    EXPECT_EQ(with_text, 55);
}

TEST(FrameState, AbsentPointersAndTinyBuffersAreHarmless) {
    on_fresh_thread([] {
        set_TmpPath(nullptr, 0);
        get_TmpPath(nullptr, 5);
        set_Password(nullptr);
        get_Password(nullptr, 5);
        char one = '#';
        get_Password(&one, 1);
        EXPECT_EQ(one, '\0');
        get_Password(&one, 0); // size 0: nothing may be written
        set_tool_name(nullptr);
        set_DevInfo(nullptr);
        const uint8_t *dev = reinterpret_cast<const uint8_t *>(1);
        ASSERT_EQ(vorn::get_dev_info(&dev), 0);
        EXPECT_EQ(dev, nullptr);
        EXPECT_EQ(vorn::get_tool_name(nullptr), -1);
        DebugOn on;
        ptrace(nullptr);
        vorn::dbg_printf(nullptr);
        vorn::dbg_error(nullptr);
        set_global_error();
    });
}
