// vorn verify checks a binary table file and its checksum; vorn info
// prints the head fields of a binary table.
//
// The library reads a table without comparing its checksum (the box does
// that when it loads it), so this is where a user finds a damaged file
// before sending it to the box.
#include "command.h"
#include "file_checks.h"
#include "messages.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace api = vorn::api;
namespace tool = vorn::tool;

// Reads `path` with the file checks of every job first; on failure returns
// false with the reason in `why` (empty when the file checks already told
// the user).
bool load(const char *path, bool show_password, api::TableFileInfo &info, std::string &why) {
    if (!tool::job_files_ok({path}, {}))
        return false;
    return api::read_table_info(path, show_password, info, why);
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

int run_verify(const tool::Args &args) {
    const char *path = args.operand(0);
    api::TableFileInfo t;
    std::string why;
    if (!load(path, false, t, why))
        return why.empty() ? 1 : tool::job_failed(why);

    const unsigned computed = t.computed_crc;
    const uint64_t expected_size = t.expected_size;
    const bool size_ok = t.file_size == expected_size;
    const bool crc_ok = computed == t.stored_crc;
    if (args.flag("--json")) {
        std::printf("{\n  \"file\": %s,\n  \"format\": %s,\n  \"maps\": %d,\n  \"max_maps\": %d,\n"
                    "  \"size\": %llu,\n  \"expected_size\": %llu,\n  \"stored\": \"%s\",\n"
                    "  \"computed\": \"%s\",\n  \"ok\": %s\n}\n",
                    api::json_string(tool::shown_names(path)).c_str(),
                    api::json_string(t.format).c_str(), t.used_maps, t.max_maps,
                    static_cast<unsigned long long>(t.file_size),
                    static_cast<unsigned long long>(expected_size), hex4(t.stored_crc).c_str(),
                    hex4(computed).c_str(), size_ok && crc_ok ? "true" : "false");
    } else {
        std::printf("file:     %s\n", path);
        std::printf("format:   %s\n", t.format.c_str());
        std::printf("maps:     %d of %d\n", t.used_maps, t.max_maps);
        std::printf("size:     %llu bytes\n", static_cast<unsigned long long>(t.file_size));
        std::printf("stored:   %s\n", hex4(t.stored_crc).c_str());
        std::printf("computed: %s\n", hex4(computed).c_str());
    }

    if (!size_ok)
        return tool::job_failed("file holds " + std::to_string(t.file_size) +
                                " bytes; a table with " + std::to_string(t.used_maps) +
                                " maps holds " + std::to_string(expected_size));
    if (!crc_ok)
        return tool::job_failed("checksum mismatch: stored " + hex4(t.stored_crc) + ", computed " +
                                hex4(computed));
    if (!args.flag("--json"))
        std::printf("checksum OK\n");
    return 0;
}

int run_info(const tool::Args &args) {
    const char *path = args.operand(0);
    const bool json = args.flag("--json");

    api::TableFileInfo info;
    std::string why;
    if (!load(path, args.flag("--show-password"), info, why))
        return why.empty() ? 1 : tool::job_failed(why);

    const auto &fields = info.fields;
    if (json) {
        std::printf("{\n");
        for (size_t i = 0; i < fields.size(); ++i)
            std::printf("  %s: %s%s\n", api::json_string(fields[i].first).c_str(),
                        fields[i].second.c_str(), i + 1 < fields.size() ? "," : "");
        std::printf("}\n");
    } else {
        // The coded fields with their words, as the configuration writes them.
        for (size_t i = 0; i < fields.size(); ++i) {
            const std::string &words = info.field_words[i];
            std::printf("%-23s %s%s\n", (fields[i].first + ":").c_str(), fields[i].second.c_str(),
                        words.empty() ? "" : (" (" + words + ")").c_str());
        }
    }
    return 0;
}

} // namespace

using tool::Kind;

VORN_COMMAND("verify", {{"TABLE.bin", Kind::InFile}},
             {{"--json", 0, Kind::Flag, nullptr, "the findings as one JSON object"}},
             "check a binary table file: format, size and checksum", nullptr, &run_verify);
VORN_COMMAND("info", {{"TABLE.bin", Kind::InFile}},
             {{"--json", 0, Kind::Flag, nullptr, "the fields as one JSON object"},
              {"--show-password", 0, Kind::Flag, nullptr,
               "the remote password as stored, not masked"}},
             "print the head fields of a binary table file", nullptr, &run_info);
