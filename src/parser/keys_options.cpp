// Handlers of the keys that set switches of the whole box: the option words
// (OPTIONS, OPTIMIZE), the ISDN protocols of both sides (ProtExt, ProtInt),
// the primary-rate line mode, Ctrl2, the free tone, the controller letters,
// the country code and the currency.
#include "parser/key_handlers.h"
#include "parser/key_helpers.h"
#include "trace/trace.h"

#include <cctype>
#include <cstring>

namespace vorn {

namespace {

// Source lines that the controller and country code traces name.
constexpr unsigned kControllerTraceLine = 865;
constexpr unsigned kCountryCodeTraceLine = 874;

// The option words in the order they are tested; the first word that the
// line's word begins with decides.
struct OptionWord {
    const char *word;
    uint8_t byte_bits;
    uint16_t word_bits;
};

constexpr OptionWord kOptionWords[] = {
    {"OFF", OPT_OPTIMIZE_OFF, 0},
    {"NOOPTIMIZE", OPT_OPTIMIZE_OFF, 0},
    {"NOSTANDARDMAPS", OPT_NO_STANDARD_MAPS, 0},
    {"SPECIALSIN", OPT_SPECIAL_SIN, 0},
    {"AOCTRANSPARENCY", OPT_AOC_TRANSPARENCY, 0},
    {"AOCSTRANSPARENCY", 0, OPT2_AOCS_TRANSPARENCY},
    {"AUTODOWN", OPT_AUTO_DOWN, 0},
    {"DEACTTRANSPARENCY", OPT_DEACT_TRANSPARENCY, 0},
    {"LOGEPICERR", OPT_LOG_EPIC_ERR, 0},
    {"NOCARRIER", 0, OPT2_SIGNALING_NO_CARRIER},
    {"SIGNALINGNOCARRIER", 0, OPT2_SIGNALING_NO_CARRIER},
    {"SIGNALLINGNOCARRIER", 0, OPT2_SIGNALING_NO_CARRIER},
    {"FSKSIGNAL", 0, OPT2_FSK_SIGNAL},
    {"LOGCDR", 0, OPT2_LOG_CDR},
    {"PERIODTEST", 0, OPT2_PERIOD_TEST},
    {"NOBOOTALARM", 0, OPT2_NO_BOOT_ALARM},
    {"NOAUTOACTL2", 0, OPT2_NO_AUTO_ACT_L2},
    {"RLICOUNT", 0, OPT2_RLI_COUNT},
    {"NOSETUPREPEAT", 0, OPT2_NO_SETUP_REPEAT},
    {"IGNORESTATUSMESSAGE", 0, OPT2_IGNORE_STATUS_MESSAGE},
    {"SENDDTE", 0, OPT2_SEND_DTE},
    {"SAVETEI", 0, OPT2_SAVE_TEI},
};

constexpr const char *kAuto = "AUTO";

// Layer-3 protocol byte of an accepted (or replaced) protocol word.
uint8_t protocol_code(const char *word, bool external) {
    if (word == nullptr)
        return PROT_DEFAULT;
    if (key_is_word(word, "1TR6"))
        return PROT_1TR6;
    if (key_is_word(word, "DSS1") || key_is_word(word, "EDSS1"))
        return PROT_DSS1;
    if (!external && key_is_word(word, "BILING"))
        return PROT_BILING;
    return PROT_AUTO; // conf_check_l2prot turned every other word into AUTO
}

// Layer-2 byte.  The external side reports PMP as 18h when it speaks DSS1.
uint8_t l2mode_code(const char *word, bool external, uint8_t te_protocol) {
    if (word == nullptr)
        return L2_DEFAULT;
    if (key_is_word(word, "PMP"))
        return external && te_protocol == PROT_DSS1 ? L2_PMP_ALT : L2_PMP;
    if (key_is_word(word, "PP"))
        return L2_PP;
    return L2_AUTO;
}

void key_protocol(ParseState &ps, bool external) {
    table_t *t = ps.table;
    const char *protocol = key_token(ps, 1);
    const char *l2mode = key_token(ps, 2);
    if (conf_check_l2prot(external ? 1 : 0, &protocol, &l2mode) != 0) {
        dbg_printf("WARNING: prot or l2mode not available (%s)\n", ps.line);
        ps.error_level = CONF_WRONG_VALUE;
    }

    uint8_t &protocol_byte = external ? t->table_te_protocol : t->table_nt_protocol;
    uint8_t &l2_byte = external ? t->table_te_l2mode : t->table_nt_l2mode;
    protocol_byte = protocol_code(protocol, external);
    l2_byte = l2mode_code(l2mode, external, t->table_te_protocol);

    // PP on one side and PMP on the other cannot work together; the pair is
    // judged once both lines have been read.
    if (++ps.protocol_lines == 2) {
        const uint8_t te = t->table_te_l2mode, nt = t->table_nt_l2mode;
        if ((te == L2_PP && nt == L2_PMP) || (te == L2_PMP && nt == L2_PP))
            ps.error_level = CONF_WRONG_VALUE;
    }
    dbg_printf(external ? "table_te_l2mode=%u\n" : "table_nt_l2mode=%u\n", unsigned{l2_byte});
}

struct CurrencyMode {
    const char *word;
    int8_t mode;
};

constexpr CurrencyMode kCurrencyModes[] = {
    {"AOCU", CURRENCY_AOCU},   {"AOCC", CURRENCY_AOCC},   {"CH", CURRENCY_CH},
    {"NL", CURRENCY_NL},       {"I", CURRENCY_I},         {"F", CURRENCY_F},
    {"AOCUD", CURRENCY_AOCUD}, {"AOCCD", CURRENCY_AOCCD}, {"E", CURRENCY_E},
    {"E2", CURRENCY_E2},       {"P", CURRENCY_P},         {"G", CURRENCY_G},
};

// The sign of a Currency line.  A quoted sign loses its quotes; one whose
// closing quote is missing (or lies beyond the sign's room) is refused.
bool store_currency_sign(k_currency_t &currency, const char *sign) {
    if (sign[0] != '"') {
        copy_text_field(currency.currency_sign, sizeof currency.currency_sign, sign);
        return true;
    }
    char text[12];
    copy_text_field(text, sizeof text, sign); // the quote and at most ten more
    const size_t length = std::strlen(text + 1);
    if (length == 0 || text[length] != '"')
        return false;
    text[length] = '\0';
    copy_text_field(currency.currency_sign, sizeof currency.currency_sign, text + 1);
    return true;
}

} // namespace

// ---- option words --------------------------------------------------------------

int parse_options(uint8_t *option_byte, uint16_t *option_word, char *const *tokens) {
    for (unsigned i = 1; i < static_cast<unsigned>(kMaxTokens) && tokens[i] != nullptr; ++i) {
        dbg_printf("parse_options:sn[%u]=<%s>\n", i, tokens[i]);
        char copy[kLineBufferSize + 2];
        copy_text_field(copy, sizeof copy, tokens[i]);
        for (char *c = copy; *c != '\0'; ++c)
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));

