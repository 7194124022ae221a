// The seed corpora of the fuzz targets (fuzz/corpus/<target>/), made from the
// test builders so that every seed is a valid input named for what it is.
// With VORN_UPDATE_FUZZ_SEEDS=1 the test rewrites the folders (and removes
// files the table does not name); otherwise it checks that they are current.
#include "logs/logcall.h"
#include "support/alarm_builder.h"
#include "support/config_generator.h"
#include "support/logcall_builder.h"
#include "support/prot_trace_builder.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <gtest/gtest.h>

#include <cstdio>
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

const std::string kSource = VORN_SOURCE_DIR;

struct Seed {
    std::string target, name, bytes;
};

// ---- event logs -------------------------------------------------------------

std::vector<Seed> alarm_seeds() {
    const std::string example = read_file(kSource + "/examples/events.bin");
    AlarmLog v1{1, 300, {40, 3, 1, 38, 0}, {}};
    v1.events = {{38, {4, 12, 15, 13, 5, 9, 2, 3, 12, "Line down"}},
                 {39, {4, 12, 15, 13, 5, 41, 2, 0, 13, "Line up"}},
                 {0, {5, 12, 15, 2, 0, 0, 3, 0, 40, std::string(60, 'T')}}};
    AlarmLog empty{2, 0, {100, 0, 0, 0, 0}, {}, "Vorn-Box\0"s};
    AlarmLog overflow{2, 5000, {4, 4, 1, 2, 1}, {}, "Box\0"s};
    for (int i = 0; i < 4; ++i)
        overflow.events[i] = {1, 1, 16, 0, 0, static_cast<uint8_t>(i), 1, 0, 7, "Event", 0x100u};
    return {{"alarm_fuzz", "v2_wrapped_ring.bin", example},
            {"alarm_fuzz", "v2_damaged_short.bin", example.substr(0, 247)},
            {"alarm_fuzz", "v2_empty_ring.bin", empty.build()},
            {"alarm_fuzz", "v2_overflowed_full_ring.bin", overflow.build()},
            {"alarm_fuzz", "v1_wrapped_full_text.bin", v1.build()}};
}

// ---- call logs and the lists made from them -----------------------------------

std::string stream_text(std::FILE *f) {
    std::string out;
    std::rewind(f);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        out.append(buf, n);
    return out;
}

