// Host-supplied texts of any length and content for the utility and setter
// exports: nothing may be written outside the caller's buffers, and the
// password scrambling must always round-trip.
#include "fuzz_input.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1)
        return 0;
    uint32_t out_size = data[0] % 64;
    std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const char *s = text.c_str(); // stops at the first NUL byte, as a C host's text would

    (void)atoh(s);

    std::vector<char> coded(std::strlen(s) + 1);
    std::vector<char> back(std::strlen(s) + 1);
    CodePassWord(s, coded.data());
    DecodePassWord(coded.data(), back.data());
    fuzz::require(std::strcmp(back.data(), s) == 0);

    char result[260];
    make_fname(s, result, ".map");
    fuzz::require(std::strlen(result) < sizeof result);

    // Buffers exactly as large as the size handed in: ASan sees any overrun.
    std::vector<char> out(out_size == 0 ? 1 : out_size);
    get_dll_version(s, out.data(), static_cast<int32_t>(out_size));
    get_vorn_b32_dll_version(out.data(), static_cast<int32_t>(out_size));
    set_TmpPath(s, 1);
    get_TmpPath(out.data(), out_size);
    set_Password(s);
    get_Password(out.data(), out_size);
    set_tool_name(s);
    ptrace("%s\n", s);

    uint8_t serial[16] = {};
    std::memcpy(serial, data, size < 16 ? size : 16);
    const char *joined = cat_number_and_serialno(s, serial);
    fuzz::require(std::strlen(joined) < 132);
    return 0;
}
