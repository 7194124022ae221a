// Runs the case files of the configuration compiler and compares outputs
// with their golden files (see config_cases.h).
#include "support/config_cases.h"

#include "conf/mkconf_driver.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "support/log_golden.h"
#include "support/table_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace vorn::test {

namespace {

const std::string kGoldenDir = std::string(VORN_SOURCE_DIR) + "/tests/golden/compiler/";

std::string quoted(const uint8_t *bytes, size_t size) {
    while (size > 0 && bytes[size - 1] == 0)
        --size;
    std::string out = "\"";
    char hex[8];
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = bytes[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        std::snprintf(hex, sizeof hex, c == '\n' ? "\\n" : c == 0 ? "\\0" : "\\x%02X", c);
        out += hex;
    }
    return out + "\"";
}

// Head fields: offset, name, kind (t text, x hex bytes, u unsigned and i
// signed little-endian numbers, a array of i16), size, count and stride of arrays.
struct Field {
    unsigned offset;
    const char *name;
    char kind;
    unsigned size, count = 1, stride = 0;
};
// clang-format off
const Field kHead[] = {
    {0, "crc16", 'x', 2}, {2, "format", 't', 76}, {78, "comment", 't', 76},
    {154, "init_name", 't', 40}, {194, "password", 't', 20}, {214, "remote_code", 't', 20},
    {234, "remote_oad", 't', 20, 3, 20}, {294, "remote_callback", 't', 20},
    {314, "nt_l2mode", 'x', 1}, {315, "te_l2mode", 'x', 1}, {316, "nt_protocol", 'x', 1},
    {317, "te_protocol", 'x', 1}, {318, "escape", 'x', 1}, {319, "currency_mode", 'x', 1},
    {320, "currency_value", 'u', 2}, {322, "currency_div", 'u', 2}, {324, "currency_sign", 't', 10},
    {334, "max_period_entries", 'i', 2}, {336, "holiday_entries", 'i', 2},
    {338, "map_esclen", 'a', 26}, {364, "max_map_entries", 'i', 2},
    {366, "used_map_entries", 'i', 2}, {368, "max_redirect_entries", 'i', 2},
    {370, "max_callback_providers", 'i', 2}, {372, "period", 'x', 3, 64, 3},
    {564, "holiday", 'x', 2, 50, 2}, {664, "mapcb_wait_dial", 'u', 1},
    {665, "mapcb_wait_dtmf", 'u', 1}, {666, "mapcb_dial_first", 't', 6, 3, 6},
    {684, "mapcb_dial_end", 't', 2, 3, 2}, {690, "mapcb_pin", 't', 20, 3, 20},
    {750, "mapcb_call_end", 't', 4}, {754, "mapcb_wait_alert", 'u', 1},
    {755, "mapcb_flags", 'x', 1, 3, 1}, {758, "mapcb_wait_break", 'u', 1},
    {759, "mapcb_wait_disc", 'u', 1}, {760, "mapcb_area", 't', 2}, {762, "dtmf_wait_dial", 'u', 1},
    {763, "dtmf_wait_dtmf", 'u', 1}, {764, "dtmf_count", 'u', 1}, {765, "dtmf_dial_end", 't', 3},
    {768, "redirect_from", 't', 20, 30, 42}, {788, "redirect_to", 't', 20, 30, 42},
    {808, "redirect_sin", 'u', 1, 30, 42}, {809, "redirect_mode", 'x', 1, 30, 42},
    {2028, "poll_interval", 'u', 4}, {2032, "remote_poll", 't', 20},
    {2052, "emergency_pause", 'u', 4}, {2056, "cdr_interval", 'u', 4},
    {2060, "country_code", 'u', 1}, {2061, "poll_cli", 't', 20},
    {2081, "chinc_first", 'u', 1, 2, 1}, {2083, "chinc_second", 'u', 1, 2, 1},
    {2085, "chstart", 'x', 1, 2, 1}, {2087, "controller", 't', 16},
    {2121, "callback_pins", 't', 20, 12, 20}, {2361, "options", 'x', 1},
    {2362, "s2m_l1mode", 'u', 1}, {2363, "callback_area", 't', 2, 3, 2},
    {2369, "free_tone", 'x', 1}, {2370, "drop_msn", 't', 20}, {2390, "no_redirect_cause", 'x', 2},
    {2392, "alternative_limit", 'x', 1}, {2393, "options2", 'x', 2}, {2395, "own_msn", 't', 20},
    {2417, "free_tone_cadence", 'x', 10},
};
// clang-format on

std::string field_value(const Field &f, const uint8_t *p) {
    char text[16];
    if (f.kind == 't')
        return quoted(p, f.size);
    std::string out;
    if (f.kind == 'a') { // an array of i16
        char number[8];
        for (unsigned i = 0; i < f.size; i += 2) {
            std::snprintf(number, sizeof number, &" %d"[i == 0], int16_t(p[i] | p[i + 1] << 8));
            out += number;
        }
        return out;
    }
    uint32_t value = 0;
    for (unsigned i = 0; i < f.size; ++i) {
        value |= i < 4 ? static_cast<uint32_t>(p[i]) << (8 * i) : 0; // numbers have 1 to 4
        std::snprintf(text, sizeof text, "%s%02X", i ? " " : "", p[i]);
        out += text;
    }
    if (f.kind == 'x')
        return out;
    if (f.kind == 'i')
        return std::to_string(static_cast<int16_t>(value));
    return std::to_string(value);
}

// The head fields that differ from a fresh table's, one line per field (or
// array element): "name[i]: value".
std::string head_fields(const uint8_t *head) {
    std::vector<uint8_t> fresh(kTableSize);
    init_fresh_table(reinterpret_cast<table_t *>(fresh.data()));
    std::vector<bool> seen(kTableHeadSize, false);
    std::string out;
    for (const Field &f : kHead) {
        for (unsigned i = 0; i < f.count; ++i) {
            const unsigned at = f.offset + i * f.stride;
            for (unsigned k = 0; k < f.size; ++k)
                seen[at + k] = true;
            if (std::memcmp(head + at, fresh.data() + at, f.size) == 0)
                continue;
            char name[40];
            std::snprintf(name, sizeof name, f.count > 1 ? "%s[%u]: " : "%s: ", f.name, i);
            out += name + field_value(f, head + at) + "\n";
        }
    }
    for (unsigned at = 0; at < kTableHeadSize; ++at)
        if (!seen[at] && head[at] != fresh[at])
            out += "byte " + std::to_string(at) + ": " + std::to_string(head[at]) + "\n";
    return out;
}

// Slots 0 .. count-1 of a record, one line each.
std::string map_lines(const uint8_t *record, int count) {
    std::string out;
    char text[64];
    for (int i = 0; i < count; ++i) {
        if (i == 32 && count > 40) { // the first maps and the last two slots
            std::snprintf(text, sizeof text, "(%d more slots)\n", count - 34);
            out += text;
            i = count - 2;
        }
        const uint8_t *m = record + kTableHeadSize + kMapSize * static_cast<size_t>(i);
        std::snprintf(text, sizeof text,
                      " mode %02X len %u rank %u period %u charge %02X%02X%02X%02X\n", m[33],
                      m[34] & 15, m[34] >> 4, m[35], m[39], m[38], m[37], m[36]);
        out +=
            "map[" + std::to_string(i) + "] " + quoted(m, 13) + " -> " + quoted(m + 13, 20) + text;
    }
    return out;
}

struct Case {
    std::string kind, name, text;
    std::vector<std::pair<unsigned, std::string>> pokes, devinfo;
    std::string tool;
    bool listing = false, again = false;
    std::vector<std::pair<std::string, std::string>> files;
    long long clock = kDec4th2026;
};

std::string hex_or_text(std::istringstream &in) {
    std::string bytes, word;
    while (in >> word)
        bytes += word[0] == '"' ? word.substr(1, word.size() - 2)
                                : std::string(1, static_cast<char>(std::stoul(word, nullptr, 16)));
    return bytes;
}

std::vector<Case> read_cases(const std::string &path) {
    std::vector<Case> cases;
    std::istringstream file(read_file(path));
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "###") {
            cases.emplace_back();
            words >> cases.back().kind >> std::ws;
            std::getline(words, cases.back().name);
        } else if (cases.empty() || word == "#") {
            continue; // notes of the case file
        } else if (word == "@repeat") {
            unsigned count = 0;
            std::string text;
            words >> count >> std::ws;
            std::getline(words, text);
            text = replaced(text, "\\n", "\n");
            for (unsigned i = 0; i < count; ++i)
                cases.back().text += replaced(text, "{i}", std::to_string(i)) + "\n";
        } else if (word == "@noeol") {
            cases.back().text.pop_back();
        } else if (word == "@file") {
            std::string name, text;
            words >> name >> std::ws;
            std::getline(words, text);
            cases.back().files.emplace_back(name,
                                            replaced(replaced(text, "\\n", "\n"), "\\r", "\r"));
        } else if (word == "@again") {
            cases.back().again = true;
        } else if (word == "@listing") {
            cases.back().listing = true;
        } else if (word == "@tool") {
            words >> cases.back().tool;
        } else if (word == "@clock") {
            words >> cases.back().clock;
        } else if (word == "@poke" || word == "@devinfo") {
            unsigned offset = 0;
            words >> offset;
            (word == "@poke" ? cases.back().pokes : cases.back().devinfo)
                .emplace_back(offset, hex_or_text(words));
        } else { // a line of the configuration; "\r" stands for a carriage return
            cases.back().text += replaced(line, "\\r", "\r") + "\n";
        }
    }
    return cases;
}

