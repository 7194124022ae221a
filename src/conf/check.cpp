// The configuration check (see check.h): runs the library's compile with a
// parse observer and a map origin tracker installed, then turns what they
// saw into records.  The observer notes each line; the tracker follows the
// maps through the optimizer, so that a map line whose every map was
// deleted can name the line whose map it gave way to.
#include "conf/check.h"

#include "conf/check_lines.h"
#include "conf/mkconf_driver.h"
#include "frame/frame.h"
#include "optimize/map_origins.h"
#include "parser/parse_observer.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "vorn_b32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <strings.h>

namespace vorn {

namespace {

using check::LineView;

constexpr uint8_t kDirection = MAP_IN | MAP_OUT;
constexpr uint8_t kServices = MAP_DATA | MAP_VOICE;

std::string line_ref(int line) {
    return "line " + std::to_string(line);
}

// Watches the parse: notes failing lines, the places of map lines and the
// lines whose content another line or the parser's rules override.
class CheckObserver final : public ParseObserver {
  public:
    CheckObserver(bool keep_going, MapOrigins &origins)
        : m_keep_going(keep_going), m_origins(origins) {}

    std::vector<Diagnostic> records;
    std::vector<Diagnostic> map_keys; // by line: the key of each map line, for its records
    bool saw_lines = false;
    int failure = 0; // the reader result of the first failing line, 0 none
    std::string failure_head;

    void before_line(const ParseState &ps) override {
        saw_lines = true;
        m_maps_before = ps.map_count;
        m_holidays_before.clear();
        if (strncasecmp(first_word(ps.line), "Holiday", 7) == 0)
            m_holidays_before = holiday_file_read();
    }

    bool after_line(ParseState &ps) override {
        for (uint32_t i = m_maps_before; i < ps.map_count && i < m_origins.origin.size(); ++i)
            m_origins.origin[i] = static_cast<uint32_t>(ps.line_number);
        const bool failed = ps.error_level != CONF_OK || ps.wrong_table_format;
        // Most lines of a large file are map lines that stored their map:
        // their key's place is all they leave here.
        if (!failed && ps.map_count != m_maps_before && plain_map_key(ps.line)) {
            note_map_line(ps.line_number, key_place(ps));
            return false;
        }
        m_view.split(ps.line, ps.line_number);
        if (ps.map_count != m_maps_before)
            note_map_line(ps.line_number, m_view.at(0, Severity::Warning, ""));
        if (failed) {
            note_failure(ps);
            return m_keep_going;
        }
        if (!m_view.has_key)
            return false;
        if (check::skipped_without_value(m_view)) {
            records.push_back(m_view.at(0, Severity::Warning, "line has no value and is skipped"));
            return false;
        }
        check::line_warnings(m_view, records);
        track_section(ps);
        track_holiday();
        track_single_value();
        return false;
    }

    void parse_done(ParseState &ps) override {
        close_section(ps.map_count, 0);
        const unsigned used = static_cast<unsigned>(std::clamp<int>(
            ps.table->table_used_map_entries, 0, static_cast<int>(m_origins.origin.size())));
        for (unsigned i = ps.map_count; i < used; ++i) {
            m_origins.origin[i] = kStandardMapOrigin + (i - ps.map_count);
            note_completion(ps, i);
        }
        m_origins.table = ps.table;
    }

  private:
    static const char *first_word(const char *line) {
        while (*line == ' ' || *line == '\t')
            ++line;
        return line;
    }

    // MapIn, MapOut and MapAll lines lose nothing on the way in; the
    // optimizer decides their fate.
    static bool plain_map_key(const char *line) {
        const char *key = first_word(line);
        return strncasecmp(key, "MapIn", 5) == 0 || strncasecmp(key, "MapOut", 6) == 0 ||
               strncasecmp(key, "MapAll", 6) == 0;
    }

    // The first word of the line as a record's place.
    static Diagnostic key_place(const ParseState &ps) {
        const char *key = first_word(ps.line);
        Diagnostic d;
        d.line = ps.line_number;
        d.column = static_cast<int>(key - ps.line) + 1;
        d.length = static_cast<int>(std::strcspn(key, " \t=;\r\n"));
        return d;
    }

    void note_map_line(int line, Diagnostic place) {
        map_keys.resize(std::max(map_keys.size(), static_cast<size_t>(line) + 1));
        map_keys[static_cast<size_t>(line)] = std::move(place);
    }
    void note_failure(const ParseState &ps) {
        const int level = ps.wrong_table_format ? 0 : ps.error_level;
        records.push_back(check::describe_failure(m_view, ps, level));
        if (failure != 0)
            return;
        failure = ps.wrong_table_format ? -9 : -3 - level;
        if (ps.wrong_table_format)
            return; // the library names no line for it
        char head[kErrStrSize];
        if (std::strlen(ps.upper_line) <= 50)
            std::snprintf(head, sizeof head, "%s %d:@%s@", "Line", ps.line_number, ps.upper_line);
        else
            std::snprintf(head, sizeof head, "%s %d:@%50.50s...@", "Line", ps.line_number,
                          ps.upper_line);
        failure_head = head;
    }

