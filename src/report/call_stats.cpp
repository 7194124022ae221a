// Gathers the figures of a call page.  The binary records are read with the
// call log's own decoders (numbers, times); the lines of a call list are
// split at the converter's separators and read back in the same terms.
#include "report/call_stats.h"

#include <cstring>
#include <functional>

namespace vorn::report {
namespace {

bool outgoing_address(char first) {
    return first == '8' || first == '6';
}

long units_of(uint16_t value) {
    return value == 0xFFFF ? -1 : value;
}

// "dd.mm.yy-hh:mm:ss" as the box's time; false for any other text.
bool parse_time(std::string_view text, logcall_time_t &t) {
    if (text.size() != 17 || text[2] != '.' || text[5] != '.' || text[8] != '-' ||
        text[11] != ':' || text[14] != ':')
        return false;
    uint8_t *fields[] = {&t.day, &t.month, &t.year, &t.hour, &t.minute, &t.second};
    for (size_t i = 0; i < 6; ++i) {
        const char a = text[i * 3], b = text[i * 3 + 1];
        if (a < '0' || a > '9' || b < '0' || b > '9')
            return false;
        *fields[i] = static_cast<uint8_t>((a - '0') * 10 + (b - '0'));
    }
    return true;
}

// The fields of a line between its ';'.  Lines of the known forms have at
// most 11; the count goes on beyond those kept, so a longer line is told
// apart by its count alone.
struct Fields {
    static constexpr size_t kKept = 11;
    std::string_view at[kKept];
    size_t count = 0;

    size_t size() const { return count; }
    std::string_view operator[](size_t i) const { return at[i]; }
};

Fields split(std::string_view line) {
    Fields fields;
    size_t from = 0;
    auto keep = [&fields](std::string_view field) {
        if (fields.count < Fields::kKept)
            fields.at[fields.count] = field;
        ++fields.count;
    };
    for (size_t at; (at = line.find(';', from)) != std::string_view::npos; from = at + 1)
        keep(line.substr(from, at - from));
    keep(line.substr(from));
    return fields;
}

// A field that holds no number.
constexpr long kNoNumber = -1;

long number_of(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return kNoNumber;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return kNoNumber;
        value = value * 10 + (c - '0');
    }
    return value;
}

const CallTime kUnknown{logcall_time_t{0, 0, 0, kUnknownDay, 0, 0}};

CallTime time_of(std::string_view text) {
    logcall_time_t t{};
    return parse_time(text, t) ? CallTime(t) : kUnknown;
}

// A line of the combined list, behind its arrow: start; end; port; first;
// second; port; address without its first character; status; code;
// subcode; value.
bool add_combined(CallStats &s, bool out, std::string_view rest) {
    if (rest.size() >= 2 && (rest.substr(0, 2) == "  " || rest.substr(0, 2) == "! "))
        rest.remove_prefix(2);
    const auto f = split(rest);
    if (f.size() != 11)
        return false;
    const CallTime start = time_of(f[0]);
    if (!start.known)
        ++s.no_start;
    s.add_call(out, start, time_of(f[1]), f[3], f[4], number_of(f[10]));
    return true;
}

// A line of the separate lists: out "start;end;first;address;status", in
// the same with ";;value", reject "end;first;address;status;code;subcode"
// (a call without start time).
bool add_separate(CallStats &s, std::string_view line) {
    const auto f = split(line);
    if ((f.size() == 5 || f.size() == 7) && time_of(f[1]).known) {
        const bool out = !f[3].empty() && outgoing_address(f[3][0]);
        s.add_call(out, time_of(f[0]), time_of(f[1]), f[2], "",
                   f.size() == 7 ? number_of(f[6]) : kNoNumber);
        return true;
    }
    if (f.size() == 6 && time_of(f[0]).known) {
        ++s.no_start;
        const bool out = !f[2].empty() && outgoing_address(f[2][0]);
        s.add_call(out, kUnknown, time_of(f[0]), f[1], "", -1);
        return true;
    }
    return false;
}

void add_list_line(CallStats &s, std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return;
    if (line.substr(0, 4) == "plc[") {
        if (line.ends_with("> not closed"))
            ++s.not_closed;
        else if (line.ends_with("> saved before "))
            ++s.saved_before;
        else
            ++s.not_read;
        return;
    }
    if (line.find(" not finished (plc[") != std::string_view::npos) {
        ++s.not_finished;
        return;
    }
    const bool arrow = line.substr(0, 2) == "->" || line.substr(0, 2) == "<-";
    if (!(arrow ? add_combined(s, line[0] == '-', line.substr(2)) : add_separate(s, line)))
        ++s.not_read;
}

// A record read ahead of the counting: a finished call has its numbers
// decoded and their slots on the way into the cache while the records
// before it are counted.  With a number per call the slots are spread over
// many megabytes, and a slot fetched only when it is needed costs more
// than all the counting of a call.
struct AheadRecord {
    logcall_t r;
    char first[kLogcallNumberSize];
    char second[kLogcallNumberSize];
};
constexpr size_t kRecordsAhead = 16;

bool finished_call(const logcall_t &r) {
    return (r.plc & kLogcallNotClosed) == 0 && r.status != 0 && r.end.day != kUnknownDay;
}

void read_ahead(CallStats &s, AheadRecord &a) {
    if (!finished_call(a.r))
        return;
    get_logcall_numbers(&a.r, a.first, a.second);
    s.destinations.prefetch(a.first);
    s.extensions.prefetch(a.second);
}

void add_record(CallStats &s, const AheadRecord &a) {
    const logcall_t &r = a.r;
    if (r.plc & kLogcallNotClosed) {
        ++s.not_closed;
    } else if (r.status == 0) {
        ++s.saved_before;
    } else if (r.end.day == kUnknownDay) {
        ++s.not_finished;
    } else {
        if (r.start.day == kUnknownDay)
            ++s.no_start;
        s.add_call(outgoing_address(r.dad[0]), CallTime(r.start), CallTime(r.end), a.first,
                   a.second, units_of(r.value));
    }
}

} // namespace

