// The error vocabulary: the texts behind the negative codes of mkconf.
#include "frame/frame.h"

namespace vorn {
namespace {

struct ErrorText {
    int code;
    const char *text;
};

constexpr ErrorText kTexts[] = {
    {0, "no error"},
    {1, "device reports warning"},
    {2, "polling"},
    {3, "device reports error"},
    {4, "command aborted"},
    {5, "application reports error"},
    {6, "operation system reports error"},
    {7, "unknown error"},
    {9, "file open of temporary file"},
    {10, "file open"},
    {11, "file read"},
    {12, "file write"},
    {13, "file findfirst"},
    {14, "end of file"},
    {15, "file delete"},
    {16, "file rename"},
    {17, "alloc error"},
    {18, "temp file creation"},
    {19, "zero file length"},
    {20, "capi idle state"},
    {21, "no connected"},
    {22, "capi get error"},
    {23, "error reported by remote box"},
    {24, "wrong crc sum"},
    {25, "wrong b3 data number"},
    {30, "no key"},
    {31, "ESC break"},
    {40, "await conf error"},
    {41, "await conf: wrong cmd or subcmd"},
    {42, "await conf: timeout"},
    {50, "time out"},
    {51, "time out (10 sec)"},
    {52, "time out (15 sec)"},
    {53, "time out (30 sec)"},
    {60, "serial number not set"},
    {61, "no update itself"},
    {62, "no Vorn-Box device"},
    {63, "length to big"},
    {64, "wrong update length"},
    {65, "wrong serial number file"},
    {66, "wrong configuration file"},
    {67, "convert configuration file"},
    {68, "wrong password"},
    {69, "zero length"},
    {70, "wrong version"},
    {71, "wrong value"},
    {72, "wrong syntax"},
    {73, "to many entries"},
    {74, "wrong parameter"},
    {75, "twice parameter"},
    {76, "missing parameter"},
    {77, "parameter too long"},
    {78, "to many time periods"},
    {79, "wrong serial number"},
    {80, "NULL pointer"},
};

struct Table {
    const char *texts[kErrorTexts];
    constexpr Table() : texts() {
        for (auto &t : texts)
            t = "";
        for (const auto &e : kTexts)
            texts[e.code] = e.text;
    }
};

constexpr Table kTable;

} // namespace

const char *error_text(int code) {
    if (code < 0 || code >= kErrorTexts)
        return "";
    return kTable.texts[code];
}

} // namespace vorn
