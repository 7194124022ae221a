// Map lines: MapIn, MapOut, MapAll, CmpMSN and the call-back maps become
// map entries of the current period; the standard maps are added after the
// last line without overriding a map of the file.
#include "parser/key_handlers.h"
#include "parser/parser.h"
#include "table/split_numbers.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace vorn {

namespace {

// Source lines that the standard-map trace lines name.
constexpr unsigned kLineMapAdd = 3308;
constexpr unsigned kLineFoundData = 3331;
constexpr unsigned kLineFoundVoice = 3338;
constexpr unsigned kLineFoundBoth = 3345;

constexpr uint8_t kAnyService = MAP_DATA | MAP_VOICE;
constexpr uint8_t kCallBackBits = MAP_CALLBACK3;
constexpr uint8_t kDirectionBits = MAP_IN | MAP_OUT;

struct ServiceWord {
    const char *word;
    uint8_t bits;
};

// Tried in this order; the first word that equals the service word decides.
constexpr ServiceWord kServiceWords[] = {
    {"DATA", 0x80},   {"VOICE", 0x40},   {"DTMF", 0x60},   {"SCALL", 0x70},
    {"DIRECT", 0x60}, {"DDIRECT", 0xA0}, {"CHARGE", 0xD0},
};

bool starts_with_digit(const char *text) {
    return text != nullptr && std::isdigit(static_cast<unsigned char>(text[0]));
}

bool is_org(const char *text) {
    return text != nullptr && strcasecmp(text, "ORG") == 0;
}

// Copies at most `limit` characters of `text` into `out`; true when cut.
bool copy_cut(char *out, const char *text, size_t limit) {
    const size_t length = std::strlen(text);
    const size_t n = length < limit ? length : limit;
    std::memcpy(out, text, n);
    out[n] = '\0';
    return length > limit;
}

// Applies the service word to *mode.  Returns false when the word must be
// treated as missing (no word, a number, or a word that is not a service);
// *error becomes true for an unknown word that must be a service.
bool apply_service(const char *service, uint8_t *mode, bool minute_model, bool *error) {
    if (service == nullptr || starts_with_digit(service)) {
        *mode |= kAnyService;
        return false;
    }
    for (const ServiceWord &s : kServiceWords)
        if (strcasecmp(service, s.word) == 0) {
            *mode |= s.bits;
            return true;
        }
    if (strcasecmp(service, "COMPRESS") == 0) {
        if ((*mode & MAP_DATA) == 0)
            *mode |= MAP_COMPRESS;
        return true;
    }
    if (strcasecmp(service, "CmpMSN") == 0) {
        *mode = 0;
        return true;
    }
    *mode |= kAnyService;
    if (std::isalpha(static_cast<unsigned char>(service[0])) && !is_org(service) && !minute_model) {
        dbg_printf("serv=%p *serv='%c' isalpha -> ConfErr=2\n", static_cast<const void *>(service),
                   service[0]);
        *error = true;
    }
    return false;
}

// Seconds with an optional fraction, then "start/add".
int store_plain_charge(map_t &map, const char *seconds, const char *units) {
    uint16_t sec = 0;
    uint16_t hsec = 0;
    if (split_numbers(seconds, "^.,", &sec, &hsec, nullptr) != Error::Ok)
        dbg_printf("pp[0]=%s sec=%u hsec=%u\n", seconds, sec, hsec);
    map.map_time = static_cast<uint16_t>(sec * 100u + hsec);
    if (units == nullptr)
        return MK_MAP_OK;
    uint16_t start = 0;
    uint16_t add = 0;
    if (split_numbers(units, "/", &start, &add, nullptr) != Error::Ok) {
        dbg_printf("pp[1]=%s !get_value -> ConfErr=2\n", units);
        return MK_MAP_SYNTAX;
    }
    map.map_charge_start = static_cast<uint8_t>(start);
    map.map_charge_add = static_cast<uint8_t>(add);
    return MK_MAP_OK;
}

int store_charges(table_t *table, map_t &map, char *const *words) {
    const char *first = words[0];
    if (first == nullptr)
        return MK_MAP_OK;
    if (is_org(first)) {
        if ((map.map_mode & kCallBackBits) != 0) {
            dbg_printf("ORG with CALLBACK -> ConfErr=2\n");
            return MK_MAP_SYNTAX;
        }
        map.map_time = MAP_TIME_ORG;
        return MK_MAP_OK;
    }
    if ((table->table_reserved.table_options & OPT_MINUTE_MODEL) != 0) {
        uint32_t word = 0;
        if (scan_charge_parameter(words, &word, nullptr) == Error::Ok) {
            set_map_charge_word(map, word);
            dbg_printf("map_time=%04x map_charge_start=%02x map_charge_add=%02x\n",
                       static_cast<unsigned>(map.map_time), map.map_charge_start,
                       map.map_charge_add);
        }
        return MK_MAP_OK;
    }
    return store_plain_charge(map, first, words[1]);
}

// Text of token 0 from character `index` on, or "" when it is shorter.
const char *token_tail(const char *token, size_t index) {
    return std::strlen(token) >= index ? token + index : "";
}

// Maps of the direction keys: the escape follows the key in token 0.
void direction_map(ParseState &ps, size_t key_length, uint8_t mode) {
    char **t = ps.tokens();
    ps.error_level = mk_map(ps.table, &ps.map_count, token_tail(t[0], key_length),
                            &ps.current_period, t[1], t[2], mode, &t[2]);
}

uint8_t callback_mode(char provider, uint8_t one, uint8_t two, uint8_t other) {
    return provider == '1' ? one : provider == '2' ? two : other;
}

// Stores the code of a map into its cleared slot; true when it was cut to
// the field.
bool store_code(map_t &map, const char *code) {
    char text[sizeof map.map_code];
    const bool cut = copy_cut(text, code, sizeof map.map_code - 1);
    if (text[0] == '|') {
        // The bar is kept as bit 7 of the first digit (of the terminator
        // for a code of "|" alone; the slot's next byte is still 0).
        std::memcpy(map.map_code, text + 1, std::strlen(text));
        map.map_code[0] = static_cast<char>(static_cast<uint8_t>(map.map_code[0]) | 0x80);
    } else {
        std::memcpy(map.map_code, text, std::strlen(text) + 1);
    }
    return cut;
}

} // namespace

