// The utility exports: file names, time, serial text, removal, hexadecimal
// numbers, version texts and password scrambling.
#include "platform/platform.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using vorn::test::TempDir;

namespace {

std::string fname(const char *source, const char *ext) {
    char result[260];
    const char *r = make_fname(source, result, ext);
    return r != nullptr ? std::string(r) : std::string("<null>");
}

} // namespace

TEST(Utils, MakeFnameReplacesTheLastPointOfThePath) {
    EXPECT_EQ(fname("C:\\A\\cfg.txt", ".map"), "C:\\A\\cfg.map");
    EXPECT_EQ(fname("C:\\A.B\\cfg", ".map"), "C:\\A.map");
    EXPECT_EQ(fname("/srv/box/config", ".del"), "/srv/box/config.del");
    char result[260];
    EXPECT_EQ(make_fname(nullptr, result, ".map"), nullptr);
    EXPECT_EQ(make_fname("a.b", nullptr, ".map"), nullptr);
    // A source that fills the buffer still ends inside it.
    std::string longest(300, 'x');
    EXPECT_EQ(fname(longest.c_str(), ".map").size(), 259u);
}

TEST(Utils, MakeFnameCreatesUniqueFilesInTheThreadsTempFolder) {
    TempDir dir;
    std::thread([&] {
        set_TmpPath(dir.file("anything.cfg").c_str(), 1);
        std::string a = fname("test.cfg", nullptr);
        std::string b = fname("test.cfg", nullptr);
        std::string c = fname("LONGNAME.CFG", nullptr);
        ASSERT_EQ(a.size(), dir.path().size() + 13);
        EXPECT_EQ(a.substr(0, dir.path().size() + 7), dir.path() + "/testXX");
        EXPECT_EQ(c.substr(0, dir.path().size() + 7), dir.path() + "/LONGNA");
        EXPECT_EQ(c.size(), dir.path().size() + 13);
        EXPECT_NE(a, b);
        for (const auto &p : {a, b, c}) {
            ASSERT_TRUE(fs::exists(p)) << p;
            EXPECT_EQ(fs::file_size(p), 0u);
        }
        // A source with a folder keeps its own folder.
        std::string d = fname(dir.file("sub.x.log").c_str(), nullptr);
        EXPECT_EQ(d.substr(0, dir.path().size() + 7), dir.path() + "/sub.xX");
        EXPECT_EQ(d.size(), dir.path().size() + 13);
    }).join();
    // Ten failed attempts: no file, an empty pointer, the source copied.
    char result[260];
    std::string missing = dir.file("no/such/folder/x.cfg");
    EXPECT_EQ(make_fname(missing.c_str(), result, nullptr), nullptr);
    EXPECT_EQ(std::string(result), missing);
}

TEST(Utils, ConfGettimeUsesThePinnedClock) {
    setenv("TZ", "UTC", 1);
    tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 4;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    setenv("SOURCE_DATE_EPOCH", std::to_string(timegm(&t)).c_str(), 1);
    uint8_t bytes[6] = {};
    conf_gettime(bytes);
    unsetenv("SOURCE_DATE_EPOCH");
    const uint8_t expected[6] = {9, 5, 14, 4, 12, 26};
    EXPECT_EQ(std::memcmp(bytes, expected, 6), 0);
    conf_gettime(nullptr);
}

