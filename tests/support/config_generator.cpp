#include "support/config_generator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace vorn::test {

namespace {

// A small generator of its own (xorshift64*), so that a seed gives the same
// configuration with every standard library.
class Random {
  public:
    explicit Random(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }
    unsigned below(unsigned n) { return n == 0 ? 0 : static_cast<unsigned>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    std::string digits(unsigned length) {
        std::string text;
        for (unsigned i = 0; i < length; ++i)
            text += static_cast<char>('0' + below(10));
        return text;
    }

  private:
    uint64_t m_state;
};

constexpr uint8_t kIn = 0x01, kOut = 0x02, kHoliday = 0x80;
constexpr const char *kDayWords[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// The day words of a period line; all days and holidays is written without.
std::string day_words(uint8_t days) {
    if (days == 0xFF)
        return "";
    std::string words = days & kHoliday ? " HO" : "";
    for (int bit = 0; bit < 7; ++bit)
        if (days & (1u << bit))
            words += std::string(" ") + kDayWords[bit];
    return words;
}

// One map line with its service and charge words.
struct Line {
    GeneratedMap map;
    std::string words; // service and charges, with their leading blanks
};

std::string line_text(const Line &line) {
    const char *key = line.map.direction == kIn    ? "MapIn"
                      : line.map.direction == kOut ? "MapOut"
                                                   : "MapAll";
    return std::string(key) + line.map.escape + "=" + line.map.code + line.words + "\n";
}

Line fresh_line(Random &rng, int section) {
    Line line;
    line.map.escape = rng.digits(2 + rng.below(7));
    line.map.code = rng.digits(1 + rng.below(10));
    const unsigned d = rng.below(100);
    line.map.direction = d < 60 ? kOut : d < 85 ? kIn : kIn | kOut;
    line.map.section = section;
    const unsigned service = rng.below(10);
    if (service == 0)
        line.words += " VOICE";
    else if (service == 1)
        line.words += " DATA";
    if (rng.chance(30)) {
        char charge[32];
        const unsigned v[] = {1 + rng.below(90), rng.below(100), rng.below(4), 1 + rng.below(3)};
        std::snprintf(charge, sizeof charge, " %u.%02u %u/%u", v[0], v[1], v[2], v[3]);
        line.words += charge;
    }
    return line;
}

std::vector<GeneratedSection> make_sections(Random &rng, const ConfigKnobs &knobs) {
    const unsigned count = std::min(knobs.sections, 63u);
    std::vector<GeneratedSection> sections;
    for (unsigned s = 0; s < count; ++s) {
        if (s > 0 && s >= count - std::min(knobs.duplicate_sections, count - 1)) {
            sections.push_back(sections[rng.below(static_cast<unsigned>(sections.size()))]);
            continue;
        }
        GeneratedSection section{static_cast<uint8_t>(rng.below(24)),
                                 static_cast<uint8_t>(15 * rng.below(4)),
                                 static_cast<uint8_t>(1 + rng.below(0x7F))};
        if (s < knobs.holiday_sections)
            section.days |= kHoliday;
        else if (rng.chance(10))
            section.days = rng.chance(50) ? kHoliday : 0xFF;
        sections.push_back(section);
    }
    // The duplicates stand behind the sections they repeat; shuffle the
    // whole list so that they need not.
    for (size_t i = sections.size(); i > 1; --i)
        std::swap(sections[i - 1], sections[rng.below(static_cast<unsigned>(i))]);
    return sections;
}

// Expands a line pattern: {dA-B} A to B digits, {LA-B} A to B letters,
// {nA-B} a number from A to B, {xA-B} one in two hex digits, {T} a duration,
// {?P:pattern} the pattern with a chance of P percent, {a|b|c} one of the
// patterns a, b and c.  The draws follow the text from left to right.
std::string expand(Random &rng, const std::string &p) {
    std::string out;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '{') {
            out += p[i];
            continue;
        }
        std::vector<size_t> bars{i}; // the braces' own | and the opening brace
        size_t end = i + 1;
        for (int depth = 1; depth > 0; ++end) {
            depth += p[end] == '{' ? 1 : p[end] == '}' ? -1 : 0;
            if (depth == 1 && p[end] == '|')
                bars.push_back(end);
        }
        const std::string spec = p.substr(i + 1, end - i - 2);
        char kind = 0;
        unsigned a = 0, b = 0;
        int used = 0;
        if (spec == "T") {
            char text[24];
            const unsigned v[] = {rng.below(200), rng.below(60), rng.below(60)};
            std::snprintf(text, sizeof text, "%u:%02u:%02u", v[0], v[1], v[2]);
            out += text;
        } else if (spec[0] == '?') {
            if (rng.chance(static_cast<unsigned>(std::stoul(spec.substr(1)))))
                out += expand(rng, spec.substr(spec.find(':') + 1));
        } else if (std::sscanf(spec.c_str(), "%c%u-%u%n", &kind, &a, &b, &used) == 3 &&
                   static_cast<size_t>(used) == spec.size()) {
            const unsigned v = a + rng.below(b - a + 1);
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02x", v);
            for (unsigned k = 0; kind == 'L' && k < v; ++k)
                out += static_cast<char>('A' + rng.below(26));
            out += kind == 'd'   ? rng.digits(v)
                   : kind == 'n' ? std::to_string(v)
                   : kind == 'x' ? hex
                                 : "";
        } else {
            bars.push_back(end - 1);
            const unsigned pick = rng.below(static_cast<unsigned>(bars.size() - 1));
            out += expand(rng, p.substr(bars[pick] + 1, bars[pick + 1] - bars[pick] - 1));
        }
        i = end - 1;
    }
    return out;
}

// The settings, one pattern per entry: "P pattern" is written with a chance
// of P percent, "*N pattern" 0 to N times, each time as a line; '@' in the
// call-back entries stands for the provider number 1 to 3.  Each line is in
// the form the configuration writer uses, and only with values that the
// table keeps.  Rules the format imposes:
//   - ProtExt and ProtInt come together with layer-2 words of one kind: the
//     writer fills a missing side with PP, which contradicts a PMP side;
//   - NMSPollCLI never has MAX0: a maximum of 0 is not stored, and the
//     digits would then be read from the wrong byte;
//   - NoRedirectCause has two values and, like AlternativeLimit, appears
//     only with a Redirect line: the writer writes both only then;
//   - the remote code starts with "#" so that no ordinary map's code begins
//     with it (such a map would be written as a remote map-in);
//   - CmpMSN lines only when optimizing: their lines are written twice and
//     only the optimizer removes the copies;
//   - the currency sign is a plain word (a trailing blank is not written).
const char *const kSettings[] = {
    "100 COMMENT=generated settings {d4-4}",
    "70 PABXName=Exchange {L1-20}",
    "70 {ProtExt={DSS1|1TR6|AUTO} {PP|AUTO}\nProtInt={DSS1|1TR6|BILING|AUTO} {PP|AUTO}|"
    "ProtExt={DSS1|1TR6|AUTO} {PMP|AUTO}\nProtInt={DSS1|1TR6|BILING|AUTO} {PMP|AUTO}}",
    "50 S2M_L1Mode={AUTO|CRC4|DOUBLEFRAME}",
    "50 Ctrl2={ASSOCIATE|ESCAPE}",
    "50 FreeTone={NORMAL|{n1-254}00 {?70:{n1-254}00 }{?50:{n1-254}00 {n1-254}00 }}",
    "60 OPTIONS={?30:SPECIALSIN }{?30:AOCTRANSPARENCY }{?30:AOCSTRANSPARENCY }{?30:AUTODOWN }"
    "{?30:DEACTTRANSPARENCY }{?30:LOGEPICERR }{?30:SIGNALINGNOCARRIER }{?30:FSKSIGNAL }"
    "{?30:LOGCDR }{?30:NOBOOTALARM }{?30:NOAUTOACTL2 }{?30:RLICOUNT }{?30:NOSETUPREPEAT }"
    "{?30:IGNORESTATUSMESSAGE }{?30:SENDDTE }{?30:SAVETEI }",
    "*3 Controller{n0-15}={L1-1}",
    "70 CountryCode={351|{n1-255}|{n1-255}|{n1-255}}",
    "70 Currency={AOCU|AOCC|CH|NL|I|F|AOCUD|AOCCD|E|E2|P|G} {n0-65535} {n1-65535} {L1-9}",
    "60 NMSPollInterval={T}",
    "60 NMSPollNumber={d1-19}",
    "60 NMSPollCLI={SERIAL|{?40:SERIAL }{?40:CGS }{?40:CDS }{?40:CGPN }{?40:BINAER }"
    "{MAX{n1-255} {d0-17}|{d0-18}}}",
    "60 EmergencyNumber={d1-19}",
    "60 EmergencyPause={T}",
    "40 NMSCDRInterval={T}",
    "60 RemotePassword={L1-19}",
    "*3 RemoteOrigination={d1-19}",
    "50 OwnMSN={d1-19}",
    "50 DropMSN={d1-19}",
    "*5 Holiday={n1-28}.{n1-12}",
    "*3 {Restrict{d1-8}={d1-8}|Redirect{1|2|3|5}{d1-8}={d2-9}}{?40: {n1-16}}",
    "60 Redirect{1|2|3|5}{d1-8}={d2-9}{?60:\nNoRedirectCause={x128-255} {x128-255}}"
    "{?60:\nAlternativeLimit={n1-60} {HOURLY|DAILY}{?50: ALARM}}",
    "40 MapCallBackWaitAlert={n0-255}",
    "40 MapCallBackWaitDial={n0-255}",
    "40 MapCallBackWaitDtmf={n0-255}",
    "40 MapCallBackWaitBreak={n0-255}",
    "40 MapCallBackWaitDisc={n0-255}",
    "40 MapCallBackArea={d2-2}",
    "40 MapCallBackCallEnd={#|*|#*|99}",
    "40 MapCallBackDialFirst@={d1-5}",
    "40 MapCallBackDialEnd@={#|*|0}",
    "50 MapCallBackPin@={d1-19}{?50:,{d1-19}}{?30:,{d1-19},{d1-19}}",
    "40 MapCallBackArea@={d1-2}",
    "40 MapCallBackToUSA@={0|1}",
    "40 MapCallBackBusy@={0|1}",
    "40 DTMFWaitDtmf={n0-255}",
    "40 DTMFWaitDial={n0-255}",
    "40 DTMFCount={n0-255}",
    "40 DTMFDialEnd={#|*|#*|00}",
    "40 Subscriber00=CHINC[{n1-30},{n1-30}] CHSTART[{n1-30},{LIN|CYC|INV|ANY}]",
    "40 Subscriber01=CHINC[{n1-30},{n1-30}] CHSTART[{n1-30},{LIN|CYC|INV|ANY}]",
};

// The forms that only the lossless text carries, in three groups: lines
// read in the normal charge model, then (sometimes) the minute model with
// map lines of its own, and a period section at the end.  Keys of
// kSettings that these replace are left out of the settings.
const char *const kReplacedSettings[] = {"ProtExt",    "FreeTone", "Currency",      "NMSPollCLI",
                                         "Subscriber", "Redirect", "MapCallBackPin"};
const char *const kLossyNormal[] = {
    "100 {ProtExt={DSS1|1TR6|AUTO}{| PMP| AUTO}|ProtInt={DSS1|BILING|AUTO}{| PMP| PP}|"
    "ProtExt=DSS1 PP\nProtInt=DSS1 PP\nProtInt={DSS1|1TR6} PMP|"
    "ProtExt={1TR6|AUTO} PMP\nProtInt=BILING PMP}",
    "*3 MapCallBackOut{1|2|3}{d2-6}={d1-8}{| VOICE| DATA| DTMF| SCALL| DIRECT| DDIRECT| CHARGE|"
    " COMPRESS}{?40: {n0-90}.{n0-99} {n0-3}/{n1-3}| 655.35}",
    "*2 MapCallBackIn{1|2|3}={d2-6}{| VOICE| DTMF| DIRECT| DDIRECT| CHARGE| COMPRESS| SCALL}",
    "*3 MapOut{d3-7}={d1-5}{| DTMF| SCALL| DDIRECT| CHARGE| COMPRESS| VOICE}"
    "{| 0.05| 0 {n1-3}/{n1-3}| 655.35 {n0-3}/{n1-3}| ORG}",
    "20 MapIn8XXXXXXX={d1-5}{| VOICE}",
    "60 {Subscriber00|Subscriber01}=CHINC[{n1-30},{1|{n1-30}}] CHSTART[{n1-30},{LIN|CYC|INV|ANY}]",
    "70 {Currency={CH|NL|AOCU|E2} {n0-99} {n1-99} {\"\"|\"\"{L1-3}\"|\"\"\"|{L1-5}}|"
    "Currency=CH {n0-99} {n1-99}|Currency=NL}",
    "60 {Redirect{1|2|3|5}{d1-8}={d2-9}\n|}{?50:NoRedirectCause={x128-255}\n}"
    "{?50:AlternativeLimit={0|{n1-60}} {HOURLY|DAILY}{?50: ALARM}}",
    "50 MapCallBackPin{1|2|3}={d1-6},{d1-6}{?50:,{d1-6}}\nMapCallBackPin={d1-6}",
    "60 FreeTone={FOO|25500 1000|NORMAL|{n1-254}00 {n1-254}00}",
    "50 NMSPollCLI={MAX0 {d1-9}|MAX{n1-255} SERIAL {d1-9}|SERIAL}",
};
const char *const kLossyMinute[] = {
    "100 {Currency={AOCU|E|P} {n0-99} {n1-99} {\"\"|{L1-4}} M|"
    "Currency=CH 7 3 \"\" M\nCurrency=CH 7 3}",
    "*4 MapOut{d3-7}={d1-5}{| VOICE} {T1=60 I=30|I=15|ST2 I=60|M1=0.12 ST1 M2=8.191 I=30|"
    "M1=0.{n10-99} S1=0.{n10-50} T1={n0-900} M2=0.{n1-9}{n0-9} S2=0.{n0-9} I={5|15|30|60}|ORG}",
    "*2 MapCallBackOut{1|2|3}{d2-6}={d1-8} {VOICE|DIRECT} {M1=0.20 U1 I=60|M2=1.5 S2=2 ST1}",
};
const char *const kLossySection[] = {
    "80 [{n0-23}:{n0-5}{n0-9}] {MO|SA SU|HO MO}\nCmpMSN={d3-8} {I|R|}{d2-6}"
    "{?40:\nCmpMSN={d3-8} {d2-6}}",
};

bool replaced_by_lossy_forms(const char *entry) {
    for (const char *key : kReplacedSettings)
        if (std::strstr(entry, key) != nullptr)
            return true;
    return false;
}

// Lines of a pattern list, as kSettings below describes them.
std::string pattern_lines(Random &rng, const char *const *entries, size_t count, bool lossy_forms) {
    std::string t;
    for (size_t e = 0; e < count; ++e) {
        const char *entry = entries[e];
        if (lossy_forms && replaced_by_lossy_forms(entry))
            continue;
        unsigned n = 0;
        int skip = 0;
        const bool repeated = entry[0] == '*';
        std::sscanf(entry + repeated, "%u %n", &n, &skip);
        const std::string pattern = entry + repeated + skip;
        const size_t at = pattern.find('@');
        for (unsigned provider = 1; provider <= (at == std::string::npos ? 1u : 3u); ++provider)
            for (unsigned times = repeated ? rng.below(n + 1) : rng.chance(n); times > 0; --times) {
                std::string line = pattern;
                if (at != std::string::npos)
                    line[at] = static_cast<char>('0' + provider);
                t += expand(rng, line) + "\n";
            }
    }
    return t;
}

std::string settings_lines(Random &rng, bool optimize, bool lossy_forms) {
    std::string t = pattern_lines(rng, kSettings, std::size(kSettings), lossy_forms);
    if (rng.chance(60)) {
        const std::string code = expand(rng, "#{d1-6}");
        t += "RemoteCode=" + code + "\n";
        for (unsigned n = rng.below(5); n > 0; --n)
            t += expand(rng, "{MapAll|MapIn|MapIn}{d2-9}=" + code + "{*|} DATA\n");
        // An incoming map whose code only begins with the remote code.
        if (lossy_forms)
            t += expand(rng, "MapIn{d2-9}=" + code + "{d1-4}{| VOICE 12.50 1/1}\n");
    }
    if (lossy_forms) {
        t += pattern_lines(rng, kLossyNormal, std::size(kLossyNormal), false);
        if (rng.chance(40))
            t += pattern_lines(rng, kLossyMinute, std::size(kLossyMinute), false);
    }
    if (optimize && !lossy_forms)
        for (unsigned n = rng.below(4); n > 0; --n)
            t += expand(rng, "CmpMSN={d1-12} {I|R|}{d1-10}\n");
    return t;
}

} // namespace