        char *cursor = copy;
        while (char *word = next_word(cursor, ",\n\t ")) {
            uint8_t new_byte = 0;
            uint16_t new_word = 0;
            for (const OptionWord &o : kOptionWords) {
                if (key_begins_with(word, o.word)) {
                    new_byte = o.byte_bits;
                    new_word = o.word_bits;
                    break;
                }
            }
            *option_byte = static_cast<uint8_t>(*option_byte | new_byte);
            *option_word = static_cast<uint16_t>(*option_word | new_word);
            dbg_printf("opt=%02x/%02x opt2=%04x/%04x p1=<%s>\n", unsigned{*option_byte},
                       unsigned{new_byte}, unsigned{*option_word}, unsigned{new_word}, word);
        }
    }
    return 0;
}

void key_options(ParseState &ps) {
    parse_options(&ps.option_byte, &ps.option_word, ps.words.tokens);
    table_reserved_t &r = ps.table->table_reserved;
    r.table_options = static_cast<uint8_t>(r.table_options | ps.option_byte);
    r.table_options2 = static_cast<uint16_t>(r.table_options2 | ps.option_word);
}

// ---- protocols -------------------------------------------------------------------

uint32_t conf_check_l2prot(uint32_t external, const char **protocol, const char **l2mode) {
    const char *p = *protocol != nullptr ? *protocol : "";
    const char *l2 = *l2mode != nullptr ? *l2mode : "";
    dbg_printf("conf_check_l2prot(%u, %s, %s, %04x)\n", external, p, l2, 0u);

    uint32_t result = 0;
    if (*p != '\0') {
        const bool accepted = key_is_word(p, "DSS1") || key_is_word(p, "EDSS1") ||
                              key_is_word(p, "1TR6") || (external == 0 && key_is_word(p, "BILING"));
        if (!accepted && !key_is_word(p, kAuto)) {
            *protocol = kAuto;
            result |= L2PROT_BAD_PROTOCOL;
        }
    }
    if (*l2 != '\0' && !key_is_word(l2, "PP") && !key_is_word(l2, "PMP") &&
        !key_is_word(l2, kAuto)) {
        *l2mode = kAuto;
        result |= L2PROT_BAD_L2MODE;
    }
    return result;
}

