// The numbers the exports return for an Error, and the numbers mkconf's
// steps show in its trace, from one table (export_results.cpp).  A new
// Error gets its row there with a number in every column.
#pragma once

#include "frame/error.h"

namespace vorn {

enum class ResultFamily {
    Mkconf,    // mkconf: the VORN_CONF_ results of vorn_b32.h
    Converter, // mkalarm, mklogcall and mktrace
    Merge,     // merge_logcall
    Utility,   // file_remove, remove_hexfile, get_dll_version
    // The numbers of mkconf's steps as its trace shows them.
    ConfigReader, // read_ascii_table
    TableFile,    // read_hex_file and write_hex_file
    AsciiWriter,  // write_ascii_table
};

inline constexpr int kResultFamilies = static_cast<int>(ResultFamily::AsciiWriter) + 1;

// The number `family` gives for `error`; 0 for Error::Ok.
int export_result(ResultFamily family, Error error);

} // namespace vorn
