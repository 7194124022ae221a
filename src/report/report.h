// The report pages: one self-contained HTML page (inline SVG and CSS, no
// script, nothing fetched) that shows a configuration table or a log at a
// glance, printable and readable offline.  The page is well-formed XML, so
// XML tools read it as well as browsers do.
//
//   - a table (binary, or a configuration compiled in memory): the week grid
//     of its time periods, the fill of the map array, the head fields,
//     call-back providers, redirects and remote settings;
//   - a call log (binary records) or a call list (the text that the call log
//     converter writes): calls per hour and weekday, per day, the top
//     destinations and extensions, directions, rejected and unfinished
//     records;
//   - an event log: events over time by kind and the list of events.
#pragma once

#include "conf/check.h"
#include "frame/error.h"
#include "logs/input_kinds.h"
#include "table/table.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::report {

struct PageInfo {
    // The input's name as the page's title shows it.
    std::string source;
    // Lines of warnings about a configuration, shown on a table page.
    std::vector<std::string> warnings;
    // The map lines of a configuration that the compiler removed, shown
    // struck through in the routing table.
    std::vector<RemovedMap> removed;
};

// The page of a table record (the first 65,380 bytes are read; used maps
// beyond 1570 are not).
std::string table_page(const table_t &table, const PageInfo &info);

// Compiles the ASCII configuration `cfgfile` in memory (no file is
// written) and makes its table page.  Returns Ok, or the compiler's error
// with mkconf's message for it in `why`.
Error config_page(const char *cfgfile, const PageInfo &info, std::string &page, std::string &why);

// The page of a binary call log (75-byte records; a short tail and the
// records after an end mark are counted as not read).
std::string call_log_page(const uint8_t *data, size_t size, const PageInfo &info);

// The page of a call list written by the call log converter, combined or
// one of the separate lists; lines of no known form are counted.
std::string call_list_page(std::string_view text, const PageInfo &info);

// The page of a binary event log, decoded by the event log converter.
// Returns Ok, or the converter's error (CannotRead, DecodedUnreadable when
// the decoded events cannot be read back) with the reason in `why`.
Error event_log_page(const char *binfile, const PageInfo &info, std::string &page,
                     std::string &why);

// What an input file holds, judged from its bytes: a table by its format
// text, a configuration by its TABLE line, the logs by the checks of the
// log converters.  `head` is the file's start (logs::kKindHeadSize bytes
// are enough), `size` its whole size.
using logs::InputKind;
InputKind likely_kind(std::string_view head, uint64_t size);
InputKind input_kind(std::string_view bytes);

// The page of any of the inputs above, read from `path`.  Returns Ok, or
// the error (CannotRead, UnknownInput, or that of the page's conversion)
// with the reason in `why`.
Error page_for_file(const char *path, const PageInfo &info, std::string &page, std::string &why);

// Writes the page; false when the stream did not take all of it.
bool write_page(std::ostream &out, const std::string &page);

} // namespace vorn::report