int mk_map(table_t *table, uint32_t *count, const char *escape, const uint32_t *period,
           const char *code, const char *service, uint8_t mode, char *const *charges) {
    if (table == nullptr || count == nullptr) {
        dbg_printf("mk_map: pt=%p mi=%p -> ConfErr=2\n", static_cast<void *>(table),
                   static_cast<void *>(count));
        return MK_MAP_SYNTAX;
    }
    if (*count >= static_cast<uint32_t>(MAX_WORK_MAP_ENTRIES)) {
        dbg_printf("*mi=%u >= MAX_MAP_TABLE_ENTRIES(%u) -> ConfErr=2\n", *count,
                   static_cast<unsigned>(MAX_MAP_TABLE_ENTRIES));
        return MK_MAP_FULL;
    }
    const uint32_t index = *count;
    map_t &map = *table_map_slot(table, index);
    std::memset(&map, 0, sizeof map);
    int result = MK_MAP_OK;

    if (escape != nullptr && copy_cut(map.map_escape, escape, MAX_ESCAPE_LENGTH))
        result = MK_MAP_CUT;

    if (code != nullptr && store_code(map, code))
        result = MK_MAP_CUT;

    const bool minute_model = (table->table_reserved.table_options & OPT_MINUTE_MODEL) != 0;
    bool service_error = false;
    const bool service_kept = apply_service(service, &mode, minute_model, &service_error);
    if (service_error)
        result = MK_MAP_SYNTAX;
    map.map_mode = mode;

    if (charges != nullptr && charges[0] != nullptr) {
        // A service word ahead of the charges is not a charge word itself.
        const bool skip = service_kept && !starts_with_digit(service) && !is_org(service);
        const int charge_result = store_charges(table, map, skip ? charges + 1 : charges);
        if (charge_result != MK_MAP_OK)
            result = charge_result;
    }

    map.map_period = static_cast<uint8_t>(period != nullptr ? *period : 0);
    print_map_entry(table, "", &map, index, nullptr);
    *count = index + 1;
    return result;
}

