// The map optimizer of the configuration compiler: it orders the map entries
// that the parser left in file order, removes the ones another entry makes
// redundant, renumbers, separates and joins the time periods, and builds the
// escape-length index that the box looks maps up with.
//
// What a caller needs:
//   - optimize_maps(): the whole optimisation phase of one compilation, run
//     by the conf layer between parsing and the output step;
//   - index_map(): the escape-length index and the ranks, after it;
//   - the comparison functions, for whoever must order maps the same way
//     (the writer prints maps in cmp_map_mode order).
// The other functions are the steps of the phase; they are public so that
// the steps can be tested one by one on tables built by hand.
//
// Every function works on a working buffer (kWorkBufferSize bytes): map
// slots run on behind the record up to WORK_MAP_SLOTS.  Counts read from the
// table are clamped to that room, so a damaged count never leads outside it.
// The comparison functions read the period records of the table registered
// for the calling thread (set_instance_table), because a sort hands them
// only the two entries.
#pragma once

#include "optimize/map_origins.h"
#include "parser/parse_state.h"
#include "parser/period_block.h"
#include "platform/output_file.h"
#include "table/table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vorn {

// ---- ordering ---------------------------------------------------------------------

// Each returns a negative number when a sorts before b, 0 when the order of
// the two does not matter, a positive number otherwise.  The arguments are a
// map_t (or, for cmp_period, an mpde_t) each.
int cmp_map_len_holiday(const void *a, const void *b);
int cmp_map_mode(const void *a, const void *b);
int cmp_map_period(const void *a, const void *b);
int cmp_period(const void *a, const void *b);

// Sorts `count` maps from slot `from` with cmp_map_len_holiday,
// cmp_map_mode or cmp_map_period.  Equal maps keep their order, so a table
// comes out the same on every platform and every run.
enum class MapOrder { LenHoliday, Mode, Period };
void sort_maps(table_t *table, unsigned from, unsigned count, MapOrder order,
               MapOrigins *origins = nullptr);

// ---- duplicate removal (one pass and its pieces) -------------------------------------

// Slots from .. to-1 that hold an entry: escape neither empty nor starting
// with "a", and not an unused FFh slot.
int count_maps(const table_t *table, unsigned from, unsigned to);

// Sorts the maps from slot `from` to the used count and clears (40 zero
// bytes) every one that another map makes redundant; each deletion is
// listed in the .del file `dfp` when it is open.  Returns how many it
// cleared.
int opt_duplicates(table_t *table, unsigned from, std::FILE *dfp, MapOrigins *origins = nullptr);

// Sorts `used - from + deleted` slots from `from`, so that cleared slots go
// behind the entries, then makes slot `used` the all-zero end slot and the
// `deleted` slots behind it unused (FFh).  Returns 0.
int sort_and_fill(table_t *table, unsigned from, unsigned used, unsigned deleted,
                  MapOrigins *origins = nullptr);

// One optimisation pass: opt_duplicates, period ranges, new used count,
// sort_and_fill.  Returns the number of entries removed.
int sort_and_delete_map(table_t *table, unsigned from, mpde_t *mpde, std::FILE *dfp,
                        MapOrigins *origins = nullptr);

// ---- periods ------------------------------------------------------------------------

// Sorts the maps by period and derives each period entry's map range from
// them.  Returns the highest period index reached + 1.
int period_index(table_t *table, mpde_t *mpde, MapOrigins *origins = nullptr);

// Orders the period entries, joins equal ones and writes table_period.
// Returns the new number of periods (table_max_period_entries + 1).
int period_join(table_t *table, mpde_t *mpde);

// period_index, period_join and the new period number of every map.
// Returns the result of period_join.
int map_2period_index(table_t *table, mpde_t *mpde, MapOrigins *origins = nullptr);

// map_2period_index; returns how many periods disappeared.
int handle_periods(table_t *table, mpde_t *mpde, MapOrigins *origins = nullptr);

// Splits every period that holds the holiday bit together with weekdays
// into a holiday-only period and a weekday period that receives copies of
// its maps.  Returns the number of maps copied (0 when nothing needed it);
// when the copies would not fit into the working slots, the negative number
// of copies needed, and nothing is copied.  `work` is scratch for the line
// splitter.  When the period records would run out (64 with the global
// one), nothing is copied either: *missing_periods (when given) receives
// how many records were lacking and the result is negative as well.
int period_separation(table_t *table, mpde_t *mpde, LineWords &work,
                      unsigned *missing_periods = nullptr, MapOrigins *origins = nullptr);

// ---- escape-length index ------------------------------------------------------------

// Fills table_map_esclen and the rank of every map from slot f on; with a
// listing file, also writes the index to it.  Returns 0.
int index_map(table_t *table, unsigned f, std::FILE *mfp);

// ---- the optimisation phase -----------------------------------------------------------

// A listing file beside the configuration (.map or .del), with the name
// that the traces give its stream ("mfp", "dfp").
struct ListingFile {
    platform::OutputFile out;
    std::string path;
    const char *name;

    explicit ListingFile(const char *trace_name) : name(trace_name) {}
    ListingFile(const ListingFile &) = delete;
    ListingFile &operator=(const ListingFile &) = delete;

    // The open file; nullptr when listings are off or it could not be made.
    std::FILE *file() const { return out.get(); }
    // Starts the file named by make_fname from `cfgfile` and `extension`;
    // a file that cannot be created stays absent.
    void open(const char *cfgfile, const char *extension);
    // Puts the finished file in place of an older listing; false when one
    // of its writes failed (the older listing then stays).  A listing that
    // is never closed leaves the older one as well.
    bool close();
};

// The optimisation phase of a compilation: escape lengths, listings (when
// the thread asked for them with set_optimize_files), the first sort, and
// then either one renumbering of the periods (Optimize Off) or the passes of
// duplicate removal and period separation until a pass removes nothing.
//
// ps.table, ps.mpde, ps.option_byte and ps.verbose are read; cfgfile names
// the configuration beside which the .map and .del files are created.  On
// success `map_listing` holds the open .map file (none when listings are off
// or it could not be created) for the output step, which writes and closes
// it; the .del file is complete and closed.  On failure err_str (err_size
// bytes) holds the message and both files are closed: TooManyPeriods when
// period separation ran out of working slots or period records
// ("Too many entries! (+n)@"), ListingNotWritten when a write to the .del
// listing or its close failed (the CannotWrite message of the file).
// `origins`, when given, follows every map it moves, copies and deletes.
Error optimize_maps(ParseState &ps, const char *cfgfile, char *err_str, size_t err_size,
                    ListingFile &map_listing, MapOrigins *origins = nullptr);

} // namespace vorn
