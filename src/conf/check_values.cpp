// The findings about values (see check_values.h).  Each rule reads the line
// as written with the reading of the handler that takes it, so a finding
// points at the very characters the table does not get as the line says.
#include "conf/check_values.h"

#include "frame/utf8_text.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "table/table.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

namespace vorn::check {

namespace {

// Keys whose value goes into a text field of a number: digits, and * and #
// for the box's service codes.
constexpr const char *kNumberFields[] = {"RemoteCode",     "NMSPollNumber",   "RemoteOrigination",
                                         "RemoteCallback", "EmergencyNumber", "OwnMSN",
                                         "DropMSN",        "DTMFDialEnd"};
// Keys whose value is a duration h[:m[:s]].
constexpr const char *kDurations[] = {"EmergencyPause", "NMSPollInterval", "CallBackFrequency",
                                      "NMSCDRInterval"};
// Keys that read token 1 and nothing behind it.
constexpr const char *kOneWord[] = {"CountryCode", "DTMFWaitDial", "DTMFWaitDtmf", "DTMFCount"};

template <size_t N> bool listed(const char *const (&keys)[N], const char *row) {
    for (const char *k : keys)
        if (std::strcmp(k, row) == 0)
            return true;
    return false;
}

std::string quoted(const std::string &word) {
    return "'" + word + "'";
}

std::string upper(std::string text) {
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A finding about the characters of token `i` from byte `from` on.
Diagnostic in_token(const LineView &view, int i, size_t from, FindingName name, std::string text) {
    Diagnostic d = view.at(i, Severity::Error, std::move(text));
    d.name = name;
    d.severity = finding_info(name).severity;
    d.column += static_cast<int>(from);
    d.length -= static_cast<int>(from);
    return d;
}

void number_field(const LineView &view, std::vector<Diagnostic> &out) {
    const char *value = view.token(1);
    const size_t bad = std::strspn(value, "0123456789*#");
    if (value[bad] == '\0')
        return;
    out.push_back(in_token(view, 1, bad, FindingName::DigitsOnly,
                           quoted(value) +
                               " holds other characters than digits, * and #: the "
                               "table stores " +
                               quoted(upper(value))));
}

// The length of the part of `value` that reads as h[:m[:s]].
size_t duration_length(const char *value) {
    size_t n = 0;
    for (int piece = 0; piece < 3; ++piece) {
        const size_t digits = std::strspn(value + n, "0123456789");
        if (digits == 0)
            return piece == 0 ? 0 : n - 1; // a ":" without a number behind it
        n += digits;
        if (value[n] != ':' || piece == 2)
            return n;
        ++n;
    }
    return n;
}

void duration(const LineView &view, std::vector<Diagnostic> &out) {
    const char *value = view.token(1);
    const size_t good = duration_length(value);
    if (value[good] == '\0')
        return;
    if (good == 0) {
        out.push_back(in_token(view, 1, 0, FindingName::DigitsOnly,
                               quoted(value) + " is not a duration h[:m[:s]]: 0 is stored"));
        return;
    }
    out.push_back(in_token(view, 1, good, FindingName::TrailingGarbage,
                           quoted(value + good) + " behind the duration " +
                               std::string(value, good) + " is ignored"));
}

// Words behind the one value a key reads.
void extra_words(const LineView &view, std::vector<Diagnostic> &out) {
    if (view.token(2) == nullptr)
        return;
    Diagnostic d = view.at(2, Severity::Error,
                           quoted(view.token(2)) + " behind the value of " + std::string(view.row) +
                               " is ignored");
    d.name = FindingName::TrailingGarbage;
    d.severity = finding_info(d.name).severity;
    out.push_back(std::move(d));
}

// The text of a COMMENT or PABXName as the reader stores it: the line from
// byte `start` on, trailing white space and leading blanks left out.
std::string stored_text(const std::string &line, size_t start) {
    std::string text = line.size() > start ? line.substr(start) : "";
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

// COMMENT and PABXName take their text from a fixed column; the text meant
// is the one behind the "=".
void line_text(const std::string &line, const LineView &view, std::vector<Diagnostic> &out) {
    const bool comment = strncasecmp(view.token(0), "COMMENT", 7) == 0;
    const char *key = comment ? "COMMENT" : "PABXName";
    const size_t start = comment ? 8 : 9;
    const size_t field =
        comment ? sizeof(table_t::table_comment) : sizeof(table_t::table_init_name);
    const std::string stored = stored_text(line, start);
    const size_t equals = line.find('=');
    const std::string meant = equals == std::string::npos ? stored : stored_text(line, equals + 1);
    if (stored != meant) {
        Diagnostic d =
            view.at(0, Severity::Error,
                    std::string(key) + " takes its text from column " + std::to_string(start + 1) +
                        " on: the table stores " + quoted(stored) + ", not " + quoted(meant) +
                        "; write " + key + "= at the start of the line");
        d.name = FindingName::SpacedEquals;
        d.severity = finding_info(d.name).severity;
        d.column = 1;
        d.length = static_cast<int>(equals == std::string::npos ? start : equals + 1);
        d.fix_column = 1;
        d.fix_length = d.length;
        d.fix_text = std::string(key) + "=";
        out.push_back(std::move(d));
        return;
    }
    if (stored.size() < field)
        return;
    std::string kept = stored.substr(0, field - 1);
    if (comment && comment_wants_stamp(kept.c_str()))
        return; // the stamp takes the text's place anyway
    Diagnostic d;
    d.line = view.line;
    d.name = FindingName::ValueCut;
    d.severity = finding_info(d.name).severity;
    d.column = static_cast<int>(line.find(stored, equals + 1) + field);
    d.length = static_cast<int>(stored.size() - (field - 1));
    d.text = std::string(key) + " text is " + std::to_string(stored.size()) +
             " characters long: the table keeps the first " + std::to_string(field - 1);
    out.push_back(std::move(d));
}

std::string hex_bytes(const unsigned char *p, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        char text[4];
        std::snprintf(text, sizeof text, "%s%02X", i == 0 ? "" : " ", p[i]);
        out += text;
    }
    return out;
}

// What the encoding finding says of the `n` bytes of one character at `p`
// (n = 0: a byte that begins no UTF-8 character).
std::string character_text(const char *p, size_t n) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(p);
    std::string text(n != 0 ? std::string(1, '\'') + std::string(p, n) + "' is not 7-bit ASCII"
                            : std::string("byte ") + hex_bytes(bytes, 1) +
                                  " is neither 7-bit ASCII nor UTF-8");
    text += n != 0 ? ": the table stores its UTF-8 bytes " + hex_bytes(bytes, n) + " as written"
                   : std::string(": the table stores it as written");
    return text;
}

} // namespace

void value_findings(const char *line, const LineView &view, std::vector<Diagnostic> &out) {
    const char *key = view.token(0);
    if (strncasecmp(key, "COMMENT", 7) == 0 || strncasecmp(key, "PABXName", 8) == 0) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        line_text(text, view, out);
        return;
    }
    if (view.row == nullptr || view.token(1) == nullptr)
        return;
    if (listed(kNumberFields, view.row))
        number_field(view, out);
    else if (listed(kDurations, view.row))
        duration(view, out);
    if (listed(kNumberFields, view.row) || listed(kDurations, view.row) ||
        listed(kOneWord, view.row))
        extra_words(view, out);
}

bool encoding_finding(const char *line, const LineView &view, Diagnostic &out) {
    const char *key = view.token(0);
    const bool whole = key != nullptr && (strncasecmp(key, "COMMENT", 7) == 0 ||
                                          strncasecmp(key, "PABXName", 8) == 0);
    const auto *bytes = reinterpret_cast<const unsigned char *>(line);
    for (size_t i = 0; bytes[i] != '\0' && (whole || bytes[i] != ';'); ++i) {
        if (bytes[i] < 0x80)
            continue;
        const size_t n = utf8_sequence(std::string_view(line + i));
        out = Diagnostic{};
        out.line = view.line;
        out.column = static_cast<int>(i) + 1;
        out.length = static_cast<int>(n == 0 ? 1 : n);
        out.name = FindingName::Encoding;
        out.severity = finding_info(out.name).severity;
        out.text = character_text(line + i, n);
        return true;
    }
    return false;
}

bool begins_with_byte_order_mark(std::string_view bytes) {
    return bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

} // namespace vorn::check
