// The seed corpora of the fuzz targets (fuzz/corpus/<target>/), made from the
// test builders so that every seed is a valid input named for what it is.
// With VORN_UPDATE_FUZZ_SEEDS=1 the test rewrites the folders (and removes
// files the table does not name); otherwise it checks that they are current.
#include "support/alarm_builder.h"
#include "support/config_generator.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace vorn::test {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using Seeds = std::map<std::string, std::string>; // file name -> bytes

const std::string kSource = VORN_SOURCE_DIR;
const std::string kExampleCfg = kSource + "/examples/vorn-box.cfg";

Seeds alarm_seeds() {
    const std::string example = read_file(kSource + "/examples/events.bin");
    AlarmLog v1{1, 300, {40, 3, 1, 38, 0}, {}};
    v1.events = {{38, {4, 12, 15, 13, 5, 9, 2, 3, 12, "Line down"}},
                 {39, {4, 12, 15, 13, 5, 41, 2, 0, 13, "Line up"}},
                 {0, {5, 12, 15, 2, 0, 0, 3, 0, 40, std::string(60, 'T')}}};
    AlarmLog empty{2, 0, {100, 0, 0, 0, 0}, {}, "Vorn-Box\0"s};
    AlarmLog overflow{2, 5000, {4, 4, 1, 2, 1}, {}, "Box\0"s};
    for (int i = 0; i < 4; ++i)
        overflow.events[i] = {1, 1, 16, 0, 0, static_cast<uint8_t>(i), 1, 0, 7, "Event", 0x100u};
    return {{"v2_wrapped_ring.bin", example},
            {"v2_damaged_short.bin", example.substr(0, 247)},
            {"v2_empty_ring.bin", empty.build()},
            {"v2_overflowed_full_ring.bin", overflow.build()},
            {"v1_wrapped_full_text.bin", v1.build()}};
}

Seeds logcall_seeds() {
    const std::string example = read_file(kSource + "/examples/calls.bin");
    CallRecord open_end, end_mark;
    open_end.end = {0xFF, 0xFF, 0xFF, 0, 0, 0};
    end_mark.plc = 0xFFFF;
    return {{"example_calls.bin", example},
            {"one_call.bin", call_log({CallRecord{}})},
            {"unfinished_call_and_tail.bin", call_log({CallRecord{}, open_end}) + "tail"},
            {"end_mark_then_call.bin", call_log({end_mark, CallRecord{}})},
            {"short_74.bin", example.substr(0, 74)}};
}

// The merge target's input: one byte that puts the cut after `first`, then
// both lists (the second one gets empty lines where no byte cuts exactly).
std::string merge_input(const std::string &first, const std::string &second) {
    for (size_t pad = 0; pad < 8; ++pad) {
        const size_t size = 1 + first.size() + second.size() + pad;
        for (unsigned b = 0; b < 256; ++b)
            if (1 + (size - 1) * b / 256 == first.size() + 1)
                return static_cast<char>(b) + first + second + std::string(pad, '\n');
    }
    ADD_FAILURE() << "no cut byte for a first list of " << first.size() << " bytes";
    return {};
}

// Made of the out and in lists of the example call log.
Seeds merge_seeds() {
    TempDir dir;
    const std::string out = dir.file("out"), in = dir.file("in");
    char message[400];
    EXPECT_EQ(mklogcall((kSource + "/examples/calls.bin").c_str(), out.c_str(), in.c_str(),
                        dir.file("reject").c_str(), message),
              0);
    const std::string outs = read_file(out), ins = read_file(in);
    return {
        {"out_and_in_lists", merge_input(outs, ins)},
        {"crlf_and_missing_start", merge_input("\r\n-> ;04.12.15\r\n", ins)},
        {"line_past_buffer", merge_input(outs.substr(0, 36) + std::string(400, 'z') + "\n", outs)}};
}

