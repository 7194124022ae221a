// Field formatters of the configuration writer: map lines, period lines,
// option lines, the poll caller-number rule and the device protocol values.
#include "writer/field_formatters.h"

#include "tabletext/map_text.h"
#include "trace/trace.h"
#include "writer/text_out.h"

#include <cstring>
#include <initializer_list>
#include <string>

namespace vorn {

namespace {

void append(char *buffer, size_t capacity, const char *text) {
    const size_t used = ::strnlen(buffer, capacity - 1);
    std::snprintf(buffer + used, capacity - used, "%s", text);
}

// Keys of the low four mode bits; nullptr where a mode has no key.
const char *map_key(uint8_t mode) {
    static const char *const kKeys[16] = {"CmpMSN", "MapIn",          "MapOut",          "MapAll",
                                          nullptr,  "MapCallBackIn1", "MapCallBackOut1", nullptr,
                                          nullptr,  "MapCallBackIn2", "MapCallBackOut2", nullptr,
                                          nullptr,  "MapCallBackIn3", "MapCallBackOut3", nullptr};
    return kKeys[mode & MAP_KEY_MASK];
}

void append_service_words(char *buffer, size_t capacity, uint8_t mode) {
    if ((mode & MAP_CALLBACK3) != 0) {
        // Call-back maps carry only the dialling word, and only outgoing.
        if ((mode & MAP_IN) == 0 && (mode & MAP_DTMF) != 0)
            append(buffer, capacity, (mode & MAP_DATA) != 0 ? " DDIRECT" : " DIRECT");
        return;
    }
    const uint8_t service = mode & (MAP_DATA | MAP_VOICE);
    if (service == MAP_VOICE)
        append(buffer, capacity, " VOICE");
    else if (service == MAP_DATA)
        append(buffer, capacity, " DATA");
    constexpr uint8_t kCharge = MAP_DATA | MAP_VOICE | MAP_SPECIAL;
    if ((mode & kCharge) == kCharge)
        append(buffer, capacity, " CHARGE");
}

void append_charge(const table_t *table, const map_t *map, char *buffer, size_t capacity) {
    if (map->map_time == MAP_TIME_ORG) {
        append(buffer, capacity, " ORG");
        return;
    }
    char text[kMapLineSize];
    if ((table->table_reserved.table_options & OPT_MINUTE_MODEL) != 0) {
        format_charge_word(nullptr, text, sizeof text, map_charge_word(*map), nullptr);
        append(buffer, capacity, text);
        return;
    }
    if (map->map_time == 0)
        return;
    std::snprintf(text, sizeof text, " %u.%02u", map->map_time / 100u, map->map_time % 100u);
    append(buffer, capacity, text);
    if (map->map_charge_start != 0 || map->map_charge_add != 0) {
        std::snprintf(text, sizeof text, " %u/%u", map->map_charge_start, map->map_charge_add);
        append(buffer, capacity, text);
    }
}

} // namespace

const char *map_key_word(uint8_t mode) {
    return map_key(mode);
}

void format_map_line(const table_t *table, const map_t *map, char *buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0)
        return;
    buffer[0] = '\0';
    if (table == nullptr || map == nullptr)
        return;
    const auto first = static_cast<uint8_t>(map->map_escape[0]);
    const uint8_t mode = map->map_mode;
    if (first == UNUSED_BYTE || (first == 0 && mode != 0))
        return;

    if (const char *key = map_key(mode))
        append(buffer, capacity, key);

    const auto escape = field(map->map_escape);
    auto code = field(map->map_code);
    char numbers[80];
    if ((mode & MAP_IN) != 0 && (mode & MAP_CALLBACK3) != 0) {
        std::snprintf(numbers, sizeof numbers, "=%s", escape.text); // call-back in: no code
    } else if (mode == 0) {
        std::snprintf(numbers, sizeof numbers, "=%s %s", escape.text, code.text);
    } else {
        // The "|" bit is shown, not written back: the table keeps its byte.
        const bool bar = (static_cast<uint8_t>(code.text[0]) & 0x80) != 0;
        code.text[0] = static_cast<char>(static_cast<uint8_t>(code.text[0]) & 0x7F);
        std::snprintf(numbers, sizeof numbers, "%s=%s%s", escape.text, bar ? "|" : "", code.text);
    }
    append(buffer, capacity, numbers);
    append_service_words(buffer, capacity, mode);
    append_charge(table, map, buffer, capacity);
}

