// The stand-in files of "-" (see stdio_files.h).
#include "stdio_files.h"

#include "messages.h"
#include "vorn_tool/api.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

namespace vorn::tool {

namespace {

bool g_told = false; // a failed write to standard output was told

// Copies `from` to `to` whole; false when a read or a write failed.
bool copy_stream(std::FILE *from, std::FILE *to) {
    char buffer[8192];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, from)) > 0;)
        if (std::fwrite(buffer, 1, got, to) != got)
            return false;
    return std::ferror(from) == 0;
}

} // namespace

int StdioFiles::stand_in(bool input, std::string &value) {
    if (input ? m_have_input : !m_output.empty())
        return usage_error(nullptr, input ? "standard input (\"-\") can be read only once"
                                          : "only one output can go to standard output (\"-\")");
    const std::string path = m_files.make();
    if (path.empty())
        return 1;
    name_stand_in(path, input ? "<stdin>" : "<stdout>");
    value = path;
    if (!input) {
        m_output = path;
        return -1;
    }
    m_have_input = true;
    std::FILE *file = std::fopen(path.c_str(), "wb");
    api::set_last_error(0);
    const bool copied = file != nullptr && copy_stream(stdin, file);
    if (file == nullptr || std::fclose(file) != 0 || !copied)
        return job_failed("cannot copy standard input into the temporary folder \"" +
                          temporary_folder() + "\": " + api::system_error_text(api::last_error()));
    return -1;
}

int StdioFiles::prepare(const Command &command, Args &args) {
    const size_t rows = command.operands.size();
    for (size_t i = 0; i < args.operands.size() && rows > 0; ++i) {
        if (i >= rows && !command.operands.back().repeated)
            break;
        const Kind kind = command.operands[std::min(i, rows - 1)].kind;
        if (args.operands[i] == "-" && (kind == Kind::InText || kind == Kind::OutText))
            if (const int code = stand_in(kind == Kind::InText, args.operands[i]); code >= 0)
                return code;
    }
    for (const Option &o : command.options) {
        auto it = args.options.find(o.name);
        if (it != args.options.end() && it->second == "-" &&
            (o.kind == Kind::InText || o.kind == Kind::OutText))
            if (const int code = stand_in(o.kind == Kind::InText, it->second); code >= 0)
                return code;
    }
    return -1;
}

bool StdioFiles::deliver() {
    if (m_output.empty())
        return true;
    std::FILE *file = api::open_regular_file(m_output.c_str());
    if (file == nullptr) {
        job_failed("cannot read the output \"" + m_output + "\"");
        return false;
    }
    api::set_last_error(0);
    const bool copied = copy_stream(file, stdout) && std::fflush(stdout) == 0;
    const int error = api::last_error();
    const bool read = std::ferror(file) == 0;
    std::fclose(file);
    if (copied)
        return true;
    // A closed pipe (SIGPIPE is ignored) ends here with its own message.
    job_failed(std::string(read ? "cannot write standard output: " : "cannot read the output: ") +
               api::system_error_text(error != 0 ? error : EIO));
    g_told = true;
    return false;
}

bool stdout_failure_told() {
    return g_told;
}

} // namespace vorn::tool