// The target's first byte chooses whether a TABLE line goes in front.
Seeds conf_seeds() {
    const ConfigKnobs off{.holiday_sections = 3, .standard_maps = false, .optimize = false};
    const ConfigKnobs global{.sections = 0,
                             .empty_sections = 0,
                             .duplicate_sections = 0,
                             .holiday_sections = 0,
                             .maps = 40,
                             .global_maps = 40};
    return {{"branch_office_example.cfg", "\0"s + read_file(kExampleCfg)},
            {"generated_six_sections.cfg", "\0"s + generate_config(1, {}).text},
            {"generated_no_optimize_no_standard.cfg", "\0"s + generate_config(2, off).text},
            {"generated_time_independent.cfg", "\0"s + generate_config(3, global).text},
            {"largest_tenth.cfg", "\0"s + largest_config(10).text},
            {"minute_model_maps.cfg",
             "\1Currency=AOCC 1 1 \"EUR\" M\n"
             "MapOut1=2 M1=0.12 T1=60 I=30 S1=0.5 S2=1\nMapOut2=3 60 1/1\n"},
            {"error_in_second_line.cfg",
             "\1RemotePassword=" + std::string(44, 'x') + "\nMapOut0=1 FOO\n"}};
}

// The configuration lines of the example, each behind the number of the key
// handler the parser_keys target hands it to, in the target's four groups.
Seeds parser_keys_seeds() {
    // The keys of each handler, in the order of the target's handler list.
    std::istringstream handlers(
        "OPTIONS OPTIMIZE|ProtExt|ProtInt|Ctrl2|S2M_L1Mode|FreeTone|Currency|"
        "Controller|CountryCode|RemoteCode|NMSPollNumber|NMSPollCLI|"
        "RemoteOrigination|RemoteCallback EmergencyNumber|EmergencyPause|"
        "NMSPollInterval|NMSCDRInterval|OwnMSN|DropMSN|Subscriber|Redirect|"
        "Restrict|NoRedirectCause|AlternativeLimit|MapCallBack|DTMFWaitDial|"
        "DTMFWaitDtmf|DTMFCount|DTMFDialEnd");
    std::vector<std::pair<std::string, int>> handler_of;
    int h = 0;
    for (std::string keys; std::getline(handlers, keys, '|'); ++h) {
        std::istringstream words(keys);
        for (std::string key; words >> key;)
            handler_of.emplace_back(key, h);
    }
    Seeds seeds;
    std::istringstream example(read_file(kExampleCfg));
    for (std::string line; std::getline(example, line);)
        for (const auto &[key, handler] : handler_of)
            if (line.compare(0, key.size(), key) == 0) {
                const char *group = handler <= 8    ? "example_switches_and_line.txt"
                                    : handler <= 19 ? "example_remote_and_poll.txt"
                                    : handler <= 23 ? "example_redirects.txt"
                                                    : "example_callback_and_dtmf.txt";
                seeds[group] += static_cast<char>(handler) + line + "\n";
                break;
            }
    // Lists that fill up: more origination numbers, redirects and PINs than
    // the table holds.
    std::string &full = seeds["lists_past_their_slots.txt"];
    for (int i = 0; i < 12; ++i) {
        full += "\x0cRemoteOrigination=04215551" + std::to_string(10 + i) + "\n";
        full += "\x14Redirect" + std::to_string(1100 + i) + "=04215552" + std::to_string(i) + "\n";
        full += "\x18MapCallBackPin" + std::to_string(i % 4) + "=1111,2222,3333,4444\n";
    }
    // Texts longer than their fields, which must be cut within them.
    seeds["texts_past_their_fields.txt"] = "\x18MapCallBackCallEnd=12345\n\x1c"
                                           "DTMFDialEnd=1234\n\x06"
                                           "Currency=AOCC 1 1 EURO12345\n";
    return seeds;
}

