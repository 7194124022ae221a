// Stand-in for the ASCII configuration writer while it is not part of the
// build: it writes nothing and says so, so that mkconf fails visibly.
#include "writer/ascii_writer.h"
#include "trace/trace.h"

#include <cstdio>

namespace vorn {

int write_ascii_table15(table_t * /*table*/, const char *cfgfile, char *err_str) {
    char text[kWriterMessageSize];
    std::snprintf(text, sizeof text,
                  "The configuration writer is not available in this build: \"%s\" was not "
                  "written@",
                  cfgfile != nullptr ? cfgfile : "NULL");
    if (err_str != nullptr)
        std::snprintf(err_str, kWriterMessageSize, "%s", text);
    // mkconf prints nothing for a general writer failure, so say it here.
    dbg_error(text);
    return -1; // a writer failure other than format or file: mkconf returns -7
}

} // namespace vorn
