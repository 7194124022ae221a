// What each key of the configuration language does, the form of its value
// and the range the table keeps, one row per key in the order of the
// manual page vorn-config(5).  The language server shows these rows when
// the pointer rests on a key; tests/tool_docs_test.cpp holds the page's
// UNITS AND RANGES entries to them, so the editor and the page say the
// same.  Also the words that complete a map line's service and a period
// heading's days.
#pragma once

#include <span>

namespace vorn {

struct KeyDoc {
    const char *key;     // as the page names it: "EmergencyPause", "MapOut", "[" for a heading
    const char *form;    // the line's form: "EmergencyPause=duration"
    const char *summary; // what the key does, the first sentence of its entry
    const char *range;   // the value's form, unit and range as the table keeps it
};

// Every documented key, in the order of the manual page.
std::span<const KeyDoc> key_docs();

// The row whose key begins `word` (without regard to case), the longest
// such key winning: "MapOut0049" finds MapOut and "MapCallBackPin1"
// MapCallBackPin.  nullptr when no key begins the word.
const KeyDoc *key_doc_of(const char *word, unsigned length);

// The service words of a map line and the day names of a period heading.
std::span<const char *const> service_words();
std::span<const char *const> day_names();

} // namespace vorn
