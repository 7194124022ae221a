// Lines of the lossless decompile.  Each one is chosen from what the parser
// makes of a line, so that compiling it gives the table's bytes again; where
// the language has no such line the usual one is written by the caller.
#include "writer/lossless_lines.h"

#include "tabletext/map_text.h"
#include "writer/field_formatters.h"
#include "writer/text_out.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace vorn {

namespace {

void append(char *buffer, size_t capacity, const char *text) {
    const size_t used = ::strnlen(buffer, capacity - 1);
    std::snprintf(buffer + used, capacity - used, "%s", text);
}

// A word that the parser reads back as it stands: the line is split at
// blanks, "=" and ";" and upper-cased before the keys read it.
bool plain_word(const char *text, const char *also_splits = "") {
    for (; *text != '\0'; ++text) {
        const auto c = static_cast<unsigned char>(*text);
        if (c <= ' ' || c == '=' || c == ';' || std::islower(c) ||
            std::strchr(also_splits, c) != nullptr)
            return false;
    }
    return true;
}

bool is_callback(uint8_t mode) {
    return (mode & MAP_CALLBACK3) != 0;
}

// The service word that gives the high mode bits.  The parser ORs the word's
// bits into the line's mode (C0h without a word); call-back lines start with
// VOICE (40h) already set.  nullptr: no word gives these bits.
const char *service_word(uint8_t mode) {
    static const struct {
        uint8_t bits;
        const char *plain;    // for MapIn, MapOut, MapAll
        const char *callback; // for the call-back maps
    } kWords[] = {{0xC0, "", ""},
                  {0x80, " DATA", nullptr},
                  {0x40, " VOICE", " VOICE"},
                  {0x60, " DTMF", " DIRECT"},
                  {0x70, " SCALL", " SCALL"},
                  {0xA0, " DDIRECT", nullptr},
                  {0xE0, nullptr, " DDIRECT"},
                  {0xD0, " CHARGE", " CHARGE"},
                  {0x10, " COMPRESS", nullptr},
                  {0x50, nullptr, " COMPRESS"}};
    for (const auto &w : kWords)
        if (w.bits == (mode & 0xF0))
            return is_callback(mode) ? w.callback : w.plain;
    return nullptr;
}

// Charge words of a map in the minute model; false when they cannot carry it.
bool minute_charge(const map_t &map, char *buffer, size_t capacity) {
    const uint32_t word = map_charge_word(map);
    if (word == 0)
        return true;
    if (word == (uint32_t{MAP_TIME_ORG} << 16) && !is_callback(map.map_mode)) {
        append(buffer, capacity, " ORG");
        return true;
    }
    if (!minute_words_carry(word))
        return false;
    char words[kMapLineSize];
    format_charge_word(nullptr, words, sizeof words, word, nullptr);
    append(buffer, capacity, words);
    // The usual words show the interval only beside an amount.
    const bool amounts = (word & 0x7Fu) != 0 || (word >> 19) != 0;
    if (!amounts && ((word >> 9) & 3u) != 0) {
        char interval[16];
        std::snprintf(interval, sizeof interval, " I=%u", charge_interval_seconds(word));
        append(buffer, capacity, interval);
    }
    return true;
}

// The three charge fields: seconds.hundredths and start/add.  655.35 is
// the ORG mark too, and unlike ORG it keeps start/add and is taken on
// call-back maps.
void field_charge(const map_t &map, char *buffer, size_t capacity) {
    const bool start_add = map.map_charge_start != 0 || map.map_charge_add != 0;
    if (map.map_time == MAP_TIME_ORG && !start_add && !is_callback(map.map_mode)) {
        append(buffer, capacity, " ORG");
        return;
    }
    if (map.map_time == 0 && !start_add)
        return;
    char text[32];
    std::snprintf(text, sizeof text, " %u.%02u", map.map_time / 100u, map.map_time % 100u);
    append(buffer, capacity, text);
    if (start_add) {
        std::snprintf(text, sizeof text, " %u/%u", map.map_charge_start, map.map_charge_add);
        append(buffer, capacity, text);
    }
}

// The code with its "|" mark; the table byte keeps bit 7.
struct CodeText {
    char text[24];
};
CodeText code_text(const map_t &map) {
    auto code = field(map.map_code);
    const bool bar = (static_cast<uint8_t>(code.text[0]) & 0x80) != 0;
    code.text[0] = static_cast<char>(static_cast<uint8_t>(code.text[0]) & 0x7F);
    CodeText out;
    std::snprintf(out.text, sizeof out.text, "%s%s", bar ? "|" : "", code.text);
    return out;
}

// The escape of an outgoing call-back line is cut after its first character
// at the first non-digit.
bool callback_out_escape(const char *escape) {
    if (!std::isalnum(static_cast<unsigned char>(escape[0])))
        return false;
    for (const char *c = escape + 1; *c != '\0'; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c)))
            return false;
    return true;
}