void PartyTable::prefetch(std::string_view number) const {
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[std::hash<std::string_view>{}(number) & (m_slots.size() - 1)]);
}

PartyFigures &PartyTable::operator[](std::string_view number) {
    if (m_slots.empty() || (m_entries.size() + 1) * 2 > m_slots.size())
        rebuild(m_slots.empty() ? 1024 : m_slots.size() * 2);
    const uint64_t hash = std::hash<std::string_view>{}(number);
    const uint64_t tag = hash >> 32 << 32;
    const size_t mask = m_slots.size() - 1;
    for (size_t at = static_cast<size_t>(hash) & mask;; at = (at + 1) & mask) {
        const uint64_t slot = m_slots[at];
        if (slot == 0) {
            m_entries.push_back({m_bytes.size(), number.size(), {}});
            m_bytes.append(number);
            m_slots[at] = tag | m_entries.size();
            return m_entries.back().figures;
        }
        if ((slot >> 32 << 32) == tag) {
            Entry &e = m_entries[(slot & 0xFFFFFFFFu) - 1];
            if (this->number(e) == number)
                return e.figures;
        }
    }
}

void PartyTable::reserve(size_t numbers, size_t length) {
    m_entries.reserve(numbers);
    m_bytes.reserve(numbers * length);
    size_t slots = 1024;
    while (slots < numbers * 2)
        slots *= 2;
    if (slots > m_slots.size())
        rebuild(slots);
}

void PartyTable::rebuild(size_t count) {
    std::vector<uint64_t, platform::LargeAllocator<uint64_t>> slots(count, 0);
    const size_t mask = slots.size() - 1;
    for (const Entry &e : m_entries) {
        const uint64_t hash = std::hash<std::string_view>{}(number(e));
        size_t at = static_cast<size_t>(hash) & mask;
        while (slots[at] != 0)
            at = (at + 1) & mask;
        slots[at] = hash >> 32 << 32 | static_cast<uint64_t>(&e - m_entries.data() + 1);
    }
    m_slots = std::move(slots);
}

void CallStats::add_call(bool out, const CallTime &start, const CallTime &end,
                         std::string_view destination, std::string_view extension,
                         long call_units) {
    ++calls;
    ++(out ? outgoing : incoming);
    const uint64_t duration = start.known && end.known && end.seconds >= start.seconds
                                  ? static_cast<uint64_t>(end.seconds - start.seconds)
                                  : 0;
    const uint64_t u = call_units < 0 ? 0 : static_cast<uint64_t>(call_units);
    seconds += duration;
    units += u;
    const CallTime &when = start.known ? start : end;
    if (when.known) {
        const long day = when.seconds >= 0 ? when.seconds / 86400 : (when.seconds - 86399) / 86400;
        const long hour = (when.seconds - day * 86400) / 3600;
        hour_day[weekday_of(day)][hour]++;
        per_day[day]++;
    }
    auto add = [&](PartyTable &to, std::string_view who) {
        PartyFigures &p = to[who];
        ++p.calls;
        p.seconds += duration;
        p.units += u;
    };
    if (out && !destination.empty())
        add(destinations, destination);
    if (!extension.empty())
        add(extensions, extension);
}

CallStats stats_of_log(const uint8_t *data, size_t size) {
    CallStats s;
    // Each record names at most one number of each kind, most of them a
    // dozen digits long.
    s.destinations.reserve(size / kLogcallSize, 12);
    s.extensions.reserve(size / kLogcallSize, 12);
    size_t at = 0;
    bool end_mark = false;
    AheadRecord ahead[kRecordsAhead];
    while (!end_mark && at + kLogcallSize <= size) {
        size_t n = 0;
        for (; n < kRecordsAhead && at + kLogcallSize <= size; at += kLogcallSize) {
            std::memcpy(&ahead[n].r, data + at, sizeof ahead[n].r);
            if (ahead[n].r.plc == kLogcallEnd) {
                end_mark = true;
                break;
            }
            read_ahead(s, ahead[n++]);
        }
        for (size_t i = 0; i < n; ++i)
            add_record(s, ahead[i]);
    }
    // Records behind the end mark (a short last one included), or a short
    // tail: the converter does not read them either.
    const size_t rest = size - at - (end_mark ? kLogcallSize : 0);
    s.not_read = (rest + kLogcallSize - 1) / kLogcallSize;
    return s;
}

CallStats stats_of_list(std::string_view text) {
    CallStats s;
    size_t from = 0;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        add_list_line(s, text.substr(from, end - from));
        from = end + 1;
    }
    return s;
}

} // namespace vorn::report
