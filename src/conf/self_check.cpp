// The self-check: a configuration text compiled in memory through the usual
// compiler stages, then compared with a table.
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

} // namespace

SelfCheckResult self_check(const std::string &text, const table_t &table,
                           const RecordCompareOptions &options) {
    SelfCheckResult out;
    ThreadSettings settings;
    HeldTable compiled;
    char err_str[kErrStrSize] = "";
    out.result = read_ascii_table(compiled.out(), ConfigSource::from_text(text), err_str);
    if (out.result != Error::Ok) {
        out.message.assign(err_str, ::strnlen(err_str, sizeof err_str));
        return out;
    }
    out.differences = compare_records(table, *compiled.get(), options);
    return out;
}

} // namespace vorn
