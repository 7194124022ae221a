// The per-line findings of the configuration check (see check_lines.h).
// They read the line as written and decide with the same rules the parser
// uses, so a finding names the word the parser stumbled over or ignored.
#include "conf/check_lines.h"

#include "parser/parser.h"
#include "table/split_numbers.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <strings.h>

namespace vorn::check {

namespace {

// Keys the parser takes in its first pass; the key table does not list them.
constexpr const char *kFirstPassKeys[] = {"COMMENT", "PABXName", "RemotePassword"};
// Sub-keys of MapCallBack lines, compared on their own length.
constexpr const char *kCallBackSubKeys[] = {
    "Out", "In",        "WaitAlert", "WaitDial", "WaitDtmf", "WaitBreak", "WaitDisc",
    "Pin", "DialFirst", "DialEnd",   "ToUSA",    "CallEnd",  "Busy",      "Area"};

bool is_first_pass_key(const char *key) {
    return strncasecmp(key, "COMMENT", 7) == 0 || strncasecmp(key, "PABXName", 8) == 0 ||
           strcasecmp(key, "RemotePassword") == 0;
}

// The call-back sub-key of a MapCallBack line, or nullptr when it is none.
const char *callback_sub_key(const char *key) {
    const char *sub = key + 11;
    for (const char *s : kCallBackSubKeys)
        if (strncasecmp(sub, s, std::strlen(s)) == 0)
            return s;
    return nullptr;
}

// Restricted Damerau-Levenshtein distance, without regard to case.
size_t distance(const std::string &a, const std::string &b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    auto low = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = low(a[i - 1]) == low(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && low(a[i - 1]) == low(b[j - 2]) && low(a[i - 2]) == low(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// Distance of `key` to a candidate; a key compared on its first characters
// is compared with the part of `key` that would stand for it, whose length
// goes to `used`.
size_t key_distance(const std::string &key, const std::string &candidate, bool whole_word,
                    size_t &used) {
    used = key.size();
    size_t best = distance(key, candidate);
    if (whole_word)
        return best;
    for (size_t n = candidate.size() > 0 ? candidate.size() - 1 : 0; n <= candidate.size() + 1; ++n)
        if (n <= key.size())
            if (const size_t d = distance(key.substr(0, n), candidate); d < best) {
                best = d;
                used = n;
            }
    return best;
}

std::string quoted(const char *word) {
    std::string out(1, '\'');
    out.append(word);
    out.push_back('\'');
    return out;
}

bool all_digits(const char *text) {
    for (; *text != '\0'; ++text)
        if (!std::isdigit(static_cast<unsigned char>(*text)))
            return false;
    return true;
}

// Value tokens that the handler of `key` reads as decimal numbers.
std::vector<int> number_tokens(const char *key, const char *row) {
    if (row == nullptr)
        return {};
    const std::string r = row;
    if (r == "CountryCode" || r == "DTMFWaitDial" || r == "DTMFWaitDtmf" || r == "DTMFCount" ||
        r == "AlternativeLimit")
        return {1};
    if (r == "Currency")
        return {2, 3};
    if (r == "Redirect" || r == "Restrict")
        return {2};
    if (r == "MapCallBack" && strncasecmp(key + 11, "Wait", 4) == 0)
        return {1};
    return {};
}

// The percent sign behind the limit of an AlternativeLimit line is part of
// its form: the decompiler writes "40%".
bool percent_limit(const LineView &view, int i, const char *value) {
    if (i != 1 || std::strcmp(view.row, "AlternativeLimit") != 0)
        return false;
    const size_t n = std::strlen(value);
    return n > 1 && value[n - 1] == '%' && all_digits(std::string(value, n - 1).c_str());
}

void number_warnings(const LineView &view, std::vector<Diagnostic> &out) {
    for (int i : number_tokens(view.token(0), view.row)) {
        const char *value = view.token(i);
        if (value == nullptr || all_digits(value) || percent_limit(view, i, value))
            continue;
        if (std::isdigit(static_cast<unsigned char>(value[0])))
            out.push_back(view.at(i, FindingName::TrailingGarbage,
                                  quoted(value) + " is read as the number " +
                                      std::to_string(std::atoi(value)) +
                                      ": the characters behind it are ignored"));
        else
            out.push_back(view.at(i, FindingName::DigitsOnly,
                                  quoted(value) + " is not a number: 0 is stored"));
    }
}

void period_warnings(const LineView &view, std::vector<Diagnostic> &out) {
    const char *heading = view.token(0);
    uint16_t hour = 0, minute = 0;
    if (split_numbers(heading + 1, ":.", &hour, &minute, nullptr) == 0 &&
        (hour > 23 || minute > 59)) {
        Diagnostic d = view.at(0, FindingName::PeriodRange,
                               "period start " + std::to_string(hour) + ":" +
                                   std::to_string(minute) + " is outside 00:00-23:59");
        const char *close = std::strchr(heading, ']');
        d.column += 1; // behind the "["
        d.length = static_cast<int>(close != nullptr ? close - heading - 1 : d.length - 1);
        out.push_back(d);
    }
    bool closed = false;
    for (int i = 0; view.token(i) != nullptr && !closed; ++i)
        closed = std::strchr(view.token(i), ']') != nullptr;
    if (!closed) {
        Diagnostic d =
            view.at(0, FindingName::UnterminatedPeriod, "period heading has no closing ']'");
        d.fix_column = d.column + d.length; // the "]" goes behind the time
        d.fix_text.assign(1, ']');
        out.push_back(std::move(d));
    }
}

} // namespace

void LineView::split(const char *text, int line_number) {
    line = line_number;
    const int r = parse_line(text, words);
    has_key = r == 0 && words.tokens[0] != nullptr && strcasecmp(words.tokens[0], "rem") != 0;
    row = has_key ? matched_key(words.tokens[0]) : nullptr;
}

Diagnostic LineView::at(int i, Severity severity, std::string text) const {
    Diagnostic d;
    d.line = line;
    d.severity = severity;
    d.text = std::move(text);
    const char *t = token(i) != nullptr ? token(i) : token(0);
    if (t != nullptr) {
        d.column = static_cast<int>(t - words.copy) + 1;
        d.length = static_cast<int>(std::strlen(t));
    }
    return d;
}

Diagnostic LineView::at(int i, FindingName name, std::string text) const {
    Diagnostic d = at(i, finding_info(name).severity, std::move(text));
    d.name = name;
    return d;
}

bool skipped_without_value(const LineView &view) {
    return view.has_key && view.token(1) == nullptr && view.token(0)[0] != '[';
}

std::string single_value_identity(const LineView &view) {
    const char *key = view.token(0);
    if (is_first_pass_key(key)) {
        for (const char *k : kFirstPassKeys)
            if (strncasecmp(key, k, std::strlen(k)) == 0)
                return k;
    }
    const char *row = view.row;
    if (row == nullptr)
        return "";
    static constexpr const char *kSingle[] = {
        "TABLE",          "ProtExt",        "ProtInt",         "RemoteCode",      "NMSPollNumber",
        "EmergencyPause", "NMSCDRInterval", "Ctrl2",           "S2M_L1Mode",      "FreeTone",
        "DropMSN",        "CountryCode",    "OwnMSN",          "DTMFWaitDial",    "DTMFWaitDtmf",
        "DTMFCount",      "DTMFDialEnd",    "NoRedirectCause", "AlternativeLimit"};
    const std::string r = row;
    if (r == "EmergencyNumber" || r == "RemoteCallback")
        return "RemoteCallback"; // two names of one field
    if (r == "CallBackFrequency" || r == "NMSPollInterval")
        return "NMSPollInterval";
    for (const char *k : kSingle)
        if (r == k)
            return r;
    std::string whole = key;
    for (char &c : whole)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (r == "Controller")
        return whole;
    const char *sub = r == "MapCallBack" ? callback_sub_key(key) : nullptr;
    if (sub != nullptr && std::strcmp(sub, "Out") != 0 && std::strcmp(sub, "In") != 0 &&
        std::strcmp(sub, "Pin") != 0)
        return whole;
    return "";
}

std::string empty_means_none(const LineView &view) {
    const char *key = view.token(0);
    if (strncasecmp(key, "COMMENT", 7) == 0)
        return "COMMENT";
    if (strncasecmp(key, "PABXName", 8) == 0)
        return "PABXName";
    if (strcasecmp(key, "RemotePassword") == 0)
        return "RemotePassword";
    if (view.row == nullptr)
        return "";
    const std::string r = view.row;
    // Ctrl2 is not set unless a line sets it; the decompiler writes the
    // unset one as "Ctrl2;=[ASSOCIATE|ESCAPE]", the key and its choices.
    static constexpr const char *kRows[] = {
        "OPTIONS",           "Ctrl2",           "RemoteCode",     "NMSPollNumber", "NMSPollCLI",
        "RemoteOrigination", "EmergencyNumber", "RemoteCallback", "DropMSN",       "OwnMSN",
        "DTMFDialEnd"};
    const bool listed = std::find(std::begin(kRows), std::end(kRows), r) != std::end(kRows);
    const char *sub = r == "MapCallBack" ? callback_sub_key(key) : nullptr;
    // The area without a provider digit is "00" unless a line sets it.
    const bool provider_area =
        sub != nullptr && std::strcmp(sub, "Area") == 0 && key[15] >= '1' && key[15] <= '3';
    const bool callback_text =
        sub != nullptr && (std::strcmp(sub, "DialFirst") == 0 || std::strcmp(sub, "DialEnd") == 0 ||
                           std::strcmp(sub, "Pin") == 0 || std::strcmp(sub, "CallEnd") == 0);
    if (!listed && !provider_area && !callback_text)
        return "";
    if (const std::string single = single_value_identity(view); !single.empty())
        return single;
    // The keys that have no last-line-wins rule: lists (RemoteOrigination,
    // PINs, options) and NMSPollCLI, whose second line fails.
    if (r != "MapCallBack")
        return r;
    std::string whole = key;
    for (char &c : whole)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return whole;
}

bool cut_line_warning(const ParseState &ps, Diagnostic &out) {
    const LineCut &cut = ps.cut;
    // Blanks or a comment passed over take nothing from the line, nor does
    // anything behind a comment that began in the part kept.
    if (cut.length == 0 || cut.first_text == '\0' || cut.first_text == ';' ||
        std::strchr(ps.line, ';') != nullptr)
        return false;
    LineWords words;
    if (parse_line(ps.line, words) == 0 && strcasecmp(words.tokens[0], "rem") == 0)
        return false; // a rem line is a comment as a whole
    const int kept = static_cast<int>(kCutLineLength);
    const int dropped = cut.length - kept;
    out = Diagnostic{};
    out.line = ps.line_number;
    out.column = kept + 1;
    out.length = dropped;
    out.name = FindingName::LineCut;
    out.severity = finding_info(out.name).severity;
    out.text = "line is " + std::to_string(cut.length) + " characters long: " +
               (dropped == 1 ? "the character in column 99 is ignored"
                             : "the " + std::to_string(dropped) +
                                   " characters from column 99 on are ignored");
    return true;
}

std::string nearest_key(const char *key) {
    std::vector<std::pair<std::string, bool>> candidates;
    for (const char *k : kFirstPassKeys)
        candidates.emplace_back(k, std::strcmp(k, "RemotePassword") == 0);
    bool whole = false;
    // "MapCallBack" alone is no key: only its sub-keys below are.
    for (size_t i = 0; const char *k = key_table_name(i, &whole); ++i)
        if (std::strcmp(k, "[") != 0 && std::strcmp(k, "MapCallBack") != 0)
            candidates.emplace_back(k, whole);
    for (const char *s : kCallBackSubKeys)
        candidates.emplace_back(std::string("MapCallBack") + s, false);
    std::string best;
    size_t best_distance = 3;
    for (const auto &[candidate, whole_word] : candidates) {
        const size_t limit = candidate.size() <= 5 ? 1 : 2;
        size_t used = 0;
        const size_t d = key_distance(key, candidate, whole_word, used);
        // What the line writes behind a key compared on its first letters
        // (an escape, an index) stays behind the proposed key; letters
        // there would make another word of it, not the key.
        const std::string behind = std::string(key).substr(used);
        if (!behind.empty() && std::isalpha(static_cast<unsigned char>(behind[0])))
            continue;
        if (d <= limit && d < best_distance) {
            best = candidate + behind;
            best_distance = d;
        }
    }
    return best;
}

void line_warnings(const LineView &view, std::vector<Diagnostic> &out) {
    const char *key = view.token(0);
    if (key[0] == '[') {
        period_warnings(view, out);
        return;
    }
    const char *row = view.row;
    const bool unknown_sub =
        row != nullptr && std::strcmp(row, "MapCallBack") == 0 && callback_sub_key(key) == nullptr;
    if ((row == nullptr && !is_first_pass_key(key)) || unknown_sub) {
        const std::string hint = nearest_key(key);
        Diagnostic d = view.at(0, FindingName::UnknownKey,
                               "unknown key " + quoted(key) + " is ignored" +
                                   (hint.empty() ? "" : "; did you mean " + hint + "?"));
        if (!hint.empty()) {
            d.fix_column = d.column;
            d.fix_length = d.length;
            d.fix_text = hint;
        }
        out.push_back(std::move(d));
        return;
    }
    number_warnings(view, out);
}

} // namespace vorn::check
