// The library frame (per-thread settings, allocator, error texts), the
// utility exports, the trace and the tool's common part.  Each test runs a
// sequence of calls and compares its transcript as a whole with a golden
// file in tests/golden/frame/: every call ("> call"), the output strings it
// traced (quoted, one a line) and its value ("= value").
#include "frame/frame.h"
#include "support/run_tool.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "trace/trace.h"

#include <cstring>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <unistd.h>

using namespace vorn::test;
namespace fs = std::filesystem;

namespace {

std::string show(const std::string &text) { // quoted, with C escapes
    std::string q = "\"";
    for (unsigned char c : text) {
        const char *form = c == '\n'               ? "\\n"
                           : c == '\r'             ? "\\r"
                           : c == '\\' || c == '"' ? "\\%c"
                                                   : "%c";
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, c < 0x20 || c >= 0x7F ? "\\x%02X" : form, c);
        q += c == '\n' || c == '\r' ? form : escaped;
    }
    return q + "\"";
}
std::string show(const char *text) {
    return text ? show(std::string(text)) : "NULL";
}
std::string show(long long number) {
    return std::to_string(number);
}

// The transcript.  The script thread's id shows as [tid], other threads' as
// [other], block addresses as <addr>, the six drawn characters of unique
// file names as ??????, and live block counts relative to the start.
struct Transcript {
    TraceCapture trace;
    const uint32_t base = vorn::live_blocks();
    const unsigned tid = static_cast<unsigned>(gettid());
    std::string text;

    std::string normalised(std::string s, bool trace = false) const {
        const std::string version = vorn::platform::library_version();
        for (size_t at = 0; (at = s.find(version, at)) != std::string::npos;)
            s.replace(at, version.size(), "<version>");
        char own[16];
        std::snprintf(own, sizeof own, "] [%03X][", tid);
        if (s.find(own) == 4)
            s.replace(4, std::strlen(own), "] [tid][");
        static const std::regex other(R"((\[(DEB|ERR)\] )\[[0-9A-F]{3,}\])"),
            address(R"((p=)[0-9A-F]{6,}|[0-9A-F]{6,}(=<))"), unique(R"((\./.{6})[a-z0-9]{6}\b)"),
            count(R"((size= *\d+ )( *\d+) Global)");
        s = std::regex_replace(std::regex_replace(s, other, "$1[other]"), address, "$1<addr>$2");
        s = std::regex_replace(s, unique, "$1??????");
        std::smatch m;
        if (trace && std::regex_search(s, m, count)) {
            char relative[16];
            std::snprintf(relative, sizeof relative, "%3lu", std::stoul(m[2]) - base);
            s.replace(m.position(2), m.length(2), relative);
        }
        return s;
    }
    void step(const std::string &call, const std::string &value) {
        text += "> " + call + "\n";
        for (const std::string &s : trace.outputs()) // a cut line: its length depends on the tid
            text += "  " +
                    (s.size() < 254 ? show(normalised(s, true))
                                    : show(normalised(s, true).substr(0, 40)) + "..." +
                                          show(s.substr(s.size() - 6)) + " (cut)") +
                    "\n";
        trace.clear();
        text += value.empty() ? "" : "= " + normalised(value) + "\n";
    }
};
#define STEP(...) log.step(#__VA_ARGS__, show((__VA_ARGS__)))
#define DO(...) ((__VA_ARGS__), log.step(#__VA_ARGS__, ""))

// Runs `script` on a fresh thread in an empty current folder, with the clock
// pinned, and compares its transcript with tests/golden/frame/<name>.
template <class Script> void run(const std::string &name, Script script) {
    PinnedClock clock(kDec4th2026);
    TempDir dir;
    const fs::path old = fs::current_path();
    fs::current_path(dir.path());
    std::string text;
    std::thread([&] {
        Transcript log;
        script(log);
        text = log.text;
    }).join();
    fs::current_path(old);
    expect_golden("frame/" + name, text);
}

