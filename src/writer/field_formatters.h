// The words and numbers of the configuration language for the coded fields
// of a table: a map as one configuration line, a period heading, the option
// lines with their help comments, the poll caller-number rule and the
// protocol values of the host's device record.  The writer and the map
// listing use them; the charge words, subscriber lines and the date text
// live with the map text (tabletext/map_text.h).
//
// Each formatter writes to the file when one is given and always to the
// trace.  None of them fails: unknown codes print as "???" or without a key.
#pragma once

#include "table/table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vorn {

// Room for the longest map line (key, escape, "|" code, service and charge
// words).
inline constexpr size_t kMapLineSize = 160;

// The key of a map line for the low four mode bits ("MapOut", ...), or
// nullptr for a mode that has no key.
const char *map_key_word(uint8_t mode);

// The configuration line of `map`, without line end, into `buffer`
// (capacity bytes; cut to fit).  Empty for an unused slot (escape FFh) and
// for a mode without escape.  The code's "|" bit is only printed, never
// cleared in the table.
void format_map_line(const table_t *table, const map_t *map, char *buffer, size_t capacity);

// One period line: "[hh.mm]", the day words (with three blanks for each
// missing day when aligned) and "  ;(mask)".  Periods past the 64 records
// read the bytes behind them (table_period_record).
void write_period(std::FILE *file, const table_t *table, unsigned period, bool aligned);
// The same line without its "  ;(mask)" comment, as a string.
std::string period_heading(const table_t *table, unsigned period, bool aligned);

// The Optimize and Options lines, with the help comments when asked.
void write_options(std::FILE *file, uint8_t options, uint16_t options2, bool help);

// The words of the set option bits as the Optimize and Options lines write
// them, blank-separated ("Optimize=Off LogCDR"); the minute model, which
// the Currency line carries, as "MinuteModel".
std::string option_words(uint8_t options, uint16_t options2);

// Writes `word` after `prefix` on a line that wraps before column 79; the
// continuation repeats the prefix.  Returns the new column.
unsigned append_option_word(std::FILE *file, const char *prefix, unsigned column, const char *word);

// The NMSPollCLI line of the 20-byte rule field.
void write_poll_cli(std::FILE *file, const char (&cli)[20], bool help);

// The four protocol values carried by the host's device record (90 bytes,
// may be nullptr).  Returns 0 with the record's values, or 1 with all four
// set to AUTO when the record carries none.
struct ProtocolValues {
    uint8_t ext_protocol;
    uint8_t ext_l2mode;
    uint8_t int_protocol;
    uint8_t int_l2mode;
};
int conf_get_l2prot(const uint8_t *devinfo, ProtocolValues *values);

// Words of the protocol and layer-2 codes ("???" for unknown ones).
const char *protocol_word(uint8_t code);
const char *l2mode_word(uint8_t code);

} // namespace vorn
