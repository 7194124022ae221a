// The configuration line splitter: separators, comments, rem lines, the
// 100-character copy and the 32-token limit.
#include "parser/parse_state.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace vorn;

std::vector<std::string> words_of(const LineWords &w) {
    std::vector<std::string> out;
    for (char *t : w.tokens)
        if (t != nullptr)
            out.emplace_back(t);
    return out;
}

TEST(ParseLine, SplitsKeysValuesAndComments) {
    struct Row {
        std::string line;
        int result;
        std::vector<std::string> words;
    };
    const std::string long_value(120, 'x');
    const std::string line_101 = "K " + std::string(99, 'y'); // 101 characters
    const Row rows[] = {
        {"KEY=VALUE\n", 0, {"KEY", "VALUE"}},
        {"KEY = VALUE", 0, {"KEY", "VALUE"}},
        {"KEY VALUE\r", 0, {"KEY", "VALUE"}},
        {"\tMapOut0049==01019\tDATA  30 ; cheap\n", 0, {"MapOut0049", "01019", "DATA", "30"}},
        {"", 0, {"rem"}},
        {"\n", 0, {"rem"}},
        {"; a comment", 0, {"rem"}},
        {"   ; comment after blanks", -1, {}},
        {" = \t", -1, {}},
        {"rem the rest", 0, {"rem", "the", "rest"}},
        // Only one line-end character is removed: the CR of "\r\n" stays.
        {"A=B\r\n", 0, {"A", "B\r"}},
        {"[08:00] MO TU", 0, {"[08:00]", "MO", "TU"}},
        // At most 100 characters are looked at.
        {line_101, 0, {"K", std::string(98, 'y')}},
        {"V=" + long_value, 0, {"V", std::string(98, 'x')}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line);
        LineWords w;
        EXPECT_EQ(parse_line(row.line.c_str(), w), row.result);
        EXPECT_EQ(words_of(w), row.words);
    }
}

TEST(ParseLine, ThirtyTwoTokensAtMostAndNullLine) {
    std::string line;
    for (int i = 0; i < 40; ++i)
        line += std::string(1, static_cast<char>('a' + i % 26)) + " ";
    LineWords w;
    ASSERT_EQ(parse_line(line.c_str(), w), 0);
    const auto words = words_of(w);
    ASSERT_EQ(words.size(), 32u);
    EXPECT_EQ(words[31], "f");

    // A fresh split clears the tokens of the previous one.
    ASSERT_EQ(parse_line("A=1", w), 0);
    EXPECT_EQ(words_of(w), (std::vector<std::string>{"A", "1"}));
    EXPECT_EQ(parse_line(nullptr, w), 0);
    EXPECT_EQ(words_of(w), std::vector<std::string>{"rem"});
}

} // namespace