std::string period_heading(const table_t *table, unsigned period, bool aligned) {
    static const struct {
        uint8_t bit;
        const char *word;
    } kDays[] = {{DAY_HO, "HO"}, {DAY_SU, "SU"}, {DAY_MO, "MO"}, {DAY_TU, "TU"},
                 {DAY_WE, "WE"}, {DAY_TH, "TH"}, {DAY_FR, "FR"}, {DAY_SA, "SA"}};
    const map_period_t p = table_period_record(table, period);
    char heading[48];
    std::snprintf(heading, sizeof heading, "[%02u.%02d]", p.period_hour, p.period_minute);
    std::string text = heading;
    for (const auto &day : kDays) {
        if ((p.period_days & day.bit) != 0)
            text.append(" ").append(day.word);
        else if (aligned)
            text.append("   ");
    }
    return text;
}

void write_period(std::FILE *file, const table_t *table, unsigned period, bool aligned) {
    const map_period_t p = table_period_record(table, period);
    const std::string heading = period_heading(table, period, aligned);
    if (file != nullptr)
        std::fprintf(file, "%s  ;(%02x)\n", heading.c_str(), p.period_days);
    char mask[9];
    for (int bit = 7; bit >= 0; --bit)
        mask[7 - bit] = (p.period_days >> bit) & 1 ? '1' : '0';
    mask[8] = '\0';
    // The trace shows the day words alone, behind the time.
    dbg_printf("PERIOD[%02u] (%02u%02u-%s) (%s)\n", period, p.period_hour, p.period_minute, mask,
               heading.c_str() + heading.find(']') + 1);
}

unsigned append_option_word(std::FILE *file, const char *prefix, unsigned column,
                            const char *word) {
    const auto prefix_length = static_cast<unsigned>(std::strlen(prefix));
    const auto word_length = static_cast<unsigned>(std::strlen(word));
    if (column + word_length >= 79) {
        out_text(file, "\n");
        out_text(file, prefix);
        column = prefix_length;
    } else if (column == 0) {
        out_text(file, prefix);
        column = prefix_length;
    }
    out_text(file, word);
    return column + word_length;
}

