// Configuration lines of any content through the switch, protocol, remote,
// redirect, call-back and DTMF key handlers, several lines on one table so
// that slot counts and PIN lists fill up.  No handler may write past its
// field: the map slots stay unused, the unused head bytes stay 0, and every
// text field keeps its terminator.
#include "frame/frame.h"
#include "fuzz_input.h"
#include "parser/key_handlers.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

using namespace vorn;
using fuzz::require;

using Handler = void (*)(ParseState &);
// In groups as the seeds are: switches and line, remote access and poll,
// redirects, call-back and DTMF.  The seeds name handlers by their index.
// clang-format off
const Handler kHandlers[] = {
    key_options, key_prot_ext, key_prot_int, key_ctrl2, key_s2m_l1mode, key_free_tone,
    key_currency, key_controller, key_country_code,
    key_remote_code, key_poll_number, key_poll_cli, key_remote_origination, key_remote_callback,
    key_emergency_pause, key_poll_interval, key_cdr_interval, key_own_msn, key_drop_msn,
    key_subscriber,
    key_redirect, key_restrict, key_no_redirect_cause, key_alternative_limit,
    key_mapcallback_setting, key_dtmf_wait_dial, key_dtmf_wait_dtmf, key_dtmf_count,
    key_dtmf_dial_end};
// clang-format on
constexpr size_t kHandlerCount = sizeof kHandlers / sizeof kHandlers[0];

// Every text field keeps its terminator, every unused field stays 0.
template <size_t... N> void terminated(const char (&...field)[N]) {
    (require(field[N - 1] == '\0'), ...);
}

template <size_t... N> void zeros(const uint8_t (&...field)[N]) {
    (require(std::all_of(field, field + N, [](uint8_t b) { return b == 0; })), ...);
}

void check(const table_t *t) {
    static const std::vector<uint8_t> unused(kWorkBufferSize - kTableHeadSize, UNUSED_BYTE);
    const auto *bytes = reinterpret_cast<const uint8_t *>(t);
    require(std::memcmp(bytes + kTableHeadSize, unused.data(), unused.size()) == 0);
    const table_reserved_t &r = t->table_reserved;
    const mapcb_t &cb = t->table_mapcb;
    zeros(r.table_unused_2103, r.table_unused_2415, r.table_unused_2427);
    terminated(t->table_remote_code, t->table_remote_callback, cb.mapcb_call_end,
               t->table_dtmf.dtmf_dial_end, t->table_currency.currency_sign, r.table_remote_poll,
               r.table_poll_cli, r.table_drop_msn, r.table_own_msn);
    for (const auto &oad : t->table_remote_oad)
        terminated(oad);
    for (const redirect_t &rd : t->table_redirect)
        terminated(rd.redirect_from, rd.redirect_to);
    for (int p = 0; p < MAX_CALLBACK_PROVIDERS; ++p) {
        terminated(cb.mapcb_dial_first[p], cb.mapcb_dial_end[p], cb.mapcb_pin[p]);
        for (const auto &pin : r.table_callback_pins[p])
            terminated(pin);
    }
}

} // namespace

// Each input line is "<handler byte><line text>"; lines end at '\n'.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    auto *table = static_cast<table_t *>(myAlloc(kWorkBufferSize, "pt"));
    if (table == nullptr)
        return 0;
    init_fresh_table(table);
    fill_work_area(table);
    ParseState ps;
    ps.table = table;

    size_t at = 0;
    while (at < size) {
        const Handler handler = kHandlers[data[at++] % kHandlerCount];
        size_t n = 0;
        // Lines hold at most 99 characters; a NUL ends the text as it would
        // end a C string read from a file.
        while (at < size && data[at] != '\n' && n < kLineBufferSize - 1) {
            ps.line[n++] = data[at] != 0 ? static_cast<char>(data[at]) : ' ';
            ++at;
        }
        if (at < size && data[at] == '\n')
            ++at;
        ps.line[n] = '\0';
        ++ps.line_number;
        for (size_t i = 0; i <= n; ++i)
            ps.scratch[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(ps.line[i])));
        if (parse_line(ps.scratch, ps.words) != Error::Ok)
            continue;
        ps.error_level = CONF_OK;
        handler(ps);
        check(table);
    }
    myFree(table, "pt");
    return 0;
}
