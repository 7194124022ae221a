// The table of finding names (see finding_names.h).  A row's severity is the
// default: a finding that means the box will not do what the line says is
// an error, one that only tells what the compiler made of a line is a
// warning, and one about the file's form that changes nothing is a note.
#include "conf/finding_names.h"

#include <cstring>

namespace vorn {

namespace {

constexpr FindingInfo kUnnamed = {FindingName::None, "", Severity::Error,
                                  "the compiler refuses the line", ""};

constexpr FindingInfo kRows[] = {
    {FindingName::UnknownKey, "unknown-key", Severity::Warning,
     "a key the compiler does not know; the line is ignored",
     "The line's first word is no key of the configuration language; the compiler passes over "
     "the line.  A close key is proposed."},
    {FindingName::DigitsOnly, "digits-only", Severity::Error, "letters or signs in a number field",
     "A number field (OwnMSN, DropMSN, RemoteCode, NMSPollNumber, RemoteOrigination, "
     "RemoteCallback, EmergencyNumber, DTMFDialEnd, CountryCode and the other counts) holds "
     "something else than digits, * and #; the table would store it upper-cased or as 0."},
    {FindingName::TrailingGarbage, "trailing-garbage", Severity::Error,
     "text after a value where the value reader stops",
     "The value reader stops at the first character that does not belong to a number or a "
     "duration (h[:m[:s]]); what follows is dropped without a word, as in "
     "EmergencyPause=0:15min."},
    {FindingName::PeriodRange, "period-range", Severity::Error, "a period time outside 00:00-23:59",
     "The box switches at no such time: [25:70] is stored as written and never reached."},
    {FindingName::UnterminatedPeriod, "unterminated-period", Severity::Error,
     "a period heading without its closing ]",
     "The heading is read as if it were closed; a line meant as something else becomes a "
     "period."},
    {FindingName::ValueCut, "value-cut", Severity::Error,
     "a COMMENT or PABXName text longer than its field",
     "The table keeps 75 characters of a COMMENT and 39 of a PABXName; the rest is cut off "
     "without a word."},
    {FindingName::SpacedEquals, "spaced-equals", Severity::Error,
     "a COMMENT or PABXName key written with blanks before =",
     "These two keys take their text from a fixed column behind the key: PABXName = Foo "
     "stores \"= Foo\".  Other keys read their words and do not mind blanks."},
    {FindingName::LineCut, "line-cut", Severity::Error,
     "a line longer than 98 characters whose end is not a comment",
     "The reader reads 98 characters of a line; words beyond column 98 are lost."},
    {FindingName::NoValue, "no-value", Severity::Warning, "a line without a value is skipped",
     "The compiler passes over a key without a value; an earlier value of the key stays."},
    {FindingName::Overridden, "overridden", Severity::Warning,
     "a key given again: the later line wins",
     "The key keeps one value; the earlier line has no effect."},
    {FindingName::MapShadowed, "map-shadowed", Severity::Warning,
     "a map removed because another map takes its place",
     "The optimizer removes a map that an identical one, or one that applies at every time, "
     "makes redundant."},
    {FindingName::StandardMap, "standard-map", Severity::Warning,
     "a standard map is added for the service a map leaves out",
     "A map that serves only DATA or only VOICE leaves the other service to the standard "
     "map of its escape."},
    {FindingName::EmptyPeriod, "empty-period", Severity::Warning, "a period section without maps",
     "The next heading takes over the section's period record."},
    {FindingName::HolidayIgnored, "holiday-ignored", Severity::Warning,
     "a Holiday line that the holiday file overrides",
     "Once a holiday file is loaded, Holiday dates of the configuration are not used."},
    {FindingName::Encoding, "encoding", Severity::Warning, "a character that is not 7-bit ASCII",
     "The table stores the bytes of the line as written (UTF-8 stays UTF-8); the box shows "
     "them in its own 8-bit character set."},
    {FindingName::ByteOrderMark, "byte-order-mark", Severity::Note,
     "a leading UTF-8 byte-order mark is skipped",
     "Editors may write EF BB BF before the first line; the check and the compile read the "
     "file without it."},
};

} // namespace

std::span<const FindingInfo> finding_table() {
    return kRows;
}

const FindingInfo &finding_info(FindingName id) {
    for (const FindingInfo &row : kRows)
        if (row.id == id)
            return row;
    return kUnnamed;
}

const FindingInfo *find_finding(const char *name) {
    for (const FindingInfo &row : kRows)
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

} // namespace vorn
