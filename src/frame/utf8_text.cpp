// UTF-8 in 8-bit texts (see utf8_text.h).
#include "frame/utf8_text.h"

namespace vorn {

size_t utf8_sequence(std::string_view text) {
    if (text.empty())
        return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    // C0 and C1 would be overlong forms of ASCII; F5 and above lie beyond
    // the last character.
    const size_t n = lead >= 0xC2 && lead < 0xE0   ? 2
                     : lead >= 0xE0 && lead < 0xF0 ? 3
                     : lead >= 0xF0 && lead < 0xF5 ? 4
                                                   : 0;
    if (n == 0 || text.size() < n)
        return 0;
    for (size_t i = 1; i < n; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0;
    return n;
}

} // namespace vorn
