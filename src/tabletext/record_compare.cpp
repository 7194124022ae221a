// Field-by-field comparison of two table records.  The header is walked
// through a list of its fields in record order, so that every byte before
// the maps belongs to exactly one named entry; the maps are compared as a
// multiset, since their order follows from the optimizer's sort.
#include "tabletext/record_compare.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <stdexcept>

namespace vorn {

namespace {

enum class Kind { Text, Number, Bytes };

struct Field {
    std::string name;
    size_t offset;
    size_t size;
    Kind kind;
    bool stamp = false;
};

void add_array(std::vector<Field> &out, const std::string &name, size_t offset, size_t size,
               size_t count, Kind kind) {
    for (size_t i = 0; i < count; ++i)
        out.push_back({name + "[" + std::to_string(i) + "]", offset + i * size, size, kind});
}

void add_redirects(std::vector<Field> &out) {
    for (size_t i = 0; i < MAX_REDIRECT; ++i) {
        const size_t at = offsetof(table_t, table_redirect) + i * sizeof(redirect_t);
        const std::string name = "table_redirect[" + std::to_string(i) + "].";
        out.push_back(
            {name + "redirect_from", at + offsetof(redirect_t, redirect_from), 20, Kind::Text});
        out.push_back(
            {name + "redirect_to", at + offsetof(redirect_t, redirect_to), 20, Kind::Text});
        out.push_back(
            {name + "redirect_sin", at + offsetof(redirect_t, redirect_sin), 1, Kind::Number});
        out.push_back(
            {name + "redirect_mode", at + offsetof(redirect_t, redirect_mode), 1, Kind::Number});
    }
}

#define VORN_FIELD(member, kind)                                                                   \
    { #member, offsetof(table_t, member), sizeof(table_t::member), kind }
#define VORN_SUB(record, member, kind)                                                             \
    {                                                                                              \
#member, offsetof(table_t, record) + offsetof(decltype(table_t::record), member),          \
            sizeof(decltype(table_t::record)::member), kind                                        \
    }

void add_callback_and_dtmf(std::vector<Field> &out) {
    const Field fields[] = {
        VORN_SUB(table_mapcb, mapcb_wait_dial, Kind::Number),
        VORN_SUB(table_mapcb, mapcb_wait_dtmf, Kind::Number),
    };
    out.insert(out.end(), std::begin(fields), std::end(fields));
    constexpr size_t cb = offsetof(table_t, table_mapcb);
    add_array(out, "mapcb_dial_first", cb + offsetof(mapcb_t, mapcb_dial_first), 6, 3, Kind::Text);
    add_array(out, "mapcb_dial_end", cb + offsetof(mapcb_t, mapcb_dial_end), 2, 3, Kind::Text);
    add_array(out, "mapcb_pin", cb + offsetof(mapcb_t, mapcb_pin), 20, 3, Kind::Text);
    const Field rest[] = {
        VORN_SUB(table_mapcb, mapcb_call_end, Kind::Text),
        VORN_SUB(table_mapcb, mapcb_wait_alert, Kind::Number),
        VORN_SUB(table_mapcb, mapcb_flags, Kind::Bytes),
        VORN_SUB(table_mapcb, mapcb_wait_break, Kind::Number),
        VORN_SUB(table_mapcb, mapcb_wait_disc, Kind::Number),
        VORN_SUB(table_mapcb, mapcb_area, Kind::Bytes),
        VORN_SUB(table_dtmf, dtmf_wait_dial, Kind::Number),
        VORN_SUB(table_dtmf, dtmf_wait_dtmf, Kind::Number),
        VORN_SUB(table_dtmf, dtmf_count, Kind::Number),
        VORN_SUB(table_dtmf, dtmf_dial_end, Kind::Text),
    };
    out.insert(out.end(), std::begin(rest), std::end(rest));
}

void add_reserved(std::vector<Field> &out) {
    const Field fields[] = {
        VORN_SUB(table_reserved, table_poll_interval, Kind::Number),
        VORN_SUB(table_reserved, table_remote_poll, Kind::Text),
        VORN_SUB(table_reserved, table_emergency_pause, Kind::Number),
        VORN_SUB(table_reserved, table_cdr_interval, Kind::Number),
        VORN_SUB(table_reserved, table_country_code, Kind::Number),
        VORN_SUB(table_reserved, table_poll_cli, Kind::Bytes),
        VORN_SUB(table_reserved, table_chinc_first, Kind::Bytes),
        VORN_SUB(table_reserved, table_chinc_second, Kind::Bytes),
        VORN_SUB(table_reserved, table_chstart, Kind::Bytes),
        VORN_SUB(table_reserved, table_controller, Kind::Bytes),
        VORN_SUB(table_reserved, table_unused_2103, Kind::Bytes),
    };
    out.insert(out.end(), std::begin(fields), std::end(fields));
    constexpr size_t r = offsetof(table_t, table_reserved);
    for (size_t p = 0; p < MAX_CALLBACK_PROVIDERS; ++p)
        add_array(out, "table_callback_pins[" + std::to_string(p) + "]",
                  r + offsetof(table_reserved_t, table_callback_pins) + p * 80, 20,
                  MAX_CALLBACK_PINS, Kind::Text);
    const Field rest[] = {
        VORN_SUB(table_reserved, table_options, Kind::Number),
        VORN_SUB(table_reserved, table_s2m_l1mode, Kind::Number),
        VORN_SUB(table_reserved, table_callback_area, Kind::Bytes),
        VORN_SUB(table_reserved, table_free_tone, Kind::Number),
        VORN_SUB(table_reserved, table_drop_msn, Kind::Text),
        VORN_SUB(table_reserved, table_no_redirect_cause, Kind::Bytes),
        VORN_SUB(table_reserved, table_alternative_limit, Kind::Number),
        VORN_SUB(table_reserved, table_options2, Kind::Number),
        VORN_SUB(table_reserved, table_own_msn, Kind::Text),
        VORN_SUB(table_reserved, table_unused_2415, Kind::Bytes),
        VORN_SUB(table_reserved, table_free_tone_cadence, Kind::Bytes),
        VORN_SUB(table_reserved, table_unused_2427, Kind::Bytes),
    };
    out.insert(out.end(), std::begin(rest), std::end(rest));
}

std::vector<Field> make_fields() {
    std::vector<Field> out = {
        {"table_crc16", offsetof(table_t, table_crc16), 2, Kind::Number, true},
        {"table_format", offsetof(table_t, table_format), 76, Kind::Text, true},
        VORN_FIELD(table_comment, Kind::Text),
        VORN_FIELD(table_init_name, Kind::Text),
        VORN_FIELD(table_password, Kind::Text),
        VORN_FIELD(table_remote_code, Kind::Text),
    };
    add_array(out, "table_remote_oad", offsetof(table_t, table_remote_oad), 20, 3, Kind::Text);
    const Field head[] = {
        VORN_FIELD(table_remote_callback, Kind::Text),
        VORN_FIELD(table_nt_l2mode, Kind::Number),
        VORN_FIELD(table_te_l2mode, Kind::Number),
        VORN_FIELD(table_nt_protocol, Kind::Number),
        VORN_FIELD(table_te_protocol, Kind::Number),
        VORN_FIELD(table_escape, Kind::Number),
        VORN_SUB(table_currency, currency_mode, Kind::Number),
        VORN_SUB(table_currency, currency_value, Kind::Number),
        VORN_SUB(table_currency, currency_div, Kind::Number),
        VORN_SUB(table_currency, currency_sign, Kind::Text),
        VORN_FIELD(table_max_period_entries, Kind::Number),
        VORN_FIELD(table_holiday_entries, Kind::Number),
        VORN_FIELD(table_map_esclen, Kind::Bytes),
        VORN_FIELD(table_max_map_entries, Kind::Number),
        VORN_FIELD(table_used_map_entries, Kind::Number),
        VORN_FIELD(table_max_redirect_entries, Kind::Number),
        VORN_FIELD(table_max_callback_providers, Kind::Number),
    };
    out.insert(out.end(), std::begin(head), std::end(head));
    add_array(out, "table_period", offsetof(table_t, table_period), 3, MAX_PERIODS, Kind::Bytes);
    add_array(out, "table_holiday", offsetof(table_t, table_holiday), 2, MAX_HOLIDAYS, Kind::Bytes);
    add_callback_and_dtmf(out);
    add_redirects(out);
    add_reserved(out);
    return out;
}

#undef VORN_FIELD
#undef VORN_SUB

const std::vector<Field> &fields() {
    static const std::vector<Field> kFields = [] {
        std::vector<Field> f = make_fields();
        // Every head byte belongs to one field, in record order.
        size_t at = 0;
        for (const Field &field : f) {
            if (field.offset != at)
                throw std::logic_error("record field list out of step at " + field.name);
            at += field.size;
        }
        if (at != kTableHeadSize)
            throw std::logic_error("record field list does not cover the head");
        return f;
    }();
    return kFields;
}

std::string hex_bytes(const uint8_t *bytes, size_t size) {
    std::string out;
    char part[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += part;
    }
    return out;
}

std::string value_text(const uint8_t *bytes, size_t size, Kind kind) {
    if (kind == Kind::Number) {
        uint32_t v = 0;
        for (size_t i = size; i > 0; --i)
            v = v << 8 | bytes[i - 1];
        char text[32];
        std::snprintf(text, sizeof text, "%lu (%0*lXh)", static_cast<unsigned long>(v),
                      static_cast<int>(size * 2), static_cast<unsigned long>(v));
        return text;
    }
    if (kind == Kind::Bytes)
        return hex_bytes(bytes, size);
    // A text up to its terminator; bytes behind it are shown when they
    // differ, since they are part of the record too.
    std::string text = "\"";
    size_t n = 0;
    for (; n < size && bytes[n] != 0; ++n) {
        char c[8];
        if (bytes[n] >= 0x20 && bytes[n] < 0x7F && bytes[n] != '"' && bytes[n] != '\\')
            std::snprintf(c, sizeof c, "%c", bytes[n]);
        else
            std::snprintf(c, sizeof c, "\\x%02X", bytes[n]);
        text += c;
    }
    text += "\"";
    if (std::any_of(bytes + std::min(n, size), bytes + size, [](uint8_t b) { return b != 0; }))
        text += " [" + hex_bytes(bytes, size) + "]";
    return text;
}

bool is_compile_stamp(const char *comment) {
    return std::strncmp(comment, "write by ", 9) == 0;
}

// ---- maps ------------------------------------------------------------------------

using MapImage = std::array<uint8_t, kMapSize>;

constexpr size_t kEsclenRankAt = offsetof(map_t, map_esclen_rank);

std::vector<MapImage> map_images(const table_t &t) {
    const int used = std::clamp<int>(t.table_used_map_entries, 0, MAP_TABLE_SLOTS);
    std::vector<MapImage> out(static_cast<size_t>(used));
    for (int i = 0; i < used; ++i) {
        std::memcpy(out[static_cast<size_t>(i)].data(), &t.table_map[i], kMapSize);
        out[static_cast<size_t>(i)][kEsclenRankAt] &= 0x0F; // the rank follows the neighbour
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string map_text(const MapImage &m) {
    map_t map;
    std::memcpy(&map, m.data(), kMapSize);
    const std::string escape = value_text(m.data(), sizeof map.map_escape, Kind::Text);
    const std::string code =
        value_text(m.data() + offsetof(map_t, map_code), sizeof map.map_code, Kind::Text);
    char rest[96];
    std::snprintf(rest, sizeof rest, " mode %02Xh period %u charge %02X %02X %04Xh", map.map_mode,
                  map.map_period, map.map_charge_start, map.map_charge_add, map.map_time);
    return "escape " + escape + " code " + code + rest;
}

// Key under which an unmatched map of one record meets its counterpart.
bool same_place(const MapImage &a, const MapImage &b) {
    return std::memcmp(a.data(), b.data(), sizeof(map_t::map_escape)) == 0 &&
           (a[offsetof(map_t, map_mode)] & MAP_KEY_MASK) ==
               (b[offsetof(map_t, map_mode)] & MAP_KEY_MASK) &&
           a[offsetof(map_t, map_period)] == b[offsetof(map_t, map_period)];
}

void compare_maps(const table_t &a, const table_t &b, std::vector<RecordDifference> &out) {
    const std::vector<MapImage> ma = map_images(a), mb = map_images(b);
    std::vector<MapImage> only_a, only_b;
    std::set_difference(ma.begin(), ma.end(), mb.begin(), mb.end(), std::back_inserter(only_a));
    std::set_difference(mb.begin(), mb.end(), ma.begin(), ma.end(), std::back_inserter(only_b));
    std::vector<bool> b_taken(only_b.size());
    for (const MapImage &m : only_a) {
        std::string other = "-";
        for (size_t j = 0; j < only_b.size(); ++j) {
            if (!b_taken[j] && same_place(m, only_b[j])) {
                b_taken[j] = true;
                other = map_text(only_b[j]);
                break;
            }
        }
        out.push_back({"map", map_text(m), other});
    }
    for (size_t j = 0; j < only_b.size(); ++j)
        if (!b_taken[j])
            out.push_back({"map", "-", map_text(only_b[j])});
}

} // namespace

std::vector<RecordDifference> compare_records(const table_t &a, const table_t &b,
                                              const RecordCompareOptions &options) {
    std::vector<RecordDifference> out;
    const auto *pa = reinterpret_cast<const uint8_t *>(&a);
    const auto *pb = reinterpret_cast<const uint8_t *>(&b);
    const bool comments_stamped =
        is_compile_stamp(a.table_comment) && is_compile_stamp(b.table_comment);
    for (const Field &f : fields()) {
        const bool stamp = f.stamp || (f.name == "table_comment" && comments_stamped);
        if ((stamp && !options.stamps) || std::memcmp(pa + f.offset, pb + f.offset, f.size) == 0)
            continue;
        out.push_back({f.name, value_text(pa + f.offset, f.size, f.kind),
                       value_text(pb + f.offset, f.size, f.kind)});
    }
    compare_maps(a, b, out);
    return out;
}

std::string describe_differences(const std::vector<RecordDifference> &differences) {
    std::string out;
    for (const RecordDifference &d : differences)
        out += d.field + ": " + d.expected + " -> " + d.actual + "\n";
    return out;
}

} // namespace vorn
