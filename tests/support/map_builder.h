// Builders of map entries and period blocks for the tests of the optimizer:
// maps are written straight into a working buffer, as the parser would leave
// them, and the table is registered for the comparison functions.
#pragma once

#include "parser/period_block.h"
#include "support/table_builder.h"
#include "table/table.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vorn::test {

struct MapSpec {
    std::string escape;
    std::string code;
    uint8_t mode = MAP_OUT | MAP_VOICE | MAP_DATA;
    uint8_t period = 0;
    uint16_t time = 0;
};

// Writes `spec` into slot `index` (all other bytes 0; the escape length set).
void put_map(table_t *table, unsigned index, const MapSpec &spec);

// Writes the maps into slots 0 .. n-1 and sets the used count to n.
void put_maps(table_t *table, std::initializer_list<MapSpec> maps);
void put_maps(table_t *table, const std::vector<MapSpec> &maps);

// The used maps as "escape/code/period" texts, in slot order.
std::vector<std::string> map_texts(const table_t *table);

// Registers a table for the calling thread while it lives (the comparison
// functions read the period records through the registration); the table
// registered before comes back afterwards.
class Registered {
  public:
    explicit Registered(table_t *table);
    ~Registered();
    Registered(const Registered &) = delete;
    Registered &operator=(const Registered &) = delete;

  private:
    table_t *m_previous = nullptr;
};

// A zero-filled period block.
struct PeriodBlock {
    mpde_t entries[kPeriodBlockEntries] = {};
    mpde_t &operator[](unsigned i) { return entries[i]; }
    // Sets entry i as a period line would: start, days, map range.
    void set(unsigned i, uint8_t hour, uint8_t minute, uint8_t days, uint32_t first, uint32_t last);
};

} // namespace vorn::test

namespace vorn::test {

// The structural part of the period rule of a compiled table: every used
// map names a period 0 .. table_max_period_entries, every record 1 .. max
// is in use by a map and has days, and the records behind max are empty.
// Returns "" when it holds, else what is wrong.
std::string period_rule_violation(const table_t *table);

} // namespace vorn::test