    // A period heading right behind another leaves the first without maps:
    // the second takes over its period record.
    void track_section(const ParseState &ps) {
        if (m_view.token(0)[0] != '[')
            return;
        close_section(ps.map_count, ps.line_number);
        m_section_line = ps.line_number;
        m_section_maps = ps.map_count;
        m_section_place = m_view.at(0, Severity::Warning, "");
    }

    void close_section(uint32_t map_count, int next_heading) {
        if (m_section_line == 0 || map_count != m_section_maps)
            return;
        Diagnostic d = m_section_place;
        d.text = "period section has no maps";
        if (next_heading != 0)
            d.text += ": the heading of " + line_ref(next_heading) + " takes its place";
        d.related_line = next_heading;
        records.push_back(d);
        m_section_line = 0;
    }

    void track_holiday() {
        const char *row = m_view.row;
        if (row == nullptr || std::strcmp(row, "Holiday") != 0)
            return;
        const std::string now = holiday_file_read();
        if (!m_holidays_before.empty())
            records.push_back(m_view.at(1, Severity::Warning,
                                        "Holiday line is ignored: the holidays come from the "
                                        "holiday file " +
                                            m_holidays_before));
        else if (!now.empty() && now != m_view.token(1))
            records.push_back(m_view.at(1, Severity::Warning,
                                        "Holiday date is ignored: the holiday file " + now +
                                            " was loaded instead"));
    }

    // A key that keeps only its last value: the earlier line loses.
    void track_single_value() {
        const std::string id = check::single_value_identity(m_view);
        if (id.empty())
            return;
        auto [it, fresh] = m_single.try_emplace(id, m_view.at(0, Severity::Warning, ""));
        if (!fresh) {
            Diagnostic d = it->second;
            d.text = id + " is given again on " + line_ref(m_view.line) + ", which wins";
            d.related_line = m_view.line;
            records.push_back(d);
            it->second = m_view.at(0, Severity::Warning, "");
        }
    }

    // Standard map `slot` completes the services of a map of the file.
    void note_completion(const ParseState &ps, unsigned slot) {
        const map_t &added = *table_map_slot(ps.table, slot);
        for (uint32_t i = 0; i < ps.map_count; ++i) {
            const map_t &m = *table_map_slot(ps.table, i);
            if (m.map_period != 0 || (m.map_mode & kDirection) != (added.map_mode & kDirection) ||
                strncasecmp(m.map_escape, added.map_escape, sizeof m.map_escape) != 0)
                continue;
            const uint32_t line = m_origins.origin[i];
            if (line >= map_keys.size())
                return;
            const char *service = (added.map_mode & kServices) == MAP_VOICE ? "VOICE" : "DATA";
            Diagnostic d = map_keys[line];
            d.text = std::string("map serves only ") +
                     (std::strcmp(service, "VOICE") == 0 ? "DATA" : "VOICE") +
                     ": the standard map " + added.map_escape + "=" + added.map_code + " " +
                     service + " is added for " + service;
            records.push_back(d);
            return;
        }
    }

