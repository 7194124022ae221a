#include "support/config_generator.h"

#include <algorithm>
#include <cstdio>

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
        std::snprintf(charge, sizeof charge, " %u.%02u %u/%u", 1 + rng.below(90), rng.below(100),
                      rng.below(4), 1 + rng.below(3));
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
