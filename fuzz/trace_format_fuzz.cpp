// Format strings of any content through the trace formatter, with arguments
// that match what it will read: ints, longs where an `l` stands, pointers,
// valid 8-bit strings for %s and 16-bit strings for %S, and an int for every
// `*`.  The line it builds must be exactly what the conversion rules give,
// never longer than 254 characters, and the same text must reach the debug
// output behind the prefix when a host writes it with ptrace.  Formats that
// the C runtime reads the same way also go through the fallback file, which
// must receive the whole text however long it is.
//
// Input: the format up to the first NUL byte, then the bytes the argument
// values are drawn from.  The first byte of that rest chooses how many
// characters the line already holds (0xC0 and up) or the fallback file
// (0x40).
#include "fuzz_input.h"
#include "platform/platform.h"
#include "trace/trace.h"

#include <cstdarg>
#include <cstring>
#include <deque>
#include <variant>
#include <vector>

namespace {

using fuzz::require;
using vorn::TraceLine;

// One argument as the formatter will read it: an int, a long, a text (for %s
// and %p: a void pointer may be read where a character pointer was passed)
// or a 16-bit text.
using Arg = std::variant<int, long, const char *, const uint16_t *>;

// One conversion as the formatter's rules read it.
struct Conversion {
    bool left = false, zero = false, is_long = false, size_letter = false;
    int width = 0;
    long precision = -1;
    char letter = 0;
    size_t begin = 0; // where the % stands in the format
};

constexpr int kSaturated = 100000; // any width past a line's length acts alike

int read_digits(const std::string &f, size_t &i) {
    int v = 0;
    for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i)
        v = v >= kSaturated ? kSaturated : v * 10 + (f[i] - '0');
    return v;
}

// The expected line, built with the same capacity as a TraceLine.
struct Expected {
    std::string text;
    size_t room;
    void put(char c) {
        if (text.size() < room)
            text += c;
    }
    void put(const char *s) {
        for (; *s != '\0'; ++s)
            put(*s);
    }
    void number(uint64_t magnitude, bool negative, unsigned base, const Conversion &c) {
        std::string digits;
        do {
            digits.insert(digits.begin(), "0123456789ABCDEF"[magnitude % base]);
            magnitude /= base;
        } while (magnitude != 0);
        if (negative)
            put('-');
        for (long fill = c.width - static_cast<long>(digits.size()) - negative;
             fill > 0 && text.size() < room; --fill)
            put(c.zero ? '0' : ' ');
        put(digits.c_str());
    }
    void string(const std::string &s, const Conversion &c) {
        const size_t fill =
            std::min<size_t>(c.width > long(s.size()) ? c.width - s.size() : 0, 1000);
        const std::string body = c.left ? s + std::string(fill, ' ') : std::string(fill, ' ') + s;
        long budget = c.precision;
        for (size_t k = 0; k < body.size() && budget != 0; ++k, budget -= budget > 0)
            put(body[k]);
    }
};

// A format as the formatter must read it, with the arguments to pass.  The
// strings live in deques, whose elements stay where they are as they grow.
struct Plan {
    std::vector<Conversion> conversions;
    std::vector<Arg> args;
    std::vector<size_t> first_arg; // index into args per conversion
    std::deque<std::string> texts;
    std::deque<std::vector<uint16_t>> wides;
    bool runtime_compatible = true; // the C runtime reads it the same way
};

// A text of up to 63 characters without NUL; a length byte of FFh stands
// for a null pointer.
std::string take_text(fuzz::Bytes &bytes, bool &null) {
    const uint8_t n = bytes.byte();
    null = n == 0xFF;
    std::string s;
    for (unsigned i = 0; i < n % 64u; ++i) {
        const char ch = static_cast<char>(bytes.byte());
        s += ch == '\0' ? 'z' : ch;
    }
    return s;
}

// Reads flags, width, precision and size letter of the conversion whose %
// stands at f[i], taking an int for every `*`.
Conversion read_conversion(const std::string &f, size_t &i, fuzz::Bytes &bytes, Plan &plan) {
    Conversion c;
    c.begin = i++;
    auto at = [&](char ch) { return i < f.size() && f[i] == ch; };
    auto star = [&]() {
        const int v = static_cast<int>(bytes.bits(4));
        plan.args.push_back(v);
        ++i;
        return v;
    };
    bool after_star = false;
    if (at('-')) {
        c.left = true;
        ++i;
    }
    c.zero = at('0');
    if (at('*')) {
        const int w = star();
        after_star = true;
        c.left = c.left || w < 0;
        c.width = w == INT32_MIN ? INT32_MAX : (w < 0 ? -w : w);
    } else {
        c.width = read_digits(f, i);
    }
    if (at('.')) {
        ++i;
        after_star = at('*');
        if (after_star) {
            const int p = star();
            c.precision = p < 0 ? -1 : p;
        } else {
            c.precision = read_digits(f, i);
        }
    }
    if (!after_star && (at('l') || at('N') || at('F'))) {
        c.is_long = at('l');
        c.size_letter = true;
        ++i;
    }
    c.letter = i < f.size() ? f[i] : '\0';
    return c;
}

