// The library frame (per-thread settings, allocator, error texts), the
// utility exports, the trace and the tool's common part.  Each test runs
// calls and compares their transcript as a whole with a golden file in
// tests/golden/frame/: every call ("> call"), the output strings it traced
// (quoted, one a line) and its value ("= value").
#include "frame/frame.h"
#include "platform/mapped_file.h"
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "trace/trace.h"

#include <cstring>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

using namespace vorn;
using namespace vorn::test;
namespace fs = std::filesystem;

namespace {

// What the trace's own formatter makes of `format` and its arguments.
std::string format(const char *format, ...) {
    TraceLine line;
    va_list args;
    va_start(args, format);
    trace_format(line, format, args);
    va_end(args);
    return line.finish();
}

std::string show(const std::string &text) { // in quotes; \n, \r, \" and \\ escaped
    std::string q = "\"";
    for (char c : text)
        q += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(c == '"' || c == '\\', '\\') + c;
    return q + "\"";
}
std::string show(const char *text) {
    return text ? show(std::string(text)) : "NULL";
}
std::string show(long long number) {
    return std::to_string(number);
}

// The transcript.  The script thread's id shows as [tid], other threads' as
// [other], block addresses as <addr>, the library's version as <version>,
// the six drawn characters of unique file names as ??????, and the live
// block counts of traced lines relative to the count at the start.
struct Transcript {
    TraceCapture trace;
    const uint32_t base = live_blocks();
    const std::string tid = format("] [%03x][", static_cast<unsigned>(gettid()));
    std::string text;

    std::string normalised(std::string s, bool traced = false) const {
        static const std::regex other(R"((\[(DEB|ERR)\] )\[[0-9A-F]{3,}\])"),
            address(R"((p=)[0-9A-F]{6,}|[0-9A-F]{6,}(=<))"), version(R"(\d+\.\d+\.\d+\.\d+)"),
            unique(R"((\./.{6})[a-z0-9]{6}\b)"), count(R"((size= *\d+ )( *\d+) Global)");
        if (s.find(tid) == 4)
            s.replace(4, tid.size(), "] [tid][");
        s = std::regex_replace(std::regex_replace(s, other, "$1[other]"), address, "$1<addr>$2");
        s = std::regex_replace(std::regex_replace(s, version, "<version>"), unique, "$1??????");
        std::smatch m;
        char relative[16];
        if (traced && std::regex_search(s, m, count) &&
            std::snprintf(relative, sizeof relative, "%3lu", std::stoul(m[2]) - base) > 0)
            s.replace(m.position(2), m.length(2), relative);
        return s;
    }
    void step(const std::string &call, const std::string &value) {
        text += "> " + call + "\n";
        for (const std::string &s : trace.outputs()) // how much a cut line holds depends on the tid
            text += "  " + show(normalised(s, true).substr(0, s.size() < 254 ? s.npos : 40)) +
                    (s.size() < 254 ? "" : "..." + show(s.substr(248)) + ", " + show(s.size())) +
                    "\n";
        trace.clear();
        text += value.empty() ? "" : "= " + normalised(value) + "\n";
    }
};
#define STEP(...) log.step(#__VA_ARGS__, show((__VA_ARGS__)))
#define DO(...) ((__VA_ARGS__), log.step(#__VA_ARGS__, ""))

// Runs `script` on a fresh thread in an empty current folder, with the clock
// pinned, and compares its transcript with tests/golden/frame/<name> (a
// difference shows the first differing line).
template <class Script> void run(const std::string &name, Script script) {
    PinnedClock clock(kDec4th2026);
    TempDir dir;
    const fs::path old = fs::current_path();
    const char *config = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = config ? config : "";
    fs::current_path(dir.path());
    std::string text;
    std::async(std::launch::async, [&] {
        Transcript log;
        script(log);
        text = log.text;
    }).get();
    fs::current_path(old);
    config ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    expect_golden("frame/" + name, text);
}

// The text that `get` wrote into a buffer of `size` bytes, the length it
// returned (when not negative) and "<overrun>" when it wrote beyond `size`.
template <class Get> std::string got(Get get, int size) {
    char buf[400];
    std::memset(buf, '#', sizeof buf);
    const int n = get(buf, size);
    return std::string(buf, strnlen(buf, size)) + (n < 0 ? "" : ", " + std::to_string(n)) +
           (buf[size] == '#' ? "" : "<overrun>");
}

} // namespace