std::string run_parse(const Case &c, const TempDir &dir, bool again = false) {
    write_file(dir.file("box.cfg"), replaced(c.text, "{dir}", dir.path()));
    char err_str[kErrStrSize] = {};
    table_t *table = nullptr;
    ParseState ps;
    // The reader's number, as mkconf's trace shows it.
    const int result = export_result(
        ResultFamily::ConfigReader,
        parse_ascii_config(ps, &table, ConfigSource::load(dir.file("box.cfg").c_str()), err_str));
    std::string out = "result " + std::to_string(result) + "\nerr_str " +
                      quoted(reinterpret_cast<const uint8_t *>(err_str), std::strlen(err_str)) +
                      "\n";
    if (table != nullptr) {
        const auto *bytes = reinterpret_cast<const uint8_t *>(table);
        int slots = 0; // the slots written, also when the parse stopped early
        while (slots < 32 && bytes[kTableHeadSize + kMapSize * static_cast<size_t>(slots)] != 0xFF)
            ++slots;
        out += head_fields(bytes) + map_lines(bytes, slots);
    }
    char text[80];
    for (int i = 0; ps.mpde != nullptr && i < kPeriodBlockEntries; ++i) {
        const mpde_t &e = ps.mpde[i];
        if (e.mpde_days == 0)
            continue;
        std::snprintf(text, sizeof text, "section %d: %02u:%02u days %02X maps %d..%d\n", i,
                      e.mpde_hour, e.mpde_minute, e.mpde_days, static_cast<int>(e.mpde_first_map),
                      static_cast<int>(e.mpde_last_map));
        out += text;
    }
    if (result == 0)
        release_period_block(ps);
    myFree(table, "pt");
    set_instance_table(nullptr);
    if (c.again && !again) // the same file once more in this process
        out += "again:\n" + run_parse(c, dir, true);
    return out;
}

