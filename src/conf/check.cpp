// The configuration check (see check.h): runs the library's compile with a
// parse observer and a map origin tracker installed, then turns what they
// saw into records.  The observer notes each line; the tracker follows the
// maps through the optimizer, so that a map line whose every map was
// deleted can name the line whose map it gave way to.
#include "conf/check.h"

#include "conf/check_lines.h"
#include "conf/check_values.h"
#include "conf/mkconf_driver.h"
#include "conf/removed_maps.h"
#include "frame/frame.h"
#include "frame/held_block.h"
#include "optimize/map_origins.h"
#include "parser/parse_observer.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "vorn_b32.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <strings.h>

namespace vorn {

namespace {

using check::LineView;

constexpr uint8_t kDirection = MAP_IN | MAP_OUT;
constexpr uint8_t kServices = MAP_DATA | MAP_VOICE;

// Where the key of a map line stands: all a map line leaves until the
// optimizer has decided the fate of its maps.
struct KeyPlace {
    int column = 0;
    int length = 0;

    Diagnostic at(int line, FindingName name) const {
        Diagnostic d;
        d.line = line;
        d.name = name;
        d.severity = finding_info(name).severity;
        d.column = column;
        d.length = length;
        return d;
    }
};

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
    std::vector<KeyPlace> map_keys; // by line: the key of each map line, for its records
    bool saw_lines = false;
    Error failure = Error::Ok; // the reader's error of the first failing line
    std::string failure_head;

    void before_line(const ParseState &ps) override {
        saw_lines = true;
        if (Diagnostic cut; ps.cut.length != 0 && check::cut_line_warning(ps, cut))
            records.push_back(std::move(cut));
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
            note_without_value();
            return false;
        }
        const size_t first = records.size();
        check::line_warnings(m_view, records);
        check::value_findings(ps.line, m_view, records);
        if (Diagnostic d; check::encoding_finding(ps.line, m_view, d))
            records.push_back(std::move(d));
        const bool faulty =
            std::any_of(records.begin() + static_cast<std::ptrdiff_t>(first), records.end(),
                        [](const Diagnostic &d) { return d.severity == Severity::Error; });
        track_section(ps, faulty);
        track_holiday();
        track_single_value();
        if (const std::string id = check::empty_means_none(m_view); !id.empty())
            m_given[id] = m_view.line;
        return false;
    }

