// The ASCII configuration parser: reads a "TF01.5" configuration file into
// a fresh table working buffer.  parse_ascii_config runs the parse from
// the source read once to the standard maps and the period test; the
// compiler above it (conf/) goes on with the optimizer and the listings.
//
// Also the building blocks that the optimizer and the writer share: the
// map entry builder, the charge parameter scanner and the holiday order.
#pragma once

#include "frame/error.h"
#include "parser/config_source.h"
#include "parser/parse_state.h"
#include "parser/period_block.h"
#include "table/table.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorn {

// ---- the parse -------------------------------------------------------------------

// A line that sets an error level ends the read with the level's error;
// the conversion driver turns it into mkconf's result
// (conf/conversion_results.cpp).
Error line_failed(int error_level);

// Parses `source` into a new working buffer (tag "pt"), stored in *table
// and registered with set_instance_table as soon as it exists; the caller
// releases it, also after a failure.  `ps` is the caller's fresh state.
//
// Returns Ok with ps.mpde holding the period definition block (tag "mpde"),
// which the caller releases with release_period_block.  Any other result
// has released the block: CannotRead (the source could not be read),
// the line errors (ValueCut, SyntaxError, WrongValue, NoMemory,
// TooManyEntries, HolidayFile), NoMemory (no working buffer) or
// WrongTableFormat (TABLE value not "TF01.5...").  err_str (at least kErrStrSize bytes) receives
// "Line n:@text@" for the failing line.
// ps.observer, when set, watches every line (parser/parse_observer.h).
Error parse_ascii_config(ParseState &ps, table_t **table, const ConfigSource &source,
                         char *err_str);

// Releases ps.mpde (tag "mpde") and forgets it.
void release_period_block(ParseState &ps);

// The dispatch of the second pass: hands the upper-cased line in ps.words
// to the handler of its key.  Keys that match no row are ignored.
void dispatch_key(ParseState &ps);

// The key of the row that token 0 `key` dispatches to, as the key table
// writes it ("MapOut", "CountryCode"), or nullptr when no row matches.
const char *matched_key(const char *key);
// Row `index` of the key table (nullptr past its end); *whole_word tells
// whether the key is compared as a whole word or on its prefix.
const char *key_table_name(size_t index, bool *whole_word);

// ---- map entries -------------------------------------------------------------------

// mk_map results, taken over as error levels.
inline constexpr int MK_MAP_OK = 0;
inline constexpr int MK_MAP_CUT = 1;    // escape or code was cut
inline constexpr int MK_MAP_SYNTAX = 2; // bad service or charge words
inline constexpr int MK_MAP_FULL = 8;   // 5,070 maps: nothing stored

// Stores one map in slot *count (of the working buffer) and advances the
// count.  `charges` is the word list from the service word's position, or
// nullptr.  Texts are copied; none of them is changed.
int mk_map(table_t *table, uint32_t *count, const char *escape, const uint32_t *period,
           const char *code, const char *service, uint8_t mode, char *const *charges);

// Adds a standard map at table_used_map_entries unless period 0 already has
// a map of the same escape and direction; when the maps of period 0 with
// that escape and direction together serve only DATA or only VOICE, adds
// the other service.  `file_maps` is the map
// count of the file, for the trace.  Returns mk_map's result or 0.
int mk_map_add(table_t *table, const char *escape, const uint32_t *period, const char *code,
               const char *service, uint8_t mode, char *const *charges, uint32_t file_maps);

// Escape of a MapCallBackOut line: the first character and the digits that
// follow it (12 characters at most), cut in place.  A text that does not
// begin with a letter or digit gives "???" and *error_level 2.
const char *mk_cbout(char *text, int32_t *error_level);

// Map-line handlers of the key table.
void key_map_in(ParseState &ps);
void key_map_out(ParseState &ps);
void key_map_all(ParseState &ps);
void key_cmp_msn(ParseState &ps);
void key_mapcallback(ParseState &ps); // Out and In here, the others to the settings handler

// The standard maps after the last line: 0..9 -> 90..99 outgoing, P -> 9
// when a redirect targets P, 0..9 -> 80..89 incoming unless Restrict9=8.
void add_standard_maps(ParseState &ps);

// ---- minute-model charge words ---------------------------------------------------------

// Reads named charge parameters (M1=0.12 T1=60 I=30 ...) from `words` (up
// to the first missing or empty one) and packs them into *charge_word.
// Returns Ok, or BadCharge for no words, no working memory, or U1 without a U
// value when `unit` is given.  `unit` may be nullptr.
Error scan_charge_parameter(char *const *words, uint32_t *charge_word, uint32_t *unit);

// ---- holidays ----------------------------------------------------------------------------

// Adds "dd.mm" to the table's holidays (duplicates are dropped again).
// Returns Ok, NotADate (no free record or not a date) or DateOutOfRange
// (day or month out of range).
Error add_holiday(table_t *table, const char *text);

// A Holiday line (`tokens` given) or the end-of-parse default (nullptr):
// loads the holiday file once per process, or adds the line's date when no
// holiday file exists.  Returns Ok, add_holiday's error, or HolidayFile
// when the holiday file cannot be opened.
Error parse_holiday(table_t *table, char **tokens);

// The holiday file this process has read ("" when none): from then on
// Holiday lines are not looked at.
std::string holiday_file_read();

// qsort order of holiday_t records: free ones (day 0) last, then by month
// and day.
int cmp_holiday(const void *a, const void *b);

// Forgets which holiday file the process has read and whether it was
// missing, as at library load.  Meant only for tests, which must not depend
// on the order in which they run.
void reset_holiday_file_state_for_tests();

// ---- the compiler's own keys -------------------------------------------------------------

// The first pass over a line as written: `tokens` are its words (token 0 is
// upper-cased here); COMMENT, PABXName and RemotePassword are taken.
void first_pass_keys(ParseState &ps, char **tokens);
// True for a COMMENT text that a tool wrote for a default table: the
// compiler replaces it by its stamp.
bool comment_wants_stamp(const char *text);

void key_table_format(ParseState &ps); // TABLE
void key_period(ParseState &ps);       // [hh:mm] days
void key_holiday(ParseState &ps);      // Holiday

} // namespace vorn
