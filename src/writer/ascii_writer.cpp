// The ASCII configuration writer: a table of format TF01.5 back into the
// configuration file that the parser reads.  Sections follow the order of
// a hand-written configuration; settings that are not configured appear as
// commented-out lines that show their form.
//
// The table may come from a damaged file: every text is read within its
// field, every count is held to its array, unknown codes print as "???".
#include "writer/ascii_writer.h"

#include "frame/error.h"
#include "frame/frame.h"
#include "optimize/optimize.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"
#include "vorn_b32.h"
#include "writer/field_formatters.h"
#include "writer/lossless_lines.h"
#include "writer/text_out.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <strings.h>

namespace vorn {

namespace {

constexpr int kMaxRemoteMapIns = 20;
// Bytes 48 to 87 of the host's device record: the device name.
constexpr size_t kDevInfoNameAt = 48;
constexpr size_t kDevInfoNameSize = 40;

struct Writer {
    std::FILE *f;
    table_t *t;
    const uint8_t *devinfo;
    const char *tool_name; // nullptr when the thread has none
    int used;              // table_used_map_entries, checked against the slots
    // Maps written in the remote block, as index + 1, in table order.
    int remote[kMaxRemoteMapIns];
    int remote_count = 0;
    // Lossless text: lines that compile to the table's own bytes.  When a
    // minute-model table has a charge that its words cannot carry, every map
    // is written with the three charge fields and the minute model's M
    // follows the maps.
    bool lossless = false;
    bool minute_words = false;
    bool minute_after_maps = false;
};

const map_t &map_at(const Writer &w, int i) {
    return *table_map_slot(w.t, static_cast<size_t>(i));
}

// hh:mm:ss of a number of seconds, as the interval lines show it.
struct Clock {
    unsigned long h, m, s;
};
Clock split_seconds(uint32_t seconds) {
    return {seconds / 3600ul, (seconds / 60ul) % 60ul, seconds % 60ul};
}

bool text_empty(const char *field_bytes) {
    return field_bytes[0] == '\0';
}

// ---- head: name, statistics ------------------------------------------------------

void take_device_name(Writer &w) {
    if (!text_empty(w.t->table_init_name) || w.devinfo == nullptr)
        return;
    const char *name = reinterpret_cast<const char *>(w.devinfo + kDevInfoNameAt);
    if (name[0] == '\0')
        return;
    // The field keeps its terminator: at most 39 of the 40 name bytes.
    char copy[sizeof w.t->table_init_name];
    copy_field(copy, name, std::min(kDevInfoNameSize, sizeof copy - 1));
    std::memcpy(w.t->table_init_name, copy, sizeof copy);
}

void write_name(Writer &w) {
    if (!w.lossless) // the lossless text shows the table as it is
        take_device_name(w);
    const auto name = field(w.t->table_init_name);
    if (name.text[0] != '\0') {
        out_printf(w.f, "PABXName=%-40.40s\n\n", name.text);
    } else {
        out_text(w.f, "PABXName=\n");
        out_text(w.f, "\n");
    }
    dbg_printf("used table size = %lu \n", static_cast<unsigned long>(used_table_size(w.t)));
}

// Percentage of `count` in `max`, cut to one decimal.
void percent(unsigned long count, unsigned long max, unsigned long *whole, unsigned long *tenth) {
    *whole = max != 0 ? count * 100ul / max : 0;
    *tenth = max != 0 ? (count * 1000ul / max) % 10ul : 0;
}

// Statistics block; returns the count of real maps.
int write_statistics(Writer &w) {
    char version[23];
    get_vorn_b32_dll_version(version, sizeof version);
    char date[18];
    make_date_text(date, sizeof date);
    const char *tool = w.tool_name != nullptr ? w.tool_name : "Vorn-Tools";
    out_printf(w.f, ";***\tget table by %s (%s) on %s\n", tool, version, date);
    out_printf(w.f, ";***\t%-24s: %s\n", "Name", field(w.t->table_init_name).text);

    // Only the record's own slots are counted: a head that claims more maps
    // than the record holds is refused below as a mismatch.
    const int counted_to = std::clamp(w.used, 0, MAX_MAP_TABLE_ENTRIES);
    const int count = count_maps(w.t, 0, static_cast<unsigned>(counted_to));

    const auto max = static_cast<uint32_t>(w.t->table_max_map_entries - 1);
    unsigned long whole, tenth;
    percent(static_cast<unsigned long>(count), max, &whole, &tenth);
    out_printf(w.f, ";***\t%-24s: %5u\n", "max map entries", max);
    out_printf(w.f, ";***\t%-24s: %5u (%lu.%01lu%%)\n\n", "used map entries",
               static_cast<unsigned>(count), whole, tenth);
    dbg_printf("table_max_map_entries=%u\n", max);
    percent(static_cast<uint32_t>(w.used), max, &whole, &tenth);
    dbg_printf("table_used_map_entries=%u (%lu.%01lu%%)\n\n", static_cast<unsigned>(w.used), whole,
               tenth);
    return count;
}

void sort_maps(Writer &w) {
    dbg_printf("map_entries: %d - %d = %d\n", w.used, 0, w.used);
    if (w.used <= 1)
        return;
    dbg_printf("Sort %u mappings (cmp_map_mode)\n", static_cast<unsigned>(w.used));
    // Equal maps keep their order, so a table decompiles the same every time.
    sort_maps(w.t, 0, static_cast<unsigned>(w.used), MapOrder::Mode);
}

// ---- protocols and options -------------------------------------------------------

void write_s2m_mode(Writer &w);

void write_protocols(Writer &w) {
    out_text(w.f, "; L3 protocols and HDLC modes\n");
    if (w.lossless && write_protocols_lossless(w.f, w.t)) {
        write_s2m_mode(w);
        return;
    }
    dbg_printf("table_te_protocol\t\t= %02x\n", w.t->table_te_protocol);
    dbg_printf("table_te_l2mode \t\t= %02x\n", w.t->table_te_l2mode);
    dbg_printf("table_nt_protocol\t\t= %02x\n", w.t->table_nt_protocol);
    dbg_printf("table_nt_l2mode \t\t= %02x\n", w.t->table_nt_l2mode);
    ProtocolValues v;
    if (conf_get_l2prot(w.devinfo, &v) != 0)
        v = {w.t->table_te_protocol, w.t->table_te_l2mode, w.t->table_nt_protocol,
             w.t->table_nt_l2mode};
    // Not set: the box's own defaults.
    if (v.ext_protocol == PROT_DEFAULT)
        v.ext_protocol = PROT_DSS1;
    if (v.int_protocol == PROT_DEFAULT)
        v.int_protocol = PROT_BILING;
    if (v.ext_l2mode == L2_DEFAULT)
        v.ext_l2mode = L2_PP;
    if (v.int_l2mode == L2_DEFAULT)
        v.int_l2mode = L2_PP;
    dbg_printf("ProtExt \t\t\t\t= %02x\n", v.ext_protocol);
    dbg_printf("L2ModeExt\t\t\t\t= %02x\n", v.ext_l2mode);
    dbg_printf("ProtInt \t\t\t\t= %02x\n", v.int_protocol);
    dbg_printf("L2ModeInt\t\t\t\t= %02x\n", v.int_l2mode);
    out_printf(w.f, "ProtExt=%s %s\n", protocol_word(v.ext_protocol), l2mode_word(v.ext_l2mode));
    out_printf(w.f, "ProtInt=%s %s\n", protocol_word(v.int_protocol), l2mode_word(v.int_l2mode));
    write_s2m_mode(w);
}

void write_s2m_mode(Writer &w) {
    switch (w.t->table_reserved.table_s2m_l1mode) {
    case S2M_L1_CRC4:
        out_text(w.f, "S2M_L1Mode=CRC4 ; AUTO | DOUBLEFRAME\n");
        break;
    case S2M_L1_DOUBLEFRAME:
        out_text(w.f, "S2M_L1Mode=DOUBLEFRAME ; AUTO | CRC4\n");
        break;
    default:
        if (std::strstr(field(w.t->table_init_name).text, "S2M") != nullptr)
            out_text(w.f, "S2M_L1Mode=AUTO ; CRC4 | DOUBLEFRAME\n");
        break;
    }
}

void write_free_tone(Writer &w) {
    const table_reserved_t &r = w.t->table_reserved;
    if (r.table_free_tone == 0) {
        if (w.f != nullptr)
            std::fputs("FreeTone=Normal\n", w.f);
        dbg_printf("FreeTone=Continual\n");
    } else if (r.table_free_tone == FREE_TONE_CADENCE) {
        out_text(w.f, "FreeTone=");
        for (uint8_t step : r.table_free_tone_cadence) {
            if (step == 0xFF)
                break;
            out_printf(w.f, "%u ", step * 100u);
        }
        out_text(w.f, "\n");
    }
}

void write_options_section(Writer &w) {
    const table_reserved_t &r = w.t->table_reserved;
    out_text(w.f, "\n");
    out_text(w.f, "; options\n");
    dbg_printf("table_escape = %02x\n", w.t->table_escape);
    if (w.t->table_escape == TABLE_ESCAPE_ESCAPE)
        out_text(w.f, "Ctrl2=ESCAPE\n");
    else if (w.t->table_escape == TABLE_ESCAPE_ASSOCIATE)
        out_text(w.f, "Ctrl2=ASSOCIATE\n");
    else
        out_text(w.f, "Ctrl2;=[ASSOCIATE|ESCAPE]\n");
    if (!w.lossless || !write_subscribers_lossless(w.f, w.t))
        write_subscribers(w.f, w.t);
    if (!w.lossless || !write_free_tone_lossless(w.f, w.t))
        write_free_tone(w);
    write_options(w.f, r.table_options, r.table_options2, true);

    bool first = true;
    for (unsigned n = 0; n < MAX_CONTROLLERS; ++n) {
        const char c = r.table_controller[n];
        if (c == 0)
            continue;
        if (first)
            out_text(w.f, "\n");
        first = false;
        out_printf(w.f, "Controller%u=%c\n", n, c);
    }
    out_text(w.f, "\n");
}

void write_country_and_currency(Writer &w) {
    static const struct {
        uint8_t code;
        const char *name;
    } kCountries[] = {{30, "Greece"},  {31, "Netherland"}, {33, "France"},
                      {34, "Espania"}, {39, "Italia"},     {43, "Oestereich"},
                      {44, "England"}, {47, "Norway"},     {49, "Deutschland"}};
    const uint8_t code = w.t->table_reserved.table_country_code;
    dbg_printf("CountryCode=%u\n", code);
    const char *name = nullptr;
    for (const auto &c : kCountries)
        if (c.code == code)
            name = c.name;
    if (code == 135) // 351 does not fit the byte
        out_printf(w.f, "CountryCode=%u ; Portugal\n", 351u);
    else if (name != nullptr)
        out_printf(w.f, "CountryCode=%u ; %s\n", code, name);
    else
        out_printf(w.f, "CountryCode=%u\t;30 | 31 | 33 | 351 | 39 | 43 | 44 | 47 | 49\n", code);

    static const char *const kModes[CURRENCY_MODES] = {"AOCU",  "AOCC",  "CH", "NL", "I", "F",
                                                       "AOCUD", "AOCCD", "E",  "E2", "P", "G"};
    const k_currency_t &c = w.t->table_currency;
    const auto sign = field(c.currency_sign);
    const bool minute_model = (w.t->table_reserved.table_options & OPT_MINUTE_MODEL) != 0;
    dbg_printf("Currency: mode=%u value=%u div=%u sign=<%s> %s\n",
               static_cast<unsigned>(c.currency_mode), c.currency_value, c.currency_div, sign.text,
               minute_model ? "minute model" : "");
    if (w.lossless) {
        w.minute_words = minute_model && maps_fit_minute_words(w.t);
        w.minute_after_maps = minute_model && !w.minute_words;
        if (write_currency_lossless(w.f, w.t, w.minute_words))
            return;
        w.minute_words = minute_model; // the usual line sets the model here
        w.minute_after_maps = false;
    }
    out_text(w.f, "Currency=");
    out_text(w.f, c.currency_mode >= 0 && c.currency_mode < CURRENCY_MODES
                      ? kModes[static_cast<int>(c.currency_mode)]
                      : "???");
    if (c.currency_mode == 0 && c.currency_value == 0 && c.currency_div <= 1 &&
        sign.text[0] == '\0') {
        out_text(w.f, " \n");
    } else {
        out_printf(w.f, " %u", c.currency_value);
        out_printf(w.f, " %u", c.currency_div);
        out_printf(w.f, " %s", sign.text);
        out_text(w.f, minute_model ? " M\n" : "\n");
    }
}

// ---- poll, emergency, remote access ----------------------------------------------------

void write_poll_and_emergency(Writer &w) {
    const table_reserved_t &r = w.t->table_reserved;
    out_text(w.f, "\n; poll and emergency numbers and intervalls\n");
    const Clock poll = split_seconds(r.table_poll_interval);
    out_printf(w.f, "NMSPollInterval=%lu:%02lu:%02lu\t; CallBackFrequency\n", poll.h, poll.m,
               poll.s);
    out_printf(w.f, "NMSPollNumber=%s\n", field(r.table_remote_poll).text);
    write_poll_cli(w.f, r.table_poll_cli, true);
    out_text(w.f, "\n");

    out_printf(w.f, "EmergencyNumber=%s ; for emergency call (formerly RemoteCallback)\n",
               field(w.t->table_remote_callback).text);
    const Clock pause = split_seconds(r.table_emergency_pause);
    out_printf(w.f, "EmergencyPause=%lu:%02lu:%02lu\t; Pause between two emergency calls\n\n",
               pause.h, pause.m, pause.s);
    if (r.table_cdr_interval != 0) {
        const Clock cdr = split_seconds(r.table_cdr_interval);
        out_printf(w.f, "NMSCDRInterval=%lu:%02lu:%02lu\t\n", cdr.h, cdr.m, cdr.s);
    }
}

// Kind of a remote map-in: 1 remote access, 2 ping, 0 none.
int remote_kind(const map_t &map, const char *remote_code) {
    if ((map.map_mode & MAP_IN) == 0)
        return 0;
    const auto code = field(map.map_code);
    const size_t rc_length = std::strlen(remote_code);
    if (rc_length != 0 && std::strncmp(code.text, remote_code, rc_length) == 0 &&
        map.map_period == 0)
        return code.text[rc_length] == '*' ? 2 : 1;
    const auto escape = field(map.map_escape);
    if (std::strcmp(escape.text, "8XXXXXXX") == 0)
        return 1;
    if (std::strcmp(escape.text, "8YYYYYYY") == 0)
        return 2;
    return 0;
}

void write_remote_map_ins(Writer &w, const char *remote_code) {
    const bool rc_set = remote_code[0] != '\0';
    int found = 0;
    for (int i = 0; i < w.used; ++i) {
        const map_t &map = map_at(w, i);
        const int kind = remote_kind(map, remote_code);
        if (kind == 0)
            continue;
        found |= kind;
        if (w.remote_count >= kMaxRemoteMapIns)
            continue; // written by the main list instead
        w.remote[w.remote_count] = i + 1;
        const char *direction = (map.map_mode & MAP_OUT) != 0 ? "All" : "In";
        const auto escape = field(map.map_escape);
        char line[kMapLineSize];
        if (w.lossless && lossless_map_line(w.t, &map, w.minute_words, line, sizeof line))
            out_printf(w.f, "%s ; MapIn for %s\n", line, kind == 1 ? "Remote" : "Ping");
        else if (kind == 1)
            out_printf(w.f, "%sMap%s%s=%s DATA ; MapIn for Remote\n", rc_set ? "" : ";", direction,
                       escape.text, rc_set ? remote_code : "xxxxxxx");
        else
            out_printf(w.f, "%sMap%s%s=%s* DATA ; MapIn for Ping\n", rc_set ? "" : ";", direction,
                       escape.text, rc_set ? remote_code : "yyyyyyy");
        dbg_printf("  remote_map_in[%u]=%u\n", static_cast<unsigned>(w.remote_count),
                   static_cast<unsigned>(i + 1));
        ++w.remote_count;
    }
    if (found == 3)
        return;
    // Show the user the two standard remote map-ins.
    if ((found & 1) == 0)
        out_printf(w.f, ";MapIn8XXXXXXX=%s DATA ; MapIn for Remote\n",
                   rc_set ? remote_code : "xxxxxxx");
    if ((found & 2) == 0)
        out_printf(w.f, ";MapIn8YYYYYYY=%s* DATA ; MapIn for Ping\n",
                   rc_set ? remote_code : "yyyyyyy");
}

void write_remote_access(Writer &w) {
    out_text(w.f, "; remote call in\n");
    out_printf(w.f, "RemotePassword=%s\n", field(w.t->table_password).text);
    const auto remote_code = field(w.t->table_remote_code);
    out_printf(w.f, "RemoteCode=%s\n", remote_code.text);
    for (int n = 0; n < 3; ++n) {
        const auto oad = field(w.t->table_remote_oad[n]);
        if (n == 0 || oad.text[0] != '\0')
            out_printf(w.f, "RemoteOrigination=%s\n", oad.text);
    }
    write_remote_map_ins(w, remote_code.text);
}

// ---- MSNs, holidays, periods, maps ------------------------------------------------------

void write_map_line(Writer &w, const map_t &map) {
    char line[kMapLineSize];
    if (!w.lossless || !lossless_map_line(w.t, &map, w.minute_words, line, sizeof line))
        format_map_line(w.t, &map, line, sizeof line);
    out_text(w.f, line);
    out_text(w.f, "\n");
}

void write_msns(Writer &w) {
    const table_reserved_t &r = w.t->table_reserved;
    out_text(w.f, "\n");
    if (!text_empty(r.table_own_msn))
        out_printf(w.f, "OwnMSN=%s\n", field(r.table_own_msn).text);
    // CmpMSN maps: first those whose code does not begin with I, then those
    // whose code does not begin with R.
    // The lossless text writes each once, and those of a period section in
    // that section.
    for (const char skipped : {'I', 'R'}) {
        for (int i = 0; i < w.used; ++i) {
            const map_t &map = map_at(w, i);
            if (map.map_mode == 0 && map.map_escape[0] != '\0' && map.map_code[0] != skipped &&
                (!w.lossless ||
                 (map.map_period == 0 && (skipped == 'I' || map.map_code[0] == 'I'))))
                write_map_line(w, map);
        }
    }
    if (!text_empty(r.table_drop_msn))
        out_printf(w.f, "DropMSN=%s\n", field(r.table_drop_msn).text);
    out_printf(w.f, "\n%s\n", ";+++++++++++++++++++++++++ routings +++++++++++++++++++++++++");
}

void write_holidays(Writer &w) {
    const uint8_t first = w.t->table_holiday[0].holiday_day;
    if (first == 0 || first == 0xFF)
        return;
    for (const holiday_t &h : w.t->table_holiday) {
        if (h.holiday_day == 0 || h.holiday_day == 0xFF)
            break;
        out_printf(w.f, "%s=%2u.%02u\n", "Holiday", h.holiday_day, h.holiday_month);
    }
    out_text(w.f, "\n");
}

void write_periods(Writer &w) {
    const int periods = std::min<int>(w.t->table_max_period_entries, MAX_PERIODS - 1);
    if (w.t->table_period[0].period_days != 0 && w.t->table_period[1].period_days != 0) {
        for (int p = 1; p <= periods; ++p) {
            if (w.t->table_period[p].period_days == 0)
                break;
            out_printf(w.f, "; %2u. period of time\t", static_cast<unsigned>(p));
            write_period(w.f, w.t, static_cast<unsigned>(p), true);
        }
    }
    if (w.t->table_max_period_entries != 0 && map_at(w, 0).map_period == 0)
        out_text(w.f, "\n; time independent mappings\n");
}

void write_main_maps(Writer &w) {
    unsigned period = 0;
    uint8_t previous_mode = 0;
    int j = 0;
    for (int i = 0; i < w.used; ++i) {
        const map_t &map = map_at(w, i);
        const auto first = static_cast<uint8_t>(map.map_escape[0]);
        const bool section_msn = w.lossless && map.map_mode == 0 && map.map_period != 0;
        if ((map.map_mode == 0 && !section_msn) || first == 0 ||
            (map.map_mode == 0xFF && first == 0xFF)) {
            dbg_printf("map[%u] not used (0x%02x)\n", static_cast<unsigned>(i), first);
            continue;
        }
        if (j < w.remote_count && w.remote[j] == i + 1) {
            dbg_printf("Map[%d]remote_map_in: mode=%02x map_code=\"%s\" escape=\"%s\"\n", i,
                       map.map_mode, field(map.map_code).text, field(map.map_escape).text);
            ++j;
            continue;
        }
        // A blank line between the MapIn, MapOut, MapAll and call-back groups.
        if (i == 0 || (map.map_mode & MAP_KEY_MASK) != (previous_mode & MAP_KEY_MASK))
            out_text(w.f, "\n");
        previous_mode = map.map_mode;
        if (map.map_period != period) {
            period = map.map_period;
            out_printf(w.f, "\n; %u. period of time\n", period);
            write_period(w.f, w.t, period, false);
        }
        write_map_line(w, map);
    }
}

// ---- redirects, call-back, DTMF ------------------------------------------------------------

// The key of a redirect's mode; Restrict lines do not count as redirects.
const char *redirect_key(uint8_t mode, int &redirects) {
    static const struct {
        uint8_t mode;
        const char *key;
        bool counted;
    } kKeys[] = {{RE_MODE_REDIRECT1, "Redirect1", true},
                 {RE_MODE_REDIRECT2, "Redirect2", true},
                 {RE_MODE_REDIRECT3, "Redirect3", true},
                 {RE_MODE_REDIRECT5, "Redirect5", true},
                 {RE_MODE_RESTRICT, "Restrict", false}};
    const char *key = "";
    for (const auto &k : kKeys) {
        if ((mode & RE_MODE_MASK) == k.mode) {
            key = k.key;
            redirects += k.counted ? 1 : 0;
        }
    }
    return key;
}

// The settings that only matter to redirects: the cause range in which no
// redirect happens and the alternative-routing limit, commented out with
// their usual values when not set.
void write_redirect_limits(Writer &w) {
    const table_reserved_t &res = w.t->table_reserved;
    const char *cause = "%sNoRedirectCause=%02x %02x\t; no redirecting inside this cause value "
                        "range (hex)\n";
    if (res.table_no_redirect_cause[0] != 0 && res.table_no_redirect_cause[1] != 0)
        out_printf(w.f, cause, "", res.table_no_redirect_cause[0], res.table_no_redirect_cause[1]);
    else
        out_printf(w.f, cause, ";", 0xA2u, 0xAFu);
    const uint8_t limit = res.table_alternative_limit;
    if ((limit & ALT_LIMIT_PERCENT_MASK) != 0) {
        out_printf(w.f, "AlternativeLimit=%u%% %s", limit & ALT_LIMIT_PERCENT_MASK,
                   (limit & ALT_LIMIT_HOURLY) != 0 ? "HOURLY" : "DAILY");
        out_text(w.f, (limit & ALT_LIMIT_ALARM) != 0 ? " ALARM\n" : "\t; ALARM\n");
    } else {
        out_text(w.f, ";AlternativeLimit=nn% HOURLY | DAILY [ALARM]\n");
    }
}

void write_redirects(Writer &w) {
    out_text(w.f, "\n; time independent entries\n");
    const int slots = std::clamp<int>(w.t->table_max_redirect_entries, 0, MAX_REDIRECT);
    int redirects = 0;
    for (int i = 0; i < slots; ++i) {
        const redirect_t &r = w.t->table_redirect[i];
        if (r.redirect_mode == 0 || r.redirect_mode == 0xFF)
            continue;
        const auto from = field(r.redirect_from);
        const auto to = field(r.redirect_to);
        dbg_printf("Redirect[%u] \"%s\" -> \"%s\" mode=%x sin=%02x\n",
                   static_cast<unsigned>(w.t->table_max_redirect_entries - i - 1), from.text,
                   to.text, r.redirect_mode, r.redirect_sin);
        out_text(w.f, redirect_key(r.redirect_mode, redirects));
        out_printf(w.f, "%s=%s", from.text, to.text);
        if (r.redirect_sin != 0)
            out_printf(w.f, " %02d", r.redirect_sin);
        out_text(w.f, "\n");
    }
    if (w.lossless && write_redirect_limits_lossless(w.f, w.t, redirects))
        return;
    if (redirects != 0)
        write_redirect_limits(w);
}

void write_callback(Writer &w) {
    const mapcb_t &cb = w.t->table_mapcb;
    const table_reserved_t &r = w.t->table_reserved;
    out_text(w.f, "\n");
    out_printf(w.f, "MapCallBackWaitAlert=%d\n", cb.mapcb_wait_alert);
    out_printf(w.f, "MapCallBackWaitDial=%d\n", cb.mapcb_wait_dial);
    out_printf(w.f, "MapCallBackWaitDtmf=%d\n", cb.mapcb_wait_dtmf);
    out_printf(w.f, "MapCallBackWaitBreak=%d\n", cb.mapcb_wait_break);
    out_printf(w.f, "MapCallBackWaitDisc=%d\n", cb.mapcb_wait_disc);
    out_printf(w.f, "MapCallBackArea=%c%c\n", cb.mapcb_area[0], cb.mapcb_area[1]);
    out_printf(w.f, "MapCallBackCallEnd=%s\n", field(cb.mapcb_call_end).text);
    out_text(w.f, "\n");

    const int providers =
        std::clamp<int>(w.t->table_max_callback_providers, 0, MAX_CALLBACK_PROVIDERS);
    const bool pins_lossless = w.lossless && pins_carry(w.t);
    for (int p = 1; p <= providers; ++p) {
        const int k = p - 1;
        out_printf(w.f, "; provider %d\n", p);
        out_printf(w.f, "MapCallBackDialFirst%d=%s\n", p, field(cb.mapcb_dial_first[k]).text);
        out_printf(w.f, "MapCallBackDialEnd%d=%s\n", p, field(cb.mapcb_dial_end[k]).text);
        if (pins_lossless) {
            write_provider_pins_lossless(w.f, w.t, p);
        } else {
            out_printf(w.f, "MapCallBackPin%u=%s", static_cast<unsigned>(p),
                       field(cb.mapcb_pin[k]).text);
            for (int slot = 1; slot < MAX_CALLBACK_PINS; ++slot) {
                const auto pin = field(r.table_callback_pins[k][slot]);
                if (pin.text[0] == '\0')
                    break;
                out_printf(w.f, ",%s", pin.text);
            }
            out_text(w.f, "\n");
        }
        out_printf(w.f, "MapCallBackArea%u=%2.2s\n", static_cast<unsigned>(p),
                   field(r.table_callback_area[k]).text);
        out_printf(w.f, "MapCallBackToUSA%u=%c\n", static_cast<unsigned>(p),
                   (cb.mapcb_flags[k] & MAPCB_FLAG_TO_USA) != 0 ? '1' : '0');
        out_printf(w.f, "MapCallBackBusy%u=%c\n", static_cast<unsigned>(p),
                   (cb.mapcb_flags[k] & MAPCB_FLAG_BUSY) != 0 ? '1' : '0');
        out_text(w.f, "\n");
    }

    if (pins_lossless)
        write_common_pin_lossless(w.f, w.t);

    const dtmf_t &d = w.t->table_dtmf;
    out_printf(w.f, "DTMFWaitDtmf=%d\n", d.dtmf_wait_dtmf);
    out_printf(w.f, "DTMFWaitDial=%d\n", d.dtmf_wait_dial);
    out_printf(w.f, "DTMFCount=%d\n", d.dtmf_count);
    out_printf(w.f, "DTMFDialEnd=%s\n", field(d.dtmf_dial_end).text);
}

// Everything after the statistics, in the file's order.
void write_body(Writer &w) {
    write_protocols(w);
    write_options_section(w);
    write_country_and_currency(w);
    write_poll_and_emergency(w);
    write_remote_access(w);
    write_msns(w);
    write_holidays(w);
    write_periods(w);
    trace_maps(w.t, 0);
    write_main_maps(w);
    if (w.minute_after_maps)
        write_currency_lossless(w.f, w.t, true);
    write_redirects(w);
    write_callback(w);
}

// The new configuration grows beside the old one, which stays until the
// new one is complete on the disk.
bool create_file(const char *cfgfile, platform::OutputFile &file) {
    if (file.create(cfgfile, "w"))
        return true;
    const int error = platform::last_error();
    dbg_error(file_error_message(Error::CannotWrite, cfgfile).c_str());
    dbg_error(platform::system_error_text(error).c_str());
    return false;
}

// A table whose map count does not match its maps is not written on: the
// message goes to err_str and the error trace (the debug trace without one).
void report_map_count(int count, int used, char *err_str) {
    char message[kWriterMessageSize];
    std::snprintf(message, sizeof message, "real used maps (%d) is different to table value (%d)\n",
                  count, used);
    if (err_str != nullptr) {
        std::snprintf(err_str, kWriterMessageSize, "%s", message);
        dbg_error(err_str);
    } else {
        dbg_printf("%s", message);
    }
}

} // namespace

Error write_ascii_table15(table_t *table, const char *cfgfile, char *err_str) {
    return write_ascii_table15(table, cfgfile, err_str, WriterOptions{});
}

Error write_ascii_table15(table_t *table, const char *cfgfile, char *err_str,
                          const WriterOptions &options) {
    dbg_printf("write_ascii_table15(\"%s\")\n", cfgfile != nullptr ? cfgfile : "NULL");
    const char *tool_name = nullptr;
    get_tool_name(&tool_name);

    const uint8_t *devinfo = nullptr;
    void *device = nullptr;
    if (get_dev_info(&devinfo) != Error::Ok || get_device(&device) != Error::Ok)
        return Error::NoThreadState;
    if (table == nullptr || cfgfile == nullptr)
        return Error::CannotWrite;

    Writer w{};
    w.t = table;
    w.devinfo = devinfo;
    w.tool_name = tool_name;
    w.used = table->table_used_map_entries;
    w.lossless = options.lossless;
    platform::OutputFile file;
    if (!create_file(cfgfile, file))
        return Error::CannotWrite;
    w.f = file.get();

    out_printf(w.f, "TABLE=%s (Don't touch!)\n\n", field(table->table_format).text);
    if (!table_format_ok(table)) {
        dbg_printf("\n%s\n", error_text(Error::WrongTableFormat));
        return file.commit() ? Error::WrongTableFormat
                             : Error::CannotWrite; // the file holds the TABLE line only
    }
    out_printf(w.f, "COMMENT=%s\n", field(table->table_comment).text);
    write_name(w);

    const int count = write_statistics(w);
    if (w.used != count) {
        report_map_count(count, w.used, err_str);
        return file.commit() ? Error::TableMismatch
                             : Error::CannotWrite; // the lines up to the statistics stay
    }

    sort_maps(w);
    write_body(w);
    return file.commit() ? Error::Ok : Error::CannotWrite;
}

} // namespace vorn
