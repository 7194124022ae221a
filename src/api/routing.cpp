// The tool's routing entries: a table read for `vorn route`, asked through
// the library's routing rule, its maps described as the decompiler and the
// report's routing table describe them.
#include "conf/check.h"
#include "conf/mkconf_driver.h"
#include "logs/input_kinds.h"
#include "platform/platform.h"
#include "report/report.h"
#include "table/owned_table.h"
#include "table/route_rule.h"
#include "vorn_tool/api.h"
#include "writer/field_formatters.h"

#include <cstring>
#include <memory>
#include <string>

namespace vorn::api {

static_assert(kHolidayDay == vorn::kHolidayDay && kMinutesPerDay == vorn::kMinutesPerDay);

// The table and whatever keeps it alive: a table file's own buffer, or the
// check that compiled a configuration.
struct RoutingTable::Held {
    OwnedTable owned;
    std::shared_ptr<const CheckReport> report;
    const table_t *table = nullptr;
};

RoutingTable::RoutingTable() = default;
RoutingTable::~RoutingTable() = default;
RoutingTable::RoutingTable(RoutingTable &&) noexcept = default;
RoutingTable &RoutingTable::operator=(RoutingTable &&) noexcept = default;

namespace {

bool looks_like_config(const char *path) {
    std::string bytes;
    if (!platform::read_whole_file(path, bytes))
        return false;
    return report::likely_kind(bytes, bytes.size()) == logs::InputKind::Config;
}

RouteMap describe(const table_t &table, int slot) {
    RouteMap out;
    if (slot < 0 || slot >= MAX_MAP_TABLE_ENTRIES)
        return out;
    const map_t &m = table.table_map[slot];
    char line[kMapLineSize] = {};
    format_map_line(&table, &m, line, sizeof line);
    out.slot = slot;
    out.line = line;
    out.escape.assign(m.map_escape, ::strnlen(m.map_escape, sizeof m.map_escape));
    out.code = map_code_digits(m);
    out.provider = provider_digits(m);
    out.standard = is_standard_map(m);
    out.period = m.map_period;
    out.heading = m.map_period <= 0 ? "global" : period_heading(&table, m.map_period, false);
    return out;
}

} // namespace

bool RoutingTable::load(const char *path, ConfigCheck &check, std::string &why) {
    auto held = std::make_shared<Held>();
    if (looks_like_config(path)) {
        check = check_config(path, false, true);
        if (check.report == nullptr || check.report->table == nullptr) {
            why = std::string("\"") + path + "\" does not compile (" +
                  mkconf_result_words(check.result) + ")";
            return false;
        }
        held->report = check.report;
        held->table = check.report->table.get();
    } else {
        held->owned = read_owned_table(path);
        if (held->owned == nullptr) {
            why = std::string("\"") + path + "\" is neither a binary table nor a configuration";
            return false;
        }
        held->table = held->owned.get();
    }
    m_held = std::move(held);
    return true;
}

int RoutingTable::period_count() const {
    return vorn::period_count(*m_held->table);
}

int RoutingTable::period_at(int day, int minute) const {
    return vorn::period_at(*m_held->table, day, minute);
}

bool RoutingTable::is_holiday(int day, int month) const {
    return vorn::is_holiday(*m_held->table, day, month);
}

std::string RoutingTable::period_heading(int period) const {
    return period <= 0 ? "global"
                       : vorn::period_heading(m_held->table, static_cast<unsigned>(period), false);
}

Route RoutingTable::route(const Call &call) const {
    const table_t &table = *m_held->table;
    vorn::Call asked;
    asked.number = call.number;
    asked.direction =
        call.direction == CallDirection::In ? vorn::CallDirection::In : vorn::CallDirection::Out;
    asked.service = call.service == CallService::Voice  ? vorn::CallService::Voice
                    : call.service == CallService::Data ? vorn::CallService::Data
                                                        : vorn::CallService::Dtmf;
    asked.day = call.day;
    asked.minute = call.minute;
    const vorn::Route found = route_call(table, asked);
    Route out;
    out.period = found.period;
    out.heading = period_heading(found.period);
    out.chosen = describe(table, found.chosen);
    out.result = found.result;
    for (const vorn::PassedMap &p : found.passed)
        out.passed.push_back({describe(table, p.index), passed_by_text(p.why)});
    return out;
}

} // namespace vorn::api
