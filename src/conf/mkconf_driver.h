// The conversion driver behind the mkconf export and the thin wrappers
// between it and the readers and writers of the two table files.
//
// Result conventions: the wrappers return the library's Error of the layer
// they hand on to; their trace lines show the numbers of mkconf's steps
// (frame/export_results.h).  The driver turns an Error into mkconf's result
// and message through one table (conversion_results.cpp).  mkconf_driver
// returns 0 or the negative of an error code (the VORN_CONF_ results of
// vorn_b32.h).
#pragma once

#include "optimize/map_origins.h"
#include "parser/config_source.h"
#include "parser/parse_observer.h"
#include "parser/parse_state.h"
#include "table/owned_table.h"
#include "table/table.h"
#include "writer/ascii_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vorn {

// Smallest ASCII configuration file that is read, and smallest binary file
// (the table's head).
inline constexpr uint64_t kMinAsciiFileSize = 200;
inline constexpr uint64_t kMinBinFileSize = kTableHeadSize;

// mkconf: bit 0 of mode set = ASCII to binary (read cfgfile, write
// binfile); clear = binary to ASCII (read binfile, write cfgfile).  Always
// releases what it obtained and leaves no table registered.  Throws only
// when the standard library does (std::bad_alloc); the C export catches.
// `message`, when given, receives the text composed for the user (the
// parser's "Line n:@TEXT@" head and the words of the error kind, or a
// CannotRead line); empty after a clean run.  `writer` says how the
// binary-to-ASCII direction writes; the export always writes the usual text.
int mkconf_driver(const char *cfgfile, const char *binfile, int32_t mode,
                  std::string *message = nullptr, const WriterOptions &writer = {});

// The words of an error kind for a result of mkconf ("Syntax Error" for
// VORN_CONF_SYNTAX_ERROR, ...), for tools that report to a user.
const char *mkconf_result_words(int result);

// Version of a format text given from just behind "TF": "01.5 ..." gives
// 0105h.  The text is split at "." (split_numbers); major and minor keep
// their low bytes; a missing piece counts as 0; nullptr gives 0.
uint16_t get_table_version(const char *text);

// Version of a table's own format text (from its third character on).
uint16_t table_version(const table_t *table);

// What watches a compile besides the compiler: the check's observer of the
// parse and its tracker of where each map came from.  A plain compile has
// neither.
struct CompileWatchers {
    ParseObserver *observer = nullptr;
    MapOrigins *origins = nullptr;
};

// The compile as stages over one source: the pre-scan for the TABLE line,
// then for a "TF01.5" text read_ascii_table15 (parse, optimize, listings).
// Returns CannotRead (source not read, no TABLE line), WrongTableFormat
// (other version) or the compiler's error.
Error read_ascii_table(table_t **table, const ConfigSource &source, char *err_str,
                       const CompileWatchers &watchers = {});
// The same for the file `cfgfile`, read once.
Error read_ascii_table(table_t **table, const char *cfgfile, char *err_str);

// The console lines of the box's own conversion programs, decided here
// once: when the thread's tool name is `host` (case ignored), the library's
// version line goes to the console and the result is true.  The compiler
// host kCompilerHost also follows the parse and the optimizer with progress
// lines; the decompiler host kDecompilerHost shows the version line alone.
inline constexpr const char *kCompilerHost = "WCFG2BIN";
inline constexpr const char *kDecompilerHost = "WBIN2CFG";
bool announce_conversion(const char *host);

// Checks the table's version and hands it to write_ascii_table15.  Returns
// TableMismatch for another version, else the writer's error.
Error write_ascii_table(table_t *table, const char *cfgfile, char *err_str,
                        const WriterOptions &options = {});

// Opens binfile and reads it with read_bin_table.  *table is set to nullptr
// first; on success it holds a registered working buffer (tag "pTable") that
// the caller releases.  Returns CannotOpen, the reader's CannotRead or
// NoMemory, TooManyEntries (map part too big) or Ok (also for an empty
// file: no table).
// (Its trace lines keep the box's name of this step, read_hex_file.)
Error read_table_file(table_t **table, const char *binfile);
// read_table_file into an owner; nullptr when the file gave no table.
OwnedTable read_owned_table(const char *binfile);

// Reads the first 200 bytes, checks the version at byte 4 (behind "TF"),
// rewinds and calls read_bin_table15.  Returns CannotRead for a short file
// or another version, else read_bin_table15's error.
Error read_bin_table(table_t **table, std::FILE *stream);

// write_bin_table with its trace line (under the box's name write_hex_file).
Error write_table_file(table_t *table, const char *binfile);

// Checks the table's version (CannotWrite for another) and calls
// write_bin_table15.
Error write_bin_table(table_t *table, const char *binfile);

// ---- the compiler: parser, optimizer and listings ----------------------------------

// Reads a "TF01.5" ASCII configuration into a fresh working buffer (stored
// in *table and registered as soon as it exists; the caller releases it).
// Returns the parser's error, TooManyPeriods for "Too many entries!" of the
// period separation, ListingNotWritten with err_str holding the "Cannot
// Write" message of the listing.  err_str (kErrStrSize bytes) receives the
// message head.
Error read_ascii_table15(table_t **table, const ConfigSource &source, char *err_str,
                         const CompileWatchers &watchers = {});

// ---- the driver's message tables, one row per reader or writer error ---------------

// ASCII to binary, reader error r (not Ok).  Prints and extends err_str as
// the row demands and returns mkconf's result.
int mkconf_ascii_read_failed(Error r, char *err_str, const char *cfgfile);
// ASCII to binary, writer error w of write_table_file.
int mkconf_bin_write_result(Error w, char *err_str, const char *binfile);
// Binary to ASCII, reader error r of read_table_file (not Ok).
int mkconf_bin_read_failed(Error r, char *err_str);
// Binary to ASCII, writer error w of write_ascii_table.
int mkconf_ascii_write_result(Error w, char *err_str, const char *cfgfile);

} // namespace vorn
