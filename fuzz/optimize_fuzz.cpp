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
#include "frame/error.h"
#include "frame/frame.h"
#include "fuzz_input.h"
#include "optimize/optimize.h"
#include "parser/parse_state.h"
#include "parser/period_block.h"
#include "table/table.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace vorn;
using fuzz::require;

struct Origin {
    map_t map;                  // as the parser left it
    uint8_t hour, minute, days; // of the entry its section line made
    bool global;
};

// The record a map may name when it came from `o`.
bool record_fits(const Origin &o, const map_period_t &r) {
    if (r.period_hour != o.hour || r.period_minute != o.minute)
        return false;
    if (r.period_days == o.days)
        return true;
    const bool split = (o.days & DAY_HO) && (o.days & 0x7F);
    return split && (r.period_days == DAY_HO || r.period_days == (o.days & 0x7F));
}

// Writes the period entries and maps of the input as the parser would, the
// maps of each section behind its period line; returns where each came from.
std::vector<Origin> lay_out(const uint8_t *data, size_t size, table_t *table,
                            std::vector<mpde_t> &block) {
    const size_t heads = std::min<size_t>(data[0] % kPeriodBlockEntries, (size - 2) / 3);
    const uint8_t *maps = data + 2 + 3 * heads;
    const size_t map_inputs = std::min<size_t>((size - 2 - 3 * heads) / 6, MAX_WORK_MAP_ENTRIES);
    std::vector<Origin> origins;
    uint32_t map_count = 0, current = 0;
    LineWords words;
    for (size_t g = 0; g <= heads; ++g) {
        if (g > 0) {
            const uint8_t *h = data + 2 + 3 * (g - 1);
            char line[40], bits[9] = {};
            for (int b = 0; b < 8; ++b)
                bits[b] = (h[2] & (0x80 >> b)) ? '1' : '0';
            std::snprintf(line, sizeof line, "[%u.%u] %s", h[0], h[1], bits);
            require(parse_line(line, words) == Error::Ok);
            require(mk_period(words.tokens, block.data(), map_count, &current) == Error::Ok);
        }
        for (const uint8_t *raw = maps; raw < maps + 6 * map_inputs; raw += 6) {
            if (raw[5] % (heads + 1) != g)
                continue;
            map_t *m = table_map_slot(table, map_count++);
            std::memset(m, 0, sizeof *m);
            const unsigned length = 1 + raw[0] % MAX_ESCAPE_LENGTH;
            unsigned seed = raw[1] * 256u + raw[2];
            for (unsigned i = 0; i < length; ++i, seed = seed * 1103515245u + 12345u)
                m->map_escape[i] = static_cast<char>('0' + (seed >> 16) % 3);
            std::snprintf(m->map_code, sizeof m->map_code, "%u", raw[3] % 8);
            m->map_mode = raw[4];
            m->map_period = static_cast<uint8_t>(current);
            m->map_time = raw[3] & 0x80 ? 3000 : 0;
            const mpde_t &e = block[current];
            origins.push_back({*m, e.mpde_hour, e.mpde_minute, e.mpde_days, current == 0});
        }
    }
    if (map_count > 0)
        block[current].mpde_last_map = map_count - 1;
    table->table_max_period_entries = static_cast<int16_t>(current);
    table->table_used_map_entries = static_cast<int16_t>(map_count);
    return origins;
}

// Every kept map comes from a line of its period, every record up to the
// highest is named, and those behind it and the end slot are empty.
void check_optimized(const table_t *table, const std::vector<Origin> &origins, bool optimize_off) {
    const int used = table->table_used_map_entries;
    const int max = table->table_max_period_entries;
    const int given = static_cast<int>(origins.size());
    require(used >= 0 && used <= MAX_WORK_MAP_ENTRIES && max >= 0 && max < MAX_PERIODS);
    require(optimize_off ? used == given : used <= given + given);
    const auto *end = reinterpret_cast<const uint8_t *>(table_map_slot(table, used));
    require(std::all_of(end, end + sizeof(map_t), [](uint8_t b) { return b == 0; }));

    std::vector<bool> named(MAX_PERIODS, false);
    for (int i = 0; i < used; ++i) {
        const map_t *m = table_map_slot(table, static_cast<size_t>(i));
        require(m->map_period <= max);
        named[m->map_period] = true;
        require(std::any_of(origins.begin(), origins.end(), [&](const Origin &o) {
            return std::strncmp(o.map.map_escape, m->map_escape, sizeof m->map_escape) == 0 &&
                   std::strncmp(o.map.map_code, m->map_code, sizeof m->map_code) == 0 &&
                   o.map.map_mode == m->map_mode &&
                   (m->map_period == 0
                        ? o.global
                        : !o.global && record_fits(o, table->table_period[m->map_period]));
        }));
    }
    for (int p = 1; p < MAX_PERIODS; ++p)
        require(p <= max ? named[static_cast<size_t>(p)] && table->table_period[p].period_days != 0
                         : table->table_period[p].period_days == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2)
        return 0;
    std::vector<uint8_t> buffer(kWorkBufferSize);
    auto *table = reinterpret_cast<table_t *>(buffer.data());
    init_fresh_table(table);
    fill_work_area(table);
    set_instance_table(table);
    std::vector<mpde_t> block(kPeriodBlockEntries);
    const std::vector<Origin> origins = lay_out(data, size, table, block);

    // The parse state releases a period block of its own; this one is the
    // vector's, so the state lends it only while the optimizer runs.
    struct LentBlock : ParseState {
        ~LentBlock() { mpde = nullptr; }
    } ps;
    ps.table = table;
    ps.mpde = block.data();
    const bool optimize_off = data[1] & 1;
    ps.option_byte = optimize_off ? OPT_OPTIMIZE_OFF : 0;
    char err_str[500] = {};
    ListingFile map_listing("mfp");
    const Error r = optimize_maps(ps, nullptr, err_str, sizeof err_str, map_listing);
    require(map_listing.file() == nullptr);
    if (r == Error::TooManyPeriods) {
        require(std::strncmp(err_str, "Too many entries! (+", 20) == 0);
    } else {
        require(r == Error::Ok);
        index_map(table, 0, nullptr);
        check_optimized(table, origins, optimize_off);
    }
    set_instance_table(nullptr);
    return 0;
}
