// The keys that the parser driver handles itself: the first-pass keys
// COMMENT, PABXName and RemotePassword, which see the line as written, and
// the second-pass keys TABLE, period lines and Holiday.
#include "frame/frame.h"
#include "parser/parser.h"
#include "tabletext/map_text.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace vorn {

namespace {

constexpr size_t kCommentTextStart = 8;  // behind "COMMENT="
constexpr size_t kPabxNameTextStart = 9; // behind "PABXName="
constexpr size_t kPasswordLength = sizeof(table_t::table_password) - 1;

// The line from `start` on, without trailing white space and leading blanks,
// cut to the field.
void store_line_text(char *field, size_t size, const char *line, size_t start) {
    char text[kLineBufferSize];
    const size_t length = std::strlen(line);
    std::snprintf(text, sizeof text, "%s", length > start ? line + start : "");
    size_t n = std::strlen(text);
    while (n > 0 && std::isspace(static_cast<unsigned char>(text[n - 1])))
        text[--n] = '\0';
    const char *p = text;
    while (*p == ' ')
        ++p;
    std::snprintf(field, size, "%s", p);
}

const char *tool_name_or_default() {
    const char *tool = nullptr;
    get_tool_name(&tool);
    return tool != nullptr && tool[0] != '\0' ? tool : "Vorn-Tools";
}

void key_comment(ParseState &ps) {
    table_t *t = ps.table;
    store_line_text(t->table_comment, sizeof t->table_comment, ps.line, kCommentTextStart);
    dbg_printf("table_comment=%s\n", t->table_comment);
    const char *tool = nullptr;
    get_tool_name(&tool);
    dbg_printf("ToolName=%p<%s>\n", static_cast<const void *>(tool), tool);
    if (!comment_wants_stamp(t->table_comment))
        return;
    char version[23];
    get_vorn_b32_dll_version(version, sizeof version);
    char date[18];
    make_date_text(date, sizeof date);
    // A long tool name cuts the stamp to the field.
    std::snprintf(t->table_comment, sizeof t->table_comment, "write by %s (%s) on %s",
                  tool_name_or_default(), version, date);
    dbg_printf("table_comment=%s\n", t->table_comment);
}

void key_pabx_name(ParseState &ps) {
    table_t *t = ps.table;
    const size_t length = std::strlen(ps.line);
    dbg_printf("PABXName: \"%s\" ",
               length > kPabxNameTextStart ? ps.line + kPabxNameTextStart : "");
    store_line_text(t->table_init_name, sizeof t->table_init_name, ps.line, kPabxNameTextStart);
    dbg_printf("table_init_name=<%s>\n", t->table_init_name);
}

void key_remote_password(ParseState &ps, const char *value) {
    table_t *t = ps.table;
    if (std::strlen(value) > kPasswordLength) {
        dbg_printf("WARNING: cut number in %d\n", ps.line_number);
        ps.error_level = CONF_WARNING;
    }
    std::snprintf(t->table_password, sizeof t->table_password, "%s", value);
    dbg_printf("table_password=%s\n", t->table_password);
}

} // namespace

bool comment_wants_stamp(const char *text) {
    return text[0] == '\0' || std::strstr(text, "Default table") != nullptr ||
           std::strstr(text, "Default-Table") != nullptr ||
           std::strstr(text, "Customer default table") != nullptr ||
           std::strstr(text, "Built-in") != nullptr ||
           (std::strstr(text, "write by") != nullptr && std::strstr(text, "mkroute") == nullptr);
}

void first_pass_keys(ParseState &ps, char **tokens) {
    char *key = tokens[0];
    for (char *p = key; *p != '\0'; ++p)
        *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    if (std::strncmp(key, "COMMENT", 7) == 0)
        key_comment(ps);
    else if (std::strncmp(key, "PABXNAME", 8) == 0)
        key_pabx_name(ps);
    else if (std::strcmp(key, "REMOTEPASSWORD") == 0 && tokens[1] != nullptr)
        key_remote_password(ps, tokens[1]);
}

void key_table_format(ParseState &ps) {
    const char *format = ps.tokens()[1];
    if (format == nullptr || std::strncmp(format, "TF01.5", 6) != 0) {
        dbg_printf("readed line %4d: %s", ps.line_number, format);
        ps.wrong_table_format = true;
        return;
    }
    table_t *t = ps.table;
    char date[18];
    make_date_text(date, sizeof date);
    std::memset(t->table_format, 0, sizeof t->table_format);
    std::snprintf(t->table_format, sizeof t->table_format, "%6.6s %s", format, date);
    dbg_printf("table_format=%s\n", t->table_format);
}

void key_period(ParseState &ps) {
    switch (mk_period(ps.tokens(), ps.mpde, ps.map_count, &ps.current_period)) {
    case Error::BadPeriod:
        dbg_printf("invalid map period entry\n");
        ps.error_level = CONF_SYNTAX;
        break;
    case Error::NoFreePeriod:
        dbg_printf("map period alloc error \n");
        ps.error_level = CONF_NO_PERIOD;
        break;
    default:
        break;
    }
}

void key_holiday(ParseState &ps) {
    // The value may name a holiday file: take it as written, since file
    // names are case-sensitive here.
    LineWords written;
    parse_line(ps.line, written);
    char **tokens = written.tokens[1] != nullptr ? written.tokens : ps.tokens();
    switch (parse_holiday(ps.table, tokens)) {
    case Error::NotADate:
        dbg_printf("invalid holiday entry\n");
        ps.error_level = CONF_SYNTAX;
        break;
    case Error::DateOutOfRange:
        dbg_printf("invalid holiday value\n");
        ps.error_level = CONF_WRONG_VALUE;
        break;
    case Error::HolidayFile:
        ps.error_level = CONF_NO_HOLIDAYS;
        break;
    default:
        break;
    }
}

} // namespace vorn
