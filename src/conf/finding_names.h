// The names of the check's findings: one row per kind of finding with its
// stable name (what -W<name> and the JSON and SARIF outputs use), its
// default severity, a one-line summary and the line of the manual page
// that explains it.  The texts of the check, the manual pages and the
// tests are all made from or compared against this one table.
#pragma once

#include <cstddef>
#include <span>

namespace vorn {

enum class Severity { Warning, Error, Note };

// A finding's kind.  None marks a line the library itself refused: such an
// error has no name, since no switch can make the library accept it.
enum class FindingName {
    None,
    UnknownKey,
    DigitsOnly,
    TrailingGarbage,
    PeriodRange,
    UnterminatedPeriod,
    ValueCut,
    SpacedEquals,
    LineCut,
    NoValue,
    Overridden,
    MapShadowed,
    StandardMap,
    EmptyPeriod,
    HolidayIgnored,
    Encoding,
    ByteOrderMark,
};

struct FindingInfo {
    FindingName id;
    const char *name;    // "period-range"
    Severity severity;   // by default
    const char *summary; // what the finding means, one line
    const char *manual;  // why it has that severity, for the manual page
};

// Every named kind, in the order of the manual page.
std::span<const FindingInfo> finding_table();
// The row of `id` (None gives an unnamed error row).
const FindingInfo &finding_info(FindingName id);
// The row named `name`, or nullptr.
const FindingInfo *find_finding(const char *name);

} // namespace vorn