    bool skips_byte_order_mark() const override { return true; }

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
        if (strncasecmp(key, "Map", 3) != 0)
            return false;
        key += 3;
        return strncasecmp(key, "In", 2) == 0 || strncasecmp(key, "Out", 3) == 0 ||
               strncasecmp(key, "All", 3) == 0;
    }

    // The first word of the line as a record's place.
    static KeyPlace key_place(const ParseState &ps) {
        const char *key = first_word(ps.line);
        return {static_cast<int>(key - ps.line) + 1,
                static_cast<int>(std::strcspn(key, " \t=;\r\n"))};
    }

    void note_map_line(int line, KeyPlace place) {
        map_keys.resize(std::max(map_keys.size(), static_cast<size_t>(line) + 1));
        map_keys[static_cast<size_t>(line)] = place;
    }
    void note_map_line(int line, const Diagnostic &place) {
        note_map_line(line, KeyPlace{place.column, place.length});
    }
    void note_failure(const ParseState &ps) {
        const int level = ps.wrong_table_format ? 0 : ps.error_level;
        records.push_back(check::describe_failure(m_view, ps, level));
        if (failure != Error::Ok)
            return;
        failure = ps.wrong_table_format ? Error::WrongTableFormat : line_failed(level);
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
    // A heading with an error of its own draws no second finding for its
    // section: the fault is told once.
    void track_section(const ParseState &ps, bool faulty) {
        if (m_view.token(0)[0] != '[')
            return;
        close_section(ps.map_count, ps.line_number);
        m_section_line = faulty ? 0 : ps.line_number;
        m_section_maps = ps.map_count;
        m_section_place = m_view.at(0, FindingName::EmptyPeriod, "");
    }

    void close_section(uint32_t map_count, int next_heading) {
        if (m_section_line == 0 || map_count != m_section_maps)
            return;
        Diagnostic d = m_section_place;
        d.name = FindingName::EmptyPeriod;
        d.severity = finding_info(d.name).severity;
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
            records.push_back(m_view.at(1, FindingName::HolidayIgnored,
                                        "Holiday line is ignored: the holidays come from the "
                                        "holiday file " +
                                            m_holidays_before));
        else if (!now.empty() && now != m_view.token(1))
            records.push_back(m_view.at(1, FindingName::HolidayIgnored,
                                        "Holiday date is ignored: the holiday file " + now +
                                            " was loaded instead"));
    }

    // A line without a value is passed over.  For a key whose empty value
    // means "none" that is what the line says, unless an earlier line gave
    // the key a value: that value stays.
    void note_without_value() {
        const std::string id = check::empty_means_none(m_view);
        const auto given = id.empty() ? m_given.end() : m_given.find(id);
        if (!id.empty() && given == m_given.end())
            return;
        Diagnostic d = m_view.at(0, FindingName::NoValue, "line has no value and is skipped");
        if (given != m_given.end()) {
            d.text += ": the value of " + line_ref(given->second) + " stays";
            d.related_line = given->second;
        }
        records.push_back(std::move(d));
    }

    // A key that keeps only its last value: the earlier line loses.
    void track_single_value() {
        const std::string id = check::single_value_identity(m_view);
        if (id.empty())
            return;
        auto [it, fresh] = m_single.try_emplace(id, m_view.at(0, FindingName::Overridden, ""));
        if (!fresh) {
            Diagnostic d = it->second;
            d.text = id + " is given again on " + line_ref(m_view.line) + ", which wins";
            d.related_line = m_view.line;
            records.push_back(d);
            it->second = m_view.at(0, FindingName::Overridden, "");
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
            Diagnostic d = map_keys[line].at(static_cast<int>(line), FindingName::StandardMap);
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
    std::map<std::string, int> m_given; // keys whose empty value means none: last line with one
};

// "map is removed ..." and the map it gave way to, built in one string:
// a large file loses thousands of maps to others, and a text made of
// temporaries costs more than following the maps through the optimizer.
std::string removal_text(const MapErasure &e) {
    const bool timeless = std::strncmp(e.mark, "t*", 2) == 0;
    std::string text;
    text.reserve(96);
    text.append(timeless ? "map is removed: " : "map is removed as identical to ");
    if (e.kept >= kStandardMapOrigin) {
        text.append("the standard map ")
            .append(e.kept_map.map_escape,
                    ::strnlen(e.kept_map.map_escape, sizeof e.kept_map.map_escape))
            .append("=")
            .append(e.kept_map.map_code,
                    ::strnlen(e.kept_map.map_code, sizeof e.kept_map.map_code));
    } else {
        char number[16];
        const auto end = std::to_chars(number, number + sizeof number, e.kept).ptr;
        text.append("the map of line ").append(number, end);
    }
    if (timeless)
        text.append(" applies at every time and takes its place");
    return text;
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
        Diagnostic d = (line < obs.map_keys.size() ? obs.map_keys[line] : KeyPlace{})
                           .at(static_cast<int>(line), FindingName::MapShadowed);
        d.text = removal_text(*e);
        d.related_line = e->kept < kStandardMapOrigin ? static_cast<int>(e->kept) : 0;
        out.push_back(std::move(d));
    }
}

// The cause behind a refusal that the library's message leaves open.
std::string refusal_note(Error r, const char *cfgfile, uint64_t size, bool exists,
                         const CheckObserver &obs) {
    if (!exists)
        return "the file does not exist";
    if (size < kMinAsciiFileSize)
        return "a configuration must be at least 200 bytes long";
    if (r == Error::HolidayFile)
        return "the holiday file exists but cannot be opened";
    if (r == Error::CannotRead && !obs.saw_lines)
        return *cfgfile == '\0' || platform::file_readable(cfgfile) == 0
                   ? "no TABLE=TF01.5 line"
                   : "the file cannot be opened";
    if (r == Error::WrongTableFormat && !obs.saw_lines)
        return "the TABLE line names another format than TF01.5";
    return "";
}

// The records by line, those of one line in the order they were made.  The
// parse notes its lines in order and the map fates come by line after them,
// so two sorted runs are merged where they are sorted; anything else (a
// record the end of the parse made for an earlier line) takes the full sort.
void sort_by_line(std::vector<Diagnostic> &records, size_t second_run) {
    const auto by_line = [](const Diagnostic &a, const Diagnostic &b) { return a.line < b.line; };
    const auto middle =
        records.begin() + static_cast<std::ptrdiff_t>(std::min(second_run, records.size()));
    if (std::is_sorted(records.begin(), middle, by_line) &&
        std::is_sorted(middle, records.end(), by_line))
        std::inplace_merge(records.begin(), middle, records.end(), by_line);
    else
        std::stable_sort(records.begin(), records.end(), by_line);
}

} // namespace

