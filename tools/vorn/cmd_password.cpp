// vorn password: scrambles a password as hosts store it, or turns a stored one back into
// plain text, through the library's password exports.
#include "command.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int run_password(const vorn::tool::Args &args) {
    const char *direction = args.operand(0);
    const char *text = args.operand(1);
    std::vector<char> result(std::strlen(text) + 1);
    if (std::strcmp(direction, "encode") == 0)
        CodePassWord(text, result.data());
    else if (std::strcmp(direction, "decode") == 0)
        DecodePassWord(text, result.data());
    else
        return vorn::tool::usage_error("password", "direction must be 'encode' or 'decode'");
    std::printf("%s\n", result.data());
    return 0;
}

} // namespace

using vorn::tool::Kind;

VORN_COMMAND("password", {{"encode|decode", Kind::Word}, {"TEXT", Kind::Word}}, {},
             "scramble or unscramble a password as hosts store it",
             "A TEXT that starts with \"-\" follows \"--\".\n", &run_password);
