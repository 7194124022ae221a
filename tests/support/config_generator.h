// Generated ASCII configurations for tests, fuzz targets and benchmarks:
// one seed and a few knobs give one configuration text, the same on every
// platform, together with what it holds (its period sections and map lines),
// so that a test can check the compiled table against it.
//
// Free of GoogleTest, so that bench and fuzz targets can link it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorn::test {

struct ConfigKnobs {
    unsigned sections = 6;           // period sections (at most 63)
    unsigned empty_sections = 1;     // of them without map lines
    unsigned duplicate_sections = 1; // with the start and days of an earlier one
    unsigned holiday_sections = 1;   // with the holiday bit and weekdays
    unsigned maps = 60;              // map lines in all (the parser takes 5,070)
    unsigned global_maps = 10;       // of them time independent, before any section
    unsigned shared_maps = 10;       // of them repeating an earlier line
    unsigned global_share = 50;      // percent of those that repeat a time-independent one
    bool standard_maps = true;       // false: NOSTANDARDMAPS
    bool optimize = true;            // false: NOOPTIMIZE
    // Random settings of every other key (names, protocols, options,
    // currency, poll, remote access with remote map-ins, MSNs and CmpMSN
    // lines, holidays, redirects and limits, call-back, DTMF, subscribers),
    // in forms that a table keeps: what the writer writes back parses to
    // the same table.
    bool settings = false;
    // With the settings: also the forms whose usual decompiled line does
    // not compile to the same table (an unset protocol side, service words
    // of call-back maps, CmpMSN lines in a section of their own, a CHINC
    // number of 1, empty and quoted currency signs, one cause value, a PIN
    // list apart from the PIN, charges that the usual words drop, minute
    // model after a normal charge, ...), all of them forms the lossless
    // text carries.
    bool lossy_forms = false;
};

struct GeneratedSection {
    uint8_t hour, minute, days;
};

struct GeneratedMap {
    std::string escape;
    std::string code;
    uint8_t direction; // MAP_IN, MAP_OUT or both
    int section;       // index into sections; -1 = time independent
};

struct GeneratedConfig {
    std::string text;
    std::vector<GeneratedSection> sections;
    std::vector<GeneratedMap> maps;
};

GeneratedConfig generate_config(uint64_t seed, const ConfigKnobs &knobs);

// The largest configuration the parser accepts: 5,070 map lines over 63
// period sections, some of them holiday-and-weekday sections, shaped so that
// the optimizer brings it within the table's 1,570 maps.  scale_divisor 10
// gives one tenth of its maps.
GeneratedConfig largest_config(unsigned scale_divisor = 1);

} // namespace vorn::test
