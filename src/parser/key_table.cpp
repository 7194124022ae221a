// The key table of the second pass: which handler a configuration line goes
// to.  Most keys are compared on a prefix only, so MapInXYZ is a MapIn line
// with the escape XYZ and DTMFCounter a DTMFCount line; the first row that
// matches decides.
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

// A key whose handler is not part of this build yet: the row keeps its place
// in the order, and its lines are ignored like lines of unknown keys.
constexpr Handler kPending = nullptr;

struct KeyRow {
    const char *key;
    size_t prefix;
    Handler handler;
};

constexpr KeyRow kKeyTable[] = {
    {"TABLE", 5, key_table_format},
    {"OPTIONS", kWholeWord, kPending},
    {"OPTIMIZE", kWholeWord, kPending},
    {"ProtExt", 7, kPending},
    {"ProtInt", 7, kPending},
    {"RemoteCode", 10, kPending},
    {"NMSPollNumber", 13, kPending},
    {"NMSPollCLI", 10, kPending},
    {"RemoteOrigination", 17, kPending},
    {"RemoteCallback", kWholeWord, kPending},
    {"EmergencyNumber", kWholeWord, kPending},
    {"EmergencyPause", kWholeWord, kPending},
    {"NMSPollInterval", 15, kPending},
    {"CallBackFrequency", kWholeWord, kPending},
    {"NMSCDRInterval", kWholeWord, kPending},
    {"Ctrl2", 5, kPending},
    {"S2M_L1Mode", 10, kPending},
    {"SUBSCRIBER", 10, kPending},
    {"FreeTone", 8, kPending},
    {"Currency", 8, kPending},
    {"DropMSN", 7, kPending},
    {"Redirect", 8, kPending},
    {"Restrict", 8, kPending},
    {"Controller", 10, kPending},
    {"CountryCode", kWholeWord, kPending},
    {"[", 1, key_period},
    {"Holiday", 7, key_holiday},
    {"OwnMSN", kWholeWord, kPending},
    {"CmpMSN", kWholeWord, key_cmp_msn},
    {"MapIn", 5, key_map_in},
    {"MapOut", 6, key_map_out},
    {"MapAll", 6, key_map_all},
    {"MapCallBack", 11, key_mapcallback},
    {"DTMFWaitDial", 12, kPending},
    {"DTMFWaitDtmf", 12, kPending},
    {"DTMFCount", 8, kPending},
    {"DTMFDialEnd", 10, kPending},
    {"NoRedirectCause", 15, kPending},
    {"AlternativeLimit", 16, kPending},
};
static_assert(std::size(kKeyTable) == 39, "one row per key of the configuration language");

bool matches(const KeyRow &row, const char *key) {
    return row.prefix == kWholeWord ? strcasecmp(key, row.key) == 0
                                    : strncasecmp(key, row.key, row.prefix) == 0;
}

} // namespace

void dispatch_key(ParseState &ps) {
    const char *key = ps.tokens()[0];
    if (key == nullptr)
        return;
    for (const KeyRow &row : kKeyTable)
        if (matches(row, key)) {
            if (row.handler != nullptr)
                row.handler(ps);
            return;
        }
}

} // namespace vorn