    bool m_keep_going;
    MapOrigins &m_origins;
    LineView m_view;
    uint32_t m_maps_before = 0;
    std::string m_holidays_before;
    int m_section_line = 0;
    uint32_t m_section_maps = 0;
    Diagnostic m_section_place;
    std::map<std::string, Diagnostic> m_single;
};

std::string winner_text(const MapErasure &e) {
    if (e.kept >= kStandardMapOrigin)
        return std::string("the standard map ") + e.kept_map.map_escape + "=" + e.kept_map.map_code;
    return "the map of " + line_ref(static_cast<int>(e.kept));
}

// Map lines none of whose maps reached the table, each named once with the
// map it gave way to.
void map_fates(const table_t *table, const MapOrigins &origins, const CheckObserver &obs,
               std::vector<Diagnostic> &out) {
    const unsigned used = static_cast<unsigned>(
        std::clamp<int>(table->table_used_map_entries, 0, static_cast<int>(origins.origin.size())));
    // Origins of file lines are line numbers, below the slot count plus
    // the lines of comments and settings; the vectors grow to the largest.
    std::vector<bool> reached;
    std::vector<const MapErasure *> lost;
    auto grow = [](auto &v, uint32_t index) {
        if (v.size() <= index)
            v.resize(index + 1);
    };
    for (unsigned i = 0; i < used; ++i)
        if (origins.origin[i] != kNoOrigin && origins.origin[i] < kStandardMapOrigin) {
            grow(reached, origins.origin[i]);
            reached[origins.origin[i]] = true;
        }
    for (const MapErasure &e : origins.erasures) {
        if (e.gone == kNoOrigin || e.gone >= kStandardMapOrigin ||
            (e.gone < reached.size() && reached[e.gone]))
            continue;
        grow(lost, e.gone);
        if (lost[e.gone] == nullptr || lost[e.gone]->kept == e.gone)
            lost[e.gone] = &e;
    }
    for (uint32_t line = 0; line < lost.size(); ++line) {
        const MapErasure *e = lost[line];
        if (e == nullptr)
            continue;
        Diagnostic d = line < obs.map_keys.size() ? obs.map_keys[line] : Diagnostic{};
        d.line = static_cast<int>(line);
        d.text = std::strncmp(e->mark, "t*", 2) == 0
                     ? "map is removed: " + winner_text(*e) +
                           " applies at every time and takes its place"
                     : "map is removed as identical to " + winner_text(*e);
        d.related_line = e->kept < kStandardMapOrigin ? static_cast<int>(e->kept) : 0;
        out.push_back(d);
    }
}

// The cause behind a refusal that the library's message leaves open.
std::string refusal_note(int r, const char *cfgfile, uint64_t size, bool exists,
                         const CheckObserver &obs) {
    if (!exists)
        return "the file does not exist";
    if (size < kMinAsciiFileSize)
        return "a configuration must be at least 200 bytes long";
    if (r == -2 && obs.failure == -2)
        return "the holiday file exists but cannot be opened";
    if (r == -2 && !obs.saw_lines)
        return platform::file_readable(cfgfile) == 0 ? "no TABLE=TF01.5 line"
                                                     : "the file cannot be opened";
    if (r == -9 && !obs.saw_lines)
        return "the TABLE line names another format than TF01.5";
    return "";
}

} // namespace

void CheckedTableRelease::operator()(table_t *table) const {
    myFree(table, "pt");
}

int CheckReport::errors() const {
    return static_cast<int>(
        std::count_if(diagnostics.begin(), diagnostics.end(),
                      [](const Diagnostic &d) { return d.severity == Severity::Error; }));
}

int CheckReport::warnings() const {
    return static_cast<int>(diagnostics.size()) - errors();
}

CheckReport check_config(const char *cfgfile, const CheckOptions &options) {
    CheckReport report;
    MapOrigins origins;
    origins.origin.assign(WORK_MAP_SLOTS, kNoOrigin);
    CheckObserver obs(options.keep_going, origins);
    uint64_t size = 0;
    const bool exists = cfgfile != nullptr && platform::file_size(cfgfile, &size);
    std::vector<char> err(kErrStrSize, '\0');
    table_t *table = nullptr;
    int r = -2;
    if (exists && size >= kMinAsciiFileSize) {
        const ScopedParseObserver watching(&obs);
        const ScopedMapOrigins following(&origins);
        r = read_ascii_table(&table, cfgfile, err.data());
        if (r == 0 && table != nullptr)
            map_fates(table, origins, obs, obs.records);
        if (r == 0 && obs.failure != 0) { // the parse read on past its failures
            r = obs.failure;
            std::snprintf(err.data(), err.size(), "%s", obs.failure_head.c_str());
        }
    }
    report.note = refusal_note(r, cfgfile, size, exists, obs);
    report.result = r == 0 ? 0 : mkconf_ascii_read_failed(r, err.data(), cfgfile ? cfgfile : "");
    report.message.assign(err.data(), ::strnlen(err.data(), err.size()));
    report.diagnostics = std::move(obs.records);
    if (report.result != 0 && report.errors() == 0)
        report.diagnostics.push_back(
            {0, 0, 0, Severity::Error,
             report.note.empty() ? mkconf_result_words(report.result) : report.note, 0});
    std::stable_sort(report.diagnostics.begin(), report.diagnostics.end(),
                     [](const Diagnostic &a, const Diagnostic &b) { return a.line < b.line; });
    if (options.keep_table && report.result == 0)
        report.table.reset(table);
    else
        myFree(table, "pt");
    set_instance_table(nullptr);
    return report;
}

int write_checked_table(const CheckReport &report, const char *binfile) {
    if (report.table == nullptr || binfile == nullptr)
        return VORN_CONF_CANNOT_WRITE;
    char err[kErrStrSize] = {};
    return mkconf_bin_write_result(write_hex_file(report.table.get(), binfile), err, binfile);
}

} // namespace vorn
