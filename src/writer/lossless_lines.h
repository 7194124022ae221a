// The lines of the lossless decompile: for the settings whose usual line
// does not give the table's bytes back when compiled (an unset protocol
// side, a service word of a call-back map, a CHINC number of 1, an empty or
// quoted currency sign, a single cause value, a PIN list whose first entry
// differs from the provider's PIN, a charge the usual words cannot carry,
// ...), another line of the configuration language that does.
//
// Each writer returns false, having written nothing, when the language has
// no line for the table's value; the caller then writes the usual line.
#pragma once

#include "table/table.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace vorn {

// True when the minute-model charge words of `word` compile to `word` again.
bool minute_words_carry(uint32_t word);

// True when every map of the table that carries a charge can be written
// with the minute-model words; otherwise the lossless text writes all maps
// with their three charge fields and sets the minute model after them.
bool maps_fit_minute_words(const table_t *table);

// The map's configuration line (no line end) in `buffer`.  `minute_words`
// says whether the parser reads the line in the minute model.  False, with
// the buffer empty, when no line gives this map back.
bool lossless_map_line(const table_t *table, const map_t *map, bool minute_words, char *buffer,
                       size_t capacity);

// ProtExt and ProtInt: only the sides and words that are set, with an
// extra line when the final pair would fail the parser's pair check.
bool write_protocols_lossless(std::FILE *file, const table_t *table);

// Subscriber lines of the subscribers that have a setting, numbers as stored.
bool write_subscribers_lossless(std::FILE *file, const table_t *table);

// FreeTone with every cadence byte, also a plain tone over a kept cadence.
bool write_free_tone_lossless(std::FILE *file, const table_t *table);

// Currency line(s).  `minute_mark` adds the minute model's M.
bool write_currency_lossless(std::FILE *file, const table_t *table, bool minute_mark);

// NoRedirectCause and AlternativeLimit when set; the commented forms when
// not set and `redirects` is not 0.
bool write_redirect_limits_lossless(std::FILE *file, const table_t *table, int redirects);

// True when the PIN lines below give every provider's PIN and list back.
bool pins_carry(const table_t *table);
// The PIN line of provider p (1..3): the list's first entry (or the PIN)
// and the further entries.
void write_provider_pins_lossless(std::FILE *file, const table_t *table, int provider);
// After the providers: the line for all three that sets their PIN apart
// from the first list entry, when a list needs it.
void write_common_pin_lossless(std::FILE *file, const table_t *table);

} // namespace vorn
