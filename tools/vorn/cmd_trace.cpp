// vorn trace TRACE.bin OUT.txt [--label TEXT] [--pcapng OUT.pcapng]
//
// Turns a protocol trace fetched from the box into text, one line per
// record, and on request writes its D-channel frames as a pcapng capture
// for Wireshark and tshark.
#include "command.h"
#include "file_checks.h"
#include "logs/prot_trace.h"
#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int run_trace(int argc, char **argv) {
    const char *files[2] = {nullptr, nullptr};
    int file_count = 0;
    const char *label = nullptr;
    const char *pcapng = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--label") == 0 || std::strcmp(arg, "--pcapng") == 0) {
            if (i + 1 >= argc)
                return vorn::tool::usage_error(
                    "trace",
                    (std::string(arg) + (arg[2] == 'l' ? " needs a TEXT" : " needs a file"))
                        .c_str());
            (arg[2] == 'l' ? label : pcapng) = argv[++i];
        } else if (std::strncmp(arg, "--", 2) == 0) {
            return vorn::tool::usage_error("trace",
                                           (std::string("unknown option '") + arg + "'").c_str());
        } else if (file_count < 2) {
            files[file_count++] = arg;
        } else {
            return vorn::tool::usage_error("trace", "trace takes TRACE.bin and OUT.txt");
        }
    }
    if (file_count < 2)
        return vorn::tool::usage_error("trace", "trace needs TRACE.bin and OUT.txt");

    const char *trace = files[0];
    const char *text = files[1];
    if (!vorn::tool::job_files_ok({trace}, {text, pcapng}))
        return 1;
    if (pcapng != nullptr) {
        const auto a = vorn::platform::file_identity(text);
        const auto b = vorn::platform::file_identity(pcapng);
        if (std::strcmp(text, pcapng) == 0 || (a.kind != vorn::platform::FileIdentity::Missing &&
                                               b.kind != vorn::platform::FileIdentity::Missing &&
                                               a.device == b.device && a.inode == b.inode))
            return vorn::tool::usage_error("trace", "OUT.txt and OUT.pcapng must be two files");
    }

    std::string message;
    const int result = vorn::make_trace(trace, text, label, pcapng, &message);
    if (label != nullptr && result >= 0)
        std::printf("\n"); // ends the progress line of a conversion that ran
    if (result < 0) {
        // The text file is named "DTRACE" in the host's message; the user
        // gets the name given on the command line.
        if (result == -4 && message.find("\"DTRACE\"") != std::string::npos)
            message = std::string("Cannot Write \"") + text + "\"!";
        while (!message.empty() && message.back() == '\n')
            message.pop_back();
        if (result == -19)
            message = std::string(trace) + " is empty";
        return vorn::tool::job_failed(message + " (result " + std::to_string(result) + ")");
    }
    if (result == 1)
        std::printf("%s: converted to %s up to invalid data (result 1)\n", trace, text);
    else
        std::printf("%s: converted to %s\n", trace, text);
    if (pcapng != nullptr)
        std::printf("%s: D-channel frames written to %s\n", trace, pcapng);
    return 0;
}

} // namespace

VORN_COMMAND("trace", "trace TRACE.bin OUT.txt [--label TEXT] [--pcapng OUT.pcapng]",
             "convert a protocol trace into text, its frames into a capture", &run_trace);