// The optimize target's layout of a generated configuration: sections as
// (hour, minute, days), maps as (escape length, two escape seeds, code,
// mode, section + 1).
std::string optimize_input(const GeneratedConfig &config, bool optimize_off) {
    std::string out{static_cast<char>(config.sections.size()), static_cast<char>(optimize_off)};
    for (const GeneratedSection &s : config.sections)
        out += {static_cast<char>(s.hour), static_cast<char>(s.minute), static_cast<char>(s.days)};
    for (const GeneratedMap &m : config.maps) {
        const unsigned digits = static_cast<unsigned>(std::stoul(m.escape));
        out += {static_cast<char>(m.escape.size() - 1),
                static_cast<char>(digits >> 8),
                static_cast<char>(digits),
                static_cast<char>(m.code.size() + (m.section < 0) * 0x80),
                static_cast<char>(m.direction),
                static_cast<char>(m.section + 1)};
    }
    return out;
}

Seeds optimize_seeds() {
    const ConfigKnobs holidays{
        .sections = 10, .duplicate_sections = 3, .holiday_sections = 4, .maps = 80};
    return {
        {"generated_six_sections.opt", optimize_input(generate_config(1, {}), false)},
        {"generated_holiday_duplicates.opt", optimize_input(generate_config(4, holidays), false)},
        {"generated_optimize_off.opt",
         optimize_input(generate_config(5, {.maps = 20, .global_maps = 5}), true)}};
}

Seeds table_bin_seeds() {
    // The binary table mkconf makes of the example, at a pinned time.
    PinnedClock clock{kDec4th2026};
    TempDir dir;
    const std::string cfg = dir.file("box.cfg"), bin = dir.file("box.bin");
    write_file(cfg, read_file(kExampleCfg));
    EXPECT_EQ(mkconf(cfg.c_str(), bin.c_str(), 1), 0);
    const std::string three = bin_table_image(3);
    return {{"empty_table.bin", bin_table_image(0)},
            {"three_maps.bin", three},
            {"three_maps_cut_in_map_part.bin", three.substr(0, three.size() - 100)},
            {"used_count_past_file.bin", bin_table_image(2, "TF01.5", 40)},
            {"compiled_branch_office.bin", read_file(bin)}};
}

Seeds route_seeds() {
    // The compiled example, and the same record with counts past their
    // arrays and every map in a period the table does not hold.
    const std::string example = table_bin_seeds().at("compiled_branch_office.bin");
    std::string damaged = example;
    damaged[334] = 63;     // table_max_period_entries
    damaged[336] = 99;     // table_holiday_entries
    damaged[366] = '\x7F'; // table_used_map_entries, low byte
    for (size_t map = 2540 + 35; map < damaged.size(); map += 40)
        damaged[map] = '\x3F';
    return {{"compiled_branch_office.bin", example}, {"counts_past_arrays.bin", damaged}};
}

Seeds prot_trace_seeds() {
    const std::string frame = bytes_of({2, 1, 0x7F});
    TraceBuilder records, ff_end, ff_run, invalid, long_frame, segment;
    records.at(5, 9).time(13, 4, 12, 15).state(1, 0x25).frame('r', 1, frame);
    records.frame('s', 1, bytes_of({2, 1, 0x73})).connect(1, 1, 3, 1, 1).error(3, 7).boot();
    ff_end.frame('r', 1, frame).fill_to(40);
    ff_run.frame('r', 1, frame).ff(20).frame('s', 1, bytes_of({1, 0x73}));
    invalid.record('?', 2, "abc").record('b', 1, "", 0).frame('r', 1, "x");
    long_frame.frame('r', 1, counting_bytes(360));
    segment.frame('r', 1, frame).fill_to(65536).frame('s', 2, bytes_of({1}));
    return {{"every_record_kind.bin", records.bytes()},
            {"frame_then_unwritten_space.bin", ff_end.bytes()},
            {"unwritten_run_between_frames.bin", ff_run.bytes()},
            {"unknown_type_and_zero_length.bin", invalid.bytes()},
            {"frame_of_360_bytes.bin", long_frame.bytes()},
            {"second_segment.bin", segment.bytes()}};
}

