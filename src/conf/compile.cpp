// The configuration compiler: an ASCII configuration file becomes a table
// working buffer ready for the binary writer.  The parser reads the file;
// the optimizer then orders the maps and builds the periods and indexes,
// and the listings are written; last comes the format check.
#include "conf/conftool.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "trace/trace.h"

#include <cstring>

namespace vorn {

namespace {

// Until the optimizer is part of the build, the maps stay in file order and
// only what the binary file needs is put in place: the period records of
// the sections and the empty end slot behind the used maps.
void finish_in_file_order(ParseState &ps) {
    table_t *t = ps.table;
    const int periods = t->table_max_period_entries;
    for (int i = 1; i <= periods && i < MAX_PERIODS; ++i) {
        t->table_period[i].period_hour = ps.mpde[i].mpde_hour;
        t->table_period[i].period_minute = ps.mpde[i].mpde_minute;
        t->table_period[i].period_days = ps.mpde[i].mpde_days;
    }
    const int used = t->table_used_map_entries;
    if (used >= 0 && used < WORK_MAP_SLOTS)
        std::memset(table_map_slot(t, static_cast<size_t>(used)), 0, kMapSize);
}

} // namespace

int read_ascii_table15(table_t **table, const char *cfgfile, char *err_str) {
    ParseState ps;
    const int parsed = parse_ascii_config(ps, table, cfgfile, err_str);
    if (parsed != 0)
        return parsed;

    // ---- hand-over to the optimizer and the listings ----
    // Sorting and duplicate removal, period separation and the escape-length
    // index follow here; they may still fail with "Too many entries!" (-4).
    finish_in_file_order(ps);

    // ---- final check ----
    if (!table_format_ok(ps.table)) {
        dbg_printf("\npt->table_format=%s\n", ps.table->table_format);
        dbg_printf("%s\n", "Wrong Table Format (TABLE=TFxx.x)");
        release_period_block(ps);
        return -9;
    }
    release_period_block(ps);
    return 0;
}

} // namespace vorn
