// The mkconf export: a thin C boundary around the conversion driver that
// lets no exception reach the host.
#include "conf/mkconf_driver.h"
#include "vorn_b32.h"

#include <new>

extern "C" int32_t mkconf(const char *cfgfile, const char *binfile, int32_t mode) {
    try {
        return vorn::mkconf_driver(cfgfile, binfile, mode);
    } catch (const std::bad_alloc &) {
        return -17; // alloc error
    } catch (...) {
        return -7; // unknown error
    }
}
