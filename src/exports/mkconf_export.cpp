// The mkconf export: a thin C boundary around the conversion driver that
// lets no exception reach the host.
#include "conf/mkconf_driver.h"
#include "vorn_b32.h"

#include <new>

extern "C" int32_t mkconf(const char *cfgfile, const char *binfile, int32_t mode) {
    try {
        return vorn::mkconf_driver(cfgfile, binfile, mode);
    } catch (const std::bad_alloc &) {
        return VORN_CONF_NO_MEMORY;
    } catch (...) {
        return VORN_CONF_WRITE_FAILED; // the host's answer to any other failure
    }
}
