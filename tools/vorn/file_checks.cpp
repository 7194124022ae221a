// The tool's checks of input and output paths (see file_checks.h).
#include "file_checks.h"

#include "command.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace vorn::tool {

namespace {

using vorn::api::FileIdentity;

const char *kind_text(FileIdentity::Kind kind) {
    switch (kind) {
    case FileIdentity::Folder:
        return "a folder";
    case FileIdentity::Fifo:
        return "a FIFO";
    case FileIdentity::Device:
        return "a device";
    default:
        return "not a regular file";
    }
}

} // namespace

bool job_files_ok(std::initializer_list<const char *> inputs,
                  std::initializer_list<const char *> outputs) {
    for (const char *input : inputs) {
        if (input == nullptr)
            continue;
        const FileIdentity id = api::file_identity(input);
        if (id.kind == FileIdentity::Missing) {
            job_failed(std::string("cannot read \"") + input + "\" (" +
                       api::system_error_text(id.error) + ")");
            return false;
        }
        if (id.kind != FileIdentity::Regular) {
            job_failed(std::string("\"") + input + "\" is " + kind_text(id.kind) +
                       "; give a regular file");
            return false;
        }
    }
    for (const char *output : outputs) {
        if (output == nullptr)
            continue;
        const FileIdentity out = api::file_identity(output);
        if (out.kind == FileIdentity::Missing)
            continue; // a new file cannot be an input
        for (const char *input : inputs) {
            if (input == nullptr)
                continue;
            const FileIdentity in = api::file_identity(input);
            if (in.device == out.device && in.inode == out.inode) {
                job_failed(std::string("output \"") + output + "\" is the input \"" + input +
                           "\"; refusing to overwrite it");
                return false;
            }
        }
    }
    return true;
}

bool same_output(const char *a, const char *b) {
    if (std::strcmp(a, b) == 0)
        return true;
    const FileIdentity ia = api::file_identity(a);
    const FileIdentity ib = api::file_identity(b);
    return ia.kind != FileIdentity::Missing && ib.kind != FileIdentity::Missing &&
           ia.device == ib.device && ia.inode == ib.inode;
}

} // namespace vorn::tool
