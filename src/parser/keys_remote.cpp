// Handlers of the remote-access, polling and number keys (RemoteCode,
// NMSPollNumber, NMSPollCLI, RemoteOrigination, RemoteCallback and
// EmergencyNumber, OwnMSN, DropMSN), the interval keys, redirects and
// restrictions, the no-redirect cause range, the alternative-routing limit
// and the subscriber channel settings.
#include "parser/key_handlers.h"
#include "parser/key_helpers.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cctype>
#include <cstring>

namespace vorn {

namespace {

// Free redirect slots are counted against the table's own capacity, which
// never exceeds the record's array.
int redirect_capacity(const table_t *table) {
    const int max = table->table_max_redirect_entries;
    return max < 0 ? 0 : (max > MAX_REDIRECT ? MAX_REDIRECT : max);
}

// Text of a key from character `from` on; empty when the key is shorter.
const char *key_tail(const char *key, size_t from) {
    if (key == nullptr)
        return "";
    return std::strlen(key) >= from ? key + from : "";
}

void trace_duration(const char *name, const char *text, uint32_t seconds) {
    dbg_printf("%s=%s\n", name, text);
    dbg_printf("%s=%lu\n", name, static_cast<unsigned long>(seconds));
}

// One word of an NMSPollCLI value and what it does to the flags.
void read_poll_cli_word(const char *word, uint8_t &flags, uint8_t &max, char (&number)[20],
                        bool &cut) {
    if (std::isdigit(static_cast<unsigned char>(word[0])))
        cut |= copy_text_field(number, sizeof number, word); // a later number replaces it
    else if (key_begins_with(word, "ASCII"))
        flags &= static_cast<uint8_t>(~POLL_CLI_BINAER);
    else if (key_begins_with(word, "BINAER"))
        flags |= POLL_CLI_BINAER;
    else if (key_begins_with(word, "MAX")) {
        flags |= POLL_CLI_MAXN;
        max = static_cast<uint8_t>(key_decimal(word + 3));
    } else if (key_begins_with(word, "SERIAL"))
        flags |= POLL_CLI_SERIAL;
    else if (key_begins_with(word, "CGPN"))
        flags |= POLL_CLI_CGPN;
    else if (key_begins_with(word, "CGS"))
        flags |= POLL_CLI_CGS;
    else if (key_begins_with(word, "CDS"))
        flags |= POLL_CLI_CDS;
}

// CHSTART mode word.
uint8_t chstart_kind(const char *word) {
    if (key_is_word(word, "ANY"))
        return CHSTART_ANY;
    if (key_is_word(word, "INV"))
        return CHSTART_INV;
    if (key_is_word(word, "CYC"))
        return CHSTART_CYC;
    return CHSTART_LIN;
}

// A channel number 1 to 30 as stored (0 to 29); anything else gives `other`.
uint8_t channel(const char *text, uint8_t other) {
    const int32_t n = key_decimal(text);
    return n >= 1 && n <= 30 ? static_cast<uint8_t>(n - 1) : other;
}

} // namespace

// ---- remote access and polling numbers ---------------------------------------------

void key_remote_code(ParseState &ps) {
    char(&field)[20] = ps.table->table_remote_code;
    store_number(ps, field, sizeof field, key_token(ps, 1));
    dbg_printf("table_remote_code=%s\n", field);
}

void key_poll_number(ParseState &ps) {
    char(&field)[20] = ps.table->table_reserved.table_remote_poll;
    store_number(ps, field, sizeof field, key_token(ps, 1));
    dbg_printf("table_remote_poll=%s\n", field);
}

void key_remote_callback(ParseState &ps) {
    char(&field)[20] = ps.table->table_remote_callback;
    store_number(ps, field, sizeof field, key_token(ps, 1));
    dbg_printf("table_remote_callback=%s\n", field);
}

void key_remote_origination(ParseState &ps) {
    const char *value = key_token(ps, 1);
    if (value == nullptr || value[0] == '\0')
        return;
    for (int i = 0; i < 3; ++i) {
        char(&field)[20] = ps.table->table_remote_oad[i];
        if (field[0] != '\0')
            continue;
        store_number(ps, field, sizeof field, value);
        dbg_printf("table_remote_oad[%d]=%s\n", i, field);
        return;
    }
    dbg_printf("WARNING: only 3 RemoteOrigination allowed (line %d)\n", ps.line_number);
    ps.error_level = CONF_WARNING;
}

void key_own_msn(ParseState &ps) {
    char(&field)[20] = ps.table->table_reserved.table_own_msn;
    store_number(ps, field, sizeof field, key_token(ps, 1));
}

void key_drop_msn(ParseState &ps) {
    char(&field)[20] = ps.table->table_reserved.table_drop_msn;
    store_number(ps, field, sizeof field, key_token(ps, 1));
}

// ---- poll caller-number rule -------------------------------------------------------------

int parse_poll_cli(char (&destination)[20], char *const *tokens) {
    uint8_t flags = 0;
    uint8_t max = 0;
    char number[20] = {};
    bool cut = false;
    for (unsigned i = 1; i < static_cast<unsigned>(kMaxTokens) && tokens[i] != nullptr; ++i) {
        dbg_printf("parse_poll_cli:sn[%u]=<%s>\n", i, tokens[i]);
        char copy[kLineBufferSize + 2];
        copy_text_field(copy, sizeof copy, tokens[i]);
        for (char *c = copy; *c != '\0'; ++c)
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        char *cursor = copy;
        while (char *word = next_word(cursor, ",\n\t ")) {
            read_poll_cli_word(word, flags, max, number, cut);
            dbg_printf("cli=%02x p1=<%s> max=%u\n", unsigned{flags}, word, unsigned{max});
        }
    }

    std::memset(destination, 0, sizeof destination);
    if (flags == POLL_CLI_SERIAL) {
        copy_text_field(destination, sizeof destination, number[0] != '\0' ? number : "SERIAL");
    } else if (flags != 0) {
        // Coded form: the flag byte, the maximum when there is one, then as
        // many digits as the field still holds before its terminator.
        size_t at = 0;
        destination[at++] = static_cast<char>(flags | POLL_CLI_CODED);
        if (max != 0)
            destination[at++] = static_cast<char>(max);
        cut |= copy_text_field(destination + at, sizeof destination - at, number);
    } else {
        copy_text_field(destination, sizeof destination, number);
    }
    dbg_printf("cli=%02x %02x clis=<%s> max=%u\n", unsigned{flags},
               unsigned{static_cast<uint8_t>(destination[0])}, number, unsigned{max});
    return cut ? 1 : 0;
}

void key_poll_cli(ParseState &ps) {
    char(&field)[20] = ps.table->table_reserved.table_poll_cli;
    if (field[0] != '\0') {
        dbg_printf("WARNING: only 1 NMSPollCLI allowed (line %d)\n", ps.line_number);
        ps.error_level = CONF_WARNING;
        return;
    }
    if (parse_poll_cli(field, ps.words.tokens) == 1)
        warn_cut_number(ps);
    dbg_printf("table_poll_cli=%s\n", field);
}

// ---- intervals --------------------------------------------------------------------------

void key_emergency_pause(ParseState &ps) {
    const uint32_t seconds = parse_duration(key_token(ps, 1));
    ps.table->table_reserved.table_emergency_pause = seconds;
    trace_duration("EmergencyPause", key_token(ps, 1), seconds);
}

void key_poll_interval(ParseState &ps) {
    const uint32_t seconds = parse_duration(key_token(ps, 1));
    ps.table->table_reserved.table_poll_interval = seconds;
    trace_duration("NMSPollInterval", key_token(ps, 1), seconds);
}

void key_cdr_interval(ParseState &ps) {
    const uint32_t seconds = parse_duration(key_token(ps, 1));
    ps.table->table_reserved.table_cdr_interval = seconds;
    trace_duration("GetCDRTime", key_token(ps, 1), seconds);
}

// ---- redirects and restrictions ----------------------------------------------------------

void key_redirect(ParseState &ps) {
    const char *key = key_token(ps, 0);
    const char kind = key_tail(key, 8)[0];
    const char *number = key_tail(key, 9);
    const char *service_text = key_token(ps, 2);
    const int32_t service = service_text != nullptr ? key_decimal(service_text) : 0;
    dbg_printf("%s art%c sin%d\n", "Redirect", kind != '\0' ? kind : ' ', service);

    // Services run from 0 (any) to 16; a negative one is as wrong as 17.
    if (static_cast<uint32_t>(service) >= 17 || static_cast<unsigned char>(kind) >= '6') {
        ps.error_level = CONF_WRONG_VALUE;
        return;
    }
    if (ps.redirect_count >= redirect_capacity(ps.table))
        return;

    const int slot = ps.redirect_count++;
    redirect_t &r = ps.table->table_redirect[slot];
    const char *target = key_token(ps, 1);
    if (key_is_word(target, "5"))
        target = "P"; // the box's own exchange line
    if (key_is_word(target, "P"))
        ps.p_target = true;
    store_number(ps, r.redirect_from, sizeof r.redirect_from, number);
    store_number(ps, r.redirect_to, sizeof r.redirect_to, target);
    r.redirect_sin = static_cast<uint8_t>(service);
    switch (kind) {
    case '1':
        r.redirect_mode = RE_MODE_REDIRECT1;
        break;
    case '2':
        r.redirect_mode = RE_MODE_REDIRECT2;
        break;
    case '3':
        r.redirect_mode = RE_MODE_REDIRECT3;
        break;
    case '5':
        r.redirect_mode = RE_MODE_REDIRECT5;
        break;
    default:
        break; // no such redirect: the slot keeps mode 0
    }
    dbg_printf("table_redirect[%d]=%s->%s RE_MODE=0x%02x\n", slot, r.redirect_from, r.redirect_to,
               unsigned{r.redirect_mode});
}

void key_restrict(ParseState &ps) {
    if (ps.redirect_count >= redirect_capacity(ps.table)) {
        dbg_printf("rp=%p redirect_i=%u MAX_REDIRECT=%u\n", static_cast<void *>(nullptr),
                   static_cast<unsigned>(ps.redirect_count), static_cast<unsigned>(MAX_REDIRECT));
        return;
    }
    const int slot = ps.redirect_count++;
    redirect_t &r = ps.table->table_redirect[slot];
    const char *service_text = key_token(ps, 2);
    store_number(ps, r.redirect_from, sizeof r.redirect_from, key_tail(key_token(ps, 0), 8));
    store_number(ps, r.redirect_to, sizeof r.redirect_to, key_token(ps, 1));
    r.redirect_sin = static_cast<uint8_t>(service_text != nullptr ? key_decimal(service_text) : 0);
    r.redirect_mode = RE_MODE_RESTRICT;
    dbg_printf("table_redirect[%d]=%s->%s %x sin=%u\n", slot, r.redirect_from, r.redirect_to,
               unsigned{r.redirect_mode}, unsigned{r.redirect_sin});
}

void key_no_redirect_cause(ParseState &ps) {
    uint8_t(&cause)[2] = ps.table->table_reserved.table_no_redirect_cause;
    // Bit 7 marks the value as set, so that cause 0 differs from "none".
    cause[0] = static_cast<uint8_t>(atoh(key_token(ps, 1)) | 0x80);
    if (const char *high = key_token(ps, 2))
        cause[1] = static_cast<uint8_t>(atoh(high) | 0x80);
    dbg_printf("NoRedirectCause=%02x %02x\n", unsigned{cause[0]}, unsigned{cause[1]});
}

void key_alternative_limit(ParseState &ps) {
    auto limit = static_cast<uint8_t>(key_decimal(key_token(ps, 1)));
    if (limit > 60)
        limit = 60;
    for (int i = 2; i <= 3; ++i) {
        const char *word = key_token(ps, i);
        if (word == nullptr)
            continue;
        if (key_begins_with(word, "HOUR"))
            limit |= ALT_LIMIT_HOURLY;
        else if (key_is_word(word, "DAILY"))
            limit &= static_cast<uint8_t>(~ALT_LIMIT_HOURLY);
        else if (key_is_word(word, "ALARM"))
            limit |= ALT_LIMIT_ALARM;
    }
    ps.table->table_reserved.table_alternative_limit = limit;
    dbg_printf("AlternativeLimit=%u%% %s %s\n", unsigned{limit} & ALT_LIMIT_PERCENT_MASK,
               (limit & ALT_LIMIT_HOURLY) ? "HOURLY" : "DAILY",
               (limit & ALT_LIMIT_ALARM) ? " ALARM" : " ; ALARM");
}

// ---- subscribers --------------------------------------------------------------------------

int parse_subscriber(table_t *table, char *const *tokens) {
    // Only the second digit of Subscriber<nn> is read: the box has two.
    const auto index = static_cast<uint32_t>(key_decimal(key_tail(tokens[0], 11)));
    if (index > 1)
        return 0;
    table_reserved_t &r = table->table_reserved;
    for (int i = 1; i < kMaxTokens && tokens[i] != nullptr; ++i) {
        char copy[kLineBufferSize + 2];
        copy_text_field(copy, sizeof copy, tokens[i]);
        char *cursor = copy;
        const char *name = next_word(cursor, "[,]");
        const bool chinc = key_is_word(name, "CHINC");
        if (!chinc && !key_is_word(name, "CHSTART"))
            continue;
        const char *a = next_word(cursor, "[,]");
        const char *b = next_word(cursor, "[,]");
        if (a == nullptr || b == nullptr)
            return 1;
        if (chinc) {
            r.table_chinc_first[index] = channel(a, 0);
            r.table_chinc_second[index] = channel(b, 29);
        } else {
            r.table_chstart[index] = static_cast<uint8_t>(channel(a, 0) | chstart_kind(b));
        }
    }
    return 0;
}

void key_subscriber(ParseState &ps) {
    if (parse_subscriber(ps.table, ps.words.tokens) != 0) {
        ps.error_level = CONF_WRONG_VALUE;
        return;
    }
    write_subscribers(nullptr, ps.table);
}

} // namespace vorn
