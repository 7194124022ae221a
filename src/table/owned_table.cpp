// The release of a table working buffer shared by its owners.
#include "table/owned_table.h"

#include "frame/frame.h"

namespace vorn {

void release_table(table_t *table) {
    myFree(table, "pTable");
    set_instance_table(nullptr);
}

void release_parsed_table(table_t *table) {
    myFree(table, "pt");
}

} // namespace vorn
