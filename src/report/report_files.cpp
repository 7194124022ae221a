// Reports from files: what an input holds, judged from its bytes, and the
// page made of it; writing a page out.
#include "logs/alarm.h"
#include "logs/converter.h"
#include "logs/logcall.h"
#include "platform/platform.h"
#include "report/report.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace vorn::report {
namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

} // namespace

InputKind likely_kind(std::string_view head, uint64_t size) {
    if (size >= kTableHeadSize &&
        head.size() >= offsetof(table_t, table_format) + kTableFormatLength &&
        head.substr(offsetof(table_t, table_format), kTableFormatLength) == kTableFormat)
        return InputKind::Table;
    const InputKind log = logs::likely_log_kind(head, size);
    if (log == InputKind::Text) {
        size_t at = 0;
        while ((at = head.find("TABLE", at)) != std::string_view::npos) {
            if ((at == 0 || head[at - 1] == '\n') && head.substr(at + 5, 1) == "=")
                return InputKind::Config;
            at += 5;
        }
    }
    return log;
}

InputKind input_kind(std::string_view bytes) {
    return likely_kind(bytes, bytes.size());
}

Error page_for_file(const char *path, const PageInfo &info, std::string &page, std::string &why) {
    // A call log of a busy box runs to many megabytes: it is read into one
    // block on huge pages where it can be, else into a string.
    logs::InputImage image;
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
        if (file)
            image.read(file.get());
    }
    std::string read;
    if (!image && !platform::read_whole_file(path, read)) {
        why = std::string("cannot read \"") + path +
              "\": " + platform::system_error_text(platform::last_error());
        return Error::CannotRead;
    }
    const std::string_view bytes =
        image ? std::string_view(reinterpret_cast<const char *>(image.data()), image.size())
              : std::string_view(read);
    switch (input_kind(bytes)) {
    case InputKind::Table: {
        // The record is read whole; a file cut after its maps leaves the
        // rest unused.
        auto table = std::make_unique<table_t>();
        std::memset(static_cast<void *>(table.get()), 0xFF, sizeof(table_t));
        std::memcpy(static_cast<void *>(table.get()), bytes.data(),
                    std::min(bytes.size(), sizeof(table_t)));
        page = table_page(*table, info);
        return Error::Ok;
    }
    case InputKind::Config:
        return config_page(path, info, page, why);
    case InputKind::EventLog:
        return event_log_page(path, info, page, why);
    case InputKind::CallLog:
        page = call_log_page(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), info);
        return Error::Ok;
    case InputKind::CallList:
    case InputKind::Text: // its lines of no known form are counted
        page = call_list_page(bytes, info);
        return Error::Ok;
    case InputKind::Trace:
    case InputKind::Unknown:
        break;
    }
    why = std::string("\"") + path + "\" is no table, configuration, call log or event log";
    return Error::UnknownInput;
}

bool write_page(std::ostream &out, const std::string &page) {
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    out.flush();
    return static_cast<bool>(out);
}

} // namespace vorn::report
