// vorn password encode|decode TEXT
//
// Scrambles a password as hosts store it, or turns a stored one back into
// plain text, through the library's password exports.
#include "command.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int run_password(int argc, char **argv) {
    if (argc != 3)
        return vorn::tool::usage_error("password", "password needs a direction and a TEXT");
    const char *text = argv[2];
    std::vector<char> result(std::strlen(text) + 1);
    if (std::strcmp(argv[1], "encode") == 0)
        CodePassWord(text, result.data());
    else if (std::strcmp(argv[1], "decode") == 0)
        DecodePassWord(text, result.data());
    else
        return vorn::tool::usage_error("password", "direction must be 'encode' or 'decode'");
    std::printf("%s\n", result.data());
    return 0;
}

} // namespace

VORN_COMMAND("password", "password encode|decode TEXT",
             "scramble or unscramble a password as hosts store it", &run_password);
