// vorn verify checks a binary table file and its checksum; vorn info
// prints the head fields of a binary table.
//
// The library reads a table without comparing its checksum (the box does
// that when it loads it), so this is where a user finds a damaged file
// before sending it to the box.
#include "command.h"
#include "file_checks.h"
#include "internal_api.h"
#include "messages.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace vorn;

std::string field_text(const char *field, size_t size) {
    std::string out(size + 1, '\0');
    copy_field(out.data(), field, size);
    out.resize(std::strlen(out.c_str()));
    return out;
}

template <size_t N> std::string field_text(const char (&field)[N]) {
    return field_text(field, N);
}

// A table read through the library's reader, released and unregistered when
// it goes out of scope.
class LoadedTable {
  public:
    // Reads `path`; on failure returns false with the reason in `why` (empty
    // when the file checks already told the user).
    bool load(const char *path, std::string &why) {
        if (!tool::job_files_ok({path}, {}))
            return false;
        const std::string name = std::string("\"") + path + "\"";
        std::FILE *file = std::fopen(path, "rb");
        if (file == nullptr) {
            why = "cannot read " + name + " (" + api::system_error_text(api::last_error()) + ")";
            return false;
        }
        table_t head{};
        const size_t got = std::fread(&head, 1, kTableHeadSize, file);
        std::fclose(file);
        api::file_size(path, &m_file_size);
        // Say what is wrong before the reader refuses the file.
        const std::string holds = name + " holds " + std::to_string(m_file_size) + " bytes";
        if (got < kTableHeadSize) {
            why = holds + "; the head of a table alone needs " + std::to_string(kTableHeadSize);
            return false;
        }
        if (std::memcmp(head.table_format, "TF", 2) != 0 ||
            std::memcmp(head.table_format + 2, kTableFormat + 2, kTableFormatLength - 2) != 0) {
            why = name + " is not a binary table of format TF01.5 (its format reads \"" +
                  field_text(head.table_format, kTableFormatLength) + "\")";
            return false;
        }
        const int used = head.table_used_map_entries;
        if (used < -1 || used > MAX_MAP_TABLE_ENTRIES) {
            why = name + " names " + std::to_string(used) + " used maps; a table holds 0 to " +
                  std::to_string(MAX_MAP_TABLE_ENTRIES);
            return false;
        }
        const size_t needed = kTableHeadSize + static_cast<size_t>(used + 1) * kMapSize;
        if (m_file_size < needed) {
            why = holds + "; a table with " + std::to_string(used) + " maps needs " +
                  std::to_string(needed);
            return false;
        }
        m_table = api::read_table_file(path);
        if (m_table == nullptr) {
            why = "cannot read " + name + " as a binary table";
            return false;
        }
        return true;
    }
    table_t *get() const { return m_table.get(); }
    uint64_t file_size() const { return m_file_size; }

  private:
    api::OwnedTable m_table;
    uint64_t m_file_size = 0;
};