int mk_map_add(table_t *table, const char *escape, const uint32_t *period, const char *code,
               const char *service, uint8_t mode, char *const *charges, uint32_t file_maps) {
    const int used = table->table_used_map_entries;
    if (used >= MAX_WORK_MAP_ENTRIES)
        return 0;
    dbg_printf("mk_map_add#%u: *mi=%u esc<%s> code<%s> serv<%s> mode<%02x>\n", kLineMapAdd,
               file_maps, escape, code, service, mode);

    auto append = [&](const char *serv) {
        uint32_t count = used < 0 ? 0u : static_cast<uint32_t>(used);
        const int r = mk_map(table, &count, escape, period, code, serv, mode, charges);
        table->table_used_map_entries = static_cast<int16_t>(count);
        return r;
    };

    // Every map of period 0 with this escape and direction counts, not only
    // the first: the file may split the two services over two lines (as
    // the writer prints a table compiled from one DATA line plus the
    // standard VOICE map), and a standard map must not take the place of
    // either of them.  A map that serves both services, or neither (a
    // COMPRESS map), leaves nothing to supply.
    int found = -1;
    uint8_t served = 0;
    for (int i = 0; i < used; ++i) {
        const map_t &m = *table_map_slot(table, static_cast<size_t>(i));
        if ((m.map_mode & kDirectionBits) != (mode & kDirectionBits) || m.map_period != 0 ||
            strncasecmp(m.map_escape, escape, sizeof m.map_escape) != 0)
            continue;
        print_map_entry(table, "mk_map_add found ", &m, static_cast<unsigned>(i), nullptr);
        if (found < 0)
            found = i;
        const uint8_t services = m.map_mode & kAnyService;
        served |= services == 0 ? kAnyService : services;
    }
    if (found < 0)
        return append(service);
    const char *missing = nullptr;
    if (served == MAP_DATA) {
        dbg_printf("mk_map_add#%u: found map_i=%u/%u DATA\n", kLineFoundData, found, used);
        missing = "VOICE";
    } else if (served == MAP_VOICE) {
        dbg_printf("mk_map_add#%u: found map_i=%u/%u VOICE\n", kLineFoundVoice, found, used);
        missing = "DATA";
    } else {
        dbg_printf("mk_map_add#%u: found map_i=%u/%u\n", kLineFoundBoth, found, used);
        return 0;
    }
    const int r = append(missing);
    const unsigned added = static_cast<unsigned>(table->table_used_map_entries - 1);
    print_map_entry(table, "mk_map_add new ", table_map_slot(table, added), added, nullptr);
    return r;
}

