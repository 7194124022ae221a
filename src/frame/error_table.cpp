// The one table of the library's errors: identifier, the words a user reads
// and whether the system's reason belongs beside them.  Each text a user
// reads of a failure is written here once.
#include "frame/error.h"

namespace vorn {

namespace {

struct ErrorRow {
    Error error;
    const char *name;
    const char *text;
    bool system_reason;
};

constexpr ErrorRow kRows[] = {
    {Error::Ok, "ok", "OK", false},

    {Error::CannotOpen, "cannot_open", "Cannot Open", true},
    {Error::CannotRead, "cannot_read", "Cannot Read", true},
    {Error::CannotWrite, "cannot_write", "Cannot Write", true},
    {Error::CannotCreate, "cannot_create", "Cannot Create", true},
    {Error::ShortRead, "short_read", "Input ends early", true},
    {Error::InputGrew, "input_grew", "Input grew while it was read", false},
    {Error::TemporaryCopyMissing, "temporary_copy_missing",
     "Cannot create the copy in the temporary folder", true},
    {Error::TemporaryCopyShort, "temporary_copy_short",
     "Cannot write the copy in the temporary folder", true},

    {Error::NoMemory, "no_memory", "Not Enough Memory For This Operation!", false},
    {Error::NoThreadState, "no_thread_state", "No state for this thread", false},

    {Error::ValueCut, "value_cut", "Warning", false},
    {Error::TooManyPeriods, "too_many_periods", "Too many periods", false},
    {Error::SyntaxError, "syntax_error", "Syntax Error", false},
    {Error::WrongValue, "wrong_value", "Wrong Value", false},
    {Error::WrongTableFormat, "wrong_table_format", "Wrong Table Format (TABLE=TFxx.x)", false},
    {Error::TooManyEntries, "too_many_entries", "Too many entries!", false},
    {Error::ListingNotWritten, "listing_not_written", "Listing not written", true},
    {Error::HolidayFile, "holiday_file", "Holiday file not read", true},
    {Error::NotADate, "not_a_date", "Not a date", false},
    {Error::DateOutOfRange, "date_out_of_range", "Date out of range", false},
    {Error::BadPeriod, "bad_period", "Invalid time or day", false},
    {Error::NoFreePeriod, "no_free_period", "No free period record", false},
    {Error::BadCharge, "bad_charge", "Invalid charge parameters", false},
    {Error::NoFirstWord, "no_first_word", "Line without a first word", false},
    {Error::MissingNumber, "missing_number", "Number missing", false},
    {Error::TableMismatch, "table_mismatch", "Conversion failed", false},

    {Error::EmptyTrace, "empty_trace", "Empty trace", false},
    {Error::InvalidData, "invalid_data", "Invalid data", false},
    {Error::UnknownEventVersion, "unknown_event_version", "Unknown event log version", false},
    {Error::IncomingNotWritten, "incoming_not_written", "Incoming list not written", true},
    {Error::RejectedNotWritten, "rejected_not_written", "Reject list not written", true},
    {Error::CsvNotWritten, "csv_not_written", "CSV table not written", true},
    {Error::SortShortRead, "sort_short_read", "Fewer call records than promised", true},
    {Error::SortShortWrite, "sort_short_write", "Sorted call records not written back", true},
    {Error::FirstListUnreadable, "first_list_unreadable", "First list not read", true},
    {Error::SecondListUnreadable, "second_list_unreadable", "Second list not read", true},

    {Error::UnknownInput, "unknown_input", "Unknown input", false},
    {Error::DecodedUnreadable, "decoded_unreadable", "Converted events not read back", false},
};

static_assert(rows_follow_errors(kRows), "every Error has exactly one row, in the enum's order");

const ErrorRow &row_of(Error error) {
    const auto index = static_cast<std::size_t>(error);
    return kRows[index < kErrorCount ? index : 0];
}

} // namespace

const char *error_text(Error error) {
    return row_of(error).text;
}

const char *error_name(Error error) {
    return row_of(error).name;
}

bool error_has_system_reason(Error error) {
    return row_of(error).system_reason;
}

bool error_from_name(std::string_view name, Error &error) {
    for (const ErrorRow &row : kRows)
        if (name == row.name) {
            error = row.error;
            return true;
        }
    return false;
}

std::string file_error_message(Error error, const char *path) {
    return std::string(error_text(error)) + " \"" + (path != nullptr ? path : "NULL") + "\"!\n";
}

std::string no_memory_message_text() {
    return std::string(error_text(Error::NoMemory)) + "\n";
}

} // namespace vorn