// Table texts are 8-bit.  UTF-8 characters are shown as the configuration
// wrote them (the table holds their bytes); other bytes above 7Fh as the
// Latin-1 characters they are in the box's character set.
std::string json_string(const std::string &text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char esc[8];
        if (const size_t n = c >= 0x80 ? api::utf8_sequence(std::string_view(text).substr(i)) : 0;
            n != 0) {
            out.append(text, i, n);
            i += n - 1;
        } else if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

int run_verify(const tool::Args &args) {
    const char *path = args.operand(0);
    LoadedTable loaded;
    std::string why;
    if (!loaded.load(path, why))
        return why.empty() ? 1 : tool::job_failed(why);

    const table_t *t = loaded.get();
    const uint16_t computed = api::table_checksum(t);
    const size_t expected_size = api::used_table_size(t);
    const bool size_ok = loaded.file_size() == expected_size;
    const bool crc_ok = computed == t->table_crc16;
    if (args.flag("--json")) {
        std::printf("{\n  \"file\": %s,\n  \"format\": %s,\n  \"maps\": %d,\n  \"max_maps\": %d,\n"
                    "  \"size\": %llu,\n  \"expected_size\": %llu,\n  \"stored\": \"%s\",\n"
                    "  \"computed\": \"%s\",\n  \"ok\": %s\n}\n",
                    json_string(tool::shown_names(path)).c_str(),
                    json_string(field_text(t->table_format)).c_str(), t->table_used_map_entries,
                    MAX_MAP_TABLE_ENTRIES, static_cast<unsigned long long>(loaded.file_size()),
                    static_cast<unsigned long long>(expected_size), hex4(t->table_crc16).c_str(),
                    hex4(computed).c_str(), size_ok && crc_ok ? "true" : "false");
    } else {
        std::printf("file:     %s\n", path);
        std::printf("format:   %s\n", field_text(t->table_format).c_str());
        std::printf("maps:     %d of %d\n", t->table_used_map_entries, MAX_MAP_TABLE_ENTRIES);
        std::printf("size:     %llu bytes\n", static_cast<unsigned long long>(loaded.file_size()));
        std::printf("stored:   %s\n", hex4(t->table_crc16).c_str());
        std::printf("computed: %s\n", hex4(computed).c_str());
    }

    if (!size_ok)
        return tool::job_failed("file holds " + std::to_string(loaded.file_size()) +
                                " bytes; a table with " +
                                std::to_string(t->table_used_map_entries) + " maps holds " +
                                std::to_string(expected_size));
    if (!crc_ok)
        return tool::job_failed("checksum mismatch: stored " + hex4(t->table_crc16) +
                                ", computed " + hex4(computed));
    if (!args.flag("--json"))
        std::printf("checksum OK\n");
    return 0;
}

// One head field: its name and its value as JSON text.
using Field = std::pair<std::string, std::string>;

std::string num(long long v) {
    return std::to_string(v);
}

std::string text_array(const char (*rows)[20], int count) {
    std::string out = "[";
    for (int i = 0; i < count; ++i)
        out += (i ? ", " : "") + json_string(field_text(rows[i]));
    return out + "]";
}

// The fields of the reserved block behind the map counts.
void add_reserved_fields(std::vector<Field> &f, const table_reserved_t &r) {
    f.emplace_back("poll_interval", num(r.table_poll_interval));
    f.emplace_back("remote_poll", json_string(field_text(r.table_remote_poll)));
    f.emplace_back("emergency_pause", num(r.table_emergency_pause));
    f.emplace_back("cdr_interval", num(r.table_cdr_interval));
    f.emplace_back("country_code", num(r.table_country_code));
    f.emplace_back("options", num(r.table_options));
    f.emplace_back("options2", num(r.table_options2));
    f.emplace_back("s2m_l1mode", num(r.table_s2m_l1mode));
    f.emplace_back("free_tone", num(r.table_free_tone));
    f.emplace_back("alternative_limit", num(r.table_alternative_limit));
    f.emplace_back("drop_msn", json_string(field_text(r.table_drop_msn)));
    f.emplace_back("own_msn", json_string(field_text(r.table_own_msn)));
}

// The remote password is shown only on request: the fields are often
// pasted into tickets and logs.
std::vector<Field> head_fields(const table_t *t, bool show_password) {
    std::vector<Field> f;

    f.emplace_back("crc16", json_string(hex4(t->table_crc16)));
    f.emplace_back("crc16_computed", json_string(hex4(api::table_checksum(t))));
    f.emplace_back("format", json_string(field_text(t->table_format)));
    f.emplace_back("comment", json_string(field_text(t->table_comment)));
    f.emplace_back("init_name", json_string(field_text(t->table_init_name)));
    const std::string password = field_text(t->table_password);
    f.emplace_back("password",
                   json_string(show_password || password.empty() ? password : "********"));
    f.emplace_back("remote_code", json_string(field_text(t->table_remote_code)));
    f.emplace_back("remote_oad", text_array(t->table_remote_oad, 3));
    f.emplace_back("remote_callback", json_string(field_text(t->table_remote_callback)));
    f.emplace_back("nt_l2mode", num(t->table_nt_l2mode));
    f.emplace_back("te_l2mode", num(t->table_te_l2mode));
    f.emplace_back("nt_protocol", num(t->table_nt_protocol));
    f.emplace_back("te_protocol", num(t->table_te_protocol));
    f.emplace_back("escape", num(t->table_escape));
    const k_currency_t &c = t->table_currency;
    f.emplace_back("currency", "{\"mode\": " + num(c.currency_mode) + ", \"value\": " +
                                   num(c.currency_value) + ", \"div\": " + num(c.currency_div) +
                                   ", \"sign\": " + json_string(field_text(c.currency_sign)) + "}");
    f.emplace_back("max_period_entries", num(t->table_max_period_entries));
    f.emplace_back("holiday_entries", num(t->table_holiday_entries));
    std::string esclen = "[";
    for (int i = 0; i <= MAX_ESCAPE_LENGTH; ++i)
        esclen += (i ? ", " : "") + num(t->table_map_esclen[i]);
    f.emplace_back("map_esclen", esclen + "]");
    f.emplace_back("max_map_entries", num(t->table_max_map_entries));
    f.emplace_back("used_map_entries", num(t->table_used_map_entries));
    f.emplace_back("max_redirect_entries", num(t->table_max_redirect_entries));
    f.emplace_back("max_callback_providers", num(t->table_max_callback_providers));
    add_reserved_fields(f, t->table_reserved);
    return f;
}

int run_info(const tool::Args &args) {
    const char *path = args.operand(0);
    const bool json = args.flag("--json");

    LoadedTable loaded;
    std::string why;
    if (!loaded.load(path, why))
        return why.empty() ? 1 : tool::job_failed(why);

    const std::vector<Field> fields = head_fields(loaded.get(), args.flag("--show-password"));
    if (json) {
        std::printf("{\n");
        for (size_t i = 0; i < fields.size(); ++i)
            std::printf("  %s: %s%s\n", json_string(fields[i].first).c_str(),
                        fields[i].second.c_str(), i + 1 < fields.size() ? "," : "");
        std::printf("}\n");
    } else {
        // The coded fields with their words, as the configuration writes them.
        for (const Field &field : fields) {
            const std::string words = api::head_field_words(*loaded.get(), field.first);
            std::printf("%-23s %s%s\n", (field.first + ":").c_str(), field.second.c_str(),
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