int CheckReport::errors() const {
    return static_cast<int>(
        std::count_if(diagnostics.begin(), diagnostics.end(),
                      [](const Diagnostic &d) { return d.severity == Severity::Error; }));
}

int CheckReport::warnings() const {
    return static_cast<int>(
        std::count_if(diagnostics.begin(), diagnostics.end(),
                      [](const Diagnostic &d) { return d.severity == Severity::Warning; }));
}

Diagnostic named_finding(FindingName name, int line, int column, int length, std::string text) {
    Diagnostic d;
    d.line = line;
    d.column = column;
    d.length = length;
    d.name = name;
    d.severity = finding_info(name).severity;
    d.text = std::move(text);
    return d;
}

namespace {

// The check of a source that was read (or not, when `exists` is false):
// `size` is what the compiler measures against its least size and `name`
// what its messages call the configuration.
CheckReport check_read(ConfigSource source, uint64_t size, bool exists, const char *cfgfile,
                       const CheckOptions &options) {
    CheckReport report;
    MapOrigins origins;
    origins.origin.assign(WORK_MAP_SLOTS, kNoOrigin);
    CheckObserver obs(options.keep_going, origins);
    std::vector<char> err(kErrStrSize, '\0');
    HeldBlock<table_t, release_parsed_table> table;
    Error r = Error::CannotRead;
    size_t fates_from = 0; // the records of map fates, behind those of the parse
    report.source = std::move(source);
    if (exists && size >= kMinAsciiFileSize) {
        r = read_ascii_table(table.out(), report.source, err.data(), {&obs, &origins});
        fates_from = obs.records.size();
        if (r == Error::Ok && table.get() != nullptr)
            map_fates(table.get(), origins, obs, obs.records);
        if (r == Error::Ok && table.get() != nullptr && options.keep_table)
            report.removed = removed_map_lines(table.get(), origins);
        if (r == Error::Ok && obs.failure != Error::Ok) { // the parse read on past its failures
            r = obs.failure;
            std::snprintf(err.data(), err.size(), "%s", obs.failure_head.c_str());
        }
    }
    report.note = refusal_note(r, cfgfile, size, exists, obs);
    report.result =
        r == Error::Ok ? 0 : mkconf_ascii_read_failed(r, err.data(), cfgfile ? cfgfile : "");
    report.message.assign(err.data(), ::strnlen(err.data(), err.size()));
    report.diagnostics = std::move(obs.records);
    if (report.result != 0 && report.errors() == 0)
        report.diagnostics.push_back(
            named_finding(FindingName::None, 0, 0, 0,
                          report.note.empty() ? mkconf_result_words(report.result) : report.note));
    sort_by_line(report.diagnostics, fates_from);
    if (check::begins_with_byte_order_mark(report.source.bytes))
        report.diagnostics.insert(report.diagnostics.begin(),
                                  named_finding(FindingName::ByteOrderMark, 1, 1, 0,
                                                "the UTF-8 byte-order mark before the first "
                                                "line is skipped"));
    if (options.keep_table && report.result == 0)
        report.table.reset(table.release());
    else
        table.reset();
    set_instance_table(nullptr);
    return report;
}

} // namespace

CheckReport check_config(const char *cfgfile, const CheckOptions &options) {
    uint64_t size = 0;
    const bool exists = cfgfile != nullptr && platform::file_size(cfgfile, &size);
    return check_read(exists ? ConfigSource::load(cfgfile) : ConfigSource(), size, exists, cfgfile,
                      options);
}

CheckReport check_source(ConfigSource source, const CheckOptions &options) {
    const uint64_t size = source.bytes.size();
    const std::string name = source.origin;
    return check_read(std::move(source), size, true, name.c_str(), options);
}

int write_checked_table(const CheckReport &report, const char *binfile) {
    if (report.table == nullptr || binfile == nullptr)
        return VORN_CONF_CANNOT_WRITE;
    char err[kErrStrSize] = {};
    return mkconf_bin_write_result(write_table_file(report.table.get(), binfile), err, binfile);
}

} // namespace vorn
