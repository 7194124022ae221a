// The key table of the second pass: which handler a configuration line goes
// to.  Most keys are compared on a prefix only, so MapInXYZ is a MapIn line
// with the escape XYZ and DTMFCounter a DTMFCount line; the first row that
// matches decides.
#include "parser/key_handlers.h"
#include "parser/parser.h"

#include <cstring>
#include <iterator>
#include <strings.h>

namespace vorn {

namespace {

using Handler = void (*)(ParseState &);

// Compared on the key's first `prefix` characters, or as a whole word when
// prefix is kWholeWord.
constexpr size_t kWholeWord = 0;

struct KeyRow {
    const char *key;
    size_t prefix;
    Handler handler;
};

constexpr KeyRow kKeyTable[] = {
    {"TABLE", 5, key_table_format},
    {"OPTIONS", kWholeWord, key_options},
    {"OPTIMIZE", kWholeWord, key_options},
    {"ProtExt", 7, key_prot_ext},
    {"ProtInt", 7, key_prot_int},
    {"RemoteCode", 10, key_remote_code},
    {"NMSPollNumber", 13, key_poll_number},
    {"NMSPollCLI", 10, key_poll_cli},
    {"RemoteOrigination", 17, key_remote_origination},
    {"RemoteCallback", kWholeWord, key_remote_callback},
    {"EmergencyNumber", kWholeWord, key_remote_callback},
    {"EmergencyPause", kWholeWord, key_emergency_pause},
    {"NMSPollInterval", 15, key_poll_interval},
    {"CallBackFrequency", kWholeWord, key_poll_interval},
    {"NMSCDRInterval", kWholeWord, key_cdr_interval},
    {"Ctrl2", 5, key_ctrl2},
    {"S2M_L1Mode", 10, key_s2m_l1mode},
    {"SUBSCRIBER", 10, key_subscriber},
    {"FreeTone", 8, key_free_tone},
    {"Currency", 8, key_currency},
    {"DropMSN", 7, key_drop_msn},
    {"Redirect", 8, key_redirect},
    {"Restrict", 8, key_restrict},
    {"Controller", 10, key_controller},
    {"CountryCode", kWholeWord, key_country_code},
    {"[", 1, key_period},
    {"Holiday", 7, key_holiday},
    {"OwnMSN", kWholeWord, key_own_msn},
    {"CmpMSN", kWholeWord, key_cmp_msn},
    {"MapIn", 5, key_map_in},
    {"MapOut", 6, key_map_out},
    {"MapAll", 6, key_map_all},
    {"MapCallBack", 11, key_mapcallback},
    {"DTMFWaitDial", 12, key_dtmf_wait_dial},
    {"DTMFWaitDtmf", 12, key_dtmf_wait_dtmf},
    {"DTMFCount", 8, key_dtmf_count},
    {"DTMFDialEnd", 10, key_dtmf_dial_end},
    {"NoRedirectCause", 15, key_no_redirect_cause},
    {"AlternativeLimit", 16, key_alternative_limit},
};
static_assert(std::size(kKeyTable) == 39, "one row per key of the configuration language");

bool matches(const KeyRow &row, const char *key) {
    return row.prefix == kWholeWord ? strcasecmp(key, row.key) == 0
                                    : strncasecmp(key, row.key, row.prefix) == 0;
}

} // namespace

const char *matched_key(const char *key) {
    if (key == nullptr)
        return nullptr;
    for (const KeyRow &row : kKeyTable)
        if (matches(row, key))
            return row.key;
    return nullptr;
}

const char *key_table_name(size_t index, bool *whole_word) {
    if (index >= std::size(kKeyTable))
        return nullptr;
    if (whole_word != nullptr)
        *whole_word = kKeyTable[index].prefix == kWholeWord;
    return kKeyTable[index].key;
}

void dispatch_key(ParseState &ps) {
    const char *key = ps.tokens()[0];
    if (key == nullptr)
        return;
    for (const KeyRow &row : kKeyTable)
        if (matches(row, key)) {
            row.handler(ps);
            return;
        }
}

} // namespace vorn
