// The words of a table's coded head fields, as the configuration language
// writes them, for readers of a raw table (`vorn info`): "DSS1" for the
// protocol code 0, "AOCC" for the currency mode 1, the option words of the
// option bits.
#pragma once

#include "table/table.h"

#include <string>
#include <string_view>

namespace vorn {

// The words of `field` (the names `vorn info` gives the head fields:
// "te_protocol", "nt_l2mode", "escape", "currency", "s2m_l1mode",
// "options", "free_tone", "alternative_limit", "country_code"), or "" for
// a field without words.
std::string head_field_words(const table_t &table, std::string_view field);

} // namespace vorn
