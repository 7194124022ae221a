// Where each map of a working buffer came from, kept beside the slots
// while the optimizer sorts, deletes and copies them, so that a check can
// say afterwards which configuration line a deleted map stood for and
// which line's map made it redundant.  A plain compile runs without it; a
// check hands one to the optimizer, which follows every move with it.
#pragma once

#include "table/table.h"

#include <cstdint>
#include <vector>

namespace vorn {

// An origin: the configuration line of a map (1, 2, ...), a standard map
// (kStandardMapOrigin plus its number), or kNoOrigin.
inline constexpr uint32_t kNoOrigin = 0;
inline constexpr uint32_t kStandardMapOrigin = 0x80000000u;

// One map the duplicate removal deleted, and the map it kept instead.
struct MapErasure {
    uint32_t gone;
    uint32_t kept;
    const char *mark; // "==   " identical, "t*   " under a time-independent map
    map_t kept_map;   // as it stood when the other was deleted
    // The deleted map and the start and days of its period at that time
    // (periods are renumbered between passes), for a view of the removed
    // maps by period.
    map_t gone_map;
    map_period_t gone_period;
};

struct MapOrigins {
    const table_t *table = nullptr;   // the buffer followed
    std::vector<uint32_t> origin;     // per slot (WORK_MAP_SLOTS)
    std::vector<MapErasure> erasures; // in the order of the passes

    // Slot `to` now holds a copy of slot `from` (period separation).
    void copied(unsigned from, unsigned to);
    // Slot `gone` is about to be cleared in favour of slot `kept`.
    void erased(unsigned gone, unsigned kept, const char *mark);
};

} // namespace vorn
