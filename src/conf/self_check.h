// The self-check of a configuration text against a table: the text is
// compiled in memory as mkconf would compile it, and the record it gives is
// compared with the table field by field.  A decompiler runs it on the text
// it wrote to say which settings the text does not carry.
#pragma once

#include "frame/error.h"
#include "table/table.h"
#include "tabletext/record_compare.h"

#include <string>
#include <vector>

namespace vorn {

struct SelfCheckResult {
    // The compiler's error (read_ascii_table) and its message head
    // ("Line n:@TEXT@") when it failed.
    Error result = Error::Ok;
    std::string message;
    // What the compiled text makes of the table's fields and maps.
    std::vector<RecordDifference> differences;
    bool same() const { return result == Error::Ok && differences.empty(); }
};

// Compiles `text` (a whole "TF01.5" configuration) and compares the record
// with `table`: differences name the field of `table` (expected) and what
// the text gives (actual).  Listings are not written; the thread's settings
// and registered table are as before afterwards.  Throws std::bad_alloc
// only.
SelfCheckResult self_check(const std::string &text, const table_t &table,
                           const RecordCompareOptions &options = {});

} // namespace vorn