namespace {

// The Optimize line, after the list of its words when help is asked for.
void write_optimize_line(std::FILE *file, uint8_t options, bool help) {
    if (help) {
        const char *prefix = "; possible optimize options: ";
        unsigned column = 0;
        for (const char *word : {"On ", "Off ", "NoStandardMaps "})
            column = append_option_word(file, prefix, column, word);
        out_text(file, "\n");
    }

    const char *optimize = "Optimize=";
    out_text(file, optimize);
    unsigned column = static_cast<unsigned>(std::strlen(optimize));
    if ((options & OPT_OPTIMIZE_OFF) != 0)
        column = append_option_word(file, optimize, column, "Off ");
    if ((options & OPT_NO_STANDARD_MAPS) != 0)
        column = append_option_word(file, optimize, column, "NoStandardMaps ");
    if ((options & (OPT_OPTIMIZE_OFF | OPT_NO_STANDARD_MAPS)) == 0)
        append_option_word(file, optimize, column, "On ");
    out_text(file, "\n");
}

// The words of the Options line in their order; a bit of `options` when
// wide is false, of `options2` when true.
struct OptionWord {
    const char *word;
    bool wide;
    uint16_t bit;
};

constexpr OptionWord kOptionWords[] = {
    {"AOCTransparency ", false, OPT_AOC_TRANSPARENCY},
    {"AOCSTransparency ", true, OPT2_AOCS_TRANSPARENCY},
    {"AutoDown ", false, OPT_AUTO_DOWN},
    {"DeActTransparency ", false, OPT_DEACT_TRANSPARENCY},
    {"FSKSignal ", true, OPT2_FSK_SIGNAL},
    {"IgnoreStatusMessage ", true, OPT2_IGNORE_STATUS_MESSAGE},
    {"LogCDR ", true, OPT2_LOG_CDR},
    {"LogEPICErr ", false, OPT_LOG_EPIC_ERR},
    {"NoAutoActL2 ", true, OPT2_NO_AUTO_ACT_L2},
    {"NoBootAlarm ", true, OPT2_NO_BOOT_ALARM},
    {"NoSetupRepeat ", true, OPT2_NO_SETUP_REPEAT},
    {"PeriodTest ", true, OPT2_PERIOD_TEST},
    {"RLICount ", true, OPT2_RLI_COUNT},
    {"SendDTE ", true, OPT2_SEND_DTE},
    {"SignalingNoCarrier ", true, OPT2_SIGNALING_NO_CARRIER},
    {"SpecialSIN ", false, OPT_SPECIAL_SIN},
    {"SaveTEI ", true, OPT2_SAVE_TEI},
};

// The Options line, after the list of the words a user may write when help
// is asked for.
void write_options_line(std::FILE *file, uint8_t options, uint16_t options2, bool help) {
    if (help) {
        out_text(file, "\n");
        out_text(file, "; possible options: ");
        out_text(file, "\n");
        unsigned help_column = 0;
        for (const char *word :
             {"AOCTransparency ", "AOCSTransparency ", "AutoDown ", "DeActTransparency ",
              "IgnoreStatusMessage ", "NoAutoActL2 ", "NoBootAlarm ", "NoSetupRepeat ", "LogCDR ",
              "SendDTE ", "SignallingNoCarrier ", "SpecialSIN ", "SaveTEI "})
            help_column = append_option_word(file, "; ", help_column, word);
        out_text(file, "\n");
    }

    const char *prefix = "Options=";
    out_text(file, prefix);
    unsigned column = static_cast<unsigned>(std::strlen(prefix));
    for (const OptionWord &w : kOptionWords) {
        const bool set = w.wide ? (options2 & w.bit) != 0 : (options & w.bit) != 0;
        if (set)
            column = append_option_word(file, prefix, column, w.word);
    }
    out_text(file, "\n");
}

// The flag words of a coded poll caller-number rule.
struct PollFlag {
    uint8_t flag;
    const char *word;
};

constexpr PollFlag kPollFlags[] = {{POLL_CLI_SERIAL, "Serial "},
                                   {POLL_CLI_CGS, "CgS "},
                                   {POLL_CLI_CDS, "CdS "},
                                   {POLL_CLI_CGPN, "CgPN "}};

// A coded rule: its flag words, the maximum, Binaer or ASCII and the
// digits; with help, the words that are not set behind a comment.
void write_coded_poll_cli(std::FILE *file, const char (&cli)[20], bool help) {
    const uint8_t flags = static_cast<uint8_t>(cli[0]) & 0x7F;
    for (const PollFlag &f : kPollFlags)
        if ((flags & f.flag) != 0)
            out_text(file, f.word);
    if ((flags & POLL_CLI_MAXN) != 0)
        out_printf(file, "max%u ", static_cast<unsigned>(static_cast<uint8_t>(cli[1])));
    const bool binaer = (flags & POLL_CLI_BINAER) != 0;
    out_text(file, binaer ? "Binaer" : "ASCII");

    // The digits follow the maximum when there is one; the rest of the
    // 20 bytes may lack a terminator.
    const size_t at = (flags & POLL_CLI_MAXN) != 0 ? 2 : 1;
    char digits[20];
    copy_field(digits, cli + at, sizeof cli - at);
    if (digits[0] != '\0')
        out_printf(file, " %s", digits);

    if (help) {
        out_text(file, "\t;");
        if (digits[0] == '\0')
            out_text(file, "<digits> ");
        for (const PollFlag &f : kPollFlags)
            if ((flags & f.flag) == 0)
                out_text(file, f.word);
        if ((flags & POLL_CLI_MAXN) == 0)
            out_text(file, "maxN ");
        out_text(file, binaer ? "ASCII " : "Binaer ");
    }
    if (help || flags != 0)
        out_text(file, "\n");
}

} // namespace