// A getter's text and, when it wrote beyond `size`, "<overrun>".
template <class Get> std::string got(Get get, int size) {
    char buf[400];
    std::memset(buf, '#', sizeof buf);
    get(buf, size);
    return std::string(buf, strnlen(buf, size)) + (buf[size] == '#' ? "" : "<overrun>");
}

} // namespace

TEST(FrameExports, SettingsAllocatorAndUtilitiesAgainstTheGoldenTranscript) {
    run("exports.txt", [](Transcript &log) {
        auto tmp = [](int size) { return got(get_TmpPath, size); };
        auto pw = [](int size) { return got(get_Password, size); };
        auto name = [](const char *n = 0) {
            return vorn::get_tool_name(&n) ? "-1" : std::string(n);
        };
        auto files = [](uint32_t f = 99) { return vorn::get_optimize_files(&f), f; };
        auto fresh_thread = [&] {
            return tmp(260) + "|" + name() + "|" + pw(80) + "|" + show(files());
        };
        DebugOn on;
        STEP(set_TmpPath("C:\\A\\B\\file.cfg", 0), tmp(260));
        STEP(set_TmpPath("D:\\X\\y.cfg", 0), tmp(260)); // force 0 keeps a stored folder
        STEP(set_TmpPath("D:\\X\\y.cfg", 1), tmp(260));
        STEP(set_TmpPath("name.cfg", 1), tmp(260));
        STEP(set_TmpPath("/tmp/x/y", 1), tmp(260));
        STEP(set_TmpPath("C:\\TMP\\X.CFG", 1), get_TmpPath(nullptr, 9),
             tmp(4) + "|" + tmp(1) + "|" + tmp(0));
        STEP(set_TmpPath((std::string(250, 'a') + "/" + std::string(300, 'b')).c_str(), 1),
             tmp(300).size());
        STEP(set_Password(std::string(50, 'p').c_str()), pw(80));
        STEP(set_Password(nullptr), get_Password(nullptr, 5),
             pw(80) + "|" + pw(3) + "|" + pw(1) + "|" + pw(0));
        STEP(set_Password("mine"), pw(80));
        STEP(set_tool_name(std::string(120, 'N').c_str()), name().size());
        STEP(set_tool_name("HOST"), set_optimize_files(3), set_optimize_ex(4),
             name() + "|" + show(files()));
        STEP(std::async(std::launch::async, fresh_thread).get()); // settings belong to their thread
        STEP(set_TmpPath(nullptr, 1), set_tool_name(nullptr), vorn::get_tool_name(nullptr),
             tmp(260) + "|" + name());
        auto *block = static_cast<char *>(vorn::myAlloc(100, "pt"));
        STEP(std::count(block, block + 100, 0)); // zero-filled
        DO(vorn::myFree(block, "pt"), vorn::myFree(nullptr, "pt"));
        std::string first(90, 'A'), second(90, 'B');
        const uint8_t *copy = nullptr;
        STEP(set_DevInfo(first.data()), set_DevInfo(second.data()), set_DevInfo(nullptr),
             vorn::get_dev_info(&copy), std::string(copy, copy + 90) == second);
        auto *older = static_cast<vorn::table_t *>(vorn::myAlloc(16, "pTable"));
        auto *table = static_cast<vorn::table_t *>(vorn::myAlloc(16, "pTable"));
        vorn::table_t *now = nullptr;
        STEP(vorn::set_instance_table(older), vorn::set_instance_table(table),
             vorn::get_instance_table(&now), now == table);
        STEP(vorn::set_instance_table(nullptr), vorn::get_instance_table(&now), now == nullptr);
        DO(vorn::myFree(table, "pTable"), set_global_error());
        for (int code = -1; code <= vorn::kErrorTexts; ++code)
            if (*vorn::error_text(code) != '\0')
                log.text += "error " + show(code) + " " + show(vorn::error_text(code)) + "\n";

        char buf[260];
        STEP(make_fname("C:\\A\\cfg.txt", buf, ".map"));
        STEP(make_fname("C:\\A.B\\cfg", buf, ".map")); // the last point of the whole path
        STEP(make_fname("/srv/box/config", buf, ".del"));
        STEP(make_fname("a.b", nullptr, ".map") == make_fname(nullptr, buf, ".map"));
        STEP(std::strlen(make_fname(std::string(300, 'x').c_str(), buf, ".map")));
        STEP(set_TmpPath("./any.cfg", 1), make_fname("test.cfg", buf, nullptr),
             show(buf) + " size " + show(fs::file_size(buf)));
        STEP(make_fname("test.cfg", buf, nullptr));
        STEP(make_fname("LONGNAME.CFG", buf, nullptr));
        STEP(make_fname("./sub.x.log", buf, nullptr));
        STEP(make_fname("./no/such/x.cfg", buf, nullptr) ? "made" : "NULL, buffer " + show(buf));
        uint8_t t[6] = {};
        STEP(conf_gettime(nullptr), conf_gettime(t),
             std::string(t, t + 6) == "\x09\x05\x0e\x04\x0c\x1a");
        const uint8_t two[16] = {1, 0xA2, 0xFF, 0x33}, zero[16] = {0, 0x12}, unset[16] = {0xFF, 1};
        const uint8_t serial[16] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                                    0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F};
        STEP(cat_number_and_serialno("0711", two));
        STEP(cat_number_and_serialno("42", zero));
        STEP(cat_number_and_serialno("42", unset));
        STEP(cat_number_and_serialno(nullptr, nullptr));
        STEP(cat_number_and_serialno(std::string(200, '9').c_str(), serial));
        for (const char *text : {"1x2", "$FF", "G1", "0x1F", "X1F", "$1f", "00x1", "1$2",
                                 "123456789", "", static_cast<const char *>(nullptr)})
            log.step("atoh(" + show(text) + ")", show(atoh(text)));
        for (int size : {100, 49, 48, 33, 32, 22, 21, 18, 17, 10, 9, 8, 7})
            log.step("get_vorn_b32_dll_version(buf, " + show(size) + ")",
                     got(get_vorn_b32_dll_version, size));
        for (auto [module, size] : {std::pair<std::string, int>{"Vorn_B32.DLL", 100},
                                    {"vorn_b32.dll", 40},
                                    {"Vorn_B32.DLL", 25},
                                    {"Vorn_B32.DLL", 20},
                                    {"Vorn_B32.DLL", 12},
                                    {"other.dll", 100},
                                    {"a-very-long-module-name.dll", 20},
                                    {std::string(300, 'm'), 60}})
            log.step(
                "get_dll_version(" + show(module.substr(0, 30)) + ", buf, " + show(size) + ")",
                got([&](char *b, int s) { return get_dll_version(module.c_str(), b, s); }, size));
        STEP(get_vorn_b32_dll_version(nullptr, 50) + get_dll_version(nullptr, buf, 60));
        char coded[80], plain[80];
        const char *all = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-. _#";
        STEP(CodePassWord(all, coded), DecodePassWord(coded, plain), show(coded) + " " + plain);
        STEP(CodePassWord("x", nullptr), CodePassWord("", plain), CodePassWord(nullptr, coded),
             std::string(plain) + coded);

        write_file("table.bin", "secret table");
        STEP(link("table.bin", "witness.bin"), remove_hexfile("table.bin"));
        STEP(show(read_file("witness.bin") == std::string(65535, '\0')) +
             show(fs::exists("table.bin")));
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
    const char *config = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = config ? config : "";
    run("trace.txt", [](Transcript &log) {
        DO(vorn::dbg_printf("hidden %d\n", 1), vorn::dbg_error("Cannot Read \"x.bin\"!\n"),
           vorn::dbg_error("100% done"));
        DO(vorn::set_app_reg_debug(1), vorn::dbg_printf("library %s\n", "line"), ptrace("host\n"),
           vorn::set_app_reg_debug(0));
        DebugOn on;
        DO(vorn::dbg_printf("abc"), vorn::dbg_printf("def\n"), vorn::dbg_printf("open "),
           vorn::dbg_error("error text\n"), vorn::dbg_printf("next\n"));
        DO(vorn::dbg_printf("%s\n", std::string(300, 'y').c_str()), ptrace("tail\n"));
        DO(ptrace("before name %d\n", 1), set_tool_name("WCFG2BIN"), ptrace("v=%u\n", 42));
        DO(std::async(std::launch::async, [] {
               ptrace("off\n"), set_debug(1), ptrace("other\n");
           }).get());
        DO(ptrace(nullptr), vorn::dbg_printf(nullptr), vorn::dbg_error(nullptr));

        setenv("XDG_CONFIG_HOME", "cfg", 1);
        auto read_switch = [](uint32_t value = vorn::read_debug_switch()) {
            return show(value) + " " + show(read_file("cfg/KEMAX/KEMAX.NMS/Settings"));
        };
        STEP(vorn::platform::settings_path());
        STEP(read_switch()); // the value is added for the user to change
        STEP(write_file("cfg/KEMAX/KEMAX.NMS/Settings", "Other=5\r\nVorn_B32_DEBUG=3\r\n"),
             read_switch());
        STEP(write_file("cfg/KEMAX/KEMAX.NMS/Settings", "Vorn_B32_DEBUG=yes\nKeep=1"),
             read_switch());
        STEP(write_file("blocked", ""), setenv("XDG_CONFIG_HOME", "blocked", 1),
             vorn::read_debug_switch());

        write_file("DBG--000.000", "taken");
        DO(log.trace.set_failing(true), set_tool_name("HOST"), ptrace("first %s %d", "part", 7),
           ptrace(" second\n"), vorn::dbg_printf("library line\n"), log.trace.set_failing(false));
        STEP(read_file("DBG--000.001"));
        va_list none{};
        testing::internal::CaptureStdout();
        DO(vorn::file_trace(nullptr, none), set_tool_name(nullptr)); // closes and removes the files
        STEP(testing::internal::GetCapturedStdout() + show(fs::exists("DBG--000.001")));
    });
    config ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

std::string fmt(const char *format, ...) {
    vorn::TraceLine line;
    va_list args;
    va_start(args, format);
    vorn::trace_format(line, format, args);
    va_end(args);
    return line.finish();
}

TEST(Trace, FormatterAgainstTheGoldenTranscript) {
    run("formatter.txt", [](Transcript &log) {
        const char *no_text = nullptr;
        const uint16_t wide[] = {'W', 0x141, 'd', 0}, *no_wide = nullptr;
        void *pointer = reinterpret_cast<void *>(static_cast<uintptr_t>(0xabcdef1234ull));
        STEP(fmt("%u|%d|%5d|%05d|%-5u|%03u|%.3d", 4294967295u, -42, -42, -42, 7, 7, 12345));
        STEP(fmt("%x|%04x|[%03x]|[%03x]|%X|%o|%b|%08b", 255, 0x1a4, 0x1a4, 0x1a44, 0xdeadbeefu, 8,
                 5, 5));
        STEP(fmt("%u|%d|%c%c|100%%", 0, -2147483647 - 1, 'A', 0x142));
        STEP(
            fmt("%lu|%lu|%ld|%5lu|%Fs|%Ns|%.2Fs", 4000000000ul, 7ul, -5l, 42ul, "far", "n", "abc"));
        STEP(fmt("%p|%p|%S|%S", pointer, nullptr, wide, no_wide));
        STEP(fmt("%s|[%6s]|[%-6s]|[%.2s]|[%10.10s]|[%1s]", no_text, "ab", "ab", "abcdef",
                 "0123456789abc", "long"));
        STEP(fmt("[%6.4s]|[%-6.4s]|[%*s]|[%-*s]|[%.*s]", "ab", "ab", 4, "x", 4, "x", 2, "xyz"));
        STEP(fmt("%*lu", 3, 5ul)); // after a width of *, a size letter is the conversion
        STEP(fmt("a%qb%d", 5) + fmt("end%"));
        STEP(fmt("%s", std::string(300, 'x').c_str()).size() + fmt("%2000000000d", 1).size() +
             fmt("%*s", 2000000000, "x").size());
        char last = '\n';
        vorn::TraceLine line;
        line.last_char = &last;
        STEP(vorn::trace_formatf(line, "%s\n", std::string(300, 'x').c_str()),
             std::string(1, last));
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