TEST(Utils, SerialNumberText) {
    const uint8_t two[16] = {0x01, 0xA2, 0xFF, 0x33};
    EXPECT_STREQ(cat_number_and_serialno("0711", two), "0711 (serial# 01 A2)");
    uint8_t full[16];
    for (int i = 0; i < 16; ++i)
        full[i] = static_cast<uint8_t>(0x10 + i);
    EXPECT_STREQ(cat_number_and_serialno("1", full),
                 "1 (serial# 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F)");
    const uint8_t zero[16] = {0x00, 0x12};
    const uint8_t unset[16] = {0xFF, 0x12};
    EXPECT_STREQ(cat_number_and_serialno("42", zero), "42 (serial# not set)");
    EXPECT_STREQ(cat_number_and_serialno("42", unset), "42 (serial# not set)");
    EXPECT_STREQ(cat_number_and_serialno(nullptr, nullptr), " (serial# not set)");
    std::string longest(200, '9');
    const char *text = cat_number_and_serialno(longest.c_str(), full);
    EXPECT_LT(std::strlen(text), 132u);
    EXPECT_EQ(std::string(text).substr(71, 11), " (serial# 1");

    // Each thread reads its own text back, however the calls interleave.
    std::vector<std::thread> threads;
    std::atomic<int> foreign{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t, &full, &foreign] {
            const std::string number(60, static_cast<char>('0' + t));
            const std::string expected =
                number + " (serial# 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F)";
            for (int i = 0; i < 3000; ++i)
                if (expected != cat_number_and_serialno(number.c_str(), full))
                    ++foreign;
        });
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(foreign.load(), 0);
}

TEST(Utils, Atoh) {
    EXPECT_EQ(atoh("1x2"), 1u);
    EXPECT_EQ(atoh("$FF"), 255u);
    EXPECT_EQ(atoh("G1"), 0u);
    EXPECT_EQ(atoh("0x1F"), 0x1Fu);
    EXPECT_EQ(atoh("X1F"), 0x1Fu);
    EXPECT_EQ(atoh("$1f"), 0x1Fu);
    EXPECT_EQ(atoh("00x1"), 1u); // X is skipped while the value is still 0
    EXPECT_EQ(atoh("1$2"), 1u);  // $ only counts as the first character
    EXPECT_EQ(atoh("123456789"), 0x23456789u);
    EXPECT_EQ(atoh(""), 0u);
    EXPECT_EQ(atoh(nullptr), 0u);
}

TEST(Utils, VersionTextsForEverySize) {
    const std::string v = vorn::platform::library_version();
    auto vorn_version = [](int size) {
        char buf[128];
        std::memset(buf, '#', sizeof buf);
        int n = get_vorn_b32_dll_version(buf, size);
        EXPECT_EQ(buf[size], '#') << "size " << size;
        EXPECT_EQ(static_cast<size_t>(n), std::strlen(buf));
        return std::string(buf);
    };
    // capacity c holds c - 1 characters of the version
    EXPECT_EQ(vorn_version(100), "Vorn_B32.DLL " + v);
    EXPECT_EQ(vorn_version(49), "Vorn_B32.DLL " + v.substr(0, 35));
    EXPECT_EQ(vorn_version(40), "Vorn_B32.DLL " + v.substr(0, 20));
    EXPECT_EQ(vorn_version(23), "Vorn_B32.DLL " + v.substr(0, 9));
    EXPECT_EQ(vorn_version(22), "Vorn_B32.DLL " + v.substr(0, 8));
    EXPECT_EQ(vorn_version(20), "Vorn_B32 " + v.substr(0, 9));
    EXPECT_EQ(vorn_version(18), "Vorn_B32 " + v.substr(0, 8));
    EXPECT_EQ(vorn_version(17), "Vorn_B32 ");
    EXPECT_EQ(vorn_version(10), "Vorn_B32 ");
    EXPECT_EQ(vorn_version(7), "");
    // Sizes 8 and 9 cannot hold "Vorn_B32 " and its terminator: the text is cut.
    EXPECT_EQ(vorn_version(8), "Vorn_B3");
    EXPECT_EQ(get_vorn_b32_dll_version(nullptr, 50), 0);

    auto dll_version = [](const char *module, int size) {
        char buf[128];
        std::memset(buf, '#', sizeof buf);
        int n = get_dll_version(module, buf, size);
        EXPECT_EQ(buf[size], '#') << "size " << size;
        EXPECT_EQ(static_cast<size_t>(n), std::strlen(buf));
        return std::string(buf);
    };
    EXPECT_EQ(dll_version("Vorn_B32.DLL", 100), "Vorn_B32.DLL " + v);
    EXPECT_EQ(dll_version("vorn_b32.dll", 40), "vorn_b32.dll " + v.substr(0, 20));
    EXPECT_EQ(dll_version("Vorn_B32.DLL", 25), "Vorn_B32.DLL " + v.substr(0, 9));
    EXPECT_EQ(dll_version("Vorn_B32.DLL", 20), "Vorn_B32 " + v.substr(0, 8));
    EXPECT_EQ(dll_version("Vorn_B32.DLL", 12), "");
    EXPECT_EQ(dll_version("other.dll", 100), "other.dll ");
    EXPECT_EQ(dll_version("a-very-long-module-name.dll", 20), "");
    std::string huge(300, 'm');
    EXPECT_EQ(dll_version(huge.c_str(), 60), huge.substr(0, 59));
    EXPECT_EQ(dll_version(nullptr, 60), "");
}

