// Handlers of the call-back settings (the MapCallBack lines that are not
// maps: wait times, PINs, dial prefixes and ends, the USA and busy flags,
// area codes) and of the DTMF keys.
#include "parser/key_handlers.h"
#include "parser/key_helpers.h"
#include "trace/trace.h"

#include <cctype>
#include <cstring>

namespace vorn {

namespace {

constexpr size_t kMapCallBackLength = 11; // "MAPCALLBACK"

int provider_count(const table_t *table) {
    const int n = table->table_max_callback_providers;
    return n < 0 ? 0 : (n > MAX_CALLBACK_PROVIDERS ? MAX_CALLBACK_PROVIDERS : n);
}

// Character `at` of the key, or 0 when the key is shorter.
char key_char(const char *key, size_t at) {
    return std::strlen(key) > at ? key[at] : '\0';
}

// Provider of a DialFirst or DialEnd line: the key's last digit minus 1.
// A key without a digit gives its length minus 1, which selects no single
// provider, so the value goes to all of them.
int dial_provider(const char *key) {
    const size_t length = std::strlen(key);
    const char last = length > 0 ? key[length - 1] : '\0';
    if (std::isdigit(static_cast<unsigned char>(last)))
        return last - '1';
    return static_cast<int>(length) - 1;
}

// Stores `value` into the per-provider text field `fields` of one provider
// or, for an index outside the providers, of all of them.
template <size_t N>
void store_per_provider(ParseState &ps, char (&fields)[MAX_CALLBACK_PROVIDERS][N],
                        const char *value) {
    const char *key = key_token(ps, 0);
    const int index = dial_provider(key);
    const int count = provider_count(ps.table);
    for (int p = 0; p < MAX_CALLBACK_PROVIDERS; ++p) {
        if (index < 0 || index >= count || index == p)
            copy_text_field(fields[p], N, value);
    }
    dbg_printf("%s %s %s %d\n", key, key_token(ps, 1), value, index);
}

void dial_first(ParseState &ps) {
    char value[sizeof ps.table->table_mapcb.mapcb_dial_first[0]];
    store_number(ps, value, sizeof value, key_token(ps, 1));
    store_per_provider(ps, ps.table->table_mapcb.mapcb_dial_first, value);
}

void dial_end(ParseState &ps) {
    char value[sizeof ps.table->table_mapcb.mapcb_dial_end[0]];
    copy_text_field(value, sizeof value, key_token(ps, 1)); // one character, cut silently
    store_per_provider(ps, ps.table->table_mapcb.mapcb_dial_end, value);
}

// MapCallBackPin<p>=pin[,pin...] [pin...]
void pin_list(ParseState &ps) {
    const char *key = key_token(ps, 0);
    const int provider = key_char(key, 14) - '1';
    if (provider >= provider_count(ps.table)) {
        dbg_printf("mk_pin: no provider %c in %s, line ignored\n", key[14], key);
        return;
    }
    for (int i = 1; i < kMaxTokens && ps.words.tokens[i] != nullptr; ++i) {
        char copy[kLineBufferSize + 2];
        copy_text_field(copy, sizeof copy, ps.words.tokens[i]);
        char *cursor = copy;
        while (char *piece = next_word(cursor, ",")) {
            char pin[20];
            store_number(ps, pin, sizeof pin, piece);
            mk_pin(ps.table, provider, pin);
        }
    }
}

// MapCallBackArea<p>: two characters for one provider, or the box's own.
void area_code(ParseState &ps) {
    const char *value = key_token(ps, 1);
    if (value == nullptr)
        value = "";
    if (std::strlen(value) > 2) {
        ps.error_level = CONF_WRONG_VALUE;
        return;
    }
    const char which = key_char(key_token(ps, 0), 15);
    mapcb_t &cb = ps.table->table_mapcb;
    char *field = (which >= '1' && which <= '3')
                      ? ps.table->table_reserved.table_callback_area[which - '1']
                      : cb.mapcb_area;
    // Two characters padded with zero bytes; the field has no terminator.
    std::strncpy(field, value, 2);
}

uint8_t low_byte(const char *text) {
    return static_cast<uint8_t>(key_decimal(text));
}

} // namespace

// ---- call-back flags and PINs --------------------------------------------------------

int set_cb_mode(table_t *table, uint8_t bit, const char *index_text, const char *value_text) {
    const int32_t index = key_decimal(index_text);
    const int32_t value = key_decimal(value_text);
    dbg_printf("set_cb_mode pi=%s(%d) pv=%s(%d) mode=%d\n", index_text, index, value_text, value,
               int{bit});
    if (static_cast<uint32_t>(index) > 3 || static_cast<uint32_t>(value) > 1) {
        dbg_printf("ERROR invalid index=%d or value=%d\n", index, value);
        return 3;
    }
    uint8_t(&flags)[MAX_CALLBACK_PROVIDERS] = table->table_mapcb.mapcb_flags;
    const int first = index == 0 ? 0 : index - 1;
    const int last = index == 0 ? MAX_CALLBACK_PROVIDERS - 1 : index - 1;
    for (int p = first; p <= last; ++p) {
        flags[p] = value != 0 ? static_cast<uint8_t>(flags[p] | bit)
                              : static_cast<uint8_t>(flags[p] & ~bit);
        dbg_printf("set_cb_mode cb_mode[%u]=%02x\n", static_cast<unsigned>(p), unsigned{flags[p]});
    }
    return 0;
}

void mk_pin(table_t *table, int provider, const char *pin) {
    mapcb_t &cb = table->table_mapcb;
    if (provider < 0) {
        for (char(&field)[20] : cb.mapcb_pin)
            copy_text_field(field, sizeof field, pin);
        dbg_printf("mk_pin(<%s>,%u) all\n", pin, provider);
        return;
    }
    if (provider >= MAX_CALLBACK_PROVIDERS)
        return;
    char(&first)[20] = cb.mapcb_pin[provider];
    if (first[0] == '\0') {
        copy_text_field(first, sizeof first, pin);
        dbg_printf("mk_pin(<%s>,%u)\n", pin, provider);
        return;
    }
    char(&list)[MAX_CALLBACK_PINS][20] = table->table_reserved.table_callback_pins[provider];
    int i = 0;
    while (i < MAX_CALLBACK_PINS && list[i][0] != '\0')
        ++i;
    if (i == MAX_CALLBACK_PINS)
        return; // the list is full: the box takes no more PINs
    if (i == 0) {
        // From the second PIN on the list holds them all, the first one too.
        copy_text_field(list[0], sizeof list[0], first);
        i = 1;
    }
    copy_text_field(list[i], sizeof list[i], pin);
    dbg_printf("mk_pin(<%s>,%u) -> i=%u\n", pin, provider, static_cast<unsigned>(i));
}

// ---- MapCallBack settings --------------------------------------------------------------

void key_mapcallback_setting(ParseState &ps) {
    const char *key = key_token(ps, 0);
    if (key == nullptr || std::strlen(key) < kMapCallBackLength)
        return;
    const char *sub = key + kMapCallBackLength;
    mapcb_t &cb = ps.table->table_mapcb;
    const char *value = key_token(ps, 1);

    if (key_begins_with(sub, "OUT") || key_begins_with(sub, "IN"))
        return; // call-back maps
    if (key_begins_with(sub, "WAITALERT"))
        cb.mapcb_wait_alert = low_byte(value);
    else if (key_begins_with(sub, "WAITDIAL"))
        cb.mapcb_wait_dial = low_byte(value);
    else if (key_begins_with(sub, "WAITDTMF"))
        cb.mapcb_wait_dtmf = low_byte(value);
    else if (key_begins_with(sub, "WAITBREAK"))
        cb.mapcb_wait_break = low_byte(value);
    else if (key_begins_with(sub, "WAITDISC"))
        cb.mapcb_wait_disc = low_byte(value);
    else if (key_begins_with(sub, "PIN"))
        pin_list(ps);
    else if (key_begins_with(sub, "DIALFIRST"))
        dial_first(ps);
    else if (key_begins_with(sub, "DIALEND"))
        dial_end(ps);
    else if (key_begins_with(sub, "TOUSA")) {
        if (set_cb_mode(ps.table, MAPCB_FLAG_TO_USA, key + 16, value) != 0)
            ps.error_level = CONF_WRONG_VALUE;
    } else if (key_begins_with(sub, "CALLEND"))
        copy_text_field(cb.mapcb_call_end, sizeof cb.mapcb_call_end, value); // cut silently
    else if (key_begins_with(sub, "BUSY")) {
        if (set_cb_mode(ps.table, MAPCB_FLAG_BUSY, key + 15, value) != 0)
            ps.error_level = CONF_WRONG_VALUE;
    } else if (key_begins_with(sub, "AREA"))
        area_code(ps);
}

// ---- DTMF ------------------------------------------------------------------------------

void key_dtmf_wait_dial(ParseState &ps) {
    ps.table->table_dtmf.dtmf_wait_dial = low_byte(key_token(ps, 1));
}

void key_dtmf_wait_dtmf(ParseState &ps) {
    ps.table->table_dtmf.dtmf_wait_dtmf = low_byte(key_token(ps, 1));
}

void key_dtmf_count(ParseState &ps) {
    ps.table->table_dtmf.dtmf_count = low_byte(key_token(ps, 1));
}

void key_dtmf_dial_end(ParseState &ps) {
    char(&field)[3] = ps.table->table_dtmf.dtmf_dial_end;
    store_number(ps, field, sizeof field, key_token(ps, 1));
}

} // namespace vorn
