// The self-check: a configuration text compiled through the usual compiler
// from a temporary file of its own, then compared with a table.
#include "conf/self_check.h"

#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "platform/platform.h"
#include "vorn_b32.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace vorn {

namespace {

// A new file in the temporary folder holding the text; empty path when
// none could be made.
std::string write_temporary(const std::string &text) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = platform::temp_folder();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "/vorn-self-check-%lu-%u.cfg",
                      static_cast<unsigned long>(platform::process_id()), counter++);
        const std::string path = folder + name;
        if (platform::create_new_file(path.c_str()) != 0)
            continue;
        std::FILE *file = std::fopen(path.c_str(), "wb");
        const bool written =
            file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        const bool closed = file != nullptr && std::fclose(file) == 0;
        if (written && closed)
            return path;
        platform::remove_file(path.c_str());
        return "";
    }
    return "";
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
    const std::string path = write_temporary(text);
    if (path.empty()) {
        out.result = -2;
        out.message = "Cannot Write a temporary file";
        return out;
    }
    ThreadSettings settings;
    CompiledTable compiled;
    char err_str[kErrStrSize] = "";
    out.result = read_ascii_table(&compiled.table, path.c_str(), err_str);
    platform::remove_file(path.c_str());
    if (out.result != 0) {
        out.message.assign(err_str, ::strnlen(err_str, sizeof err_str));
        return out;
    }
    out.differences = compare_records(table, *compiled.table, options);
    return out;
}

} // namespace vorn
