// Helpers over the table record that its layout alone does not give: the
// map slots of the working buffer and their charge words, a fresh table's
// initial values, the unused-slot and format tests, the size a table file
// holds, and the bounded copy of a text field that may lack its terminator.
#include "table/table.h"

#include <cstring>

namespace vorn {

uint32_t map_charge_word(const map_t &map) {
    const auto *bytes = reinterpret_cast<const uint8_t *>(&map) + offsetof(map_t, map_charge_start);
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

void set_map_charge_word(map_t &map, uint32_t word) {
    auto *bytes = reinterpret_cast<uint8_t *>(&map) + offsetof(map_t, map_charge_start);
    std::memcpy(bytes, &word, sizeof word);
}

map_t *table_map_slot(table_t *table, size_t index) {
    auto *bytes = reinterpret_cast<uint8_t *>(table);
    return reinterpret_cast<map_t *>(bytes + kTableHeadSize + index * kMapSize);
}

const map_t *table_map_slot(const table_t *table, size_t index) {
    const auto *bytes = reinterpret_cast<const uint8_t *>(table);
    return reinterpret_cast<const map_t *>(bytes + kTableHeadSize + index * kMapSize);
}

void init_fresh_table(table_t *table) {
    auto *bytes = reinterpret_cast<uint8_t *>(table);
    std::memset(bytes, UNUSED_BYTE, kTableSize);
    std::memset(bytes, 0, kTableHeadSize);

    table->table_max_redirect_entries = MAX_REDIRECT;
    table->table_max_callback_providers = MAX_CALLBACK_PROVIDERS;
    table->table_max_map_entries = MAX_MAP_TABLE_ENTRIES;
    table->table_currency.currency_mode = CURRENCY_AOCU;
    table->table_currency.currency_value = 0;
    table->table_currency.currency_div = 1;

    // The only head bytes that start as "not set" rather than 0.
    table->table_nt_l2mode = L2_DEFAULT;
    table->table_te_l2mode = L2_DEFAULT;
    table->table_nt_protocol = PROT_DEFAULT;
    table->table_te_protocol = PROT_DEFAULT;

    mapcb_t &cb = table->table_mapcb;
    cb.mapcb_area[0] = '0';
    cb.mapcb_area[1] = '0';
    cb.mapcb_wait_disc = 0;
    cb.mapcb_wait_alert = 3;
    cb.mapcb_wait_dial = 8;
    cb.mapcb_wait_dtmf = 4;
    cb.mapcb_wait_break = 20;
    for (int p = 0; p < MAX_CALLBACK_PROVIDERS; ++p)
        cb.mapcb_flags[p] = MAPCB_FLAG_TO_USA;

    dtmf_t &dtmf = table->table_dtmf;
    dtmf.dtmf_wait_dial = 5;
    dtmf.dtmf_wait_dtmf = 3;
    dtmf.dtmf_count = 30;
    // Texts (call-back digits, PINs, areas, DTMF end) stay empty: the head
    // was cleared above.
}

void fill_work_area(table_t *table) {
    std::memset(reinterpret_cast<uint8_t *>(table) + kTableSize, UNUSED_BYTE, kWorkAreaSize);
}

bool map_slot_unused(const map_t &map) {
    const auto first = static_cast<uint8_t>(map.map_escape[0]);
    if (first == UNUSED_BYTE)
        return true;
    // A slot whose mode is FFh and equal to the escape's first byte is
    // covered by the test above.
    return map.map_mode == 0 && first == 0;
}

bool table_format_ok(const table_t *table) {
    return table != nullptr &&
           std::memcmp(table->table_format, kDefaultTableFormatText, kTableFormatLength) == 0;
}

size_t used_table_size(const table_t *table) {
    const int used = table->table_used_map_entries;
    if (used < -1)
        return kTableHeadSize;
    return kTableHeadSize + static_cast<size_t>(used + 1) * kMapSize;
}

void copy_field(char *out, const char *field, size_t size) {
    size_t n = 0;
    while (n < size && field[n] != '\0')
        ++n;
    std::memcpy(out, field, n);
    out[n] = '\0';
}

} // namespace vorn
