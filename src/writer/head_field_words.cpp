// Words of the coded head fields of a table, from the same word lists the
// writer prints the configuration with.
#include "writer/head_field_words.h"

#include "writer/field_formatters.h"

namespace vorn {

std::string head_field_words(const table_t &table, std::string_view field) {
    static const char *const kCurrency[] = {"AOCU",  "AOCC",  "CH", "NL", "I", "F",
                                            "AOCUD", "AOCCD", "E",  "E2", "P", "G"};
    const table_reserved_t &r = table.table_reserved;
    if (field == "te_protocol")
        return protocol_word(table.table_te_protocol);
    if (field == "nt_protocol")
        return protocol_word(table.table_nt_protocol);
    if (field == "te_l2mode")
        return l2mode_word(table.table_te_l2mode);
    if (field == "nt_l2mode")
        return l2mode_word(table.table_nt_l2mode);
    if (field == "escape")
        return table.table_escape == TABLE_ESCAPE_ESCAPE      ? "Ctrl2=ESCAPE"
               : table.table_escape == TABLE_ESCAPE_ASSOCIATE ? "Ctrl2=ASSOCIATE"
                                                              : "not set";
    if (field == "currency") {
        const int mode = table.table_currency.currency_mode;
        return mode >= 0 && mode < CURRENCY_MODES ? kCurrency[mode] : "???";
    }
    if (field == "s2m_l1mode")
        return r.table_s2m_l1mode == S2M_L1_AUTO          ? "AUTO"
               : r.table_s2m_l1mode == S2M_L1_CRC4        ? "CRC4"
               : r.table_s2m_l1mode == S2M_L1_DOUBLEFRAME ? "DOUBLEFRAME"
                                                          : "???";
    if (field == "options")
        return option_words(r.table_options, 0);
    if (field == "options2")
        return option_words(0, r.table_options2);
    if (field == "free_tone")
        return r.table_free_tone == 0 ? "CONTINUAL" : "cadence";
    if (field == "country_code")
        return r.table_country_code == 135 ? "351" : "";
    if (field == "alternative_limit") {
        const uint8_t a = r.table_alternative_limit;
        if (a == 0)
            return "not set";
        return std::to_string(a & 0x3F) + "% " + ((a & 0x80) != 0 ? "HOURLY" : "DAILY") +
               ((a & 0x40) != 0 ? " ALARM" : "");
    }
    return "";
}

} // namespace vorn
