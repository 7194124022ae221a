// The configuration compiler: an ASCII configuration file becomes a table
// working buffer ready for the binary writer.  The parser reads the source;
// the optimizer then orders the maps and builds the periods and indexes,
// and the listings are written; last comes the format check.
#include "conf/mkconf_driver.h"
#include "frame/error.h"
#include "frame/frame.h"
#include "optimize/optimize.h"
#include "parser/parser.h"
#include "trace/trace.h"
#include "writer/map_listing.h"

#include <cstdio>

namespace vorn {

Error read_ascii_table15(table_t **table, const ConfigSource &source, char *err_str,
                         const CompileWatchers &watchers) {
    const char *cfgfile = source.origin.c_str();
    ParseState ps;
    ps.verbose = announce_conversion(kCompilerHost);
    ps.observer = watchers.observer;
    const Error parsed = parse_ascii_config(ps, table, source, err_str);
    if (parsed != Error::Ok)
        return parsed;

    // ---- hand-over to the optimizer and the listings ----
    // Sorting and duplicate removal, period separation and join; the .del
    // listing is complete afterwards, the .map listing still open.
    // The period block goes back with `ps` on every way out, also when a
    // sort finds no room for its buffer and throws.
    ListingFile map_listing("mfp");
    const Error optimized =
        optimize_maps(ps, cfgfile, err_str, kErrStrSize, map_listing, watchers.origins);
    if (optimized != Error::Ok)
        return optimized; // TooManyPeriods or ListingNotWritten

    // ---- output step: the .map listing's head, the escape-length index,
    // the map lines and the legend (only the index without a listing) ----
    write_map_listing(ps.table, map_listing.file());
    if (!map_listing.close()) {
        std::snprintf(err_str, kErrStrSize, "%s",
                      file_error_message(Error::CannotWrite, map_listing.path.c_str()).c_str());
        return Error::ListingNotWritten;
    }

    // ---- final check ----
    if (!table_format_ok(ps.table)) {
        dbg_printf("\npt->table_format=%s\n", ps.table->table_format);
        dbg_printf("%s\n", error_text(Error::WrongTableFormat));
        return Error::WrongTableFormat;
    }
    return Error::Ok;
}

} // namespace vorn
