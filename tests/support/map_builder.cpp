#include "support/map_builder.h"

#include "frame/frame.h"

#include <cstdio>
#include <cstring>

namespace vorn::test {

void put_map(table_t *table, unsigned index, const MapSpec &spec) {
    map_t *m = table_map_slot(table, index);
    std::memset(m, 0, sizeof *m);
    std::snprintf(m->map_escape, sizeof m->map_escape, "%s", spec.escape.c_str());
    std::snprintf(m->map_code, sizeof m->map_code, "%s", spec.code.c_str());
    m->map_mode = spec.mode;
    m->map_period = spec.period;
    m->map_time = spec.time;
    set_map_esclen(*m, static_cast<unsigned>(std::strlen(m->map_escape)));
}

void put_maps(table_t *table, const std::vector<MapSpec> &maps) {
    unsigned i = 0;
    for (const MapSpec &spec : maps)
        put_map(table, i++, spec);
    table->table_used_map_entries = static_cast<int16_t>(i);
}

void put_maps(table_t *table, std::initializer_list<MapSpec> maps) {
    put_maps(table, std::vector<MapSpec>(maps));
}

std::vector<std::string> map_texts(const table_t *table) {
    std::vector<std::string> out;
    for (int i = 0; i < table->table_used_map_entries; ++i) {
        const map_t *m = table_map_slot(table, static_cast<size_t>(i));
        out.push_back(std::string(m->map_escape) + "/" + m->map_code + "/" +
                      std::to_string(m->map_period));
    }
    return out;
}

// Registering a table over another releases the other one, so the one
// before is taken off first and put back at the end.
Registered::Registered(table_t *table) {
    get_instance_table(&m_previous);
    set_instance_table(nullptr);
    set_instance_table(table);
}

Registered::~Registered() {
    set_instance_table(nullptr);
    set_instance_table(m_previous);
}

void PeriodBlock::set(unsigned i, uint8_t hour, uint8_t minute, uint8_t days, uint32_t first,
                      uint32_t last) {
    entries[i].mpde_hour = hour;
    entries[i].mpde_minute = minute;
    entries[i].mpde_days = days;
    entries[i].mpde_first_map = first;
    entries[i].mpde_last_map = last;
}

} // namespace vorn::test

namespace vorn::test {

std::string period_rule_violation(const table_t *table) {
    const int max = table->table_max_period_entries;
    if (max < 0 || max >= MAX_PERIODS)
        return "table_max_period_entries " + std::to_string(max);
    std::vector<bool> named(MAX_PERIODS, false);
    for (int i = 0; i < table->table_used_map_entries; ++i) {
        const map_t *m = table_map_slot(table, static_cast<size_t>(i));
        if (m->map_period > max)
            return "map " + std::to_string(i) + " names period " + std::to_string(m->map_period);
        named[m->map_period] = true;
    }
    for (int p = 1; p <= max; ++p) {
        if (!named[static_cast<size_t>(p)])
            return "period " + std::to_string(p) + " has no map";
        if (table->table_period[p].period_days == 0)
            return "period " + std::to_string(p) + " has no days";
    }
    for (int p = max + 1; p < MAX_PERIODS; ++p)
        if (table->table_period[p].period_days != 0)
            return "record " + std::to_string(p) + " behind the last period is not empty";
    return "";
}

} // namespace vorn::test
