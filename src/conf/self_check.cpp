// The self-check: a configuration text compiled through the usual compiler
// from a scratch file without a name, then compared with a table.
#include "conf/self_check.h"

#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/output_file.h"
#include "platform/platform.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>

namespace vorn {

namespace {

// A file without a name in the temporary folder holding the text, which
// the parser opens by its path; false when none could be made.
bool write_temporary(const std::string &text, platform::UnnamedFile &file) {
    if (!file.create(platform::temp_folder()))
        return false;
    std::FILE *stream = file.open_stream();
    const bool written =
        stream != nullptr && std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    const bool closed = stream != nullptr && std::fclose(stream) == 0;
    return written && closed;
}

// The thread's listing switch and registered table, put back on every way
// out: the compile must neither write listings nor release a table that
// the caller registered.
struct ThreadSettings {
    static void set_listings(uint32_t value) {
        with_instance_globals([&](CInstanceGlobals &g) { g.m_dwOptimizeFiles = value; });
    }
    uint32_t optimize_files = 0;
    table_t *registered = nullptr;
    ThreadSettings() {
        get_optimize_files(&optimize_files);
        get_instance_table(&registered);
        set_instance_table(nullptr);
        set_listings(0);
    }
    ~ThreadSettings() {
        set_listings(optimize_files);
        set_instance_table(nullptr);
        set_instance_table(registered);
    }
};

struct CompiledTable {
    table_t *table = nullptr;
    ~CompiledTable() { myFree(table, "pTable"); }
};

} // namespace

SelfCheckResult self_check(const std::string &text, const table_t &table,
                           const RecordCompareOptions &options) {
    SelfCheckResult out;
    platform::UnnamedFile file;
    if (!write_temporary(text, file)) {
        out.result = code(ParseResult::CannotRead);
        out.message = "Cannot Write a temporary file in \"" + platform::temp_folder() +
                      "\": " + platform::system_error_text(platform::last_error());
        return out;
    }
    const std::string &path = file.path();
    ThreadSettings settings;
    CompiledTable compiled;
    char err_str[kErrStrSize] = "";
    out.result = read_ascii_table(&compiled.table, path.c_str(), err_str);
    if (out.result != 0) {
        out.message.assign(err_str, ::strnlen(err_str, sizeof err_str));
        return out;
    }
    out.differences = compare_records(table, *compiled.table, options);
    return out;
}

} // namespace vorn
