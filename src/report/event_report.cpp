// The page of an event log: the library's event log converter decodes the
// ring (repairing a damaged header as it does for the text report), and the
// page reads its lines back into events by day and kind.
#include "logs/alarm.h"
#include "logs/call_time.h"
#include "report/markup.h"
#include "report/page.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace vorn::report {
namespace {

struct Event {
    std::string date; // dd.mm.yy
    std::string time;
    std::string pid;
    std::string kind;
    std::string code;
    std::string text;
    long day = 0;
    bool dated = false;
};

// "[dd.mm.yy hh:mm:ss] nnn: PId=p Err=c-code "text" at <address>", as the
// converter writes a valid event; false for any other line.
bool parse_event(const std::string &line, Event &e) {
    if (line.size() < 30 || line[0] != '[' || line[3] != '.' || line[6] != '.' || line[18] != ']')
        return false;
    const size_t pid = line.find("PId=");
    const size_t dash = line.find('-', pid == std::string::npos ? line.size() : pid);
    if (pid == std::string::npos || dash == std::string::npos ||
        line.find("INVALID ENTRY") != std::string::npos)
        return false;
    e.date = line.substr(1, 8);
    e.time = line.substr(10, 8);
    if (e.time[0] == ' ')
        e.time[0] = '0';
    const size_t class_end = dash;
    size_t class_start = class_end;
    while (class_start > pid + 4 && std::isdigit(static_cast<unsigned char>(line[class_start - 1])))
        --class_start;
    e.pid = line.substr(pid + 4, line.find(' ', pid) - pid - 4);
    const std::string err_class = line.substr(class_start, class_end - class_start);
    e.kind = err_class == "0" ? "messages (class 0)" : "errors of class " + err_class;
    size_t code_end = dash + 1;
    while (code_end < line.size() && std::isdigit(static_cast<unsigned char>(line[code_end])))
        ++code_end;
    e.code = err_class + "-" + line.substr(dash + 1, code_end - dash - 1);
    const size_t open = line.find('"'), close = line.rfind('"');
    if (open != std::string::npos && close > open)
        e.text = line.substr(open + 1, close - open - 1);
    const int dd = std::atoi(e.date.substr(0, 2).c_str()),
              mm = std::atoi(e.date.substr(3, 2).c_str()),
              yy = std::atoi(e.date.substr(6, 2).c_str());
    if (dd >= 1 && dd <= 31 && mm >= 1 && mm <= 12) {
        e.dated = true;
        e.day = days_from_civil(yy >= 97 ? 1900 + yy : 2000 + yy, static_cast<unsigned>(mm),
                                static_cast<unsigned>(dd));
    }
    return true;
}

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The converter's report of `binfile` as lines.
Error converted_lines(const char *binfile, std::vector<std::string> &lines, std::string &why) {
    File binary(std::fopen(binfile, "rb"));
    File text(std::tmpfile());
    if (!binary || !text) {
        why = binary ? "no room for the decoded events" : "cannot read the event log";
        return Error::CannotRead;
    }
    const Error result = convert_alarm(binary.get(), text.get(), nullptr, nullptr);
    if (result != Error::Ok) {
        why = result == Error::UnknownEventVersion ? "not an event log of version 1 or 2"
                                                   : "cannot decode the event log";
        return result;
    }
    std::rewind(text.get());
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, text.get()) != nullptr) {
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        lines.push_back(line);
    }
    if (std::ferror(text.get())) {
        why = "cannot read the decoded events back";
        return Error::DecodedUnreadable;
    }
    return Error::Ok;
}

std::string events_by_day(const std::vector<Event> &events) {
    std::map<std::string, std::map<long, uint64_t>> kinds;
    std::map<long, bool> days;
    for (const Event &e : events)
        if (e.dated)
            kinds[e.kind][e.day]++, days[e.day] = true;
    if (days.empty())
        return paragraph("No event with a valid date.");
    std::vector<std::string> labels;
    for (const auto &[day, unused] : days) {
        const auto found = std::find_if(events.begin(), events.end(), [day = day](const Event &e) {
            return e.dated && e.day == day;
        });
        labels.push_back(found->date);
    }
    std::vector<Series> series;
    for (const auto &[kind, per_day] : kinds) {
        Series s{kind, {}};
        for (const auto &[day, unused] : days) {
            const auto found = per_day.find(day);
            s.values.push_back(found == per_day.end() ? 0 : found->second);
        }
        series.push_back(std::move(s));
    }
    return stacked_chart("event-days", "Events per day by kind", labels, series,
                         {"day (date of the box)", "events (count)"});
}

} // namespace

Error event_log_page(const char *binfile, const PageInfo &info, std::string &page,
                     std::string &why) {
    std::vector<std::string> lines;
    const Error result = converted_lines(binfile, lines, why);
    if (result != Error::Ok)
        return result;
    std::vector<Event> events;
    std::vector<std::string> notes;
    uint64_t invalid = 0;
    for (const std::string &line : lines) {
        Event e;
        if (parse_event(line, e))
            events.push_back(std::move(e));
        else if (line.rfind("Device:", 0) == 0 || line.rfind("Whole entries", 0) == 0 ||
                 line.rfind("Event structure", 0) == 0)
            notes.push_back(line);
        else if (line.find("INVALID ENTRY") != std::string::npos ||
                 line.find("invalid entry") != std::string::npos)
            ++invalid;
    }
    page = page_open("Event log", info) + section_open("summary", "Events");
    for (const std::string &note : notes)
        page += paragraph(note);
    page += paragraph(std::to_string(events.size()) + " events decoded, " +
                      std::to_string(invalid) + " invalid entries.");
    page += events_by_day(events) + section_close();
    Table list{"Stored events, oldest first", {"date", "time", "process", "code", "text"}, {}};
    for (const Event &e : events)
        list.rows.push_back({e.date, e.time, e.pid, e.code, e.text});
    page += section_open("list", "Event list") + html_table(list) + section_close() + page_close();
    return Error::Ok;
}

} // namespace vorn::report