// The first byte is the size of the caller's buffers.
Seeds utils_seeds() {
    return {{"hex_number.bin", "\x20"s + "1aF9zz"},
            {"linux_path_short_buffer.bin", "\x05/tmp/vorn/calls.bin"},
            {"windows_path.bin", "\x3f"s + R"(C:\Vorn\Box\table.cfg)"},
            {"module_name.bin", "\x3fvorn_b32.dll"},
            {"password.bin", "\x10"s + "Br3men-NOC"},
            {"format_characters.bin", "\x10%s%d%n%S%*"},
            {"zero_size_buffer.bin", "\x00text"s}};
}

// Format, NUL, then the mode byte (0x40: through the fallback file; 0xC0 and
// up: the line already holds characters) and the argument bytes.
Seeds trace_format_seeds() {
    const std::string some = "\x00\x01\x02\x03\xFF\xFF\xFF\xFF\x2A\x00\x00\x00"
                             "\x05text!\x03wid\x41\x42\x43"s;
    const std::string x0 = "\x00"s, x40 = "\x40"s;
    return {
        {"every_conversion.fmt",
         "%d %u %o %x %X %b %c %p %s %S %% end\n" + x0 + x0 + some + some + some},
        {"widths_flags_and_fill.fmt",
         "[%5d][%-5u][%05d][%8s][%-8s][%.3s][%6.4s]\n" + x0 + x0 + some + some},
        {"star_width_and_precision.fmt",
         "%*d|%-*s|%.*s|%*.*s|%*.5ld\n" + x0 + x0 + some + some + some + some},
        {"size_letters.fmt", "%ld %lu %lx %Nd %Fs %ls %lb %lc\n" + x0 + x0 + some + some + some},
        {"null_and_wide_strings.fmt", "%s|%S|%10S|%-3.2S\n" + x0 +
                                          "\x00\xFF\xFF\x04wide\x01\x02\x03\x04\x03"
                                          "abc"s},
        {"not_supported_marker.fmt", "before %d %q after %d\n" + x0 + "\x00\x07\x00\x00\x00"s},
        {"line_past_254.fmt",
         std::string(300, 'x') + "%s\n" + x0 + "\x00\x3F"s + std::string(63, 'y')},
        {"line_already_full.fmt", "%d\n" + x0 + "\xC0\x01\x00\x00\x00"s},
        {"host_line_past_720_in_fallback.fmt",
         "%800d|%-20s|%lx\n" + x0 + x40 + "\x2A\x00\x00\x00\x04host"s + std::string(8, '\x11')},
        // Caught: the fallback file lost every character after a %c of 0.
        {"fallback_nul_character.fmt", "a%cb%sc\n" + x0 + x40 + "\x00\x00\x00\x00\x03xyz"s}};
}

