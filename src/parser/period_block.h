// The period definition block of a parse: one 17-byte record per period
// section of the configuration file.  The parser fills it from the period
// lines; the optimizer renumbers, separates and joins the periods with it.
#pragma once

#include "frame/error.h"

#include <cstddef>
#include <cstdint>

namespace vorn {

// Entry 0 stands for the time-independent maps, entries 1 to 63 for the
// period sections of the file.
inline constexpr int kPeriodBlockEntries = 64;
// first/last map of an entry without maps.
inline constexpr uint32_t kNoMap = 0xFFFFFFFFu;
// Sort key of entry 0, which sorts before every period.
inline constexpr uint16_t kGlobalPeriodKey = 0x100;

#pragma pack(push, 1)
struct mpde_t {
    uint8_t mpde_hour;
    uint8_t mpde_minute;
    uint8_t mpde_days;       // day mask as period_days; 0 = entry free
    uint16_t mpde_sort_key;  // day mask, or kGlobalPeriodKey for entry 0
    uint32_t mpde_first_map; // index of the first map of the section, or kNoMap
    uint32_t mpde_last_map;  // index of its last map, or kNoMap
    uint32_t mpde_unused;
};
#pragma pack(pop)

static_assert(sizeof(mpde_t) == 17);
static_assert(offsetof(mpde_t, mpde_hour) == 0);
static_assert(offsetof(mpde_t, mpde_minute) == 1);
static_assert(offsetof(mpde_t, mpde_days) == 2);
static_assert(offsetof(mpde_t, mpde_sort_key) == 3);
static_assert(offsetof(mpde_t, mpde_first_map) == 5);
static_assert(offsetof(mpde_t, mpde_last_map) == 9);
static_assert(offsetof(mpde_t, mpde_unused) == 13);

inline constexpr size_t kPeriodBlockSize = kPeriodBlockEntries * sizeof(mpde_t); // 1088
static_assert(kPeriodBlockSize == 1088);

// Handles one period line (tokens from parse_line, token 0 begins with
// "[").  map_count is the number of maps stored so far; *period receives
// the entry that the following map lines belong to.
// Returns Ok, BadPeriod (invalid time or day) or NoFreePeriod.
Error mk_period(char **tokens, mpde_t *block, uint32_t map_count, uint32_t *period);

} // namespace vorn
