// The escape-length index of a compiled table: for every escape length the
// first map of that length, and for every map how many leading characters it
// shares with the next one (its rank).  The box narrows its lookup with both.
#include "optimize/optimize.h"
#include "optimize/optimize_detail.h"
#include "trace/trace.h"

namespace vorn {

int index_map(table_t *table, unsigned f, std::FILE *mfp) {
    if (mfp == nullptr)
        dbg_printf("index_map(pt=%p, firstmapi=%d, mfp=%p)\n", static_cast<void *>(table), f,
                   static_cast<void *>(mfp));
    const unsigned used = detail::used_count(table);

    // A length that no map has points at or behind the last map.
    const int max_index = table->table_max_map_entries - 1;
    const int none = max_index < static_cast<int>(used) ? static_cast<int>(used) : max_index;
    for (int16_t &entry : table->table_map_esclen)
        entry = static_cast<int16_t>(none);

    // Downwards, so that each length ends with its smallest index; the end
    // slot (all zero) gives length 0 the used count.
    for (unsigned i = used + 1; i-- > f;) {
        const unsigned length = map_esclen(*table_map_slot(table, i));
        if (length <= static_cast<unsigned>(MAX_ESCAPE_LENGTH))
            table->table_map_esclen[length] = static_cast<int16_t>(i);
    }

    for (unsigned i = f; i < used; ++i) {
        map_t *map = table_map_slot(table, i);
        const map_t *next = table_map_slot(table, i + 1);
        unsigned length = map_esclen(*map);
        if (length > sizeof map->map_escape)
            length = sizeof map->map_escape;
        unsigned n = 0;
        while (n < length && map->map_escape[n] == next->map_escape[n])
            ++n;
        set_map_rank(*map, n);
    }

    if (mfp != nullptr) {
        dbg_printf("table_map_esclen[0..%d]=\n", MAX_ESCAPE_LENGTH);
        std::fprintf(mfp, ";table_map_esclen[0..%d]=\n;\t", MAX_ESCAPE_LENGTH);
        for (int length = 0; length <= MAX_ESCAPE_LENGTH; ++length) {
            dbg_printf("length=%02d ab index=%02d\n", length, table->table_map_esclen[length]);
            std::fprintf(mfp, "%02d ", table->table_map_esclen[length]);
        }
        dbg_printf("\n");
        std::fputs("\n", mfp);
    }
    dbg_printf("return index_map\n");
    return 0;
}

} // namespace vorn
