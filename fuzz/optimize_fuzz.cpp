// Feeds the optimizer any arrangement of period sections and maps, laid out
// as the parser leaves them (period lines through mk_period, maps in file
// order), and checks what it makes of them: it ends, stays within the
// working buffer, and every map it keeps names the period record of the
// section it came from (or the weekday half of it), with no record unused.
//
// Input: byte 0 the number of sections (0..63), byte 1 bit 0 Optimize Off,
// then three bytes per section (hour, minute, days), then six bytes per map
// (escape length, two escape seeds, code, mode, section).  Escapes use the
// digits 0 to 2 only, so that equal escapes are common.
#include "frame/frame.h"
#include "optimize/optimize.h"
#include "parser/parse_state.h"
#include "parser/period_block.h"
#include "table/table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace vorn;

struct Origin {
    char escape[13];
    char code[20];
    uint8_t mode;
    uint8_t hour, minute, days; // of the entry its section line made
    bool global;
};

void check(bool condition) {
    if (!condition)
        std::abort();
}

// The record a map may name when it came from `o`.
bool record_fits(const Origin &o, const map_period_t &r) {
    if (r.period_hour != o.hour || r.period_minute != o.minute)
        return false;
    if (r.period_days == o.days)
        return true;
    const bool split = (o.days & DAY_HO) && (o.days & 0x7F);
    return split && (r.period_days == DAY_HO || r.period_days == (o.days & 0x7F));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    const unsigned sections = data[0] % kPeriodBlockEntries;
    const bool optimize_off = data[1] & 1;
    size_t at = 2;

    std::vector<uint8_t> buffer(kWorkBufferSize);
    auto *table = reinterpret_cast<table_t *>(buffer.data());
    init_fresh_table(table);
    fill_work_area(table);
    set_instance_table(table);
    std::vector<mpde_t> block(kPeriodBlockEntries);

    struct Section {
        uint8_t hour, minute, days;
    };
    std::vector<Section> heads;
    for (unsigned s = 0; s < sections && at + 3 <= size; ++s, at += 3)
        heads.push_back({data[at], data[at + 1], data[at + 2]});

    // Maps grouped by section, in input order within each.
    struct Raw {
        const uint8_t *bytes;
        unsigned group;
    };
    std::vector<Raw> raws;
    for (; at + 6 <= size && raws.size() < static_cast<size_t>(MAX_WORK_MAP_ENTRIES); at += 6)
        raws.push_back({data + at, data[at + 5] % static_cast<unsigned>(heads.size() + 1)});

    std::vector<Origin> origins;
    uint32_t map_count = 0, current = 0;
    LineWords words;
    for (unsigned g = 0; g <= heads.size(); ++g) {
        if (g > 0) {
            const Section &h = heads[g - 1];
            char line[40];
            char bits[9];
            for (int b = 0; b < 8; ++b)
                bits[b] = (h.days & (0x80 >> b)) ? '1' : '0';
            bits[8] = 0;
            std::snprintf(line, sizeof line, "[%u.%u] %s", h.hour, h.minute, bits);
            check(parse_line(line, words) == 0);
            check(mk_period(words.tokens, block.data(), map_count, &current) == 0);
        }
        for (const Raw &raw : raws) {
            if (raw.group != g)
                continue;
            map_t *m = table_map_slot(table, map_count++);
            std::memset(m, 0, sizeof *m);
            const unsigned length = 1 + raw.bytes[0] % MAX_ESCAPE_LENGTH;
            unsigned seed = raw.bytes[1] * 256u + raw.bytes[2];
            for (unsigned i = 0; i < length; ++i, seed = seed * 1103515245u + 12345u)
                m->map_escape[i] = static_cast<char>('0' + (seed >> 16) % 3);
            std::snprintf(m->map_code, sizeof m->map_code, "%u", raw.bytes[3] % 8);
            m->map_mode = raw.bytes[4];
            m->map_period = static_cast<uint8_t>(current);
            m->map_time = raw.bytes[3] & 0x80 ? 3000 : 0;
            Origin o{};
            std::memcpy(o.escape, m->map_escape, sizeof o.escape);
            std::memcpy(o.code, m->map_code, sizeof o.code);
            o.mode = m->map_mode;
            o.hour = block[current].mpde_hour;
            o.minute = block[current].mpde_minute;
            o.days = block[current].mpde_days;
            o.global = current == 0;
            origins.push_back(o);
        }
    }
    if (map_count > 0)
        block[current].mpde_last_map = map_count - 1;
    table->table_max_period_entries = static_cast<int16_t>(current);
    table->table_used_map_entries = static_cast<int16_t>(map_count);

    ParseState ps;
    ps.table = table;
    ps.mpde = block.data();
    ps.option_byte = optimize_off ? OPT_OPTIMIZE_OFF : 0;
    char err_str[500] = {};
    ListingFile map_listing("mfp");
    const int r = optimize_maps(ps, nullptr, err_str, sizeof err_str, map_listing);
    check(map_listing.file == nullptr);
    if (r == kOptimizeTooManyEntries) {
        check(std::strncmp(err_str, "Too many entries! (+", 20) == 0);
        set_instance_table(nullptr);
        return 0;
    }
    check(r == kOptimizeOk);
    index_map(table, 0, nullptr);

    const int used = table->table_used_map_entries;
    const int max = table->table_max_period_entries;
    check(used >= 0 && used <= MAX_WORK_MAP_ENTRIES && max >= 0 && max < MAX_PERIODS);
    if (!optimize_off)
        check(used <= static_cast<int>(map_count) + static_cast<int>(map_count));
    else
        check(used == static_cast<int>(map_count));
    const auto *end = reinterpret_cast<const uint8_t *>(table_map_slot(table, used));
    for (size_t i = 0; i < sizeof(map_t); ++i)
        check(end[i] == 0);

    std::vector<bool> named(MAX_PERIODS, false);
    for (int i = 0; i < used; ++i) {
        const map_t *m = table_map_slot(table, static_cast<size_t>(i));
        check(m->map_period <= max);
        named[m->map_period] = true;
        bool found = false;
        for (const Origin &o : origins) {
            if (std::strncmp(o.escape, m->map_escape, sizeof o.escape) != 0 ||
                std::strncmp(o.code, m->map_code, sizeof o.code) != 0 || o.mode != m->map_mode)
                continue;
            if (m->map_period == 0
                    ? o.global
                    : !o.global && record_fits(o, table->table_period[m->map_period]))
                found = true;
        }
        check(found);
    }
    for (int p = 1; p <= max; ++p)
        check(named[static_cast<size_t>(p)] && table->table_period[p].period_days != 0);
    for (int p = max + 1; p < MAX_PERIODS; ++p)
        check(table->table_period[p].period_days == 0);
    set_instance_table(nullptr);
    return 0;
}
