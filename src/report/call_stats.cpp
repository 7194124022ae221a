// Gathers the figures of a call page.  The binary records are read with the
// call log's own decoders (numbers, times); the lines of a call list are
// split at the converter's separators and read back in the same terms.
#include "report/call_stats.h"

#include <cstring>

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

std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t from = 0;
    for (size_t at; (at = line.find(';', from)) != std::string_view::npos; from = at + 1)
        fields.push_back(line.substr(from, at - from));
    fields.push_back(line.substr(from));
    return fields;
}

long number_of(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return -1;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
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
    s.add_call(out, start, time_of(f[1]), std::string(f[3]), std::string(f[4]), number_of(f[10]));
    return true;
}

// A line of the separate lists: out "start;end;first;address;status", in
// the same with ";;value", reject "end;first;address;status;code;subcode"
// (a call without start time).
bool add_separate(CallStats &s, std::string_view line) {
    const auto f = split(line);
    if ((f.size() == 5 || f.size() == 7) && time_of(f[1]).known) {
        const bool out = !f[3].empty() && outgoing_address(f[3][0]);
        s.add_call(out, time_of(f[0]), time_of(f[1]), std::string(f[2]), "",
                   f.size() == 7 ? number_of(f[6]) : -1);
        return true;
    }
    if (f.size() == 6 && time_of(f[0]).known) {
        ++s.no_start;
        const bool out = !f[2].empty() && outgoing_address(f[2][0]);
        s.add_call(out, kUnknown, time_of(f[0]), std::string(f[1]), "", -1);
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

void add_record(CallStats &s, const logcall_t &r) {
    if (r.plc & kLogcallNotClosed) {
        ++s.not_closed;
    } else if (r.status == 0) {
        ++s.saved_before;
    } else if (r.end.day == kUnknownDay) {
        ++s.not_finished;
    } else {
        char first[kLogcallNumberSize], second[kLogcallNumberSize];
        get_logcall_numbers(&r, first, second);
        if (r.start.day == kUnknownDay)
            ++s.no_start;
        s.add_call(outgoing_address(r.dad[0]), CallTime(r.start), CallTime(r.end), first, second,
                   units_of(r.value));
    }
}

} // namespace

void CallStats::add_call(bool out, const CallTime &start, const CallTime &end,
                         const std::string &destination, const std::string &extension,
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
    auto add = [&](std::unordered_map<std::string, PartyFigures> &to, const std::string &who) {
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
    size_t at = 0;
    bool end_mark = false;
    for (; at + kLogcallSize <= size; at += kLogcallSize) {
        logcall_t r;
        std::memcpy(&r, data + at, sizeof r);
        if (r.plc == kLogcallEnd) {
            end_mark = true;
            break;
        }
        add_record(s, r);
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
