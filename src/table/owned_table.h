// Owners of a table working buffer: it goes back to the tracked allocator
// (tag "pTable", or "pt" for the parser's) and the thread forgets it when
// its owner ends.
#pragma once

#include "frame/held_block.h"
#include "table/table.h"

#include <memory>

namespace vorn {

// Releases a working buffer with myFree (an empty one only writes myFree's
// trace line) and registers an empty table for the thread.
void release_table(table_t *table);

// A table that may be handed on, released only when there is one.
struct TableRelease {
    void operator()(table_t *table) const { release_table(table); }
};
using OwnedTable = std::unique_ptr<table_t, TableRelease>;

// A working buffer of the parser (tag "pt"), released with myFree, and its
// owner when it is handed on.
void release_parsed_table(table_t *table);
struct ParsedTableRelease {
    void operator()(table_t *table) const { release_parsed_table(table); }
};
using ParsedTable = std::unique_ptr<table_t, ParsedTableRelease>;

// A table held by one conversion to its end; the release runs also when no
// table was read, as the conversion's trace shows it.
using HeldTable = HeldBlock<table_t, release_table>;

} // namespace vorn
