#include "support/config_generator.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

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

// The parts joined in the order written.  The operands of + and the
// arguments of a call may be evaluated in any order, which would make the
// draws of the generator, and so the text, depend on the compiler; the
// elements of a braced list are evaluated one after the other.
std::string cat(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string &part : parts)
        text += part;
    return text;
}

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

std::string pick(Random &rng, std::initializer_list<const char *> words) {
    const unsigned i = rng.below(static_cast<unsigned>(words.size()));
    return *(words.begin() + i);
}

std::string number(unsigned value) {
    return std::to_string(value);
}

std::string duration(Random &rng) {
    char text[24];
    const unsigned v[] = {rng.below(200), rng.below(60), rng.below(60)};
    std::snprintf(text, sizeof text, "%u:%02u:%02u", v[0], v[1], v[2]);
    return text;
}

std::string letters(Random &rng, unsigned length) {
    std::string text;
    for (unsigned i = 0; i < length; ++i)
        text += static_cast<char>('A' + rng.below(26));
    return text;
}

// Each line is written in the form the configuration writer uses, and only
// with values that the table keeps.  Rules the format imposes:
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
std::string settings_lines(Random &rng, bool optimize) {
    std::string t;
    auto maybe = [&rng](unsigned percent) { return rng.chance(percent); };
    t += "COMMENT=generated settings " + rng.digits(4) + "\n";
    if (maybe(70))
        t += "PABXName=Exchange " + letters(rng, 1 + rng.below(20)) + "\n";
    if (maybe(70)) {
        const bool pmp = rng.chance(50);
        t += cat({"ProtExt=", pick(rng, {"DSS1", "1TR6", "AUTO"}), " ",
                  pmp ? pick(rng, {"PMP", "AUTO"}) : pick(rng, {"PP", "AUTO"}), "\n"});
        t += cat({"ProtInt=", pick(rng, {"DSS1", "1TR6", "BILING", "AUTO"}), " ",
                  pmp ? pick(rng, {"PMP", "AUTO"}) : pick(rng, {"PP", "AUTO"}), "\n"});
    }
    if (maybe(50))
        t += "S2M_L1Mode=" + pick(rng, {"AUTO", "CRC4", "DOUBLEFRAME"}) + "\n";
    if (maybe(50))
        t += "Ctrl2=" + pick(rng, {"ASSOCIATE", "ESCAPE"}) + "\n";
    if (maybe(50)) {
        t += "FreeTone=";
        if (rng.chance(30)) {
            t += "NORMAL";
        } else {
            const unsigned steps = 1 + rng.below(10);
            for (unsigned i = 0; i < steps; ++i)
                t += number(100 * (1 + rng.below(254))) + " ";
        }
        t += "\n";
    }
    if (maybe(60)) {
        t += "OPTIONS=";
        for (const char *word : {"SPECIALSIN", "AOCTRANSPARENCY", "AOCSTRANSPARENCY", "AUTODOWN",
                                 "DEACTTRANSPARENCY", "LOGEPICERR", "SIGNALINGNOCARRIER",
                                 "FSKSIGNAL", "LOGCDR", "NOBOOTALARM", "NOAUTOACTL2", "RLICOUNT",
                                 "NOSETUPREPEAT", "IGNORESTATUSMESSAGE", "SENDDTE", "SAVETEI"})
            if (rng.chance(30))
                t += std::string(word) + " ";
        t += "\n";
    }
    for (unsigned n = rng.below(4); n > 0; --n)
        t += cat({"Controller", number(rng.below(16)), "=", letters(rng, 1), "\n"});
    if (maybe(70))
        t += "CountryCode=" + (rng.chance(20) ? std::string("351") : number(1 + rng.below(255))) +
             "\n";
    if (maybe(70))
        t += cat({"Currency=",
                  pick(rng, {"AOCU", "AOCC", "CH", "NL", "I", "F", "AOCUD", "AOCCD", "E", "E2", "P",
                             "G"}),
                  " ", number(rng.below(65536)), " ", number(1 + rng.below(65535)), " ",
                  letters(rng, 1 + rng.below(9)), "\n"});

    if (maybe(60))
        t += "NMSPollInterval=" + duration(rng) + "\n";
    if (maybe(60))
        t += "NMSPollNumber=" + rng.digits(1 + rng.below(19)) + "\n";
    if (maybe(60)) {
        t += "NMSPollCLI=";
        if (rng.chance(30)) {
            t += "SERIAL";
        } else {
            const bool max = rng.chance(50);
            for (const char *word : {"SERIAL", "CGS", "CDS", "CGPN", "BINAER"})
                if (rng.chance(40))
                    t += std::string(word) + " ";
            if (max)
                t += "MAX" + number(1 + rng.below(255)) + " ";
            if (rng.chance(70))
                t += rng.digits(1 + rng.below(max ? 17 : 18));
        }
        t += "\n";
    }
    if (maybe(60))
        t += "EmergencyNumber=" + rng.digits(1 + rng.below(19)) + "\n";
    if (maybe(60))
        t += "EmergencyPause=" + duration(rng) + "\n";
    if (maybe(40))
        t += "NMSCDRInterval=" + duration(rng) + "\n";

    if (maybe(60))
        t += "RemotePassword=" + letters(rng, 1 + rng.below(19)) + "\n";
    for (unsigned n = rng.below(4); n > 0; --n)
        t += "RemoteOrigination=" + rng.digits(1 + rng.below(19)) + "\n";
    if (maybe(60)) {
        const std::string code = "#" + rng.digits(1 + rng.below(6));
        t += "RemoteCode=" + code + "\n";
        for (unsigned n = rng.below(5); n > 0; --n)
            t += cat({rng.chance(30) ? "MapAll" : "MapIn", rng.digits(2 + rng.below(8)), "=", code,
                      rng.chance(50) ? "*" : "", " DATA\n"});
    }
    if (maybe(50))
        t += "OwnMSN=" + rng.digits(1 + rng.below(19)) + "\n";
    if (maybe(50))
        t += "DropMSN=" + rng.digits(1 + rng.below(19)) + "\n";
    if (optimize)
        for (unsigned n = rng.below(4); n > 0; --n)
            t += cat({"CmpMSN=", rng.digits(1 + rng.below(12)), " ", pick(rng, {"I", "R", ""}),
                      rng.digits(1 + rng.below(10)), "\n"});

    for (unsigned n = rng.below(6); n > 0; --n)
        t += cat({"Holiday=", number(1 + rng.below(28)), ".", number(1 + rng.below(12)), "\n"});

    bool redirect = false;
    for (unsigned n = rng.below(5); n > 0; --n) {
        if (rng.chance(25)) {
            t += cat({"Restrict", rng.digits(1 + rng.below(8)), "=", rng.digits(1 + rng.below(8))});
        } else {
            redirect = true;
            t += cat({"Redirect", pick(rng, {"1", "2", "3", "5"}), rng.digits(1 + rng.below(8)),
                      "=", rng.digits(2 + rng.below(8))});
        }
        if (rng.chance(40))
            t += cat({" ", number(1 + rng.below(16))});
        t += "\n";
    }
    if (redirect && maybe(60)) {
        char cause[24];
        const unsigned v[] = {0x80 + rng.below(128), 0x80 + rng.below(128)};
        std::snprintf(cause, sizeof cause, "%02x %02x", v[0], v[1]);
        t += std::string("NoRedirectCause=") + cause + "\n";
    }
    if (redirect && maybe(60))
        t += cat({"AlternativeLimit=", number(1 + rng.below(60)), " ",
                  pick(rng, {"HOURLY", "DAILY"}), rng.chance(50) ? " ALARM" : "", "\n"});

    for (const char *key : {"WaitAlert", "WaitDial", "WaitDtmf", "WaitBreak", "WaitDisc"})
        if (maybe(40))
            t += std::string("MapCallBack") + key + "=" + number(rng.below(256)) + "\n";
    if (maybe(40))
        t += "MapCallBackArea=" + rng.digits(2) + "\n";
    if (maybe(40))
        t += "MapCallBackCallEnd=" + pick(rng, {"#", "*", "#*", "99"}) + "\n";
    for (unsigned p = 1; p <= 3; ++p) {
        const std::string n = number(p);
        if (maybe(40))
            t += "MapCallBackDialFirst" + n + "=" + rng.digits(1 + rng.below(5)) + "\n";
        if (maybe(40))
            t += "MapCallBackDialEnd" + n + "=" + pick(rng, {"#", "*", "0"}) + "\n";
        if (maybe(50)) {
            t += "MapCallBackPin" + n + "=" + rng.digits(1 + rng.below(19));
            for (unsigned more = rng.below(4); more > 0; --more) {
                t += ",";
                t += rng.digits(1 + rng.below(19));
            }
            t += "\n";
        }
        if (maybe(40))
            t += "MapCallBackArea" + n + "=" + rng.digits(1 + rng.below(2)) + "\n";
        if (maybe(40))
            t += "MapCallBackToUSA" + n + "=" + number(rng.below(2)) + "\n";
        if (maybe(40))
            t += "MapCallBackBusy" + n + "=" + number(rng.below(2)) + "\n";
    }
    for (const char *key : {"DTMFWaitDtmf", "DTMFWaitDial", "DTMFCount"})
        if (maybe(40))
            t += std::string(key) + "=" + number(rng.below(256)) + "\n";
    if (maybe(40))
        t += "DTMFDialEnd=" + pick(rng, {"#", "*", "#*", "00"}) + "\n";
    for (unsigned s = 0; s < 2; ++s)
        if (maybe(40))
            t += cat({"Subscriber0", number(s), "=CHINC[", number(1 + rng.below(30)), ",",
                      number(1 + rng.below(30)), "] CHSTART[", number(1 + rng.below(30)), ",",
                      pick(rng, {"LIN", "CYC", "INV", "ANY"}), "]\n"});
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
        t += settings_lines(settings_rng, knobs.optimize);
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
    while (t.size() < 200)
        t += "; padding of a short configuration\n";
    return config;
}

GeneratedConfig largest_config(unsigned scale_divisor) {
    // 63 sections, 20 of them repeating another (joined) so that the ten
    // holiday-and-weekday sections find records for their weekday halves;
    // nine of ten section lines repeat a time-independent line, which the
    // optimizer removes, so that the table ends within its 1,570 maps.
    ConfigKnobs knobs;
    const unsigned divisor = scale_divisor == 0 ? 1 : scale_divisor;
    knobs.sections = 63;
    knobs.empty_sections = 0;
    knobs.duplicate_sections = 20;
    knobs.holiday_sections = 10;
    knobs.maps = 5070 / divisor;
    knobs.global_maps = 500 / divisor;
    knobs.shared_maps = (knobs.maps - knobs.global_maps) * 9 / 10;
    knobs.global_share = 95;
    knobs.standard_maps = true;
    return generate_config(20261206, knobs);
}

} // namespace vorn::test