// The out and in lists the converter writes for `log`, in separate mode.
std::pair<std::string, std::string> call_lists(const std::string &log) {
    std::FILE *binary = std::tmpfile(), *out = std::tmpfile(), *in = std::tmpfile(),
              *reject = std::tmpfile();
    std::fwrite(log.data(), 1, log.size(), binary);
    std::rewind(binary);
    EXPECT_EQ(sort_logcall(binary), 0);
    EXPECT_EQ(convert_logcall(binary, out, in, reject), 0);
    std::pair<std::string, std::string> lists{stream_text(out), stream_text(in)};
    for (std::FILE *f : {binary, out, in, reject})
        std::fclose(f);
    return lists;
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

std::vector<Seed> call_seeds() {
    const std::string example = read_file(kSource + "/examples/calls.bin");
    CallRecord open_end;
    open_end.end = {0xFF, 0xFF, 0xFF, 0, 0, 0};
    CallRecord end_mark;
    end_mark.plc = 0xFFFF;
    const std::string two_calls = call_log({CallRecord{}, open_end});
    const auto [out, in] = call_lists(example);
    const std::string long_line = out.substr(0, 36) + std::string(400, 'z') + "\n";
    return {{"logcall_fuzz", "example_calls.bin", example},
            {"logcall_fuzz", "one_call.bin", call_log({CallRecord{}})},
            {"logcall_fuzz", "unfinished_call_and_tail.bin", two_calls + "tail"},
            {"logcall_fuzz", "end_mark_then_call.bin", call_log({end_mark, CallRecord{}})},
            {"logcall_fuzz", "short_74.bin", example.substr(0, 74)},
            {"merge_fuzz", "out_and_in_lists", merge_input(out, in)},
            {"merge_fuzz", "crlf_and_missing_start", merge_input("\r\n-> ;04.12.15\r\n", in)},
            {"merge_fuzz", "line_past_buffer", merge_input(long_line, out)}};
}

// ---- configurations -----------------------------------------------------------

std::string knob_text(uint64_t seed, ConfigKnobs knobs) {
    return generate_config(seed, knobs).text;
}

std::vector<Seed> conf_seeds() {
    // The target's first byte chooses whether a TABLE line goes in front.
    const std::string example = read_file(kSource + "/examples/vorn-box.cfg");
    ConfigKnobs plain;
    ConfigKnobs off;
    off.optimize = false;
    off.standard_maps = false;
    off.holiday_sections = 3;
    ConfigKnobs global;
    global.sections = 0, global.empty_sections = 0, global.duplicate_sections = 0;
    global.holiday_sections = 0, global.maps = 40, global.global_maps = 40;
    return {{"conf_fuzz", "branch_office_example.cfg", "\0"s + example},
            {"conf_fuzz", "generated_six_sections.cfg", "\0"s + knob_text(1, plain)},
            {"conf_fuzz", "generated_no_optimize_no_standard.cfg", "\0"s + knob_text(2, off)},
            {"conf_fuzz", "generated_time_independent.cfg", "\0"s + knob_text(3, global)},
            {"conf_fuzz", "largest_tenth.cfg", "\0"s + largest_config(10).text},
            {"conf_fuzz", "minute_model_maps.cfg",
             "\x01"
             "Currency=AOCC 1 1 \"EUR\" M\n"
             "MapOut1=2 M1=0.12 T1=60 I=30 S1=0.5 S2=1\nMapOut2=3 60 1/1\n"},
            {"conf_fuzz", "error_in_second_line.cfg",
             "\x01RemotePassword=" + std::string(44, 'x') + "\nMapOut0=1 FOO\n"}};
}

// The configuration lines of the example, each behind the number of the key
// handler the parser_keys target hands it to.
std::vector<Seed> parser_key_seeds() {
    // The keys of each handler, in the order of the target's handler list.
    static const char *const kKeysOfHandler[] = {
        "OPTIONS OPTIMIZE",  "ProtExt",
        "ProtInt",           "Ctrl2",
        "S2M_L1Mode",        "FreeTone",
        "Currency",          "Controller",
        "CountryCode",       "RemoteCode",
        "NMSPollNumber",     "NMSPollCLI",
        "RemoteOrigination", "RemoteCallback EmergencyNumber",
        "EmergencyPause",    "NMSPollInterval",
        "NMSCDRInterval",    "OwnMSN",
        "DropMSN",           "Subscriber",
        "Redirect",          "Restrict",
        "NoRedirectCause",   "AlternativeLimit",
        "MapCallBack",       "DTMFWaitDial",
        "DTMFWaitDtmf",      "DTMFCount",
        "DTMFDialEnd"};
    std::vector<std::pair<std::string, int>> handler_of;
    for (int h = 0; h < static_cast<int>(std::size(kKeysOfHandler)); ++h) {
        std::istringstream keys(kKeysOfHandler[h]);
        for (std::string key; keys >> key;)
            handler_of.emplace_back(key, h);
    }
    std::map<std::string, std::string> groups; // seed name -> lines
    std::istringstream example(read_file(kSource + "/examples/vorn-box.cfg"));
    for (std::string line; std::getline(example, line);)
        for (const auto &[key, handler] : handler_of)
            if (line.compare(0, key.size(), key) == 0) {
                const char *group = handler <= 8    ? "example_switches_and_line.txt"
                                    : handler <= 19 ? "example_remote_and_poll.txt"
                                    : handler <= 23 ? "example_redirects.txt"
                                                    : "example_callback_and_dtmf.txt";
                groups[group] += static_cast<char>(handler) + line + "\n";
                break;
            }
    std::vector<Seed> seeds;
    for (const auto &[name, lines] : groups)
        seeds.push_back({"parser_keys_fuzz", name, lines});
    // Lists that fill up: more origination numbers, redirects and PINs than
    // the table holds.
    std::string full;
    for (int i = 0; i < 12; ++i) {
        full += "\x0cRemoteOrigination=04215551" + std::to_string(10 + i) + "\n";
        full += "\x14Redirect" + std::to_string(1100 + i) + "=04215552" + std::to_string(i) + "\n";
        full += "\x18MapCallBackPin" + std::to_string(i % 4) + "=1111,2222,3333,4444\n";
    }
    seeds.push_back({"parser_keys_fuzz", "lists_past_their_slots.txt", full});
    return seeds;
}

// The optimize target's layout of a generated configuration: sections as
// (hour, minute, days), maps as (escape length, two escape seeds, code,
// mode, section + 1).
std::string optimize_input(const GeneratedConfig &config, bool optimize_off) {
    std::string out;
    out += static_cast<char>(config.sections.size());
    out += static_cast<char>(optimize_off ? 1 : 0);
    for (const GeneratedSection &s : config.sections)
        out += {static_cast<char>(s.hour), static_cast<char>(s.minute), static_cast<char>(s.days)};
    for (const GeneratedMap &m : config.maps) {
        unsigned digits = 0;
        for (char d : m.escape)
            digits = digits * 10 + static_cast<unsigned>(d - '0');
        out += {static_cast<char>(m.escape.size() - 1),
                static_cast<char>(digits >> 8),
                static_cast<char>(digits),
                static_cast<char>(m.code.size() + (m.section < 0) * 0x80),
                static_cast<char>(m.direction),
                static_cast<char>(m.section + 1)};
    }
    return out;
}

std::vector<Seed> optimize_seeds() {
    ConfigKnobs holidays;
    holidays.sections = 10, holidays.holiday_sections = 4, holidays.duplicate_sections = 3;
    holidays.maps = 80;
    ConfigKnobs small;
    small.maps = 20, small.global_maps = 5;
    return {{"optimize_fuzz", "generated_six_sections.opt",
             optimize_input(generate_config(1, ConfigKnobs{}), false)},
            {"optimize_fuzz", "generated_holiday_duplicates.opt",
             optimize_input(generate_config(4, holidays), false)},
            {"optimize_fuzz", "generated_optimize_off.opt",
             optimize_input(generate_config(5, small), true)}};
}

// ---- tables -------------------------------------------------------------------

// The binary table mkconf makes of the example, at a pinned time.
std::string compiled_example() {
    PinnedClock clock{kDec4th2026};
    TempDir dir;
    const std::string cfg = dir.file("box.cfg"), bin = dir.file("box.bin");
    write_file(cfg, read_file(kSource + "/examples/vorn-box.cfg"));
    EXPECT_EQ(mkconf(cfg.c_str(), bin.c_str(), 1), 0);
    return read_file(bin);
}

std::vector<Seed> table_seeds() {
    const std::string three = bin_table_image(3);
    return {
        {"table_bin_fuzz", "empty_table.bin", bin_table_image(0)},
        {"table_bin_fuzz", "three_maps.bin", three},
        {"table_bin_fuzz", "three_maps_cut_in_map_part.bin", three.substr(0, three.size() - 100)},
        {"table_bin_fuzz", "used_count_past_file.bin", bin_table_image(2, "TF01.5", 40)},
        {"table_bin_fuzz", "compiled_branch_office.bin", compiled_example()}};
}

// ---- protocol traces ----------------------------------------------------------

std::vector<Seed> prot_trace_seeds() {
    TraceBuilder records;
    records.at(5, 9)
        .time(13, 4, 12, 15)
        .state(1, 0x25)
        .frame('r', 1, bytes_of({2, 1, 0x7F}))
        .frame('s', 1, bytes_of({2, 1, 0x73}))
        .connect(1, 1, 3, 1, 1)
        .error(3, 7)
        .boot();
    TraceBuilder ff_end, ff_run, invalid, long_frame, segment;
    ff_end.frame('r', 1, bytes_of({2, 1, 0x7F})).fill_to(40);
    ff_run.frame('r', 1, bytes_of({2, 1, 0x7F})).ff(20).frame('s', 1, bytes_of({1, 0x73}));
    invalid.record('?', 2, "abc").record('b', 1, "", 0).frame('r', 1, "x");
    long_frame.frame('r', 1, counting_bytes(360));
    segment.frame('r', 1, bytes_of({2, 1, 0x7F})).fill_to(65536).frame('s', 2, bytes_of({1}));
    return {{"prot_trace_fuzz", "every_record_kind.bin", records.bytes()},
            {"prot_trace_fuzz", "frame_then_unwritten_space.bin", ff_end.bytes()},
            {"prot_trace_fuzz", "unwritten_run_between_frames.bin", ff_run.bytes()},
            {"prot_trace_fuzz", "unknown_type_and_zero_length.bin", invalid.bytes()},
            {"prot_trace_fuzz", "frame_of_360_bytes.bin", long_frame.bytes()},
            {"prot_trace_fuzz", "second_segment.bin", segment.bytes()}};
}

// ---- host texts and trace formats ---------------------------------------------

std::vector<Seed> utils_seeds() {
    // The first byte is the size of the caller's buffers.
    return {{"utils_fuzz", "hex_number.bin",
             "\x20"
             "1aF9zz"},
            {"utils_fuzz", "linux_path_short_buffer.bin", "\x05/tmp/vorn/calls.bin"},
            {"utils_fuzz", "windows_path.bin",
             "\x3f"
             R"(C:\Vorn\Box\table.cfg)"},
            {"utils_fuzz", "module_name.bin", "\x3fvorn_b32.dll"},
            {"utils_fuzz", "password.bin",
             "\x10"
             "Br3men-NOC"},
            {"utils_fuzz", "format_characters.bin", "\x10%s%d%n%S%*"},
            {"utils_fuzz", "zero_size_buffer.bin", "\x00text"s}};
}

// Format, NUL, then the mode byte (0x40: through the fallback file; 0xC0 and
// up: the line already holds characters) and the argument bytes.
std::string format_input(const std::string &format, const std::string &args) {
    return format + '\0' + args;
}

std::vector<Seed> trace_format_seeds() {
    const std::string some = "\x00\x01\x02\x03\xFF\xFF\xFF\xFF\x2A\x00\x00\x00"
                             "\x05text!\x03wid\x41\x42\x43"s;
    return {{"trace_format_fuzz", "every_conversion.fmt",
             format_input("%d %u %o %x %X %b %c %p %s %S %% end\n", "\x00"s + some + some + some)},
            {"trace_format_fuzz", "widths_flags_and_fill.fmt",
             format_input("[%5d][%-5u][%05d][%8s][%-8s][%.3s][%6.4s]\n", "\x00"s + some + some)},
            {"trace_format_fuzz", "star_width_and_precision.fmt",
             format_input("%*d|%-*s|%.*s|%*.*s|%*.5ld\n", "\x00"s + some + some + some + some)},
            {"trace_format_fuzz", "size_letters.fmt",
             format_input("%ld %lu %lx %Nd %Fs %ls %lb %lc\n", "\x00"s + some + some + some)},
            {"trace_format_fuzz", "null_and_wide_strings.fmt",
             format_input("%s|%S|%10S|%-3.2S\n", "\x00\xFF\xFF\x04wide\x01\x02\x03\x04\x03"
                                                 "abc"s)},
            {"trace_format_fuzz", "not_supported_marker.fmt",
             format_input("before %d %q after %d\n", "\x00\x07\x00\x00\x00"s)},
            {"trace_format_fuzz", "line_past_254.fmt",
             format_input(std::string(300, 'x') + "%s\n", "\x00\x3F"s + std::string(63, 'y'))},
            {"trace_format_fuzz", "line_already_full.fmt",
             format_input("%d\n", "\xC0\x01\x00\x00\x00"s)},
            {"trace_format_fuzz", "host_line_past_720_in_fallback.fmt",
             format_input("%800d|%-20s|%lx\n",
                          "\x40\x2A\x00\x00\x00\x04host"s + std::string(8, '\x11'))},
            // Caught: the fallback file lost every character after a %c of 0.
            {"trace_format_fuzz", "fallback_nul_character.fmt",
             format_input("a%cb%sc\n", "\x40\x00\x00\x00\x00\x03xyz"s)}};
}

std::vector<Seed> all_seeds() {
    std::vector<Seed> all;
    for (auto part : {alarm_seeds, call_seeds, conf_seeds, parser_key_seeds, optimize_seeds,
                      table_seeds, prot_trace_seeds, utils_seeds, trace_format_seeds}) {
        auto seeds = part();
        all.insert(all.end(), seeds.begin(), seeds.end());
    }
    return all;
}

TEST(FuzzSeeds, CorporaAreTheBuildersSeeds) {
    const char *update = std::getenv("VORN_UPDATE_FUZZ_SEEDS");
    const bool rewrite = update != nullptr && *update == '1';
    const fs::path corpus = kSource + "/fuzz/corpus";
    std::map<std::string, std::set<std::string>> named;
    for (const Seed &seed : all_seeds()) {
        SCOPED_TRACE(seed.target + "/" + seed.name);
        named[seed.target].insert(seed.name);
        const fs::path path = corpus / seed.target / seed.name;
        if (rewrite) {
            fs::create_directories(path.parent_path());
            write_file(path.string(), seed.bytes);
        }
        EXPECT_EQ(read_file(path.string()), seed.bytes)
            << "regenerate with VORN_UPDATE_FUZZ_SEEDS=1";
    }
    // Every target has seeds, and a folder holds no file the table does not
    // name: inputs a fuzzer found stay out of the repository.
    for (const auto &target : fs::directory_iterator(kSource + "/fuzz")) {
        const std::string file = target.path().filename().string();
        if (file.size() > 9 && file.compare(file.size() - 9, 9, "_fuzz.cpp") == 0) {
            EXPECT_TRUE(named.count(file.substr(0, file.size() - 4))) << file << " has no seeds";
        }
    }
    for (const auto &[target, names] : named)
        for (const auto &entry : fs::directory_iterator(corpus / target)) {
            const std::string file = entry.path().filename().string();
            if (names.count(file) == 0 && rewrite)
                fs::remove(entry.path());
            else
                EXPECT_TRUE(names.count(file)) << target << "/" << file << " is not a named seed";
        }
}

} // namespace
} // namespace vorn::test