TEST(Utils, PasswordScramblingRoundTrips) {
    std::mt19937 rng(1234);
    const std::string alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._ !#%/";
    int changed = 0;
    for (int i = 0; i < 2000; ++i) {
        std::string plain;
        int len = static_cast<int>(rng() % 40);
        for (int k = 0; k < len; ++k)
            plain += alphabet[rng() % alphabet.size()];
        std::vector<char> coded(plain.size() + 1, '#');
        std::vector<char> back(plain.size() + 1, '#');
        CodePassWord(plain.c_str(), coded.data());
        DecodePassWord(coded.data(), back.data());
        ASSERT_EQ(std::string(back.data()), plain);
        ASSERT_EQ(std::strlen(coded.data()), plain.size());
        for (size_t k = 0; k < plain.size(); ++k) {
            if (!std::isalnum(static_cast<unsigned char>(plain[k]))) {
                ASSERT_EQ(coded[k], plain[k]) << "only letters and digits change";
            }
        }
        changed += std::string(coded.data()) != plain;
    }
    EXPECT_GT(changed, 1900);
    char out[4] = {'#', '#', '#', '#'};
    CodePassWord("", out);
    EXPECT_EQ(out[0], '\0');
    CodePassWord(nullptr, out);
    EXPECT_EQ(out[0], '\0');
    CodePassWord("x", nullptr);
}

TEST(Utils, RemoveHexfileOverwritesBeforeDeleting) {
    TempDir dir;
    std::string path = dir.file("table.bin");
    std::string witness = dir.file("witness.bin");
    vorn::test::write_file(path, "secret table");
    ASSERT_EQ(link(path.c_str(), witness.c_str()), 0); // sees the same blocks
    EXPECT_EQ(remove_hexfile(path.c_str()), 0);
    EXPECT_FALSE(fs::exists(path));
    std::string after = vorn::test::read_file(witness);
    EXPECT_EQ(after, std::string(65535, '\0')) << "grown to 65535 bytes, last pass zeros";
    EXPECT_EQ(remove_hexfile(dir.file("missing.bin").c_str()), -1);
    EXPECT_EQ(remove_hexfile(nullptr), -1);
}

TEST(Utils, FileRemoveByPatternInTheCurrentFolder) {
    TempDir dir;
    auto old = fs::current_path();
    fs::current_path(dir.path());
    vorn::test::write_file("DBG--001.002", "");
    vorn::test::write_file("DBG--001.003", "");
    vorn::test::write_file("keep.txt", "");
    testing::internal::CaptureStdout();
    int rc = file_remove("DBG--???.???");
    std::string said = testing::internal::GetCapturedStdout();
    bool kept = fs::exists("keep.txt");
    bool gone = !fs::exists("DBG--001.002") && !fs::exists("DBG--001.003");
    EXPECT_EQ(file_remove("nothing-*"), -1);
    EXPECT_EQ(file_remove(nullptr), -1);
    fs::current_path(old);
    EXPECT_EQ(rc, -1);
    EXPECT_TRUE(kept);
    EXPECT_TRUE(gone);
    EXPECT_EQ(said, "remove          : DBG--001.002\nremove          : DBG--001.003\n");
}
