// The page of a configuration table: the week grid of its periods, the fill
// of the map array, the head fields, call-back providers, redirects and
// remote settings.  Secrets (password, remote code, PINs) are shown masked.
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parse_state.h"
#include "platform/platform.h"
#include "report/markup.h"
#include "report/page.h"
#include "report/route_table.h"
#include "report/week_grid.h"
#include "writer/field_formatters.h"

#include <algorithm>
#include <vector>

namespace vorn::report {
namespace {

template <size_t N> std::string field(const char (&text)[N]) {
    char out[N + 1];
    copy_field(out, text, N);
    return out;
}

std::string masked(const std::string &secret) {
    return secret.empty() ? "(none)" : "******** (set)";
}

std::string or_none(const std::string &text) {
    return text.empty() ? "(none)" : text;
}

// Directions of a map by the low bits of its mode, as the configuration's
// keys name them.
const char *const kDirections[] = {"CmpMSN",        "MapIn",          "MapOut", "MapAll",
                                   "MapCallBackIn", "MapCallBackOut", "other"};
// The fills of one page: directions first, then the services, the escape
// lengths and the bar of the maps used, each a colour of its own.
constexpr size_t kDirectionCount = sizeof kDirections / sizeof kDirections[0];

size_t direction_of(uint8_t mode) {
    switch (mode & MAP_KEY_MASK) {
    case 0:
        return 0;
    case 1:
        return 1;
    case 2:
        return 2;
    case 3:
        return 3;
    case 5:
    case 9:
    case 13:
        return 4;
    case 6:
    case 10:
    case 14:
        return 5;
    default:
        return 6;
    }
}

size_t service_of(uint8_t mode) {
    const bool voice = (mode & MAP_VOICE) != 0, data = (mode & MAP_DATA) != 0;
    return voice == data ? 2 : voice ? 0 : 1;
}

std::string fill_section(const table_t &table) {
    const int periods = period_count(table);
    const int used = std::clamp<int>(table.table_used_map_entries, 0, MAX_MAP_TABLE_ENTRIES);
    std::vector<std::string> labels;
    for (int k = 0; k <= periods; ++k)
        labels.push_back(std::to_string(k));
    std::vector<Series> directions;
    for (const char *name : kDirections)
        directions.push_back({name, std::vector<uint64_t>(labels.size(), 0)});
    std::vector<Series> services{{"voice", {}}, {"data", {}}, {"any", {}}};
    for (Series &s : services)
        s.values.assign(labels.size(), 0);
    std::vector<uint64_t> lengths(MAX_ESCAPE_LENGTH + 1, 0);
    size_t longest_code = 0, beyond = 0;
    for (int i = 0; i < used; ++i) {
        const map_t &m = table.table_map[i];
        if (map_slot_unused(m))
            continue;
        const size_t p = m.map_period;
        if (p < labels.size()) {
            directions[direction_of(m.map_mode)].values[p]++;
            services[service_of(m.map_mode)].values[p]++;
        } else {
            ++beyond;
        }
        lengths[std::min<size_t>(m.map_esclen_rank & 0x0F, MAX_ESCAPE_LENGTH)]++;
        char code[sizeof m.map_code + 1];
        copy_field(code, m.map_code, sizeof m.map_code);
        code[0] = static_cast<char>(code[0] & 0x7F); // the "|" bit is no digit
        longest_code = std::max(longest_code, std::string(code).size());
    }
    directions.erase(std::remove_if(directions.begin(), directions.end(),
                                    [](const Series &s) {
                                        return std::all_of(s.values.begin(), s.values.end(),
                                                           [](uint64_t v) { return v == 0; });
                                    }),
                     directions.end());
    size_t longest_escape = 0;
    for (size_t len = 0; len < lengths.size(); ++len)
        if (lengths[len] != 0)
            longest_escape = len;
    std::vector<std::string> length_labels;
    for (size_t len = 0; len < lengths.size(); ++len)
        length_labels.push_back(std::to_string(len));
    std::string out = section_open("fill", "Fill of the table");
    out += paragraph(
        std::to_string(used) + " of " + std::to_string(MAX_MAP_TABLE_ENTRIES) + " maps used (" +
        std::to_string(used * 100 / MAX_MAP_TABLE_ENTRIES) + "%); longest escape " +
        std::to_string(longest_escape) + " of " + std::to_string(MAX_ESCAPE_LENGTH) +
        " digits, longest code " + std::to_string(longest_code) + " of 19 characters." +
        (beyond ? " " + std::to_string(beyond) + " maps name a period not in use." : ""));
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"420\" height=\"24\" role=\"img\" "
           "aria-label=\"maps used\"><rect x=\"0\" y=\"2\" width=\"400\" height=\"18\" "
           "fill=\"#fff\" stroke=\"#000\"/><rect x=\"0\" y=\"2\" width=\"" +
           std::to_string(used * 400 / MAX_MAP_TABLE_ENTRIES) + "\" height=\"18\" fill=\"" +
           series_fill(kDirectionCount + 4) + "\"/></svg>\n";
    out += stacked_chart("fill-dir", "Maps per period and direction", labels, directions,
                         {"period (number)", "maps (count)"}, 0);
    out += stacked_chart("fill-svc", "Maps per period and service", labels, services,
                         {"period (number)", "maps (count)"}, kDirectionCount);
    out += bar_chart("fill-len", "Maps per escape length (digits, at most 12)", length_labels,
                     {"maps", lengths}, {"escape length (digits)", "maps (count)"},
                     kDirectionCount + 3);
    return out + section_close();
}

std::string protocol_text(uint8_t protocol, uint8_t l2mode) {
    return std::string(protocol_word(protocol)) + " " + l2mode_word(l2mode);
}

std::string head_section(const table_t &table) {
    static const char *const kCurrency[] = {"AOCU",  "AOCC",  "CH", "NL", "I", "F",
                                            "AOCUD", "AOCCD", "E",  "E2", "P", "G"};
    const k_currency_t &c = table.table_currency;
    const std::string currency =
        (c.currency_mode >= 0 && c.currency_mode < CURRENCY_MODES ? kCurrency[c.currency_mode]
                                                                  : "???") +
        std::string(" ") + std::to_string(c.currency_value) + " " + std::to_string(c.currency_div) +
        " \"" + field(c.currency_sign) + "\"";
    const table_reserved_t &r = table.table_reserved;
    const unsigned country = r.table_country_code == 135 ? 351u : r.table_country_code;
    Table t{"Head fields", {"field", "value"}, {}};
    t.rows = {{"TABLE", field(table.table_format)},
              {"COMMENT", field(table.table_comment)},
              {"PABXName", field(table.table_init_name)},
              {"RemotePassword", masked(field(table.table_password))},
              {"ProtExt", protocol_text(table.table_te_protocol, table.table_te_l2mode)},
              {"ProtInt", protocol_text(table.table_nt_protocol, table.table_nt_l2mode)},
              {"Currency", currency},
              {"CountryCode", std::to_string(country)},
              {"OwnMSN", or_none(field(r.table_own_msn))},
              {"DropMSN", or_none(field(r.table_drop_msn))},
              {"Holidays",
               std::to_string(std::clamp<int>(table.table_holiday_entries, 0, MAX_HOLIDAYS))}};
    return section_open("head", "Head fields") + html_table(t) + section_close();
}

std::string callback_section(const table_t &table) {
    const mapcb_t &cb = table.table_mapcb;
    const table_reserved_t &r = table.table_reserved;
    Table t{"Call-back providers",
            {"provider", "dial first", "dial end", "PINs", "area", "to USA", "busy"},
            {}};
    for (int p = 0; p < MAX_CALLBACK_PROVIDERS; ++p) {
        int pins = 0;
        for (int k = 0; k < MAX_CALLBACK_PINS; ++k)
            pins += field(r.table_callback_pins[p][k]).empty() ? 0 : 1;
        if (pins == 0 && !field(cb.mapcb_pin[p]).empty())
            pins = 1;
        t.rows.push_back({std::to_string(p + 1), or_none(field(cb.mapcb_dial_first[p])),
                          or_none(field(cb.mapcb_dial_end[p])),
                          pins == 0 ? "(none)" : std::to_string(pins) + " (masked)",
                          std::string(r.table_callback_area[p], 2).c_str(),
                          cb.mapcb_flags[p] & MAPCB_FLAG_TO_USA ? "yes" : "no",
                          cb.mapcb_flags[p] & MAPCB_FLAG_BUSY ? "yes" : "no"});
    }
    Table waits{"Call-back waits", {"dial", "DTMF", "alert", "break", "disconnect"}, {}};
    waits.rows.push_back({std::to_string(cb.mapcb_wait_dial), std::to_string(cb.mapcb_wait_dtmf),
                          std::to_string(cb.mapcb_wait_alert), std::to_string(cb.mapcb_wait_break),
                          std::to_string(cb.mapcb_wait_disc)});
    return section_open("callback", "Call-back") + html_table(t) + html_table(waits) +
           section_close();
}

std::string redirect_section(const table_t &table) {
    Table t{"Redirects and restrictions", {"slot", "kind", "from", "to", "service"}, {}};
    for (int i = 0; i < MAX_REDIRECT; ++i) {
        const redirect_t &r = table.table_redirect[i];
        const unsigned kind = r.redirect_mode & RE_MODE_MASK;
        if (r.redirect_mode == 0 || r.redirect_mode == 0xFF)
            continue;
        const char *name = kind == RE_MODE_REDIRECT1   ? "Redirect1"
                           : kind == RE_MODE_REDIRECT2 ? "Redirect2"
                           : kind == RE_MODE_REDIRECT3 ? "Redirect3"
                           : kind == RE_MODE_REDIRECT5 ? "Redirect5"
                           : kind == RE_MODE_RESTRICT  ? "Restrict"
                                                       : "???";
        t.rows.push_back({std::to_string(i), name, field(r.redirect_from), field(r.redirect_to),
                          r.redirect_sin == 0 ? "any" : std::to_string(r.redirect_sin)});
    }
    return section_open("redirects", "Redirects") +
           (t.rows.empty() ? paragraph("No redirects.") : html_table(t)) + section_close();
}

std::string remote_section(const table_t &table) {
    const table_reserved_t &r = table.table_reserved;
    Table t{"Remote access and polling", {"setting", "value"}, {}};
    t.rows.push_back({"RemoteCode", masked(field(table.table_remote_code))});
    for (const auto &oad : table.table_remote_oad)
        if (!field(oad).empty())
            t.rows.push_back({"RemoteOrigination", field(oad)});
    t.rows.push_back({"EmergencyNumber", or_none(field(table.table_remote_callback))});
    t.rows.push_back({"EmergencyPause", std::to_string(r.table_emergency_pause) + " s"});
    t.rows.push_back({"NMSPollNumber", or_none(field(r.table_remote_poll))});
    t.rows.push_back({"NMSPollInterval", std::to_string(r.table_poll_interval) + " s"});
    t.rows.push_back({"NMSCDRInterval", std::to_string(r.table_cdr_interval) + " s"});
    return section_open("remote", "Remote settings") + html_table(t) + section_close();
}

} // namespace

std::string table_page(const table_t &table, const PageInfo &info) {
    std::string page = page_open("Configuration table", info);
    if (!info.warnings.empty()) {
        page += section_open("warnings", "Warnings");
        for (const std::string &line : info.warnings)
            page += paragraph(line, "warning");
        page += section_close();
    }
    page +=
        section_open("periods", "Time periods over the week") + week_grid(table) + section_close();
    page += routing_section(table, info.removed);
    page += fill_section(table) + head_section(table) + callback_section(table) +
            redirect_section(table) + remote_section(table);
    return page + page_close();
}

Error config_page(const char *cfgfile, const PageInfo &info, std::string &page, std::string &why) {
    uint64_t size = 0;
    std::vector<char> err_str(kErrStrSize, '\0');
    table_t *table = nullptr;
    Error r = Error::CannotRead;
    if (platform::file_size(cfgfile, &size) && size >= kMinAsciiFileSize)
        r = read_ascii_table(&table, cfgfile, err_str.data());
    if (r == Error::Ok && table != nullptr) {
        try {
            page = table_page(*table, info);
        } catch (...) {
            myFree(table, "pTable");
            set_instance_table(nullptr);
            throw;
        }
    }
    myFree(table, "pTable");
    set_instance_table(nullptr);
    if (r == Error::Ok)
        return r;
    mkconf_ascii_read_failed(r, err_str.data(), cfgfile);
    why = err_str.data();
    return r;
}

} // namespace vorn::report
