// What exactly a failing configuration line got wrong: the check looks at
// the line as written with the rules of the handler that refused it and
// points at the word, saying what was expected there.  A failure it cannot
// pin down keeps the parser's own words for the error level.
#include "conf/check_lines.h"

#include "frame/error.h"
#include "parser/parser.h"
#include "table/split_numbers.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <strings.h>

namespace vorn::check {

namespace {

constexpr const char *kDayWords = "MO TU WE TH FR SA SU HO (or MO DI MI DO FR SA SO FE)";
constexpr const char *kServiceWords = "DATA, VOICE, DTMF, SCALL, DIRECT, DDIRECT, CHARGE or "
                                      "COMPRESS";
constexpr const char *kDayNames[] = {"HO", "SU", "MO", "TU", "WE", "TH", "FR",
                                     "SA", "FE", "SO", "DI", "MI", "DO"};

std::string quoted(const char *word) {
    std::string out(1, '\'');
    out.append(word != nullptr ? word : "");
    out.push_back('\'');
    return out;
}

bool is_day(const char *piece) {
    for (const char *d : kDayNames)
        if (strncasecmp(piece, d, 2) == 0)
            return true;
    return false;
}

bool is_service(const char *word) {
    static constexpr const char *kWords[] = {"DATA",    "VOICE",  "DTMF",     "SCALL", "DIRECT",
                                             "DDIRECT", "CHARGE", "COMPRESS", "CmpMSN"};
    for (const char *w : kWords)
        if (strcasecmp(word, w) == 0)
            return true;
    return false;
}

Diagnostic period_failure(const LineView &v, int level) {
    if (level == CONF_NO_PERIOD)
        return v.at(0, Severity::Error, "more than 63 period sections");
    uint16_t hour = 0, minute = 0;
    if (split_numbers(v.token(0) + 1, ":.", &hour, &minute, nullptr) != Error::Ok)
        return v.at(0, Severity::Error,
                    "invalid period time " + quoted(v.token(0)) + ": expected [hh:mm]");
    for (int i = 1; v.token(i) != nullptr; ++i)
        if (!is_day(v.token(i)))
            return v.at(i, Severity::Error,
                        "unknown day " + quoted(v.token(i)) + ": expected " + kDayWords);
    return v.at(0, Severity::Error, "invalid period heading");
}

// MapIn, MapOut, MapAll and the call-back maps: token 2 is the service word
// or the first charge word.
Diagnostic map_failure(const LineView &v, const ParseState &ps, int level, bool callback) {
    if (level == CONF_MAPS_FULL)
        return v.at(0, Severity::Error, "more than 5070 map lines");
    const char *serv = v.token(2);
    const bool minute = (ps.table->table_reserved.table_options & OPT_MINUTE_MODEL) != 0;
    int charge = 2;
    if (serv != nullptr && std::isalpha(static_cast<unsigned char>(serv[0])) &&
        strcasecmp(serv, "ORG") != 0) {
        if (!is_service(serv) && !minute)
            return v.at(2, Severity::Error,
                        "unknown service " + quoted(serv) + ": expected " + kServiceWords);
        charge = is_service(serv) ? 3 : 2;
    }
    const char *first = v.token(charge);
    if (first != nullptr && strcasecmp(first, "ORG") == 0 && callback)
        return v.at(charge, Severity::Error, "ORG cannot be used on a call-back map");
    const char *units = v.token(charge + 1);
    if (first != nullptr && units != nullptr && std::strchr(units, '/') == nullptr)
        return v.at(charge + 1, Severity::Error,
                    "charge units " + quoted(units) + ": expected start/add");
    if (callback)
        return v.at(0, Severity::Error, "expected digits behind the provider digit");
    return v.at(0, Severity::Error, error_text(Error::SyntaxError));
}

Diagnostic protocol_failure(const LineView &v, bool external) {
    auto known = [external](const char *w, bool layer2) {
        if (w == nullptr)
            return true;
        static constexpr const char *kProt[] = {"DSS1", "EDSS1", "1TR6", "AUTO"};
        static constexpr const char *kL2[] = {"PP", "PMP", "AUTO"};
        if (layer2)
            return std::any_of(std::begin(kL2), std::end(kL2),
                               [w](const char *k) { return strcasecmp(w, k) == 0; });
        for (const char *k : kProt)
            if (strcasecmp(w, k) == 0)
                return true;
        return !layer2 && !external && strcasecmp(w, "BILING") == 0;
    };
    const char *key = external ? "ProtExt" : "ProtInt";
    if (!known(v.token(1), false))
        return v.at(1, Severity::Error,
                    "protocol " + quoted(v.token(1)) + " is not available for " + key +
                        ": expected DSS1, EDSS1, 1TR6" + (external ? "" : ", BILING") + " or AUTO");
    if (!known(v.token(2), true))
        return v.at(2, Severity::Error,
                    "layer-2 mode " + quoted(v.token(2)) + ": expected PP, PMP or AUTO");
    return v.at(2, Severity::Error,
                "layer-2 mode contradicts the other Prot line: PP and PMP do not pair");
}

Diagnostic currency_failure(const LineView &v) {
    static constexpr const char *kModes[] = {"AOCU",  "AOCC",  "CH", "NL", "I", "F",
                                             "AOCUD", "AOCCD", "E",  "E2", "P", "G"};
    bool mode = false;
    for (const char *m : kModes)
        mode = mode || strcasecmp(v.token(1), m) == 0;
    if (!mode)
        return v.at(1, Severity::Error,
                    "unknown currency mode " + quoted(v.token(1)) +
                        ": expected AOCU, AOCC, CH, NL, I, F, AOCUD, AOCCD, E, E2, P or G");
    const char *sign = v.token(4);
    if (sign != nullptr && sign[0] == '"' &&
        (std::strlen(sign) < 2 || sign[std::strlen(sign) - 1] != '"'))
        return v.at(4, Severity::Error, "currency sign " + quoted(sign) + " lacks its closing \"");
    return v.at(3, Severity::Error, "currency divisor must not be 0");
}

// The level's own words, pointing at the first value.
Diagnostic level_failure(const LineView &v, int level) {
    static const struct {
        int level;
        const char *words;
    } kWords[] = {{CONF_WARNING, "the value is cut to fit its field"},
                  {CONF_SYNTAX, error_text(Error::SyntaxError)},
                  {CONF_WRONG_VALUE, error_text(Error::WrongValue)},
                  {CONF_NO_PERIOD, error_text(Error::NoMemory)},
                  {CONF_MAPS_FULL, error_text(Error::TooManyEntries)},
                  {CONF_NO_HOLIDAYS, "the holiday file exists but cannot be opened"}};
    for (const auto &w : kWords)
        if (w.level == level)
            return v.at(1, Severity::Error, w.words);
    return v.at(1, Severity::Error, error_text(Error::SyntaxError));
}

Diagnostic cut_warning(const LineView &v, const std::string &row) {
    if (row == "MapIn" || row == "MapOut" || row == "MapAll") {
        if (std::strlen(v.token(0)) - row.size() > 12) {
            Diagnostic d = v.at(0, Severity::Error, "the escape is cut to 12 characters");
            d.column += static_cast<int>(row.size()); // the escape behind the key
            d.length -= static_cast<int>(row.size());
            return d;
        }
        return v.at(1, Severity::Error, "the code is cut to 19 characters");
    }
    if (row == "RemoteOrigination")
        return v.at(0, Severity::Error, "only 3 RemoteOrigination lines are kept");
    if (row == "NMSPollCLI")
        return v.at(0, Severity::Error, "only 1 NMSPollCLI line is kept");
    return level_failure(v, CONF_WARNING);
}

} // namespace

Diagnostic describe_failure(const LineView &v, const ParseState &ps, int level) {
    if (!v.has_key || v.token(0) == nullptr)
        return level_failure(v, level);
    if (ps.wrong_table_format)
        return v.at(1, Severity::Error, "table format " + quoted(v.token(1)) + ": expected TF01.5");
    const char *key = v.token(0);
    const char *row_text = v.row;
    const std::string row = row_text != nullptr ? row_text : "";
    if (level == CONF_WARNING)
        return cut_warning(v, row);
    if (row == "[")
        return period_failure(v, level);
    if (row == "MapIn" || row == "MapOut" || row == "MapAll")
        return map_failure(v, ps, level, false);
    if (row == "MapCallBack" &&
        (strncasecmp(key + 11, "OUT", 3) == 0 || strncasecmp(key + 11, "IN", 2) == 0))
        return map_failure(v, ps, level, true);
    if (row == "CmpMSN")
        return level == CONF_MAPS_FULL
                   ? map_failure(v, ps, level, false)
                   : v.at(0, Severity::Error, "CmpMSN needs an escape and a code");
    if (row == "ProtExt" || row == "ProtInt")
        return protocol_failure(v, row == "ProtExt");
    if (row == "Currency")
        return currency_failure(v);
    if (row == "Holiday" && level == CONF_SYNTAX)
        return v.at(1, Severity::Error,
                    "invalid holiday " + quoted(v.token(1)) +
                        ": expected dd.mm (at most 50 holidays)");
    if (row == "Holiday" && level == CONF_WRONG_VALUE)
        return v.at(1, Severity::Error,
                    "holiday " + quoted(v.token(1)) + " out of range: day 1-31, month 1-12");
    if (row == "Redirect")
        return v.token(2) != nullptr && std::atoi(v.token(2)) >= 17
                   ? v.at(2, Severity::Error, "service indicator must be below 17")
                   : v.at(0, Severity::Error, "redirect kind must be 1 to 5");
    return level_failure(v, level);
}

} // namespace vorn::check