const char *mk_cbout(char *text, int32_t *error_level) {
    dbg_printf("mk_cbout:%s\n", text);
    if (text == nullptr || !std::isalnum(static_cast<unsigned char>(text[0]))) {
        if (error_level != nullptr)
            *error_level = CONF_SYNTAX;
        return "???";
    }
    int i = 1;
    while (i < MAX_ESCAPE_LENGTH && std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    text[i] = '\0';
    dbg_printf("mk_cbout:%s i=%d\n", text, i);
    return text;
}

void key_map_in(ParseState &ps) {
    direction_map(ps, 5, MAP_IN);
}

void key_map_out(ParseState &ps) {
    direction_map(ps, 6, MAP_OUT);
}

void key_map_all(ParseState &ps) {
    direction_map(ps, 6, MAP_IN | MAP_OUT);
}

void key_cmp_msn(ParseState &ps) {
    char **t = ps.tokens();
    if (t[2] == nullptr) {
        dbg_printf("ERROR in CmpMSN\n");
        ps.error_level = CONF_SYNTAX;
        return;
    }
    ps.error_level =
        mk_map(ps.table, &ps.map_count, t[1], &ps.current_period, t[2], "CmpMSN", 0, nullptr);
}

// MapCallBackOut<p><escape>=code and MapCallBackIn<p>=escape are map lines;
// every other sub-key is a call-back setting.
void key_mapcallback(ParseState &ps) {
    char **t = ps.tokens();
    const char *sub = token_tail(t[0], 11);
    if (strncasecmp(sub, "OUT", 3) == 0) {
        const char provider = t[0][std::strlen(t[0]) > 14 ? 14 : 0];
        const uint8_t mode = callback_mode(provider, 0x46, 0x4A, 0x4E);
        char tail[kLineBufferSize];
        copy_cut(tail, token_tail(t[0], 15), sizeof tail - 1);
        const char *escape = mk_cbout(tail, &ps.error_level);
        const uint32_t before = ps.map_count;
        ps.error_level =
            mk_map(ps.table, &ps.map_count, escape, &ps.current_period, t[1], t[2], mode, &t[2]);
        if (ps.map_count != before &&
            std::strcmp(table_map_slot(ps.table, before)->map_escape, "???") == 0) {
            dbg_printf("ERROR in map[%d]\n", ps.map_count);
            ps.error_level = CONF_SYNTAX;
        }
        return;
    }
    if (strncasecmp(sub, "IN", 2) == 0) {
        const char provider = t[0][std::strlen(t[0]) > 13 ? 13 : 0];
        const uint8_t mode = callback_mode(provider, 0x45, 0x49, 0x4D);
        ps.error_level =
            mk_map(ps.table, &ps.map_count, t[1], &ps.current_period, "8c", t[2], mode, &t[2]);
        return;
    }
    key_mapcallback_setting(ps);
}

void add_standard_maps(ParseState &ps) {
    table_t *t = ps.table;
    const uint32_t global = 0;
    char escape[4];
    char code[4];
    for (unsigned d = 0; d <= 9; ++d) {
        std::snprintf(escape, sizeof escape, "%u", d);
        std::snprintf(code, sizeof code, "9%u", d);
        mk_map_add(t, escape, &global, code, nullptr, MAP_OUT, nullptr, ps.map_count);
    }
    if (ps.p_target)
        mk_map_add(t, "P", &global, "9", nullptr, MAP_OUT, nullptr, ps.map_count);

    // A line Restrict9=8 keeps the incoming standard maps out.
    bool restrict_9_to_8 = false;
    const int slots = t->table_max_redirect_entries;
    for (int i = 0; i < slots && i < MAX_REDIRECT; ++i) {
        const redirect_t &r = t->table_redirect[i];
        if (std::strcmp(r.redirect_from, "9") == 0 && std::strcmp(r.redirect_to, "8") == 0 &&
            r.redirect_mode == RE_MODE_RESTRICT)
            restrict_9_to_8 = true;
    }
    if (!restrict_9_to_8) {
        for (unsigned d = 0; d <= 9; ++d) {
            std::snprintf(escape, sizeof escape, "%u", d);
            std::snprintf(code, sizeof code, "8%u", d);
            mk_map_add(t, escape, &global, code, nullptr, MAP_IN, nullptr, ps.map_count);
        }
    }
    dbg_printf("table_used_map_entries=%u\n", static_cast<unsigned>(t->table_used_map_entries));
}

} // namespace vorn
