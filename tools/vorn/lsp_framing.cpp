// The message framing of the language server (see lsp_framing.h).
#include "lsp_framing.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace vorn::tool::lsp {

namespace {

// The value of the Content-Length line of a header block (case of the
// name ignored), as large as it is written up to the largest number held;
// false when there is none or it is no number.
bool content_length(const std::string &header, unsigned long long &length) {
    size_t start = 0;
    bool found = false;
    while (start < header.size()) {
        size_t end = header.find("\r\n", start);
        if (end == std::string::npos)
            end = header.size();
        const std::string line = header.substr(start, end - start);
        start = end + 2;
        static constexpr char kName[] = "content-length:";
        constexpr size_t kNameLength = sizeof kName - 1;
        if (line.size() < kNameLength ||
            !std::equal(kName, kName + kNameLength, line.begin(), [](char a, char b) {
                return a == std::tolower(static_cast<unsigned char>(b));
            }))
            continue;
        const char *p = line.data() + kNameLength;
        const char *last = line.data() + line.size();
        while (p < last && (*p == ' ' || *p == '\t'))
            ++p;
        const auto [rest, ec] = std::from_chars(p, last, length);
        if (rest == p || (ec != std::errc() && ec != std::errc::result_out_of_range))
            return false;
        if (ec == std::errc::result_out_of_range)
            length = static_cast<unsigned long long>(-1);
        if (std::find_if(rest, last, [](char c) { return c != ' ' && c != '\t'; }) != last)
            return false;
        found = true;
    }
    return found;
}

} // namespace

void FrameReader::feed(const char *data, size_t size) {
    m_buffer.append(data, size);
}

// After a header that could not be read, the bytes up to the next
// "Content-Length:" are passed over: a JSON body holds no line end outside
// its strings, so a client that goes on with well-formed messages is found
// again at the next header.  Only the bytes that may begin the name are
// kept while none is seen, so a long run of garbage is never held.
bool FrameReader::resynchronise() {
    static constexpr char kName[] = "content-length:";
    constexpr size_t kNameLength = sizeof kName - 1;
    const auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    };
    const auto found =
        std::search(m_buffer.begin(), m_buffer.end(), kName, kName + kNameLength, same);
    if (found == m_buffer.end()) {
        if (m_buffer.size() > kNameLength - 1)
            m_buffer.erase(0, m_buffer.size() - (kNameLength - 1));
        return false;
    }
    m_buffer.erase(m_buffer.begin(), found);
    m_lost = false;
    return true;
}

// A header that cannot be read is given up from its first byte on: the
// next "Content-Length:" may stand inside it (a client's garbage before a
// good message), and the search for it begins there.
bool FrameReader::give_up(Frame &out, Frame::Kind kind, const char *why) {
    out = {kind, why};
    m_buffer.erase(0, 1);
    m_lost = true;
    return true;
}

bool FrameReader::read_header(Frame &out) {
    const size_t end = m_buffer.find("\r\n\r\n");
    if (end == std::string::npos ? m_buffer.size() > kMaxHeader : end > kMaxHeader)
        return give_up(out, Frame::BadHeader, "a header of more than 8192 bytes");
    if (end == std::string::npos)
        return false;
    unsigned long long length = 0;
    if (!content_length(m_buffer.substr(0, end), length))
        return give_up(out, Frame::BadHeader, "a header without a valid Content-Length");
    // A body beyond the cap is refused before a byte of it is held.
    if (length > kMaxBody)
        return give_up(out, Frame::TooLarge, "a body of more than 64 MiB is refused");
    m_buffer.erase(0, end + 4);
    m_want = static_cast<size_t>(length);
    return false;
}

bool FrameReader::next(Frame &out) {
    if (m_lost && !resynchronise())
        return false;
    if (m_want == kNone && read_header(out))
        return true;
    if (m_want == kNone || m_buffer.size() < m_want)
        return false;
    out.kind = Frame::Body;
    out.body = m_buffer.substr(0, m_want);
    m_buffer.erase(0, m_want);
    m_want = kNone;
    return true;
}

std::string framed(const std::string &body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace vorn::tool::lsp
