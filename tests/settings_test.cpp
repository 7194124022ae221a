// The debug switch in the per-user settings file.
#include "platform/platform.h"
#include "support/trace_capture.h"
#include "trace/trace.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

using vorn::test::read_file;
using vorn::test::TempDir;
using vorn::test::write_file;

TEST(Settings, DebugSwitchIsReadAndCreatedWhenMissing) {
    TempDir dir;
    const char *old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    std::string file = dir.file("KEMAX/KEMAX.NMS/Settings");
    EXPECT_EQ(vorn::platform::settings_path(), file);

    EXPECT_EQ(vorn::read_debug_switch(), 0u);
    EXPECT_EQ(read_file(file), "Vorn_B32_DEBUG=0\n") << "created for the user to change";

    write_file(file, "Other=5\r\nVorn_B32_DEBUG=3\r\n");
    EXPECT_EQ(vorn::read_debug_switch(), 3u);
    EXPECT_EQ(read_file(file), "Other=5\r\nVorn_B32_DEBUG=3\r\n")
        << "a readable value is left alone";

    write_file(file, "Vorn_B32_DEBUG=yes\nKeep=1");
    EXPECT_EQ(vorn::read_debug_switch(), 0u);
    EXPECT_EQ(read_file(file), "Vorn_B32_DEBUG=yes\nKeep=1\nVorn_B32_DEBUG=0\n");

    // A settings folder that cannot be made leaves the switch at 0.
    write_file(dir.file("blocked"), "a file, not a folder");
    setenv("XDG_CONFIG_HOME", dir.file("blocked").c_str(), 1);
    EXPECT_EQ(vorn::read_debug_switch(), 0u);

    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
