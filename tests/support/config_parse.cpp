#include "support/config_parse.h"

#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "support/trace_capture.h"

#include <cstring>
#include <gtest/gtest.h>

namespace vorn::test {

Parsed parse_config_text(const std::string &text) {
    TempDir dir;
    const std::string path = dir.file("box.cfg");
    write_file(path, text);
    reset_holiday_file_state_for_tests();
    const uint32_t before = live_blocks();

    // The parser's own work, before the optimizer reorders the maps.
    Parsed p;
    char err_str[kErrStrSize] = {};
    table_t *table = nullptr;
    ParseState ps;
    p.result = parse_ascii_config(ps, &table, path.c_str(), err_str);
    if (p.result == 0)
        release_period_block(ps);
    p.err_str = err_str;
    if (table != nullptr)
        p.bytes.assign(reinterpret_cast<uint8_t *>(table),
                       reinterpret_cast<uint8_t *>(table) + kWorkBufferSize);
    myFree(table, "pt");
    set_instance_table(nullptr);
    EXPECT_EQ(live_blocks(), before);
    return p;
}

Parsed parse_config(const std::string &lines) {
    return parse_config_text("TABLE=TF01.5\n" + lines);
}

} // namespace vorn::test