// Reads the format, chooses the arguments from the bytes and writes the
// expected text for a line that holds `start` characters.  Stops after a
// not-supported marker.
Expected plan_format(const std::string &f, fuzz::Bytes &bytes, Plan &plan, size_t start) {
    Expected out{std::string(), TraceLine::kCapacity - 1 - start};
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') {
            out.put(f[i]);
            continue;
        }
        plan.first_arg.push_back(plan.args.size());
        const Conversion c = read_conversion(f, i, bytes, plan);
        plan.conversions.push_back(c);
        auto number_arg = [&]() -> uint32_t {
            const long v =
                c.is_long ? static_cast<long>(bytes.bits(8)) : static_cast<int>(bytes.bits(4));
            plan.args.push_back(c.is_long ? Arg(v) : Arg(static_cast<int>(v)));
            return static_cast<uint32_t>(v);
        };
        bool c_like = true;
        switch (c.letter) {
        case 'd':
        case 'u': {
            const uint32_t v = number_arg();
            const bool negative = static_cast<int32_t>(v) < 0;
            out.number(negative ? 0u - v : v, negative, 10, c);
            break;
        }
        case 'o':
        case 'x':
        case 'X':
        case 'b':
            c_like = c.letter != 'b';
            out.number(number_arg(), false, c.letter == 'o' ? 8 : c.letter == 'b' ? 2 : 16, c);
            break;
        case 'c':
            c_like = !c.is_long && !c.zero && c.precision < 0;
            out.put(static_cast<char>(number_arg() & 0xFF));
            break;
        case 'p': {
            // Any address: the formatter only prints it.  The C runtime
            // writes 0x and lower case.
            const uintptr_t v = static_cast<uintptr_t>(bytes.bits(8));
            plan.args.push_back(reinterpret_cast<const char *>(v));
            c_like = false;
            out.number(v, false, 16, c);
            break;
        }
        case 's': {
            bool null = false;
            plan.texts.push_back(take_text(bytes, null));
            plan.args.push_back(null ? nullptr : plan.texts.back().c_str());
            c_like = !null && !c.is_long && !c.zero;
            out.string(null ? std::string("NULL") : plan.texts.back(), c);
            break;
        }
        case 'S': {
            bool null = false;
            const std::string low = take_text(bytes, null);
            std::vector<uint16_t> &units = plan.wides.emplace_back();
            for (char ch : low)
                units.push_back(static_cast<uint16_t>(bytes.byte() << 8 | uint8_t(ch)));
            units.push_back(0);
            plan.args.push_back(null ? nullptr : units.data());
            c_like = false;
            out.string(null ? std::string("NULL") : low, c);
            break;
        }
        case '%':
            out.put('%');
            break;
        case '\0':
            plan.runtime_compatible = false;
            return out;
        default:
            plan.runtime_compatible = false;
            out.put('<');
            out.put('%');
            out.put(c.letter);
            out.put(" not supported>\r\n");
            return out;
        }
        // A host's width of millions is written whole by the fallback file;
        // kept small here so that a run does not spend its time on blanks.
        if (!c_like || (c.size_letter && !c.is_long) || c.width > 4096 || c.precision > 4096)
            plan.runtime_compatible = false;
    }
    return out;
}

// Calls `call` with the arguments args[from, to) as a real argument list.
// At most four per call keeps the number of instantiations small.
constexpr size_t kMaxArgsPerCall = 4;

template <typename Call, typename... Done>
void with_args(const Call &call, const std::vector<Arg> &args, size_t at, size_t to, Done... done) {
    if constexpr (sizeof...(Done) < kMaxArgsPerCall) {
        if (at < to)
            return std::visit([&](auto v) { with_args(call, args, at + 1, to, done..., v); },
                              args[at]);
    }
    call(done...);
}

// The format in pieces that take at most four arguments each, written one
// after the other into `line`, as the prefix and the text of a trace line
// are.  A piece ends after a conversion.
void format_in_pieces(TraceLine &line, const std::string &f, const Plan &plan) {
    size_t begin = 0, arg_begin = 0;
    const size_t n = plan.conversions.size();
    auto args_before = [&](size_t k) { return k < n ? plan.first_arg[k] : plan.args.size(); };
    for (size_t k = 0; k <= n; ++k) {
        if (k < n && args_before(k + 1) - arg_begin <= kMaxArgsPerCall)
            continue; // conversion k still fits into this piece
        const size_t end = k == n ? f.size() : plan.conversions[k].begin;
        const std::string piece = f.substr(begin, end - begin);
        with_args([&](auto... a) { vorn::trace_formatf(line, piece.c_str(), a...); }, plan.args,
                  arg_begin, args_before(k));
        begin = end;
        arg_begin = args_before(k);
    }
}

