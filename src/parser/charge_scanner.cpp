// The charge words of the minute model: named parameters such as
// M1=0.12 T1=60 I=30 on a map line, packed into the 32-bit charge word
// that takes the place of the charge fields of a map entry.
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"

#include <cctype>
#include <cstring>

namespace vorn {

namespace {

// Parameter names in the order in which a word is tested; a word is
// recognised when it begins with the name ("U1" before "U").  `index` is
// the number the trace lines give it.
enum Param { M1, S1, T1, M2, S2, I, U, U1, ST1, ST2, kNoParam };

struct ParamName {
    const char *name;
    Param param;
};

constexpr ParamName kParamNames[] = {{"M1", M1}, {"S1", S1}, {"T1", T1},   {"M2", M2},   {"S2", S2},
                                     {"I", I},   {"U1", U1}, {"ST1", ST1}, {"ST2", ST2}, {"U", U}};

// Names by Param, for the trace lines.
constexpr const char *kNames[] = {"M1", "S1", "T1", "M2", "S2", "I", "U", "U1", "ST1", "ST2"};

constexpr unsigned kOtherWordIndex = 10;

Param param_of(const char *word) {
    for (const ParamName &p : kParamNames)
        if (std::strncmp(word, p.name, std::strlen(p.name)) == 0)
            return p.param;
    return kNoParam;
}

// Decimal with up to three decimals, in thousandths; four or more decimals
// count as none.
uint32_t thousandths(const char *text) {
    uint32_t whole = 0;
    const char *p = text;
    while (std::isdigit(static_cast<unsigned char>(*p)))
        whole = whole * 10u + static_cast<uint32_t>(*p++ - '0');
    uint32_t fraction = 0;
    if (*p == '.') {
        ++p;
        int digits = 0;
        while (std::isdigit(static_cast<unsigned char>(p[digits]))) {
            if (digits < 4)
                fraction = fraction * 10u + static_cast<uint32_t>(p[digits] - '0');
            ++digits;
        }
        static constexpr uint32_t kScale[] = {1000, 100, 10, 1};
        fraction = digits <= 3 ? fraction * kScale[digits] : 0;
    }
    return whole * 1000u + fraction;
}

bool is_blank_or_control(unsigned char c) {
    return c <= ' ';
}

// One line of upper-cased words, each followed by one blank (the last one
// removed); commas become points and blanks or control characters
// disappear before a blank, "=" or a digit.
char *normalise(char *const *words, int count, char *out) {
    size_t n = 0;
    for (int w = 0; w < count; ++w) {
        const char *word = words[w];
        for (size_t j = 0; word[j] != '\0'; ++j) {
            const auto c = static_cast<unsigned char>(word[j]);
            if (!is_blank_or_control(c)) {
                out[n++] = c == ',' ? '.' : static_cast<char>(std::toupper(c));
                continue;
            }
            const auto next = static_cast<unsigned char>(word[j + 1]);
            if (next != '\0' && (is_blank_or_control(next) || next == '=' || std::isdigit(next)))
                continue;
            out[n++] = ' ';
        }
        out[n++] = ' ';
    }
    if (n > 0)
        --n;
    out[n] = '\0';
    return out;
}

struct Scanned {
    uint32_t value[6] = {}; // M1, S1, T1, M2, S2, I in thousandths
    bool u1 = false;
    bool st1 = false;
    bool st2 = false;
};

void scan_words(char *line, Scanned &s, uint32_t *unit) {
    static constexpr const char *kSeparators = "= ";
    char *save = nullptr;
    for (char *word = strtok_r(line, kSeparators, &save); word != nullptr;
         word = strtok_r(nullptr, kSeparators, &save)) {
        const Param p = param_of(word);
        if (p == U1 || p == ST1 || p == ST2) {
            (p == U1 ? s.u1 : p == ST1 ? s.st1 : s.st2) = true;
            dbg_printf("token%u %s\n", static_cast<unsigned>(p), kNames[p]);
            continue;
        }
        if (p == kNoParam) {
            dbg_printf("token%u %s\n", kOtherWordIndex, "");
            continue;
        }
        char *text = strtok_r(nullptr, kSeparators, &save);
        if (text == nullptr)
            return;
        if (!std::isdigit(static_cast<unsigned char>(text[0])) && text[0] != '.')
            continue;
        const uint32_t v = thousandths(text);
        const char *name = kNames[p];
        if (p == U) {
            dbg_printf("unit (token%u %s): value=%4lu.%03lu\n", static_cast<unsigned>(p), name,
                       static_cast<unsigned long>(v / 1000), static_cast<unsigned long>(v % 1000));
            if (unit != nullptr)
                *unit = v;
        } else {
            dbg_printf("token%u %s: value=%4lu.%03lu\n", static_cast<unsigned>(p), name,
                       static_cast<unsigned long>(v / 1000), static_cast<unsigned long>(v % 1000));
            s.value[p] = v;
        }
    }
}

uint32_t cap(uint32_t value, uint32_t limit) {
    return value > limit ? limit : value;
}

unsigned long whole_of(uint32_t v) {
    return v / 1000;
}

unsigned long milli_of(uint32_t v) {
    return v % 1000;
}

// Reads the named parameters of the words into `s` and the unit into
// *unit.  False when there are no words or no memory for the joined line.
bool read_parameters(char *const *words, Scanned &s, uint32_t *unit) {
    int count = 0;
    size_t total = 0;
    while (words[count] != nullptr && words[count][0] != '\0')
        total += std::strlen(words[count++]);
    if (total == 0)
        return false;

    const size_t size = total + static_cast<size_t>(count) + 8;
    char *line = static_cast<char *>(myAlloc(size, "scan_charge"));
    if (line == nullptr)
        return false;
    platform::console_printf("scan_charge_parameter: %d x pcs, whole len=%d\n", count,
                             static_cast<int>(total));
    normalise(words, count, line);
    platform::console_printf("input = <%s>\n", line);
    scan_words(line, s, unit);
    myFree(line, "scan_charge");
    return true;
}

// The code of the first step: U1 (the unit, which the line must then give)
// and ST1 have codes of their own, else S1 counts in steps of M1.  False
// when U1 finds no unit.
bool first_step_code(const Scanned &s, uint32_t f_m1, const uint32_t *unit, uint32_t &f_s1) {
    f_s1 = 0;
    if (s.u1) {
        f_s1 = 6;
        dbg_printf("U1:\t -> %u\n", f_s1);
        return unit == nullptr || *unit != 0;
    }
    if (s.st1) {
        f_s1 = 7;
        dbg_printf("ST1: -> %u\n", f_s1);
        return true;
    }
    const uint32_t b = f_m1 * 10;
    const uint32_t v = cap(s.value[S1], 5 * b);
    if (b != 0)
        f_s1 = (b / 2 + v) / b;
    dbg_printf("S1: %4lu.%03lu -> %u\n", whole_of(v), milli_of(v), f_s1);
    return true;
}

// The code of the second step: ST2 has a code of its own, else S2 counts in
// steps of M1 (of M2 when M1 is 0).
uint32_t second_step_code(const Scanned &s, uint32_t f_m1, uint32_t f_m2) {
    if (s.st2) {
        dbg_printf("ST2: -> %u\n", 3u);
        return 3;
    }
    uint32_t f_s2 = 0;
    const uint32_t b = f_m1 != 0 ? f_m1 * 10 : f_m2;
    const uint32_t v = cap(s.value[S2], 2 * b);
    if (b != 0)
        f_s2 = (b / 2 + v) / b;
    dbg_printf("S2: %4lu.%03lu -> %u\n", whole_of(v), milli_of(v), f_s2);
    return f_s2;
}

// The interval code: the largest whose interval, with the other fields of
// the word, does not exceed I (5 to 60 seconds).
uint32_t interval_code(const Scanned &s, uint32_t w) {
    uint32_t i = s.value[I] / 1000;
    i = i < 5 ? 5 : cap(i, 60);
    uint32_t code = 3;
    while (code > 0 && charge_interval_seconds((w & ~(3u << 9)) | (code << 9)) > i)
        --code;
    dbg_printf("I : %4lu.%03lu -> %u\n", 0ul, static_cast<unsigned long>(i), code);
    return code;
}

} // namespace

Error scan_charge_parameter(char *const *words, uint32_t *charge_word, uint32_t *unit) {
    if (unit != nullptr)
        *unit = 0;
    if (charge_word != nullptr)
        *charge_word = 0;
    Scanned s;
    if (words == nullptr || !read_parameters(words, s, unit))
        return Error::BadCharge;

    const uint32_t m1 = cap(s.value[M1], 1270);
    const uint32_t f_m1 = (m1 + 5) / 10;
    uint32_t w = f_m1;
    dbg_printf("M1: %4lu.%03lu -> %u\n", whole_of(m1), milli_of(m1), f_m1);

    uint32_t f_s1 = 0;
    if (!first_step_code(s, f_m1, unit, f_s1))
        return Error::BadCharge;
    w |= f_s1 << 16;

    const uint32_t t = cap(s.value[T1] / 1000, 930);
    const uint32_t f_t1 = (t + 15) / 30;
    w |= f_t1 << 11;
    dbg_printf("T1: %4lu.%03lu -> %u\n", 0ul, static_cast<unsigned long>(t), f_t1);

    const uint32_t f_m2 = cap(s.value[M2] != 0 ? s.value[M2] : m1, 8191);
    w |= f_m2 << 19;
    dbg_printf("M2: %4lu.%03lu -> %u\n", whole_of(f_m2), milli_of(f_m2), f_m2);

    w |= second_step_code(s, f_m1, f_m2) << 7;
    w |= interval_code(s, w) << 9;
    if (charge_word != nullptr)
        *charge_word = w;
    return Error::Ok;
}

} // namespace vorn