void key_prot_ext(ParseState &ps) {
    key_protocol(ps, true);
}

void key_prot_int(ParseState &ps) {
    key_protocol(ps, false);
}

// ---- line settings ----------------------------------------------------------------

void key_s2m_l1mode(ParseState &ps) {
    const char *value = key_token(ps, 1);
    uint8_t mode = S2M_L1_AUTO;
    if (key_begins_with(value, "CRC4"))
        mode = S2M_L1_CRC4;
    else if (key_begins_with(value, "DOUBLEFRAME"))
        mode = S2M_L1_DOUBLEFRAME;
    ps.table->table_reserved.table_s2m_l1mode = mode;
    dbg_printf("%s=%s -> S2M_L1Mode = %d\n", key_token(ps, 0), value, int{mode});
}

void key_ctrl2(ParseState &ps) {
    const char *value = key_token(ps, 1);
    const uint8_t escape =
        key_begins_with(value, "ESCAPE") ? TABLE_ESCAPE_ESCAPE : TABLE_ESCAPE_ASSOCIATE;
    ps.table->table_escape = escape;
    dbg_printf("%s=%s -> escape = %d\n", key_token(ps, 0), value, int{escape});
}

void key_free_tone(ParseState &ps) {
    table_reserved_t &r = ps.table->table_reserved;
    const char *value = key_token(ps, 1);
    if (key_begins_with(value, "CONTINUA")) {
        r.table_free_tone = 0;
        dbg_printf("%s -> CONTINUAL\n", key_token(ps, 0));
        return;
    }
    if (key_is_word(value, "NORMAL")) {
        r.table_free_tone = 0;
        dbg_printf("%s -> NORMAL\n", key_token(ps, 0));
        return;
    }
    // A cadence: up to ten durations in milliseconds, kept in 100 ms units;
    // FFh ends a list of fewer than ten.
    r.table_free_tone = FREE_TONE_CADENCE;
    for (int i = 0; i < MAX_FREE_TONE_CADENCE; ++i) {
        const char *t = key_token(ps, i + 1);
        if (t == nullptr || !std::isdigit(static_cast<unsigned char>(t[0]))) {
            r.table_free_tone_cadence[i] = UNUSED_BYTE;
            break;
        }
        r.table_free_tone_cadence[i] = static_cast<uint8_t>(key_decimal(t) / 100);
    }
}

