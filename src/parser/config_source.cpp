// The configuration's one read and the line index over it.
#include "parser/config_source.h"

#include "platform/platform.h"

#include <utility>

namespace vorn {

namespace {

void index_lines(ConfigSource &source) {
    source.line_starts.clear();
    const std::string &bytes = source.bytes;
    for (size_t at = 0; at < bytes.size();) {
        source.line_starts.push_back(at);
        const size_t end = bytes.find('\n', at);
        at = end == std::string::npos ? bytes.size() : end + 1;
    }
}

} // namespace

ConfigSource ConfigSource::load(const char *path) {
    ConfigSource source;
    source.origin = path != nullptr ? path : "";
    source.loaded = !source.origin.empty() && platform::read_text_file(path, source.bytes);
    if (!source.loaded)
        source.bytes.clear();
    index_lines(source);
    return source;
}

ConfigSource ConfigSource::from_text(std::string text, std::string origin) {
    ConfigSource source;
    source.origin = std::move(origin);
    source.bytes = std::move(text);
    source.loaded = true;
    index_lines(source);
    return source;
}

bool ConfigSource::line(int number, std::string_view &text) const {
    if (number < 1 || static_cast<size_t>(number) > line_starts.size())
        return false;
    const auto index = static_cast<size_t>(number);
    const size_t begin = line_starts[index - 1];
    const size_t end = index < line_starts.size() ? line_starts[index] : bytes.size();
    text = std::string_view(bytes).substr(begin, end - begin);
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    return true;
}

bool SourceCursor::read_text_line(char *buf, size_t cap, bool &ended_by_file) {
    ended_by_file = false;
    if (buf == nullptr || cap == 0)
        return false;
    size_t n = 0;
    int c = 0;
    bool any = false;
    while (n + 1 < cap && (c = get()) != -1) {
        any = true;
        if (c == '\r') {
            const int next = get();
            if (next == '\n') {
                buf[n++] = '\n';
                break;
            }
            if (next != -1)
                unget();
        }
        buf[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buf[n] = '\0';
    ended_by_file = c == -1;
    return any;
}

} // namespace vorn
