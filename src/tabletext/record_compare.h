// Comparison of two table records, field by field: which settings differ,
// named by their field, and which maps one record has that the other lacks.
// Two tables whose decompiled texts are equal can still differ here, in
// the bytes the text cannot show.
#pragma once

#include "table/table.h"

#include <string>
#include <vector>

namespace vorn {

struct RecordDifference {
    std::string field;    // "table_te_l2mode", "table_redirect[2].redirect_to", "map", ...
    std::string expected; // the value in the first record ("-" for a map it lacks)
    std::string actual;   // the value in the second record ("-" for a map it lacks)
};

struct RecordCompareOptions {
    // The checksum, the format text with its compile time and a comment
    // that is a compile stamp ("write by ...") differ between two compiles
    // of one text; they are left out unless asked for.
    bool stamps = false;
};

// Differences of `b` from `a`: every header field in record order (bytes
// without a field too), then the maps 0 .. used-1 of each compared as a
// multiset, without the rank bits that depend on the neighbouring map.  A
// map of `a` and one of `b` with the same key, escape and period that are
// otherwise unequal make one difference.
std::vector<RecordDifference> compare_records(const table_t &a, const table_t &b,
                                              const RecordCompareOptions &options = {});

// One line per difference: "<field>: <expected> -> <actual>".
std::string describe_differences(const std::vector<RecordDifference> &differences);

} // namespace vorn
