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
    if (m_skip != 0) {
        const size_t passed = std::min(m_skip, size);
        m_skip -= passed;
        data += passed;
        size -= passed;
    }
    m_buffer.append(data, size);
}

bool FrameReader::read_header(Frame &out) {
    const size_t end = m_buffer.find("\r\n\r\n");
    if (end == std::string::npos) {
        if (m_buffer.size() <= kMaxHeader)
            return false;
        out = {Frame::BadHeader, "a header of more than 8192 bytes without its end"};
        m_buffer.clear();
        return true;
    }
    const std::string header = m_buffer.substr(0, end);
    m_buffer.erase(0, end + 4);
    unsigned long long length = 0;
    if (!content_length(header, length)) {
        out = {Frame::BadHeader, "a header without a valid Content-Length"};
        return true;
    }
    if (length > kMaxBody) {
        // The declared body is passed over as it arrives; nothing of it is
        // held.
        const size_t here = static_cast<size_t>(std::min<unsigned long long>(m_buffer.size(), length));
        m_buffer.erase(0, here);
        m_skip = static_cast<size_t>(
            std::min<unsigned long long>(length - here, static_cast<size_t>(-1)));
        out = {Frame::TooLarge, "a body of more than 64 MiB is refused"};
        return true;
    }
    m_want = static_cast<size_t>(length);
    return false;
}

bool FrameReader::next(Frame &out) {
    if (m_skip != 0)
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