std::string option_words(uint8_t options, uint16_t options2) {
    std::string words;
    if ((options & OPT_OPTIMIZE_OFF) != 0)
        words += "Optimize=Off ";
    if ((options & OPT_NO_STANDARD_MAPS) != 0)
        words += "Optimize=NoStandardMaps ";
    if ((options & OPT_MINUTE_MODEL) != 0)
        words += "MinuteModel ";
    for (const OptionWord &w : kOptionWords)
        if (w.wide ? (options2 & w.bit) != 0 : (options & w.bit) != 0)
            words += w.word;
    if (!words.empty())
        words.pop_back();
    return words;
}

void write_options(std::FILE *file, uint8_t options, uint16_t options2, bool help) {
    if (!help && options == 0 && options2 == 0)
        return;
    out_text(file, "\n");
    write_optimize_line(file, options, help);
    write_options_line(file, options, options2, help);
    dbg_printf("\n");
}

void write_poll_cli(std::FILE *file, const char (&cli)[20], bool help) {
    const auto b0 = static_cast<uint8_t>(cli[0]);
    if (!help && b0 == 0) {
        dbg_printf("NMSPollCLI=\n");
        return;
    }
    out_text(file, "NMSPollCLI=");
    if (b0 != 0 && b0 < POLL_CLI_CODED) {
        out_printf(file, "%s\n", field(cli).text);
        return;
    }
    if (b0 == 0) {
        out_text(file, "\t;<digits> Serial CgS CdS CgPN maxN Binaer|ASCII");
        if (help)
            out_text(file, "\n");
        return;
    }
    write_coded_poll_cli(file, cli, help);
}

const char *protocol_word(uint8_t code) {
    switch (code) {
    case PROT_DSS1:
        return "DSS1";
    case PROT_1TR6:
        return "1TR6";
    case PROT_BILING:
        return "BILING";
    case PROT_AUTO:
        return "AUTO";
    case PROT_DEFAULT:
        return "DEFAULT";
    default:
        return "???";
    }
}

const char *l2mode_word(uint8_t code) {
    switch (code) {
    case L2_PP:
        return "PP";
    case L2_PMP:
    case L2_PMP_ALT:
        return "PMP";
    case L2_AUTO:
        return "AUTO";
    case L2_DEFAULT:
        return "DEFAULT";
    default:
        return "???";
    }
}

int conf_get_l2prot(const uint8_t *devinfo, ProtocolValues *values) {
    // Bytes of the device record: 0 says whether it carries protocol data,
    // 34 to 37 hold the values in the order of the table's bytes 314 to 317.
    constexpr size_t kHasData = 0, kIntL2 = 34, kIntProt = 35, kExtL2 = 36, kExtProt = 37;
    dbg_printf("conf_get_l2prot: ");
    if (devinfo == nullptr || devinfo[kHasData] == 0 ||
        (devinfo[kIntL2] | devinfo[kIntProt] | devinfo[kExtL2] | devinfo[kExtProt]) == 0) {
        *values = {PROT_AUTO, L2_AUTO, PROT_AUTO, L2_AUTO};
        dbg_printf("set all to AUTO\n");
        return 1;
    }
    *values = {devinfo[kExtProt], devinfo[kExtL2], devinfo[kIntProt], devinfo[kIntL2]};
    dbg_printf("ProtExt=%s %s ", protocol_word(values->ext_protocol),
               l2mode_word(values->ext_l2mode));
    dbg_printf("ProtInt=%s %s\n", protocol_word(values->int_protocol),
               l2mode_word(values->int_l2mode));
    return 0;
}

} // namespace vorn
