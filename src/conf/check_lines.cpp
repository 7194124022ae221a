// The per-line findings of the configuration check (see check_lines.h).
// They read the line as written and decide with the same rules the parser
// uses, so a finding names the word the parser stumbled over or ignored.
#include "conf/check_lines.h"

#include "parser/parser.h"
#include "table/split_numbers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <strings.h>
#include <unordered_map>
#include <vector>

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

// A key is proposed only at a distance of at most 2, so every distance from
// 3 on is answered as 3: texts whose lengths differ by more are not compared
// at all, which keeps a file of many unknown keys fast to check.
constexpr size_t kFar = 3;

std::string lower_case(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Restricted Damerau-Levenshtein distance of two lower-case texts, capped at
// kFar; `rows` is scratch space kept from call to call.  Only the cells
// within kFar - 1 of the diagonal are computed: every other cell is at least
// kFar away, and no path through it can end nearer.
size_t distance(std::string_view a, std::string_view b, std::vector<size_t> &rows) {
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) >= kFar)
        return kFar;
    const size_t width = b.size() + 1;
    rows.assign(3 * width, kFar);
    size_t *before = rows.data(), *last = before + width, *row = last + width;
    for (size_t j = 0; j < width && j < kFar; ++j)
        last[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        const size_t lo = i >= kFar ? i - (kFar - 1) : 1;
        const size_t hi = std::min(b.size(), i + (kFar - 1));
        row[lo - 1] = lo == 1 ? std::min(i, kFar) : kFar;
        for (size_t j = lo; j <= hi; ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
        std::swap(before, last);
        std::swap(last, row);
    }
    return std::min(last[b.size()], kFar);
}

// Distance of `key` to a candidate (both lower case); a key compared on its
// first characters is compared with the part of `key` that would stand for
// it, whose length goes to `used`.
size_t key_distance(std::string_view key, std::string_view candidate, bool whole_word, size_t &used,
                    std::vector<size_t> &rows) {
    used = key.size();
    size_t best = distance(key, candidate, rows);
    if (whole_word)
        return best;
    for (size_t n = candidate.size() > 0 ? candidate.size() - 1 : 0; n <= candidate.size() + 1; ++n)
        if (n <= key.size())
            if (const size_t d = distance(key.substr(0, n), candidate, rows); d < best) {
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
    if (split_numbers(heading + 1, ":.", &hour, &minute, nullptr) == Error::Ok &&
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
    const Error r = parse_line(text, words);
    has_key =
        r == Error::Ok && words.tokens[0] != nullptr && strcasecmp(words.tokens[0], "rem") != 0;
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
    if (parse_line(ps.line, words) == Error::Ok && strcasecmp(words.tokens[0], "rem") == 0)
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

// A key the language knows: as written, in lower case for the comparison,
// and whether it is compared as a whole word.
struct KnownKey {
    std::string name, lower;
    bool whole_word;
    std::array<uint8_t, 37> letters; // how often each letter, digit and other character stands
};

// The characters of a lower-case text counted: a to z, 0 to 9, the rest.
std::array<uint8_t, 37> count_letters(std::string_view text) {
    std::array<uint8_t, 37> counts{};
    for (const char c : text) {
        const size_t at = c >= 'a' && c <= 'z'   ? static_cast<size_t>(c - 'a')
                          : c >= '0' && c <= '9' ? 26 + static_cast<size_t>(c - '0')
                                                 : 36;
        if (counts[at] < 255)
            ++counts[at];
    }
    return counts;
}

// Every character that a candidate has more often than the key must be made
// by an insertion or a substitution, one each: the key, and every part of it
// compared, is at least that many edits away.  A candidate lacking kFar
// characters or more is never proposed.
bool lacks_too_much(const std::array<uint8_t, 37> &key, const std::array<uint8_t, 37> &candidate) {
    size_t lacking = 0;
    for (size_t i = 0; i < key.size(); ++i)
        if (candidate[i] > key[i])
            lacking += candidate[i] - key[i];
    return lacking >= kFar;
}

static const std::vector<KnownKey> &known_keys() {
    static const std::vector<KnownKey> keys = [] {
        std::vector<KnownKey> out;
        auto add = [&out](std::string name, bool whole) {
            std::string lower = lower_case(name);
            const auto letters = count_letters(lower);
            out.push_back({std::move(name), std::move(lower), whole, letters});
        };
        for (const char *k : kFirstPassKeys)
            add(k, std::strcmp(k, "RemotePassword") == 0);
        bool whole = false;
        // "MapCallBack" alone is no key: only its sub-keys below are.
        for (size_t i = 0; const char *k = key_table_name(i, &whole); ++i)
            if (std::strcmp(k, "[") != 0 && std::strcmp(k, "MapCallBack") != 0)
                add(k, whole);
        for (const char *s : kCallBackSubKeys)
            add(std::string("MapCallBack") + s, false);
        return out;
    }();
    return keys;
}

static std::string nearest_known_key(const char *key) {
    const std::string lower = lower_case(key);
    const auto letters = count_letters(lower);
    std::vector<size_t> rows;
    std::string best;
    size_t best_distance = kFar;
    for (const KnownKey &candidate : known_keys()) {
        if (lacks_too_much(letters, candidate.letters))
            continue;
        const size_t limit = candidate.name.size() <= 5 ? 1 : 2;
        size_t used = 0;
        const size_t d = key_distance(lower, candidate.lower, candidate.whole_word, used, rows);
        if (d > limit || d >= best_distance)
            continue;
        // What the line writes behind a key compared on its first letters
        // (an escape, an index) stays behind the proposed key; letters
        // there would make another word of it, not the key.
        const char *behind = key + used;
        if (std::isalpha(static_cast<unsigned char>(behind[0])))
            continue;
        best = candidate.name + behind;
        best_distance = d;
    }
    return best;
}

std::string nearest_key(const char *key) {
    // A file that repeats one unknown key asks for it again and again; the
    // answers are kept per thread, up to a bound.
    thread_local std::unordered_map<std::string, std::string> answered;
    if (const auto known = answered.find(key); known != answered.end())
        return known->second;
    if (answered.size() >= 65536)
        answered.clear();
    std::string best = nearest_known_key(key);
    answered.emplace(key, best);
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