// mkconf in one direction, with the listings on: result, error lines and
// the files it wrote.
std::string run_mkconf(const TempDir &dir, int mode, bool listing = false) {
    const std::string cfg = dir.file(mode ? "box.cfg" : "out.cfg"), bin = dir.file("box.bin");
    TraceCapture cap;
    set_optimize_files(1);
    const int result = mkconf(cfg.c_str(), bin.c_str(), mode);
    set_optimize_files(0);
    std::string out = "result " + std::to_string(result) + "\n";
    for (const std::string &line : error_lines(cap))
        out += "  " + quoted(reinterpret_cast<const uint8_t *>(line.data()), line.size()) + "\n";
    if (mode == 0)
        return out + (result == 0 ? read_file(cfg) : "");
    if (result != 0 && std::filesystem::is_regular_file(bin))
        out += "box.bin: " + std::to_string(read_file(bin).size()) + " bytes\n";
    if (result == 0) {
        const std::string image = read_file(bin);
        const auto *bytes = reinterpret_cast<const uint8_t *>(image.data());
        out += head_fields(bytes) + map_lines(bytes, static_cast<int>(image.size() - 2540) / 40);
    }
    // The .del listing without its legend of six lines.
    std::string del = read_file(dir.file("box.del"));
    for (int i = 0; i < 6 && !del.empty(); ++i)
        del.erase(0, del.find('\n') + 1);
    out += del.empty() ? "" : ".del:\n" + del;
    if (!listing)
        return out;
    // The .map listing, with at most 40 map lines.
    std::istringstream map(read_file(dir.file("box.map")));
    int maps = 0;
    out += ".map:\n";
    for (std::string line; std::getline(map, line);)
        if (!line.starts_with("map[") || ++maps <= 40)
            out += line + "\n";
    return maps > 40 ? out + "(" + std::to_string(maps - 40) + " more map lines)\n" : out;
}

