// The language service of `vorn lsp` (include/vorn_tool/api.h): the check of
// a text in memory through a scratch file without a name, the coverage of
// its headings and the fates of its map lines from the compiled table, and
// the key documentation.
#include "conf/check.h"
#include "conf/check_lines.h"
#include "conf/finding_names.h"
#include "conf/key_docs.h"
#include "frame/frame.h"
#include "parser/parse_state.h"
#include "parser/period_block.h"
#include "platform/platform.h"
#include "table/route_rule.h"
#include "vorn_b32.h"
#include "vorn_tool/api.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <strings.h>

namespace vorn::api {

namespace {

Severity severity_of(vorn::Severity s) {
    return s == vorn::Severity::Error  ? Severity::Error
           : s == vorn::Severity::Note ? Severity::Note
                                       : Severity::Warning;
}

TextFinding finding_of(const Diagnostic &d) {
    TextFinding f;
    f.line = d.line;
    f.column = d.column;
    f.length = d.length;
    f.severity = severity_of(d.severity);
    f.name = d.name == FindingName::None ? "" : finding_info(d.name).name;
    f.text = d.text;
    f.related_line = d.related_line;
    f.fix_column = d.fix_column;
    f.fix_length = d.fix_length;
    f.fix_text = d.fix_text;
    return f;
}

// The heading's start and days as the compiler reads them: the library's
// own period reader on a block of its own.
bool read_heading(const std::string &line, HeadingCoverage &out) {
    LineWords words{};
    if (parse_line(line.c_str(), words) != Error::Ok || words.tokens[0] == nullptr ||
        words.tokens[0][0] != '[')
        return false;
    mpde_t block[kPeriodBlockEntries] = {};
    uint32_t period = 0;
    if (mk_period(words.tokens, block, 0, &period) != Error::Ok || period == 0)
        return false;
    out.hour = block[period].mpde_hour;
    out.minute = block[period].mpde_minute;
    out.days = block[period].mpde_days;
    return true;
}

// The record of the compiled table with this start and these days; 0 none.
int period_record(const table_t &table, const HeadingCoverage &h) {
    const int periods = period_count(table);
    for (int k = 1; k <= periods; ++k) {
        const map_period_t &p = table.table_period[k];
        if (p.period_hour == h.hour && p.period_minute == h.minute && p.period_days == h.days)
            return k;
    }
    return 0;
}

// The spans of the week (and a holiday) and the period the routing rule
// gives in each.  The rule's answer changes only where a period of that
// day starts, so it is asked at midnight and at each start.
std::vector<std::pair<CoveredSpan, int>> week_spans(const table_t &table) {
    std::vector<std::pair<CoveredSpan, int>> spans;
    const int periods = period_count(table);
    for (int day = 0; day <= 7; ++day) {
        const int rule_day = day == 7 ? kHolidayDay : day;
        const uint8_t bit = day == 7 ? DAY_HO : static_cast<uint8_t>(1u << day);
        std::vector<int> starts = {0, kMinutesPerDay};
        for (int k = 1; k <= periods; ++k) {
            const map_period_t &p = table.table_period[k];
            const int start = p.period_hour * 60 + p.period_minute;
            if ((p.period_days & bit) != 0 && start < kMinutesPerDay)
                starts.push_back(start);
        }
        std::sort(starts.begin(), starts.end());
        starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
        for (size_t i = 0; i + 1 < starts.size(); ++i) {
            const int period = period_at(table, rule_day, starts[i]);
            if (!spans.empty() && spans.back().first.day == day && spans.back().second == period &&
                spans.back().first.to == starts[i])
                spans.back().first.to = starts[i + 1];
            else
                spans.push_back({{day, starts[i], starts[i + 1]}, period});
        }
    }
    return spans;
}

std::string map_text(const map_t &m) {
    std::string text(m.map_escape, ::strnlen(m.map_escape, sizeof m.map_escape));
    text += "=";
    text.append(m.map_code, ::strnlen(m.map_code, sizeof m.map_code));
    return text;
}

void add_table_answers(const std::string &text, const CheckReport &report, TextCheckResult &out) {
    const table_t *table = report.table.get();
    const std::vector<std::pair<CoveredSpan, int>> week =
        table != nullptr ? week_spans(*table) : std::vector<std::pair<CoveredSpan, int>>{};
    size_t start = 0;
    for (int line = 1; start < text.size(); ++line) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string row = text.substr(start, end - start);
        start = end + 1;
        if (row.find('[') == std::string::npos || line_key(row).role != LineRole::Heading)
            continue;
        HeadingCoverage h;
        h.line = line;
        h.read = read_heading(row, h);
        if (h.read && table != nullptr)
            if (const int period = period_record(*table, h); period != 0)
                for (const auto &[span, owner] : week)
                    if (owner == period)
                        h.covered.push_back(span);
        out.headings.push_back(std::move(h));
    }
    for (const RemovedMap &r : report.removed)
        out.removed.push_back({r.line, r.kept_line, map_text(r.kept)});
}

// MapIn, MapOut, MapAll and CmpMSN lines store maps, and of the call-back
// keys MapCallBackOut and MapCallBackIn; the other call-back keys are
// settings.
bool is_map_row(const std::string &row, const char *word) {
    if (row == "MapCallBack")
        return strncasecmp(word, "MapCallBackOut", 14) == 0 ||
               strncasecmp(word, "MapCallBackIn", 13) == 0;
    return row == "MapIn" || row == "MapOut" || row == "MapAll" || row == "CmpMSN";
}

// The check of an editor's text writes no listing beside its scratch file:
// the thread's listing switch is off while it runs and comes back after.
class NoListings {
  public:
    NoListings() {
        get_optimize_files(&m_saved);
        with_instance_globals([](CInstanceGlobals &g) { g.m_dwOptimizeFiles = 0; });
    }
    ~NoListings() {
        with_instance_globals([this](CInstanceGlobals &g) { g.m_dwOptimizeFiles = m_saved; });
    }
    NoListings(const NoListings &) = delete;
    NoListings &operator=(const NoListings &) = delete;

