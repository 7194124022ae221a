// The number splitter with the "^" hundredths rule (see split_numbers.h).
#include "table/split_numbers.h"

#include "frame/error.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace vorn {

namespace {

// Next piece of `text` starting at `pos`: skips delimiters, then takes the
// characters up to the next delimiter.  Returns false when none is left.
bool next_piece(const std::string &text, const char *delimiters, size_t &pos, std::string &piece) {
    const size_t start = text.find_first_not_of(delimiters, pos);
    if (start == std::string::npos)
        return false;
    size_t end = text.find_first_of(delimiters, start);
    if (end == std::string::npos)
        end = text.size();
    piece.assign(text, start, end - start);
    pos = end;
    return true;
}

// atoi's reading (strtol saturates where atoi is undefined), cut to 16 bits.
uint16_t decimal_value(const std::string &piece) {
    const long value = std::strtol(piece.c_str(), nullptr, 10);
    return static_cast<uint16_t>(static_cast<int>(value));
}

uint16_t hundredths_value(const std::string &piece) {
    if (piece.size() == 1)
        return static_cast<uint16_t>(decimal_value(piece) * 10);
    if (piece.size() == 2)
        return decimal_value(piece);
    return decimal_value(piece.substr(0, 2));
}

} // namespace

Error split_numbers(const char *text, const char *delimiters, uint16_t *a, uint16_t *b,
                    uint16_t *c) {
    if (a != nullptr)
        *a = 0;
    if (text == nullptr || delimiters == nullptr)
        return Error::MissingNumber;
    const std::string copy(text);
    size_t pos = 0;
    std::string piece;

    if (!next_piece(copy, delimiters, pos, piece))
        return Error::MissingNumber;
    if (a != nullptr)
        *a = decimal_value(piece);

    if (b != nullptr) {
        *b = 0;
        if (!next_piece(copy, delimiters, pos, piece))
            return Error::MissingNumber;
        *b = delimiters[0] == '^' ? hundredths_value(piece) : decimal_value(piece);
    }
    if (c != nullptr) {
        *c = 0;
        if (!next_piece(copy, delimiters, pos, piece))
            return Error::MissingNumber;
        *c = decimal_value(piece);
    }
    return Error::Ok;
}

} // namespace vorn