// What reaches the debug output; a failing sink sends ptrace to the
// fallback file.
std::vector<std::string> g_outputs;
bool g_sink_fails = false;

bool capture(const char *text, void *) {
    if (!g_sink_fails)
        g_outputs.emplace_back(text);
    return !g_sink_fails;
}

void close_fallback(int dummy, ...) {
    va_list args;
    va_start(args, dummy);
    vorn::file_trace(nullptr, args);
    va_end(args);
}

std::string fallback_text() {
    for (const auto &entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename().string().rfind("DBG--", 0) == 0)
            return fuzz::read_path(entry.path().string());
    return std::string();
}

// What the C runtime writes for the format, as the host would see it.  A
// format it reads alike has at most four conversions of at most 4,096
// characters each besides its own text.
std::string runtime_text(const std::string &f, const Plan &plan) {
    std::vector<char> fmt(f.size() + 1), text(f.size() + 4 * 4200);
    vorn::platform::runtime_format(f.c_str(), fmt.data(), fmt.size());
    int n = 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    with_args([&](auto... a) { n = std::snprintf(text.data(), text.size(), fmt.data(), a...); },
              plan.args, 0, plan.args.size());
#pragma GCC diagnostic pop
    require(n < static_cast<int>(text.size()));
    return std::string(text.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

void through_ptrace(const std::string &f, const Plan &plan, fuzz::Bytes bytes_after,
                    bool fallback) {
    static const bool ready = [] {
        vorn::platform::set_debug_sink(capture, nullptr);
        set_tool_name("fuzz");
        close_fallback(0); // fallback files an earlier run left behind
        return true;
    }();
    (void)ready;
    set_debug(1);
    g_outputs.clear();
    g_sink_fails = fallback;
    with_args([&](auto... a) { ptrace(f.c_str(), a...); }, plan.args, 0, plan.args.size());
    g_sink_fails = false;
    char last = '\n';
    if (fallback) {
        // The whole text after the time stamp, however long.
        const std::string text = fallback_text();
        const std::string wanted = runtime_text(f, plan);
        require(g_outputs.empty() && text.rfind("debug to        : DBG--", 0) == 0);
        require(text.size() >= wanted.size() &&
                text.compare(text.size() - wanted.size(), wanted.size(), wanted) == 0);
        close_fallback(0);
        require(fallback_text().empty());
    } else {
        // The sink takes a C string: a NUL character stored by %c or %S
        // ends what it receives.
        require(g_outputs.size() == 1);
        const std::string &out = g_outputs[0];
        const size_t name_end = out.find("]fuzz:");
        require(out.rfind("[DEB] [", 0) == 0 && name_end != std::string::npos);
        const size_t prefix = name_end + 6;
        Plan again;
        const Expected body = plan_format(f, bytes_after, again, prefix);
        require(out.size() <= 254);
        require(out.substr(prefix) == body.text.substr(0, body.text.find('\0')));
        last = body.text.empty() ? ':' : body.text.back();
    }
    // Close an open line so that the next input starts with a prefix.
    g_outputs.clear();
    ptrace("\n");
    require(last == '\n' || (g_outputs.size() == 1 && g_outputs[0] == "\n"));
    set_debug(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const uint8_t *nul = static_cast<const uint8_t *>(std::memchr(data, 0, size));
    const size_t format_size = nul != nullptr ? static_cast<size_t>(nul - data) : size;
    const std::string format(reinterpret_cast<const char *>(data), format_size);
    fuzz::Bytes bytes{nul != nullptr ? nul + 1 : data, nul != nullptr ? size - format_size - 1 : 0};
    const uint8_t mode = bytes.byte();
    const fuzz::Bytes args_start = bytes;

    // A line that already holds some characters, as after a prefix.
    const size_t start = mode < 0xC0 ? 0 : mode & 0x3F ? (mode & 0x3F) * 4u : 254;
    TraceLine line;
    char last = '\n';
    line.last_char = &last;
    for (size_t i = 0; i < start; ++i)
        line.put('.');

    Plan plan;
    const Expected expected = plan_format(format, bytes, plan, start);
    format_in_pieces(line, format, plan);
    const char *text = line.finish();
    require(line.length <= 254 && text[line.length] == '\0');
    require(std::string(text + start, line.length - start) == expected.text);
    require(last == (line.length > 0 ? text[line.length - 1] : '\n'));

    // A host's line: one call, so only formats with at most four arguments.
    if (plan.args.size() <= kMaxArgsPerCall)
        through_ptrace(format, plan, args_start,
                       mode == 0x40 && plan.runtime_compatible && !format.empty());
    return 0;
}
