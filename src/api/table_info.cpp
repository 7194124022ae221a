// The tool's view of a binary table file (vorn verify, vorn info): its head
// checked before the library's reader takes it, the checksum the box
// computes, and the head fields as JSON values.
#include "conf/mkconf_driver.h"
#include "platform/platform.h"
#include "table/bin_table.h"
#include "table/table.h"
#include "vorn_tool/api.h"
#include "writer/head_field_words.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace vorn::api {

static_assert(kTableHeadSize == vorn::kTableHeadSize);

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string field_text(const char *field, size_t size) {
    std::string out(size + 1, '\0');
    copy_field(out.data(), field, size);
    out.resize(std::strlen(out.c_str()));
    return out;
}

template <size_t N> std::string field_text(const char (&field)[N]) {
    return field_text(field, N);
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

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
void add_reserved_fields(Fields &f, const table_reserved_t &r) {
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
Fields head_fields(const table_t *t, unsigned computed, bool show_password) {
    Fields f;
    f.emplace_back("crc16", json_string(hex4(t->table_crc16)));
    f.emplace_back("crc16_computed", json_string(hex4(computed)));
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

// Says what is wrong with the head of `path` before the reader refuses it;
// true when the head and the file's size fit a table.
bool head_fits(const char *path, uint64_t &file_size, std::string &why) {
    const std::string name = std::string("\"") + path + "\"";
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        why = "cannot read " + name + " (" + platform::system_error_text(platform::last_error()) +
              ")";
        return false;
    }
    table_t head{};
    const size_t got = std::fread(&head, 1, vorn::kTableHeadSize, file);
    std::fclose(file);
    platform::file_size(path, &file_size);
    const std::string holds = name + " holds " + std::to_string(file_size) + " bytes";
    if (got < vorn::kTableHeadSize) {
        why = holds + "; the head of a table alone needs " + std::to_string(vorn::kTableHeadSize);
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
    const size_t needed = vorn::kTableHeadSize + static_cast<size_t>(used + 1) * kMapSize;
    if (file_size < needed) {
        why = holds + "; a table with " + std::to_string(used) + " maps needs " +
              std::to_string(needed);
        return false;
    }
    return true;
}

} // namespace

std::string json_string(const std::string &text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        char esc[8];
        if (const size_t n = c >= 0x80 ? utf8_sequence(std::string_view(text).substr(i)) : 0;
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

bool read_table_info(const char *path, bool show_password, TableFileInfo &info, std::string &why) {
    info = TableFileInfo();
    if (!head_fits(path, info.file_size, why))
        return false;
    const OwnedTable table = read_owned_table(path);
    if (table == nullptr) {
        why = std::string("cannot read \"") + path + "\" as a binary table";
        return false;
    }
    const table_t *t = table.get();
    info.format = field_text(t->table_format);
    info.used_maps = t->table_used_map_entries;
    info.max_maps = MAX_MAP_TABLE_ENTRIES;
    info.expected_size = used_table_size(t);
    info.stored_crc = t->table_crc16;
    info.computed_crc = table_crc(t);
    info.fields = head_fields(t, info.computed_crc, show_password);
    for (const auto &field : info.fields)
        info.field_words.push_back(head_field_words(*t, field.first));
    return true;
}

} // namespace vorn::api