GeneratedConfig generate_config(uint64_t seed, const ConfigKnobs &knobs) {
    Random rng(seed);
    GeneratedConfig config;
    config.sections = make_sections(rng, knobs);
    const unsigned count = static_cast<unsigned>(config.sections.size());
    const unsigned empty = std::min(knobs.empty_sections, count);

    // Lines per group: the time-independent group (index 0) first, then
    // the sections round and round; the last `empty` sections get none.
    const unsigned maps = std::min(knobs.maps, 5070u);
    const unsigned global = std::min(knobs.global_maps, maps);
    const unsigned filled = count - empty;
    std::vector<std::vector<Line>> lines(count + 1);
    std::vector<Line> made;
    for (unsigned i = 0; i < maps; ++i) {
        const unsigned g = i < global || filled == 0 ? 0 : 1 + (i - global) % filled;
        const int section = static_cast<int>(g) - 1;
        Line line;
        if (!made.empty() && rng.below(maps) < knobs.shared_maps) {
            const bool from_global = !lines[0].empty() && rng.chance(knobs.global_share);
            const std::vector<Line> &pool = from_global ? lines[0] : made;
            line = pool[rng.below(static_cast<unsigned>(pool.size()))];
            line.map.section = section;
        } else {
            line = fresh_line(rng, section);
        }
        made.push_back(line);
        lines[g].push_back(line);
        config.maps.push_back(line.map);
    }

    std::string &t = config.text;
    t += "; generated configuration, seed " + std::to_string(seed) + "\n";
    t += "TABLE=TF01.5\n";
    std::string options;
    if (!knobs.standard_maps)
        options += " NOSTANDARDMAPS";
    if (!knobs.optimize)
        options += " NOOPTIMIZE";
    if (!options.empty())
        t += "OPTIONS=" + options.substr(1) + "\n";
    if (knobs.settings) {
        // A generator of its own, so that the maps of a seed stay the same.
        Random settings_rng(seed ^ 0x5E77196u);
        t += settings_lines(settings_rng, knobs.optimize, knobs.lossy_forms);
    }
    for (const Line &line : lines[0])
        t += line_text(line);
    for (unsigned s = 0; s < count; ++s) {
        const GeneratedSection &section = config.sections[s];
        char head[24];
        std::snprintf(head, sizeof head, "[%02u:%02u]", section.hour, section.minute);
        t += head + day_words(section.days) + "\n";
        for (const Line &line : lines[s + 1])
            t += line_text(line);
    }
    if (knobs.settings && knobs.lossy_forms) {
        Random section_rng(seed ^ 0x10551E55u);
        t += pattern_lines(section_rng, kLossySection, std::size(kLossySection), false);
    }
    while (t.size() < 200)
        t += "; padding of a short configuration\n";
    return config;
}

GeneratedConfig largest_config(unsigned scale_divisor) {
    // 63 sections, 20 of them repeating another (joined) so that the ten
    // holiday-and-weekday sections find records for their weekday halves;
    // nine of ten section lines repeat a time-independent line, which the
    // optimizer removes, so that the table ends within its 1,570 maps.
    const unsigned divisor = std::max(scale_divisor, 1u), maps = 5070 / divisor;
    return generate_config(20261206, {.sections = 63,
                                      .empty_sections = 0,
                                      .duplicate_sections = 20,
                                      .holiday_sections = 10,
                                      .maps = maps,
                                      .global_maps = 500 / divisor,
                                      .shared_maps = (maps - 500 / divisor) * 9 / 10,
                                      .global_share = 95});
}

} // namespace vorn::test
