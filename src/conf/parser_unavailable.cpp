// Stand-in for the ASCII configuration parser while it is not part of the
// build: it converts nothing and says so, so that mkconf fails visibly
// instead of writing an empty table.
#include "conf/conftool.h"

#include <cstdio>

namespace vorn {

int read_ascii_table15(table_t **table, const char *cfgfile, char *err_str) {
    if (table != nullptr)
        *table = nullptr;
    // mkconf prints this text before its own "Cannot Read" line.
    if (err_str != nullptr)
        std::snprintf(err_str, kErrStrSize,
                      "The configuration parser is not available in this build: \"%s\" was not "
                      "converted@",
                      cfgfile != nullptr ? cfgfile : "NULL");
    return -2; // read as "cannot read the file": mkconf returns -11
}

} // namespace vorn