std::string run_case_in(const Case &c, const TempDir &dir) {
    PinnedClock clock(c.clock);
    set_tool_name(c.tool.c_str());
    reset_holiday_file_state_for_tests(); // as in a freshly loaded library
    for (const auto &[name, text] : c.files)
        write_file(dir.file(name), text);
    if (c.kind == "parse")
        return run_parse(c, dir);
    write_file(dir.file("box.cfg"), ascii_config(c.text));
    if (c.kind == "compile")
        return run_mkconf(dir, 1, c.listing);
    if (mkconf(dir.file("box.cfg").c_str(), dir.file("box.bin").c_str(), 1) != 0)
        return "compile failed\n";
    std::string image = read_file(dir.file("box.bin"));
    for (const auto &[offset, bytes] : c.pokes)
        image.replace(offset, bytes.size(), bytes);
    write_file(dir.file("box.bin"), image);
    uint8_t dev[kDevInfoSize] = {};
    for (const auto &[offset, bytes] : c.devinfo)
        std::memcpy(dev + offset, bytes.data(), bytes.size());
    set_DevInfo(dev);
    std::string out = run_mkconf(dir, 0);
    std::memset(dev, 0, sizeof dev);
    set_DevInfo(dev);
    return out;
}

// The case's outcome with its folder shown as $DIR (upper-cased too, as
// err_str shows a line).
std::string run_case(const Case &c) {
    TempDir dir;
    std::string upper = dir.path();
    std::ranges::transform(upper, upper.begin(), [](unsigned char ch) { return std::toupper(ch); });
    return replaced(replaced(run_case_in(c, dir), dir.path(), "$DIR"), upper, "$DIR");
}

} // namespace

std::string run_config_cases(const std::string &name) {
    std::string out;
    for (const Case &c : read_cases(kGoldenDir + name + ".cases"))
        out += "### " + c.kind + " " + c.name + "\n" + run_case(c);
    set_tool_name("");
    return out;
}

} // namespace vorn::test
