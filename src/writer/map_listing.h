// The output step of a compilation: the map listing (.map) that shows every
// map of the finished table with its index data, period and charge, and a
// legend of its columns.  It also builds the escape-length index, which the
// listing prints, so it runs whether or not a listing was asked for.
#pragma once

#include "table/table.h"

#include <cstdio>

namespace vorn {

// After optimization: writes the listing's head (tool, version, date, the
// period lines, the map count and the too-many warning), builds the index
// with index_map (its entries go to the listing), lists the maps and writes
// the legend.  `mfp` is the open .map file or nullptr when listings are off
// (then only the index is built and the maps are traced).  The caller owns
// the file: it closes it and checks that every write went through.
void write_map_listing(table_t *table, std::FILE *mfp);

} // namespace vorn
