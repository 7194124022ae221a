// The optimisation phase of a compilation: between the last configuration
// line and the output step it brings the maps into the box's order, removes
// the redundant ones pass after pass, and settles the periods.  It also opens
// the .map and .del listings when the host asked for them and writes the
// whole .del listing.
#include "frame/error.h"
#include "frame/frame.h"
#include "optimize/optimize.h"
#include "optimize/optimize_detail.h"
#include "platform/platform.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstdint>
#include <cstdio>

namespace vorn {

namespace {

// Source lines that the phase banners name.
constexpr unsigned kLineSortBanner = 1345;
constexpr unsigned kLineOptimizeBanner = 1390;
constexpr unsigned kLinePassBanner = 1423;
// Added to the count of "Too many entries!".
constexpr unsigned kTooManyEntriesBase = 1930;

void banner_row() {
    dbg_printf("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\n");
}

// The traces print a stream by the low 32 bits of its address.
unsigned stream_id(const std::FILE *file) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(file));
}

void write_del_head(std::FILE *dfp) {
    std::fputs("deleted maps:\n", dfp);
    std::fputs("==   : identical\n", dfp);
    std::fputs("==^t : identical except from time period\n", dfp);
    std::fputs("==^c : identical without charge\n", dfp);
    std::fputs("t*   : identical with time independent mapping\n", dfp);
}

// Every map in use gets the length of its escape; the rank bits stay.
void set_escape_lengths(table_t *table) {
    dbg_printf("Laengen der map_escape-Eintraege\n");
    const unsigned used = detail::used_count(table);
    for (unsigned i = 0; i < used; ++i) {
        map_t *map = table_map_slot(table, i);
        if (map->map_escape[0] != 0 && !map_slot_unused(*map))
            set_map_esclen(*map, detail::escape_length(*map));
    }
}

// Passes of duplicate removal with period separation after the first,
// until a pass removes nothing.  Returns the negative result of
// period_separation when it could not separate.
int optimize_passes(ParseState &ps, std::FILE *dfp, unsigned *missing_periods,
                    MapOrigins *origins) {
    table_t *table = ps.table;
    if (ps.verbose)
        platform::console_progress("optimizing (%4u) ...\r", detail::used_count(table));
    if (dfp != nullptr)
        std::fputs("opt  : optimized\n", dfp);
    handle_periods(table, ps.mpde, origins);
    sort_and_delete_map(table, 0, ps.mpde, dfp, origins);

    LineWords work;
    const int separated = period_separation(table, ps.mpde, work, missing_periods, origins);
    if (separated < 0)
        return separated;

    // Each pass that goes on has removed a map and nothing adds maps any
    // more, so the passes end.
    unsigned pass = 2;
    int removed;
    do {
        banner_row();
        dbg_printf("#%u: Sort and optimize %u _____________\n", kLinePassBanner, pass);
        banner_row();
        ++pass;
        if (ps.verbose)
            platform::console_progress("optimizing (%4u) ...\r", detail::used_count(table));
        handle_periods(table, ps.mpde, origins);
        removed = sort_and_delete_map(table, 0, ps.mpde, dfp, origins);
    } while (removed != 0);
    if (ps.verbose)
        platform::console_progress("optimizing (%4u) ...\n", detail::used_count(table));
    return 0;
}

} // namespace

void ListingFile::open(const char *cfgfile, const char *extension) {
    out.discard();
    if (cfgfile == nullptr)
        return;
    path = derived_file_name(cfgfile, extension);
    // A listing named like a FIFO that nobody reads is skipped, not waited on.
    if (out.create(path.c_str(), "w"))
        dbg_printf("open file %s=%x (%s)\n", name, stream_id(file()), path.c_str());
}

bool ListingFile::close() {
    if (!out)
        return true;
    dbg_printf("close file %s=%x (%s)\n", name, stream_id(file()), path.c_str());
    return out.commit();
}

namespace {

// Opens the .map and .del listings when the host asked for them; the .del
// listing starts with the legend of its marks.
void open_listings(const char *cfgfile, ListingFile &map_listing, ListingFile &del_listing) {
    uint32_t listings = 0;
    get_optimize_files(&listings);
    if (listings == 0)
        return;
    dbg_printf("Create *.map and *.del files\n");
    map_listing.open(cfgfile, ".map");
    del_listing.open(cfgfile, ".del");
    if (del_listing.file() != nullptr)
        write_del_head(del_listing.file());
}

// Sorts the maps for the duplicate removal, then removes the redundant
// ones (unless the configuration turned the optimizer off) and settles the
// periods.  Returns 0, or the negative result of a period separation that
// found no room.
int sort_and_optimize(ParseState &ps, std::FILE *dfp, unsigned *missing_periods,
                      MapOrigins *origins) {
    table_t *table = ps.table;
    const unsigned used = detail::used_count(table);
    dbg_printf("Sort %u mappings (cmp_map_len_holiday)\n", used);
    sort_maps(table, 0, used, MapOrder::LenHoliday, origins);
    if (dbg_enabled())
        trace_maps(table, 0);

    banner_row();
    dbg_printf("#%u: ... and optimize _____________\n", kLineOptimizeBanner);
    banner_row();

    if (ps.option_byte & OPT_OPTIMIZE_OFF) {
        handle_periods(table, ps.mpde, origins);
        sort_and_fill(table, 0, detail::used_count(table), 0, origins);
        return 0;
    }
    return optimize_passes(ps, dfp, missing_periods, origins);
}

} // namespace

Error optimize_maps(ParseState &ps, const char *cfgfile, char *err_str, size_t err_size,
                    ListingFile &map_listing, MapOrigins *origins) {
    map_listing.close();
    table_t *table = ps.table;

    banner_row();
    dbg_printf("#%u: Sort and optimize _____________\n", kLineSortBanner);
    banner_row();
    if (ps.verbose)
        platform::console_progress("Sorting (%u) ...\n", detail::used_count(table));

    set_escape_lengths(table);
    ListingFile del_listing("dfp");
    open_listings(cfgfile, map_listing, del_listing);

    unsigned missing_periods = 0;
    const int r = sort_and_optimize(ps, del_listing.file(), &missing_periods, origins);
    if (r < 0) {
        if (missing_periods > 0)
            std::snprintf(err_str, err_size, "%s (+%u periods)@", error_text(Error::TooManyEntries),
                          missing_periods);
        else
            std::snprintf(err_str, err_size, "%s (+%u)@", error_text(Error::TooManyEntries),
                          detail::used_count(table) - r + kTooManyEntriesBase);
        del_listing.close();
        map_listing.close();
        return Error::TooManyPeriods;
    }

    if (!del_listing.close()) {
        map_listing.close();
        std::snprintf(err_str, err_size, "%s",
                      file_error_message(Error::CannotWrite, del_listing.path.c_str()).c_str());
        return Error::ListingNotWritten;
    }
    return Error::Ok;
}

} // namespace vorn