bool map_numbers(const map_t &map, char *buffer, size_t capacity) {
    const auto escape = field(map.map_escape);
    const CodeText code = code_text(map);
    const bool callback_in = (map.map_mode & MAP_IN) != 0 && is_callback(map.map_mode);
    if (!plain_word(escape.text) || (!callback_in && !plain_word(code.text)))
        return false;
    char numbers[48];
    if (map.map_mode == 0) {
        // A CmpMSN line carries no charge words.
        if (code.text[0] == '\0' || map.map_charge_start != 0 || map.map_charge_add != 0 ||
            map.map_time != 0)
            return false;
        std::snprintf(numbers, sizeof numbers, "=%s %s", escape.text, code.text);
    } else if (callback_in) {
        // The parser gives every incoming call-back map the code "8c".
        if (std::strcmp(field(map.map_code).text, "8c") != 0)
            return false;
        std::snprintf(numbers, sizeof numbers, "=%s", escape.text);
    } else {
        // A line without a value is passed over.
        if (code.text[0] == '\0' ||
            (is_callback(map.map_mode) && !callback_out_escape(escape.text)))
            return false;
        std::snprintf(numbers, sizeof numbers, "%s=%s", escape.text, code.text);
    }
    append(buffer, capacity, numbers);
    return true;
}

const char *protocol_text(uint8_t code, bool external) {
    switch (code) {
    case PROT_DSS1:
        return "DSS1";
    case PROT_1TR6:
        return "1TR6";
    case PROT_BILING:
        return external ? nullptr : "BILING";
    case PROT_AUTO:
        return "AUTO";
    default:
        return nullptr;
    }
}

// The layer-2 word; "" for not set.  An external PMP is 18h beside DSS1
// and 14h beside the other protocols; an internal one is always 14h.
const char *l2_text(uint8_t code, uint8_t protocol, bool external) {
    switch (code) {
    case L2_DEFAULT:
        return "";
    case L2_PP:
        return " PP";
    case L2_AUTO:
        return " AUTO";
    case L2_PMP:
        return !external || protocol != PROT_DSS1 ? " PMP" : nullptr;
    case L2_PMP_ALT:
        return external && protocol == PROT_DSS1 ? " PMP" : nullptr;
    default:
        return nullptr;
    }
}

bool subscriber_carries(const table_reserved_t &r, int s) {
    constexpr uint8_t kLastChannel = 29;
    return r.table_chinc_first[s] <= kLastChannel && r.table_chinc_second[s] <= kLastChannel &&
           (r.table_chstart[s] & CHSTART_NUMBER_MASK) <= kLastChannel &&
           (r.table_chstart[s] & 0x20) == 0;
}

// How a currency sign is written: "" when the line must leave it out (the
// default sign of CH), nullptr when no word gives it.
const char *sign_word(const k_currency_t &c, std::string &word) {
    const std::string sign = field(c.currency_sign).text;
    if (c.currency_mode == CURRENCY_CH && sign == "FR. ")
        return "";
    if (!plain_word(sign.c_str()))
        return nullptr;
    // A quoted sign keeps a leading quote and may be empty.
    word = sign.empty() || sign[0] == '"' ? "\"" + sign + "\"" : sign;
    return word.c_str();
}