// The first byte is the size of the pieces the input arrives in; then the
// messages of a client: a session over every method, and hostile framing
// around an initialize request.
Seeds lsp_seeds() {
    const auto frame = [](const std::string &body) {
        return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const std::string uri = R"({"uri":"file:///f.cfg")";
    const std::string at =
        R"({"textDocument":)" + uri + R"(},"position":{"line":3,"character":1}})";
    const std::string text = "TABLE=TF01.5\nCountryCode=49\nMapOt01=1\n[08:00 MO\n"
                             "MapOut00=0100 60 1/1\n[18:00] SA\nMapOut00=0100 60 1/1\n; " +
                             std::string(150, '-') + "\n";
    std::string escaped;
    for (const char c : text)
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    const std::string init =
        frame(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{}}})");
    const std::string session =
        init +
        frame(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)" +
              uri + R"(,"version":1,"text":")" + escaped + "\"}}}") +
        frame(R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":)" +
              uri +
              R"(},"contentChanges":[{"range":{"start":{"line":2,"character":3},)"
              R"("end":{"line":2,"character":3}},"text":"u"}]}})") +
        frame(R"({"jsonrpc":"2.0","id":2,"method":"textDocument/hover","params":)" + at + "}") +
        frame(R"({"jsonrpc":"2.0","id":3,"method":"textDocument/completion","params":)" + at +
              "}") +
        frame(R"({"jsonrpc":"2.0","id":4,"method":"textDocument/codeAction","params":)"
              R"({"textDocument":)" +
              uri +
              R"(},"range":{"start":{"line":0,"character":0},)"
              R"("end":{"line":9,"character":0}},"context":{"diagnostics":[]}}})") +
        frame(R"({"jsonrpc":"2.0","id":5,"method":"textDocument/documentSymbol","params":)"
              R"({"textDocument":)" +
              uri + "}}}") +
        frame(R"({"jsonrpc":"2.0","id":6,"method":"shutdown"})") +
        frame(R"({"jsonrpc":"2.0","method":"exit"})");
    const std::string hostile = "Content-Lenght: 5\r\n\r\nhello"
                                "Content-Length: 99999999999\r\n\r\n" +
                                frame("{bad") + frame("[1]") + init +
                                frame(R"({"jsonrpc":"2.0","id":9,"method":"nothing"})") +
                                "Content-Length: 50\r\n\r\n{";
    return {{"session.bin", "\x07" + session}, {"hostile_framing.bin", "\x03" + hostile}};
}

TEST(FuzzSeeds, CorporaAreTheBuildersSeeds) {
    const std::map<std::string, Seeds (*)()> targets = {{"alarm_fuzz", alarm_seeds},
                                                        {"logcall_fuzz", logcall_seeds},
                                                        {"merge_fuzz", merge_seeds},
                                                        {"conf_fuzz", conf_seeds},
                                                        {"parser_keys_fuzz", parser_keys_seeds},
                                                        {"optimize_fuzz", optimize_seeds},
                                                        {"table_bin_fuzz", table_bin_seeds},
                                                        {"prot_trace_fuzz", prot_trace_seeds},
                                                        {"route_fuzz", route_seeds},
                                                        {"utils_fuzz", utils_seeds},
                                                        {"trace_format_fuzz", trace_format_seeds},
                                                        {"lsp_fuzz", lsp_seeds}};
    const char *update = std::getenv("VORN_UPDATE_FUZZ_SEEDS");
    const bool rewrite = update != nullptr && *update == '1';
    for (const auto &entry : fs::directory_iterator(kSource + "/fuzz")) {
        const std::string file = entry.path().filename().string();
        if (file.size() > 9 && file.compare(file.size() - 9, 9, "_fuzz.cpp") == 0) {
            EXPECT_TRUE(targets.count(file.substr(0, file.size() - 4))) << file << " has no seeds";
        }
    }
    for (const auto &[target, make] : targets) {
        const fs::path folder = kSource + "/fuzz/corpus/" + target;
        const Seeds seeds = make();
        for (const auto &[name, bytes] : seeds) {
            SCOPED_TRACE(target + "/" + name);
            if (rewrite) {
                fs::create_directories(folder);
                write_file((folder / name).string(), bytes);
            }
            EXPECT_EQ(read_file((folder / name).string()), bytes)
                << "regenerate with VORN_UPDATE_FUZZ_SEEDS=1";
        }
        // A folder holds no file the table does not name: inputs a fuzzer
        // found stay out of the repository.
        for (const auto &entry : fs::directory_iterator(folder)) {
            const std::string file = entry.path().filename().string();
            if (seeds.count(file) == 0 && rewrite)
                fs::remove(entry.path());
            else
                EXPECT_TRUE(seeds.count(file)) << target << "/" << file << " is not a named seed";
        }
    }
}

} // namespace
} // namespace vorn::test
