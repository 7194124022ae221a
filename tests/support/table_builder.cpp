// Builders of configuration texts and readers of captured error lines.
#include "support/table_builder.h"

#include "table/bin_table.h"
#include "table/table.h"

#include <cstdio>
#include <cstring>

namespace vorn::test {

std::string ascii_config(const std::string &lines) {
    std::string text = lines;
    while (text.size() < 200)
        text += "; padding line of the test configuration\n";
    return text;
}

std::string bin_table_image(int maps, const char *format, int used) {
    std::vector<uint8_t> bytes(kWorkBufferSize, 0);
    auto *t = reinterpret_cast<table_t *>(bytes.data());
    init_fresh_table(t);
    fill_work_area(t);
    for (int i = 0; i < maps; ++i) {
        map_t *m = table_map_slot(t, static_cast<size_t>(i));
        std::memset(m, 0, sizeof *m);
        std::snprintf(m->map_escape, sizeof m->map_escape, "0%d", 100 + i);
        std::snprintf(m->map_code, sizeof m->map_code, "0100%d", i);
        m->map_mode = MAP_OUT | MAP_VOICE | MAP_DATA;
        set_map_esclen(*m, static_cast<unsigned>(std::strlen(m->map_escape)));
        m->map_time = static_cast<uint16_t>(600 + i);
    }
    std::snprintf(t->table_format, sizeof t->table_format, "%s", format);
    t->table_used_map_entries = static_cast<int16_t>(used == kUsedAsMaps ? maps : used);
    const size_t size = kTableHeadSize + static_cast<size_t>(maps + 1) * kMapSize;
    if (size <= kTableSize) // the slots behind the file count as FFh
        t->table_crc16 =
            crc16_fill(crc16_update(0, bytes.data() + 2, size - 2), 0xFF, kTableSize - size);
    return std::string(reinterpret_cast<const char *>(bytes.data()), size);
}

std::vector<std::string> error_lines(const TraceCapture &cap) {
    std::vector<std::string> out;
    const std::vector<std::string> all = cap.outputs(), bodies = cap.bodies();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].starts_with("[ERR]"))
            out.push_back(bodies[i]);
    return out;
}

} // namespace vorn::test