TEST(FrameExports, SettingsAllocatorAndUtilitiesAgainstTheGoldenTranscript) {
    run("exports.txt", [](Transcript &log) {
        auto tmp = [](int n) { return got([](auto... a) { return get_TmpPath(a...), -1; }, n); };
        auto pw = [](int n) { return got([](auto... a) { return get_Password(a...), -1; }, n); };
        auto name = [](const char *n = 0) {
            return get_tool_name(&n) != Error::Ok ? "-1" : std::string(n);
        };
        auto files = [](uint32_t f = 99) { return get_optimize_files(&f), f; };
        const uint8_t *copy = nullptr;
        auto fresh = [&] { // a fresh thread's settings and device record
            return get_dev_info(&copy),
                   tmp(260) + name() + "|" + pw(80) + show(files()) + show(!copy);
        };
        DebugOn on;
        STEP(set_TmpPath("C:\\A\\B\\file.cfg", 0), tmp(260));
        STEP(set_TmpPath("D:\\X\\y.cfg", 0), tmp(260)); // force 0 keeps a stored folder
        STEP(set_TmpPath("D:\\X\\y.cfg", 1), tmp(260));
        STEP(set_TmpPath("name.cfg", 1), tmp(260));
        STEP(set_TmpPath("/tmp/x/y", 1), tmp(260));
        STEP(set_TmpPath("C:\\TMP\\X.CFG", 1), get_TmpPath(0, 9), tmp(4) + "|" + tmp(1) + tmp(0));
        STEP(set_TmpPath((std::string(250, 'a') + "/" + std::string(300, 'b')).c_str(), 1),
             tmp(300).size());
        STEP(set_Password(std::string(50, 'p').c_str()), pw(80));
        STEP(set_Password(0), get_Password(0, 5), pw(80) + "|" + pw(3) + "|" + pw(1) + pw(0));
        STEP(set_Password("mine"), pw(80));
        STEP(set_tool_name(std::string(120, 'N').c_str()), name().size());
        STEP(set_tool_name("HOST"), set_optimize_files(3), set_optimize_ex(4),
             name() + show(files()));
        STEP(std::async(std::launch::async, fresh).get()); // settings belong to their thread
        STEP(set_TmpPath(0, 1), set_tool_name(0), get_tool_name(0), tmp(260) + "|" + name());
        auto *block = static_cast<char *>(myAlloc(100, "pt"));
        STEP(std::count(block, block + 100, 0)); // zero-filled
        DO(myFree(block, "pt"), myFree(nullptr, "pt"));
        const std::string first(90, 'A'), second(90, 'B');
        STEP(set_DevInfo(first.data()), set_DevInfo(second.data()), set_DevInfo(nullptr),
             get_dev_info(&copy), std::string(copy, copy + 90) == second);
        auto *older = static_cast<table_t *>(myAlloc(16, "pTable"));
        auto *table = static_cast<table_t *>(myAlloc(16, "pTable")), *now = older;
        STEP(set_instance_table(older), set_instance_table(table), get_instance_table(&now),
             now == table);
        STEP(set_instance_table(nullptr), get_instance_table(&now), now == nullptr);
        DO(myFree(table, "pTable"), set_global_error());
        for (int code = -1; code <= kErrorTexts; ++code)
            log.text += *error_text(code)
                            ? "error " + show(code) + " " + show(error_text(code)) + "\n"
                            : "";

        char buf[260];
        STEP(make_fname("C:\\A\\cfg.txt", buf, ".map"));
        STEP(make_fname("C:\\A.B\\cfg", buf, ".map")); // the last point of the whole path
        STEP(make_fname("/srv/box.2/config.old", buf, ".del"));
        STEP(make_fname("/srv/box/config", buf, ".del")); // no point: the extension is appended
        STEP(make_fname("a.b", nullptr, ".map") == make_fname(nullptr, buf, ".map"));
        STEP(std::strlen(make_fname(std::string(300, 'x').c_str(), buf, ".map")));
        STEP(set_TmpPath("./any.cfg", 1), make_fname("test.cfg", buf, 0), fs::file_size(buf));
        STEP(make_fname("test.cfg", buf, nullptr));
        STEP(make_fname("LONGNAME.CFG", buf, nullptr));
        STEP(make_fname("./sub.x.log", buf, nullptr));
        STEP(make_fname("./no/such/x.cfg", buf, nullptr) ? "made" : "NULL, buffer " + show(buf));
        uint8_t t[6] = {};
        STEP(conf_gettime(nullptr), conf_gettime(t), std::string(t, t + 6) == "\t\5\16\4\14\32");
        const uint8_t two[16] = {1, 0xA2, 0xFF, 0x33}, zero[16] = {0, 0x12}, unset[16] = {0xFF, 1};
        const uint8_t all[16] = {16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
        STEP(cat_number_and_serialno("0711", two));
        STEP(cat_number_and_serialno("42", zero));
        STEP(cat_number_and_serialno("42", unset));
        STEP(cat_number_and_serialno(nullptr, nullptr));
        STEP(cat_number_and_serialno(std::string(200, '9').c_str(), all));
        for (const char *text : {"1x2", "$FF", "G1", "0x1F", "X1F", "$1f", "00x1", "1$2",
                                 "123456789", "", static_cast<const char *>(nullptr)})
            log.step("atoh(" + show(text) + ")", show(atoh(text)));
        // Sizes 8 and 9 cannot hold "Vorn_B32 " and its terminator: the text is cut.
        for (int size : {100, 49, 48, 33, 32, 22, 21, 18, 17, 10, 9, 8, 7})
            log.step("get_vorn_b32_dll_version(buf, " + show(size) + ")",
                     show(got(get_vorn_b32_dll_version, size)));
        auto dll = [](std::string module, int size) {
            return got([&](char *b, int s) { return get_dll_version(module.c_str(), b, s); }, size);
        };
        for (int size : {100, 25, 20, 12})
            log.step("get_dll_version(\"Vorn_B32.DLL\", buf, " + show(size) + ")",
                     show(dll("Vorn_B32.DLL", size)));
        STEP(dll("vorn_b32.dll", 40));
        STEP(dll("other.dll", 100));
        STEP(dll("a-very-long-module-name.dll", 20));
        STEP(dll(std::string(300, 'm'), 60));
        STEP(get_vorn_b32_dll_version(nullptr, 50) + get_dll_version(nullptr, buf, 60));
        char coded[80], plain[80];
        const char *text = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-. _#";
        STEP(CodePassWord(text, coded), DecodePassWord(coded, plain), show(coded) + " " + plain);
        STEP(CodePassWord("x", 0), CodePassWord("", plain), CodePassWord(0, coded),
             std::string(plain) + coded);

        write_file("table.bin", "secret table");
        STEP(link("table.bin", "witness.bin"), remove_hexfile("table.bin"));
        STEP(read_file("witness.bin") == std::string(65535, '\0') && !fs::exists("table.bin"));
        STEP(remove_hexfile("missing.bin"));
        STEP(remove_hexfile(nullptr));
        for (const char *file : {"DBG--001.002", "DBG--001.003", "keep.txt"})
            write_file(file, "");
        testing::internal::CaptureStdout();
        const int removed = file_remove("DBG--???.???") + file_remove("none-*") + file_remove(0);
        STEP(testing::internal::GetCapturedStdout() + show(removed) + show(fs::exists("keep.txt")) +
             show(fs::exists("DBG--001.002")));
    });
}

TEST(Trace, EntryPointsSwitchesSettingsAndFallbackFileAgainstTheGoldenTranscript) {
    run("trace.txt", [](Transcript &log) {
        DO(dbg_printf("hidden %d\n", 1), dbg_error("Cannot Read \"x.bin\"!\n"),
           dbg_error("100% done"));
        DO(set_app_reg_debug(1), dbg_printf("library %s\n", "line"), ptrace("host\n"),
           set_app_reg_debug(0));
        DebugOn on;
        DO(dbg_printf("abc"), dbg_printf("def\n"), dbg_printf("open "), dbg_error("error text\n"),
           dbg_printf("next\n"));
        DO(dbg_printf("%s\n", std::string(300, 'y').c_str()), ptrace("tail\n"));
        DO(ptrace("before name %d\n", 1), set_tool_name("WCFG2BIN"), ptrace("v=%u\n", 42));
        auto other_thread = [] { ptrace("off\n"), set_debug(1), ptrace("other\n"); };
        DO(std::async(std::launch::async, other_thread).get());
        DO(ptrace(nullptr), dbg_printf(nullptr), dbg_error(nullptr));

        setenv("XDG_CONFIG_HOME", "cfg", 1);
        const std::string file = "cfg/KEMAX/KEMAX.NMS/Settings";
        auto read_switch = [&](uint32_t value = read_debug_switch()) {
            return show(value) + " " + show(read_file(file));
        };
        STEP(platform::settings_path());
        STEP(read_switch()); // the value is added for the user to change
        STEP(write_file(file, "Other=5\r\nVorn_B32_DEBUG=3\r\n"), read_switch());
        STEP(write_file(file, "Vorn_B32_DEBUG=yes\nKeep=1"), read_switch());
        STEP(write_file("blocked", ""), setenv("XDG_CONFIG_HOME", "blocked", 1),
             read_debug_switch());

        write_file("DBG--000.000", "taken");
        DO(log.trace.set_failing(true), set_tool_name("HOST"), ptrace("first %s %d", "part", 7),
           ptrace(" second\n"), dbg_printf("library line\n"), log.trace.set_failing(false));
        STEP(read_file("DBG--000.001"));
        va_list none{};
        testing::internal::CaptureStdout();
        DO(file_trace(nullptr, none), set_tool_name(nullptr)); // closes and removes the files
        STEP(testing::internal::GetCapturedStdout() + show(fs::exists("DBG--000.001")));
    });
}

TEST(Trace, FormatterAgainstTheGoldenTranscript) {
    run("formatter.txt", [](Transcript &log) {
        const char *no_text = nullptr;
        const uint16_t wide[] = {'W', 0x141, 'd', 0}, *no_wide = nullptr;
        // The transcript is the same for 32-bit and 64-bit pointers; the
        // check below holds %p to the whole width of this build's pointers.
        void *pointer = reinterpret_cast<void *>(static_cast<uintptr_t>(0x89abcdefu));
        void *widest = reinterpret_cast<void *>(UINTPTR_MAX);
        EXPECT_EQ(format("%p", widest), std::string(2 * sizeof widest, 'F'));
        STEP(format("%u|%d|%5d|%05d|%-5u|%03u|%.3d", 4294967295u, -42, -42, -42, 7, 7, 12345));
        STEP(format("%x|%04x|[%03x]|[%03x]|%X|%o|%b|%08b", 255, 420, 420, 6724, 0xdeadbeefu, 8, 5,
                    5));
        STEP(format("%u|%d|%c%c|100%%", 0, -2147483647 - 1, 'A', 0x142));
        STEP(format("%lu|%lu|%ld|%5lu|%Fs|%Ns|%.2Fs", 4000000000ul, 7ul, -5l, 42ul, "f", "n",
                    "abc"));
        STEP(format("%p|%p|%S|%S", pointer, nullptr, wide, no_wide));
        STEP(format("%s|[%6s]|[%-6s]|[%.2s]|[%10.10s]|[%1s]", no_text, "ab", "ab", "abc",
                    "0123456789a", "xy"));
        STEP(format("[%6.4s]|[%-6.4s]|[%*s]|[%-*s]|[%.*s]", "ab", "ab", 4, "x", 4, "x", 2, "xyz"));
        STEP(format("%*lu", 3, 5ul)); // after a width of *, a size letter is the conversion
        STEP(format("a%qb%d", 5) + format("end%"));
        STEP(format("%s", std::string(300, 'x').c_str()).size() + format("%2000000000d", 1).size() +
             format("%*s", 2000000000, "x").size());
        char last = '\n';
        TraceLine line{{}, 0, &last};
        STEP(trace_formatf(line, "%s\n", std::string(300, 'x').c_str()), std::string(1, last));
    });
}

// The tool's exit code and its output, a line each.
std::string tool(const std::string &args, const std::string &env = "") {
    const ToolRun run = run_tool(args, env);
    std::string shown = "exit " + show(run.exit_code);
    for (auto [name, text] : {std::pair{"out", run.out}, {"err", run.err}})
        for (size_t at = 0, end; at < text.size(); at = end + 1)
            end = text.find('\n', at),
            shown += "\n  " + std::string(name) + "| " + text.substr(at, end - at);
    return shown;
}

TEST(Tool, CommonPartAgainstTheGoldenTranscript) {
    run("tool.txt", [](Transcript &log) {
        for (std::string args : std::initializer_list<std::string>{
                 "--help", "--version", "--debug --version", "", "--bogus", "frobnicate",
                 "--tool-name", "password", "password sideways x", "password encode 'Box-Pass.42'",
                 "password decode 'oeq-9Ofh.JF'",
                 "--tool-name " + std::string(80, 'n') + " password encode x"})
            log.step("vorn " + args, tool(args));
        const std::string env = "VORN_B32_DEBUG_OUTPUT=trace.log XDG_CONFIG_HOME=.";
        log.step(env + " vorn password encode x", tool("password encode x", env));
        STEP(read_file("trace.log")); // the library's version line, written at load
    });
}

// Each thread reads back its own serial text, however the calls interleave.
TEST(FrameExports, SerialTextsOfConcurrentThreadsStayApart) {
    auto foreign_texts = [](char digit) {
        const uint8_t serial[16] = {0x10, 0xFF};
        const std::string number(60, digit), text = number + " (serial# 10)";
        int foreign = 0;
        for (int i = 0; i < 20000; ++i)
            foreign += text != cat_number_and_serialno(number.c_str(), serial);
        return foreign;
    };
    std::vector<std::future<int>> threads;
    for (char digit = '0'; digit < '8'; ++digit)
        threads.push_back(std::async(std::launch::async, foreign_texts, digit));
    for (std::future<int> &thread : threads)
        EXPECT_EQ(thread.get(), 0);
}

// The platform's clock and files past the limits of 32-bit time_t and off_t
// (a 32-bit build sees the same as a 64-bit one): pinned instants on both
// sides of January 2038 and back to seconds in a zone with daylight saving,
// and a sparse file of 3 GiB.
TEST(Platform, TimesPast2038AndFilesPast2GiB) {
    const char *berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
    const struct {
        long long epoch;
        const char *zone;
        platform::LocalTime local;
    } cases[] = {
        {0, "UTC", {1970, 1, 1, 0, 0, 0, 0, 4}},
        {2147483647, "UTC", {2038, 1, 19, 3, 14, 7, 0, 2}},
        {2147483648, "UTC", {2038, 1, 19, 3, 14, 8, 0, 2}},
        {2224749600, berlin, {2040, 7, 1, 12, 0, 0, 0, 0}},
        {4102444800, "UTC", {2100, 1, 1, 0, 0, 0, 0, 5}},
    };
    for (const auto &c : cases) {
        PinnedClock clock(c.epoch, c.zone);
        const platform::LocalTime t = platform::local_time(), &e = c.local;
        EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second,
                                    t.millisecond, t.weekday}),
                  std::vector<int>({e.year, e.month, e.day, e.hour, e.minute, e.second,
                                    e.millisecond, e.weekday}))
            << c.epoch;
        EXPECT_EQ(platform::local_to_epoch(e.year, e.month, e.day, e.hour, e.minute, e.second),
                  c.epoch);
    }

    TempDir dir;
    const std::string big = dir.file("big.bin");
    const uint64_t three_gib = uint64_t{3} << 30;
    write_file(big, "");
    fs::resize_file(big, three_gib);
    uint64_t size = 0;
    EXPECT_TRUE(platform::file_size(big.c_str(), &size));
    EXPECT_EQ(size, three_gib);
    EXPECT_EQ(platform::file_identity(big.c_str()).kind, platform::FileIdentity::Regular);
    std::FILE *file = platform::open_regular_file(big.c_str());
    EXPECT_NE(file, nullptr) << std::strerror(errno);
    if (file != nullptr)
        std::fclose(file);
}

// A view shows the file's bytes up to the length asked for and is gone
// with unmap(); a stream that is no file, or nothing to view, is refused, so
// that the caller reads it instead.
TEST(Platform, MappedFileViewsAFileAndRefusesAPipe) {
    TempDir dir;
    const std::string path = dir.file("view.bin");
    write_file(path, "0123456789abcdef");
    std::FILE *file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    platform::MappedFile view;
    EXPECT_FALSE(view.map(file, 0));
    ASSERT_TRUE(view.map(file, 10));
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(view.data()), view.size()), "0123456789");
    view.unmap();
    EXPECT_FALSE(view);
    EXPECT_EQ(view.size(), 0u);
    std::fclose(file);

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::FILE *pipe = ::fdopen(ends[0], "rb");
    ASSERT_NE(pipe, nullptr);
    EXPECT_FALSE(view.map(pipe, 16));
    EXPECT_FALSE(view);
    std::fclose(pipe);
    ::close(ends[1]);
}