bool cause_carries(const uint8_t (&cause)[2]) {
    if (cause[0] == 0)
        return cause[1] == 0;
    return cause[0] >= 0x80 && (cause[1] == 0 || cause[1] >= 0x80);
}

constexpr const char *kCauseComment = "\t; no redirecting inside this cause value range (hex)\n";

} // namespace

bool minute_words_carry(uint32_t word) {
    const unsigned m1 = word & 0x7Fu;
    const unsigned s1 = (word >> 16) & 7u;
    const unsigned m2 = word >> 19;
    const unsigned s2 = (word >> 7) & 3u;
    // The scanner takes M2 from M1 when it is 0, and counts S1 and S2 in
    // multiples of an amount that must not be 0.
    if (m2 == 0 && m1 != 0)
        return false;
    if (s1 >= 1 && s1 <= 5 && m1 == 0)
        return false;
    if (s2 >= 1 && s2 <= 2 && (m1 != 0 ? m1 * 10 : m2) == 0)
        return false;
    return true;
}

bool maps_fit_minute_words(const table_t *table) {
    const int used = table->table_used_map_entries;
    for (int i = 0; i < used && i < MAX_MAP_TABLE_ENTRIES; ++i) {
        char line[kMapLineSize] = "";
        if (!minute_charge(table->table_map[i], line, sizeof line))
            return false;
    }
    return true;
}

bool lossless_map_line(const table_t *table, const map_t *map, bool minute_words, char *buffer,
                       size_t capacity) {
    buffer[0] = '\0';
    const auto first = static_cast<uint8_t>(map->map_escape[0]);
    const uint8_t mode = map->map_mode;
    const char *key = map_key_word(mode);
    const char *service = mode == 0 ? "" : service_word(mode);
    if (table == nullptr || first == UNUSED_BYTE || first == 0 || key == nullptr ||
        service == nullptr || ((mode & MAP_KEY_MASK) == 0 && mode != 0))
        return false;
    append(buffer, capacity, key);
    bool carried = map_numbers(*map, buffer, capacity);
    append(buffer, capacity, service);
    if (mode != 0) {
        if (minute_words)
            carried = carried && minute_charge(*map, buffer, capacity);
        else
            field_charge(*map, buffer, capacity);
    }
    if (!carried)
        buffer[0] = '\0';
    return carried;
}

bool write_protocols_lossless(std::FILE *file, const table_t *t) {
    struct Side {
        const char *key;
        bool external;
        uint8_t protocol, l2;
    } sides[2] = {{"ProtExt", true, t->table_te_protocol, t->table_te_l2mode},
                  {"ProtInt", false, t->table_nt_protocol, t->table_nt_l2mode}};
    int lines = 0;
    for (const Side &s : sides) {
        if (s.protocol == PROT_DEFAULT && s.l2 == L2_DEFAULT)
            continue;
        if (protocol_text(s.protocol, s.external) == nullptr ||
            l2_text(s.l2, s.protocol, s.external) == nullptr)
            return false;
        ++lines;
    }
    // The parser checks the pair after the second line only: a PP and a PMP
    // side pass when the internal side comes in a third line.
    const uint8_t te = t->table_te_l2mode, nt = t->table_nt_l2mode;
    const bool contradicting = (te == L2_PP && nt == L2_PMP) || (te == L2_PMP && nt == L2_PP);
    for (const Side &s : sides) {
        if (s.protocol == PROT_DEFAULT && s.l2 == L2_DEFAULT)
            continue;
        const char *protocol = protocol_text(s.protocol, s.external);
        if (!s.external && lines == 2 && contradicting)
            out_printf(file, "%s=%s AUTO\n", s.key, protocol);
        out_printf(file, "%s=%s%s\n", s.key, protocol, l2_text(s.l2, s.protocol, s.external));
    }
    return true;
}

