// The check's finding kinds and their printed form for the tool (see
// vorn_tool/api.h), handed on from conf/ in the API's types.
#include "conf/finding_names.h"
#include "conf/finding_text.h"
#include "frame/utf8_text.h"
#include "vorn_tool/api.h"

namespace vorn::api {

static_assert(static_cast<int>(Severity::Warning) == static_cast<int>(vorn::Severity::Warning));
static_assert(static_cast<int>(Severity::Error) == static_cast<int>(vorn::Severity::Error));
static_assert(static_cast<int>(Severity::Note) == static_cast<int>(vorn::Severity::Note));

const std::vector<FindingInfo> &finding_table() {
    static const std::vector<FindingInfo> table = [] {
        std::vector<FindingInfo> rows;
        for (const vorn::FindingInfo &row : vorn::finding_table())
            rows.push_back(
                {row.name, static_cast<Severity>(row.severity), row.summary, row.manual});
        return rows;
    }();
    return table;
}

const FindingInfo *find_finding(const char *name) {
    const vorn::FindingInfo *found = vorn::find_finding(name);
    if (found == nullptr)
        return nullptr;
    for (const FindingInfo &row : finding_table())
        if (row.name == found->name)
            return &row;
    return nullptr;
}

std::string format_finding(const FindingText &finding, bool colour) {
    vorn::FindingText text;
    text.file = finding.file;
    text.line = finding.line;
    text.column = finding.column;
    text.length = finding.length;
    text.severity = static_cast<vorn::Severity>(finding.severity);
    text.name = finding.name;
    text.text = finding.text;
    text.source = finding.source;
    return vorn::format_finding(text, colour);
}

int display_column(const std::string &line, int byte_column) {
    return vorn::display_column(line, byte_column);
}

std::string switch_of(const std::string &name, Severity shown) {
    return vorn::switch_of(name, static_cast<vorn::Severity>(shown));
}

std::string count_line(int errors, int warnings) {
    return vorn::count_line(errors, warnings);
}

std::size_t utf8_sequence(std::string_view text) {
    return vorn::utf8_sequence(text);
}

} // namespace vorn::api