void key_controller(ParseState &ps) {
    const char *key = key_token(ps, 0);
    const char *value = key_token(ps, 1);
    const size_t prefix = std::strlen("CONTROLLER");
    const size_t key_length = key != nullptr ? std::strlen(key) : 0;
    const auto index = static_cast<uint16_t>(key_length > prefix ? key_decimal(key + prefix) : 0);
    const char c = value != nullptr ? value[0] : '\0';
    // Only printable characters name a controller; 0 means "not configured".
    if (index < MAX_CONTROLLERS && c >= 0x21 && c <= 0x7E)
        ps.table->table_reserved.table_controller[index] = c;
    dbg_printf("#%u: Controller%u=%c\n", kControllerTraceLine, unsigned{index}, c);
}

void key_country_code(ParseState &ps) {
    auto code = static_cast<uint16_t>(key_decimal(key_token(ps, 1)));
    // Portugal's 351 does not fit the byte; the box knows it as 135.
    if (code == 351)
        code = 135;
    const auto stored = static_cast<uint8_t>(code);
    ps.table->table_reserved.table_country_code = stored;
    dbg_printf("#%u: CountryCode=%u\n", kCountryCodeTraceLine, unsigned{stored});
}

// ---- currency ---------------------------------------------------------------------

namespace {

// The figures of a known currency mode: value, divisor, sign and charge
// model from the line, Swiss and Dutch charge pulses with their usual
// figures where the line leaves them out.
void set_currency(ParseState &ps, const CurrencyMode &mode) {
    k_currency_t &currency = ps.table->table_currency;
    currency.currency_mode = mode.mode;
    const char *value = key_token(ps, 2);
    const char *divisor = key_token(ps, 3);
    const char *sign = key_token(ps, 4);
    const char *model = key_token(ps, 5);
    if (mode.mode == CURRENCY_CH) {
        value = value ? value : "10";
        divisor = divisor ? divisor : "10";
        sign = sign ? sign : "FR. ";
    } else if (mode.mode == CURRENCY_NL) {
        value = value ? value : "1";
        divisor = divisor ? divisor : "1";
        sign = sign ? sign : "N40*";
    }
    if (value != nullptr)
        currency.currency_value = static_cast<uint16_t>(key_decimal(value));
    if (divisor != nullptr)
        currency.currency_div = static_cast<uint16_t>(key_decimal(divisor));

    if (sign != nullptr && !store_currency_sign(currency, sign)) {
        dbg_printf("invalid currency sign %s\n", sign);
        ps.error_level = CONF_WRONG_VALUE;
        return;
    }
    if (model != nullptr && model[0] == 'M')
        ps.table->table_reserved.table_options |= OPT_MINUTE_MODEL;
}

} // namespace

void key_currency(ParseState &ps) {
    table_t *t = ps.table;
    k_currency_t &currency = t->table_currency;
    const char *mode_word = key_token(ps, 1);
    const CurrencyMode *mode = nullptr;
    for (const CurrencyMode &m : kCurrencyModes) {
        if (key_is_word(mode_word, m.word)) {
            mode = &m;
            break;
        }
    }
    if (mode == nullptr) {
        dbg_printf("invalid currency mode %s\n", mode_word);
        ps.error_level = CONF_WRONG_VALUE;
    } else {
        set_currency(ps, *mode);
    }

    if (currency.currency_div == 0) {
        dbg_printf("invalid currency divisor 0\n");
        ps.error_level = CONF_WRONG_VALUE;
    }
    char sign_text[sizeof currency.currency_sign + 1];
    copy_field(sign_text, currency.currency_sign, sizeof currency.currency_sign);
    dbg_printf("Currency: mode=%u value=%u div=%u sign=<%s> %s\n",
               static_cast<unsigned>(currency.currency_mode), unsigned{currency.currency_value},
               unsigned{currency.currency_div}, sign_text,
               (t->table_reserved.table_options & OPT_MINUTE_MODEL) ? "minute model" : "");
}

} // namespace vorn