bool write_subscribers_lossless(std::FILE *file, const table_t *table) {
    const table_reserved_t &r = table->table_reserved;
    if (!subscriber_carries(r, 0) || !subscriber_carries(r, 1))
        return false;
    static const char *const kKinds[4] = {"LIN", "CYC", "INV", "ANY"};
    for (int s = 0; s < 2; ++s) {
        if (r.table_chinc_first[s] == 0 && r.table_chinc_second[s] == 0 && r.table_chstart[s] == 0)
            continue; // what the table holds without a line
        out_printf(file, "Subscriber%02u=CHINC[%02u,%02u] CHSTART[%02u,%s]\n",
                   static_cast<unsigned>(s), r.table_chinc_first[s] + 1u,
                   r.table_chinc_second[s] + 1u, (r.table_chstart[s] & CHSTART_NUMBER_MASK) + 1u,
                   kKinds[r.table_chstart[s] >> 6]);
    }
    return true;
}

bool write_free_tone_lossless(std::FILE *file, const table_t *table) {
    const table_reserved_t &r = table->table_reserved;
    if (r.table_free_tone != 0 && r.table_free_tone != FREE_TONE_CADENCE)
        return false;
    const uint8_t *c = r.table_free_tone_cadence;
    // A line of n numbers sets entries 0..n-1, ends the list with FFh at n
    // and leaves the entries behind it as they were (0).
    int n = 0;
    while (n < MAX_FREE_TONE_CADENCE) {
        bool rest_zero = true;
        for (int k = n + 1; k < MAX_FREE_TONE_CADENCE; ++k)
            rest_zero = rest_zero && c[k] == 0;
        if (c[n] == 0xFF && rest_zero)
            break;
        ++n;
    }
    const bool cadence_kept =
        std::any_of(c, c + MAX_FREE_TONE_CADENCE, [](uint8_t v) { return v != 0; });
    if (r.table_free_tone == FREE_TONE_CADENCE || cadence_kept) {
        out_text(file, n == 0 ? "FreeTone=NONE" : "FreeTone=");
        for (int k = 0; k < n; ++k)
            out_printf(file, "%u ", c[k] * 100u);
        out_text(file, "\n");
    }
    if (r.table_free_tone == 0)
        out_text(file, "FreeTone=Normal\n");
    return true;
}

bool write_currency_lossless(std::FILE *file, const table_t *table, bool minute_mark) {
    static const char *const kModes[CURRENCY_MODES] = {"AOCU",  "AOCC",  "CH", "NL", "I", "F",
                                                       "AOCUD", "AOCCD", "E",  "E2", "P", "G"};
    const k_currency_t &c = table->table_currency;
    std::string word;
    const char *sign = sign_word(c, word);
    if (c.currency_mode < 0 || c.currency_mode >= CURRENCY_MODES || c.currency_div == 0 ||
        sign == nullptr)
        return false;
    const char *mode = kModes[static_cast<int>(c.currency_mode)];
    if (c.currency_mode == 0 && c.currency_value == 0 && c.currency_div == 1 &&
        field(c.currency_sign).text[0] == '\0' && !minute_mark) {
        out_text(file, "Currency=AOCU \n");
        return true;
    }
    if (sign[0] == '\0') {
        // The default sign of CH holds a blank: the sign is left out, after a
        // line with a sign for the minute model's M when that is needed.
        if (minute_mark)
            out_printf(file, "Currency=%s %u %u \"\" M\n", mode, c.currency_value, c.currency_div);
        out_printf(file, "Currency=%s %u %u\n", mode, c.currency_value, c.currency_div);
        return true;
    }
    out_printf(file, "Currency=%s %u %u %s%s\n", mode, c.currency_value, c.currency_div, sign,
               minute_mark ? " M" : "");
    return true;
}

