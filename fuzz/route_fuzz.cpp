// Feeds arbitrary bytes as a table record to the routing rule and the
// report's routing table: periods past the count, days with no bit, maps
// that name periods not in use, escapes without terminator, codes that
// are all "|" marks.  Every call must answer with a map the table holds or
// none, and its result must begin with that map's code.
#include "fuzz_input.h"
#include "report/route_table.h"
#include "table/route_rule.h"

#include <algorithm>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vorn;
    auto table = std::make_unique<table_t>();
    std::memset(static_cast<void *>(table.get()), 0xFF, sizeof(table_t));
    std::memcpy(static_cast<void *>(table.get()), data, std::min(size, sizeof(table_t)));

    fuzz::Bytes in{data, size};
    const int used = std::clamp<int>(table->table_used_map_entries, 0, MAX_MAP_TABLE_ENTRIES);
    for (int k = 0; k < 8; ++k) {
        Call call;
        for (int digits = in.byte() % 16; digits > 0; --digits)
            call.number += static_cast<char>('0' + in.byte() % 10);
        call.direction = in.byte() % 2 ? CallDirection::In : CallDirection::Out;
        call.service = static_cast<CallService>(in.byte() % 3);
        call.day = in.byte() % 8;
        call.minute = static_cast<int>(in.bits(2) % kMinutesPerDay);
        const Route r = route_call(*table, call);
        fuzz::require(r.period >= 0 && r.period <= period_count(*table));
        fuzz::require(r.chosen < used);
        if (r.chosen >= 0)
            fuzz::require(r.result.rfind(map_code_digits(table->table_map[r.chosen]), 0) == 0);
    }
    const std::string section = report::routing_section(*table, {});
    fuzz::require(section.find("</section>") != std::string::npos);
    return 0;
}
