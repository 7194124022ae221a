// The call log as a CSV table (RFC 4180), one row per record, so that a
// technician can open the calls in a spreadsheet or load them into a
// database.  The box's own lists stay as they are; this is an extra view of
// the same sorted records.
#include "logs/call_time.h"
#include "logs/logcall.h"
#include "logs/logcall_sorted.h"
#include "logs/logcall_text.h"

#include <cstring>

namespace vorn {
namespace {

constexpr const char *kHeader = "slot,state,start,end,direction,address,first_number,"
                                "second_number,first_port,second_port,status,value,code,"
                                "subcode,duration\r\n";

// "yyyy-mm-ddThh:mm:ss", nothing when the time is unknown or impossible.
void add_iso_time(logs::LineText &text, const logcall_time_t &t) {
    const CallTime time(t);
    if (!time.known)
        return;
    text.number(static_cast<unsigned>(time.year), 4, true);
    text.add('-');
    text.two_digits(t.month);
    text.add('-');
    text.two_digits(t.day);
    text.add('T');
    text.two_digits(t.hour);
    text.add(':');
    text.two_digits(t.minute);
    text.add(':');
    text.two_digits(t.second);
}

// A field in double quotes when it holds a comma, a quote or a line end;
// quotes inside are doubled.
void add_field(logs::LineText &text, const char *value) {
    if (std::strpbrk(value, ",\"\r\n") == nullptr) {
        text.add(value);
        return;
    }
    text.add('"');
    for (const char *c = value; *c != '\0'; ++c) {
        if (*c == '"')
            text.add('"');
        text.add(*c);
    }
    text.add('"');
}

void add_port(logs::LineText &text, uint8_t code) {
    const PortPair port = logcall_port(code);
    text.number(port.hi);
    text.add('/');
    text.number(port.lo);
}

const char *state_of(const logcall_t &r) {
    if (r.plc & kLogcallNotClosed)
        return "not closed";
    if (r.status == 0)
        return "saved before";
    if (r.end.day == kUnknownDay)
        return "not finished";
    return "call";
}

void add_row(logs::LineText &text, const logcall_t &r) {
    text.number(r.plc & 0x7FFFu);
    text.add(',');
    text.add(state_of(r));
    text.add(',');
    add_iso_time(text, r.start);
    text.add(',');
    add_iso_time(text, r.end);
    text.add(',');
    text.add(r.dad[0] == '8' || r.dad[0] == '6' ? "out" : "in");
    text.add(',');

    char address[sizeof r.dad + 1] = {};
    if (static_cast<uint8_t>(r.dad[0]) != 0xFF)
        std::memcpy(address, r.dad, sizeof r.dad);
    add_field(text, address);
    char first[kLogcallNumberSize];
    char second[kLogcallNumberSize];
    get_logcall_numbers(&r, first, second);
    text.add(',');
    add_field(text, first);
    text.add(',');
    add_field(text, second);
    text.add(',');
    add_port(text, r.port1);
    text.add(',');
    if (r.port2 != 0xFF)
        add_port(text, r.port2);
    text.add(',');
    text.hex(r.status, 4);
    text.add(',');
    if (r.value != 0xFFFF)
        text.number(r.value);
    text.add(',');
    text.hex(r.code, 2);
    text.add(',');
    if (r.subcode != 0xFF)
        text.number(r.subcode);
    text.add(',');
    const CallTime start(r.start), end(r.end);
    if (start.known && end.known) {
        const long seconds = end.seconds - start.seconds;
        if (seconds < 0)
            text.add('-');
        text.number(static_cast<unsigned>(seconds < 0 ? -seconds : seconds));
    }
    text.add("\r\n");
}

} // namespace

namespace {

// The header row and one row per record that `next` gives, up to the end
// mark of the log.
template <class Next> Error write_rows(Next next, std::FILE *csv) {
    std::fputs(kHeader, csv);
    logs::LineText text;
    const logcall_t *r;
    while (!std::ferror(csv) && (r = next()) != nullptr && r->plc != kLogcallEnd) {
        text.clear();
        add_row(text, *r);
        text.write_to(csv);
    }
    return Error::Ok;
}

} // namespace

Error write_logcall_csv(std::FILE *sorted, std::FILE *csv) {
    if (sorted == nullptr || csv == nullptr)
        return Error::Ok;
    logcall_t r;
    return write_rows(
        [&]() { return std::fread(&r, 1, sizeof r, sorted) == sizeof r ? &r : nullptr; }, csv);
}

Error logs::write_sorted_logcall_csv(const SortedLogcall &log, std::FILE *csv) {
    if (csv == nullptr)
        return Error::Ok;
    size_t next = 0;
    return write_rows([&]() { return next < log.size() ? &log[next++] : nullptr; }, csv);
}

} // namespace vorn
