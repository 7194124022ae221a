// Configuration text of any content through mkconf, as a host would hand
// it over.  Whatever the text, the call returns one of the conversion
// results, releases every block it obtained, leaves no table registered,
// and a table it writes is exactly head plus used maps plus the end slot.
//
// The same text then goes through the tool's check, which reads on past
// failing lines and records every finding; each finding prints, and the
// check too gives back every block.
//
// The first byte chooses whether a TABLE line goes in front, so that most
// inputs get past the format pre-scan; short inputs are padded to the
// 200 bytes below which a file is not read.
#include "conf/check.h"
#include "frame/frame.h"
#include "fuzz_input.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "table/table.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kResults[] = {VORN_CONF_OK,           VORN_CONF_WARNING,      VORN_CONF_CANNOT_READ,
                            VORN_CONF_CANNOT_WRITE, VORN_CONF_NO_MEMORY,    VORN_CONF_WRONG_FORMAT,
                            VORN_CONF_WRONG_VALUE,  VORN_CONF_SYNTAX_ERROR, VORN_CONF_TOO_MANY};

// The size a written table must have, from the used count in its head.
void check_written_table(const std::string &image) {
    fuzz::require(image.size() >= vorn::kTableHeadSize);
    vorn::table_t head{};
    std::memcpy(&head, image.data(), vorn::kTableHeadSize);
    const int used = head.table_used_map_entries;
    fuzz::require(used >= 0 && used <= vorn::MAX_MAP_TABLE_ENTRIES);
    fuzz::require(image.size() == vorn::kTableHeadSize + (used + 1u) * vorn::kMapSize);
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

    const char *cfg = "conf_fuzz.cfg", *bin = "conf_fuzz.bin";
    fuzz::require(fuzz::write_path(cfg, text.data(), text.size()));
    std::remove(bin);

    // Every input starts from a process that has not looked for holidays.
    vorn::reset_holiday_file_state_for_tests();
    const uint32_t before = vorn::live_blocks();
    const int r = mkconf(cfg, bin, 1);
    fuzz::require(std::count(std::begin(kResults), std::end(kResults), r) == 1);
    fuzz::require(vorn::live_blocks() == before);
    vorn::table_t *registered = nullptr;
    vorn::get_instance_table(&registered);
    fuzz::require(registered == nullptr);
    if (r == VORN_CONF_OK)
        check_written_table(fuzz::read_path(bin));

    vorn::reset_holiday_file_state_for_tests();
    {
        const vorn::CheckReport report = vorn::check_config(cfg, {true, false});
        for (const vorn::Diagnostic &d : report.diagnostics)
            fuzz::require(!vorn::format_diagnostic(cfg, text, d).empty());
    }
    fuzz::require(vorn::live_blocks() == before);
    return 0;
}
