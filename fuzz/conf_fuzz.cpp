// Configuration text of any content through mkconf, as a host would hand
// it over.  Whatever the text, the call returns one of the conversion
// results, releases every block it obtained, leaves no table registered,
// and a table it writes is exactly head plus used maps plus the end slot.
//
// The first byte chooses whether a TABLE line goes in front, so that most
// inputs get past the format pre-scan; short inputs are padded to the
// 200 bytes below which a file is not read.
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "table/table.h"
#include "vorn_b32.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void require(bool ok) {
    if (!ok)
        std::abort();
}

bool known_result(int r) {
    switch (r) {
    case VORN_CONF_OK:
    case VORN_CONF_WARNING:
    case VORN_CONF_CANNOT_READ:
    case VORN_CONF_CANNOT_WRITE:
    case VORN_CONF_NO_MEMORY:
    case VORN_CONF_WRONG_FORMAT:
    case VORN_CONF_WRONG_VALUE:
    case VORN_CONF_SYNTAX_ERROR:
    case VORN_CONF_TOO_MANY:
        return true;
    default:
        return false;
    }
}

void check_written_table(const char *path) {
    std::FILE *f = std::fopen(path, "rb");
    require(f != nullptr);
    vorn::table_t head{};
    const size_t got = std::fread(&head, 1, vorn::kTableHeadSize, f);
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    require(got == vorn::kTableHeadSize);
    const int used = head.table_used_map_entries;
    require(used >= 0 && used <= vorn::MAX_MAP_TABLE_ENTRIES);
    require(static_cast<size_t>(size) == vorn::kTableHeadSize + (used + 1u) * vorn::kMapSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool quiet = (vorn::platform::set_console_quiet(true), true);
    (void)quiet;
    if (size == 0)
        return 0;
    std::string text = (data[0] & 1) != 0 ? "TABLE=TF01.5\n" : "";
    text.append(reinterpret_cast<const char *>(data + 1), size - 1);
    while (text.size() < 200)
        text += "\n; padding";

    const char *cfg = "conf_fuzz.cfg";
    const char *bin = "conf_fuzz.bin";
    std::FILE *f = std::fopen(cfg, "wb");
    require(f != nullptr);
    require(std::fwrite(text.data(), 1, text.size(), f) == text.size());
    require(std::fclose(f) == 0);
    std::remove(bin);

    // Every input starts from a process that has not looked for holidays.
    vorn::reset_holiday_file_state_for_tests();
    const uint32_t before = vorn::live_blocks();
    const int r = mkconf(cfg, bin, 1);
    require(known_result(r));
    require(vorn::live_blocks() == before);
    vorn::table_t *registered = nullptr;
    vorn::get_instance_table(&registered);
    require(registered == nullptr);
    if (r == VORN_CONF_OK)
        check_written_table(bin);
    return 0;
}