bool write_redirect_limits_lossless(std::FILE *file, const table_t *table, int redirects) {
    const table_reserved_t &r = table->table_reserved;
    const uint8_t limit = r.table_alternative_limit;
    constexpr unsigned kMaxPercent = 60;
    if (!cause_carries(r.table_no_redirect_cause) || (limit & ALT_LIMIT_PERCENT_MASK) > kMaxPercent)
        return false;
    if (r.table_no_redirect_cause[0] != 0) {
        out_printf(file, "NoRedirectCause=%02x", r.table_no_redirect_cause[0]);
        if (r.table_no_redirect_cause[1] != 0)
            out_printf(file, " %02x", r.table_no_redirect_cause[1]);
        out_text(file, kCauseComment);
    } else if (redirects != 0) {
        out_printf(file, ";NoRedirectCause=%02x %02x%s", 0xA2u, 0xAFu, kCauseComment);
    }
    if (limit != 0) {
        out_printf(file, "AlternativeLimit=%u%% %s", limit & ALT_LIMIT_PERCENT_MASK,
                   (limit & ALT_LIMIT_HOURLY) != 0 ? "HOURLY" : "DAILY");
        out_text(file, (limit & ALT_LIMIT_ALARM) != 0 ? " ALARM\n" : "\t; ALARM\n");
    } else if (redirects != 0) {
        out_text(file, ";AlternativeLimit=nn% HOURLY | DAILY [ALARM]\n");
    }
    return true;
}

namespace {

// A provider whose list does not begin with its PIN: the PIN was given to
// all three providers after the list was made.
bool pin_apart(const table_t *table, int k) {
    const auto first = field(table->table_reserved.table_callback_pins[k][0]);
    return first.text[0] != '\0' &&
           std::strcmp(first.text, field(table->table_mapcb.mapcb_pin[k]).text) != 0;
}

} // namespace

bool pins_carry(const table_t *table) {
    bool apart = false;
    for (int k = 0; k < MAX_CALLBACK_PROVIDERS; ++k) {
        const char *pin = table->table_mapcb.mapcb_pin[k];
        if (!plain_word(field(table->table_mapcb.mapcb_pin[k]).text, ","))
            return false;
        // The list fills from its first entry, two entries at once, and only
        // beside a PIN.
        int filled = 0;
        for (int slot = 0; slot < MAX_CALLBACK_PINS; ++slot) {
            const auto entry = field(table->table_reserved.table_callback_pins[k][slot]);
            if (!plain_word(entry.text, ",") || (entry.text[0] != '\0' && slot != filled))
                return false;
            filled += entry.text[0] != '\0' ? 1 : 0;
        }
        if (filled == 1 || (filled > 0 && pin[0] == '\0'))
            return false;
        apart = apart || pin_apart(table, k);
    }
    // A PIN apart from its list comes from one line for all providers.
    const char *common = table->table_mapcb.mapcb_pin[0];
    for (int k = 1; apart && k < MAX_CALLBACK_PROVIDERS; ++k)
        if (std::strncmp(common, table->table_mapcb.mapcb_pin[k], 20) != 0)
            return false;
    return true;
}

void write_provider_pins_lossless(std::FILE *file, const table_t *table, int provider) {
    const int k = provider - 1;
    const char(&list)[MAX_CALLBACK_PINS][20] = table->table_reserved.table_callback_pins[k];
    const auto first = field(list[0][0] != '\0' ? list[0] : table->table_mapcb.mapcb_pin[k]);
    out_printf(file, "MapCallBackPin%u=%s", static_cast<unsigned>(provider), first.text);
    for (int slot = 1; slot < MAX_CALLBACK_PINS && list[slot][0] != '\0'; ++slot)
        out_printf(file, ",%s", field(list[slot]).text);
    out_text(file, "\n");
}

void write_common_pin_lossless(std::FILE *file, const table_t *table) {
    for (int k = 0; k < MAX_CALLBACK_PROVIDERS; ++k) {
        if (pin_apart(table, k)) {
            out_printf(file, "MapCallBackPin=%s\n", field(table->table_mapcb.mapcb_pin[0]).text);
            return;
        }
    }
}

} // namespace vorn
