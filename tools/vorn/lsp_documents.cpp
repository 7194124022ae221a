// Places and edits in the documents of the language server (see
// lsp_documents.h).
#include "lsp_documents.h"

#include <algorithm>

namespace vorn::tool::lsp {

namespace {

// Bytes of the UTF-8 sequence that begins with `lead` (1 for a stray byte,
// which then counts as one unit as the client's decoder would show it).
size_t sequence_length(unsigned char lead) {
    return lead >= 0xF0 && lead <= 0xF4  ? 4
           : lead >= 0xE0                ? 3
           : lead >= 0xC2 && lead < 0xE0 ? 2
                                         : 1;
}

} // namespace

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return lines;
}

int utf16_units(std::string_view line, size_t bytes) {
    bytes = std::min(bytes, line.size());
    int units = 0;
    for (size_t i = 0; i < bytes;) {
        const size_t n =
            std::min(sequence_length(static_cast<unsigned char>(line[i])), line.size() - i);
        units += n == 4 ? 2 : 1;
        i += n;
    }
    return units;
}

size_t bytes_of_units(std::string_view line, int units) {
    size_t i = 0;
    while (i < line.size() && units > 0) {
        const size_t n =
            std::min(sequence_length(static_cast<unsigned char>(line[i])), line.size() - i);
        units -= n == 4 ? 2 : 1;
        i += n;
    }
    return i;
}

size_t offset_of(std::string_view text, Position p) {
    size_t start = 0;
    for (int line = 0; line < p.line; ++line) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            return text.size();
        start = end + 1;
    }
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return start + bytes_of_units(line, std::max(p.character, 0));
}

void replace_range(std::string &text, Position from, Position to, const std::string &replacement) {
    const size_t a = offset_of(text, from);
    const size_t b = std::max(a, offset_of(text, to));
    text.replace(a, b - a, replacement);
}

} // namespace vorn::tool::lsp
