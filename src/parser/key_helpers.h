// Pieces that the key handlers share and that tests call on their own: the
// option-word reader, the protocol word check, the call-back flag and PIN
// setters, the poll caller-number rule, the subscriber channel reader, and
// the small text rules every handler follows (decimal values, durations,
// bounded copies into fixed text fields).
#pragma once

#include "parser/parse_state.h"
#include "table/table.h"

#include <cstddef>
#include <cstdint>

namespace vorn {

// ---- text rules shared by the handlers --------------------------------------------

// Token i of the line being handled, or nullptr.
inline const char *key_token(const ParseState &ps, int i) {
    return i >= 0 && i < kMaxTokens ? ps.words.tokens[i] : nullptr;
}

// True when `text` (nullptr counts as no text) begins with `prefix`.
bool key_begins_with(const char *text, const char *prefix);
// True when `text` is exactly `word`.
bool key_is_word(const char *text, const char *word);

// Decimal value of `text` read like atoi (leading blanks, a sign, digits up
// to the first other character), wrapping instead of overflowing; 0 for
// nullptr.
int32_t key_decimal(const char *text);

// Copies at most size - 1 characters of `value` (nullptr = empty) into a
// text field of `size` bytes and fills the rest of the field with zero
// bytes.  Returns true when the value was longer and has been cut.
bool copy_text_field(char *field, size_t size, const char *value);

// The rule of the 20-byte number fields: copies `value` into the field; a
// value that does not fit is cut, the line gets the cut warning and error
// level 1.  Returns true when it was cut.
bool store_number(ParseState &ps, char *field, size_t size, const char *value);

// Writes "WARNING: cut number in <line>" and sets error level 1.
void warn_cut_number(ParseState &ps);

// The next word of `cursor`'s text, split in place at any character of
// `delimiters` (runs of them count as one); nullptr when no word is left.
// `cursor` moves behind the word.
char *next_word(char *&cursor, const char *delimiters);

// A duration h[:m[:s]] in seconds: ((h * 60) + m) * 60 + s; missing parts
// count as 0, so a single number is hours.
uint32_t parse_duration(const char *text);

// ---- switches and protocols ---------------------------------------------------------

// ORs the bits of every option word of tokens 1 to 31 into `option_byte`
// (table_options) and `option_word` (table_options2).  A value token may
// hold several words separated by commas or blanks; a word that begins
// with a known option word counts as that word, unknown words are ignored.
// Returns 0 (the words are read from a copy on the stack, so there is no
// failure path).
int parse_options(uint8_t *option_byte, uint16_t *option_word, char *const *tokens);

// Result bits of conf_check_l2prot.
inline constexpr uint32_t L2PROT_BAD_PROTOCOL = 0x01;
inline constexpr uint32_t L2PROT_BAD_L2MODE = 0x02;

// Checks the protocol and layer-2 words of a ProtExt (`external` 1) or
// ProtInt (0) line.  A word that is not accepted is replaced by "AUTO" (the
// pointer is set to a constant text; nullptr stays nullptr) and its bit is
// returned; 0 when both words are accepted.
uint32_t conf_check_l2prot(uint32_t external, const char **protocol, const char **l2mode);

// ---- call-back ----------------------------------------------------------------------------

// Sets (value 1) or clears (value 0) `bit` in mapcb_flags of provider
// `index_text` (1 to 3; 0 or an empty text = every provider).  Returns 0,
// or 3 for an index above 3 or a value above 1 (negative ones included),
// which changes nothing.
int set_cb_mode(table_t *table, uint8_t bit, const char *index_text, const char *value_text);

// Stores one call-back PIN for `provider` (0 to 2; negative = the first PIN
// of every provider).  A provider's first PIN goes into mapcb_pin; from the
// second on, the four-entry list holds the first PIN and up to three more;
// further PINs are dropped.  A provider index above 2 stores nothing.  The
// PIN is cut to 19 characters.
void mk_pin(table_t *table, int provider, const char *pin);

// ---- polling and subscribers ----------------------------------------------------------------

// Reads the caller-number rule of an NMSPollCLI line (tokens 1 to 31: a
// number and flag words) into the 20-byte table_poll_cli field, which is
// cleared first.  Returns 0, or 1 when the number was cut to fit the field
// (19 digits alone, 18 after the flag byte, 17 after flag and maximum).
int parse_poll_cli(char (&destination)[20], char *const *tokens);

// Reads the CHINC[a,b] and CHSTART[a,mode] entries of a Subscriber<nn>
// line into the table; a subscriber index above 1 ignores the line.
// Returns 0, or 1 for a CHINC or CHSTART entry without its two values.
int parse_subscriber(table_t *table, char *const *tokens);

} // namespace vorn