  private:
    uint32_t m_saved = 0;
};

} // namespace

TextCheckResult check_text(const std::string &text, bool with_table) {
    TextCheckResult out;
    try {
        const NoListings quiet;
        CheckOptions options;
        options.keep_going = true;
        options.keep_table = with_table;
        const CheckReport report = check_source(ConfigSource::from_text(text), options);
        out.result = report.result;
        out.message = report.message;
        out.compiled = report.table != nullptr;
        out.findings.reserve(report.diagnostics.size());
        for (const Diagnostic &d : report.diagnostics)
            out.findings.push_back(finding_of(d));
        if (with_table)
            add_table_answers(text, report, out);
    } catch (const std::bad_alloc &) {
        out = TextCheckResult{};
        out.result = VORN_CONF_NO_MEMORY;
    } catch (...) {
        out = TextCheckResult{};
        out.result = -7;
    }
    return out;
}

LineKey line_key(const std::string &line) {
    LineKey key;
    check::LineView view;
    view.split(line.c_str(), 1);
    if (view.token(0) == nullptr)
        return key;
    const Diagnostic place = view.at(0, vorn::Severity::Note, "");
    key.column = place.column;
    key.length = place.length;
    if (!view.has_key) {
        key.role = line.find_first_not_of(" \t\r\n") == std::string::npos ? LineRole::Blank
                                                                          : LineRole::Comment;
        return key;
    }
    key.row = view.row != nullptr ? view.row : "";
    if (key.row.empty())
        key.role = LineRole::Unknown;
    else if (key.row == "[")
        key.role = LineRole::Heading;
    else if (is_map_row(key.row, view.token(0)))
        key.role = LineRole::Map;
    else
        key.role = LineRole::Setting;
    return key;
}

std::vector<KeyDocumentation> key_documentation() {
    std::vector<KeyDocumentation> rows;
    for (const KeyDoc &d : key_docs())
        rows.push_back({d.key, d.form, d.summary, d.range});
    return rows;
}

bool documentation_of(const std::string &word, KeyDocumentation &out) {
    const KeyDoc *d = key_doc_of(word.c_str(), static_cast<unsigned>(word.size()));
    if (d == nullptr)
        return false;
    out = {d->key, d->form, d->summary, d->range};
    return true;
}

std::vector<std::string> service_word_list() {
    return {service_words().begin(), service_words().end()};
}

std::vector<std::string> day_name_list() {
    return {day_names().begin(), day_names().end()};
}

} // namespace vorn::api
