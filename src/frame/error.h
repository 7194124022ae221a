// The one vocabulary of the library's failures.  Every layer reports what
// went wrong as an Error; each Error has one row in error_table.cpp with its
// identifier, the words a user reads and whether the system's reason
// belongs beside them.  The exports turn an Error into their documented
// numbers in one place (frame/export_results.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

enum class Error : int {
    Ok = 0,

    // files
    CannotOpen,           // a file could not be opened
    CannotRead,           // an input is missing, empty, too small or unreadable
    CannotWrite,          // an output could not be opened or written
    CannotCreate,         // an output could not be created
    ShortRead,            // an input could not be read to its end
    InputGrew,            // an input grew while it was read
    TemporaryCopyMissing, // the temporary copy of an input could not be created
    TemporaryCopyShort,   // the temporary copy of an input could not be written whole

    // memory and thread state
    NoMemory,      // no memory for a buffer or a record
    NoThreadState, // the thread's state could not be had

    // the configuration
    ValueCut,          // a value was cut to its field (a warning)
    TooManyPeriods,    // period separation ran out of records (a warning)
    SyntaxError,       // a line that is no setting
    WrongValue,        // a setting whose value is not allowed
    WrongTableFormat,  // a TABLE format other than TF01.5
    TooManyEntries,    // more maps than the table holds
    ListingNotWritten, // a .map or .del listing could not be written
    HolidayFile,       // the holiday file cannot be read
    NotADate,          // a holiday that is no date, or no free holiday record
    DateOutOfRange,    // a holiday's day or month out of range
    BadPeriod,         // a period line of an invalid time or day
    NoFreePeriod,      // no free period record
    BadCharge,         // charge parameters that cannot be packed
    NoFirstWord,       // a line without a first word
    MissingNumber,     // a version or number text with a piece missing
    TableMismatch,     // a table whose counts do not match its maps, or of another version

    // logs
    EmptyTrace,           // a protocol trace of zero length
    InvalidData,          // a protocol trace whose records stop making sense
    UnknownEventVersion,  // an event log of neither version 1 nor 2
    IncomingNotWritten,   // the call log's incoming list
    RejectedNotWritten,   // the call log's reject list
    CsvNotWritten,        // the call log's CSV table
    SortShortRead,        // fewer call records read than the log promised
    SortShortWrite,       // fewer sorted call records written back
    FirstListUnreadable,  // merge: the first list, or its replacement
    SecondListUnreadable, // merge: the second list

    // pages
    UnknownInput,      // no table, configuration, call log or event log
    DecodedUnreadable, // converted events that could not be read back
};

inline constexpr std::size_t kErrorCount = static_cast<std::size_t>(Error::DecodedUnreadable) + 1;

// True when a table keyed by Error has one row per enumerator, each at its
// own place, so that a lookup is an index: the tables of words and of
// numbers assert it at compile time.
template <class Row, std::size_t N> constexpr bool rows_follow_errors(const Row (&rows)[N]) {
    if (N != kErrorCount)
        return false;
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(rows[i].error) != i)
            return false;
    return true;
}

// The words a user reads for the error ("Cannot Write", "Syntax Error").
const char *error_text(Error error);
// The identifier of the error ("cannot_write").
const char *error_name(Error error);
// True when the system's reason (errno) explains the error further.
bool error_has_system_reason(Error error);
// The error of an identifier; false when there is none of that name.
bool error_from_name(std::string_view name, Error &error);

// One file a job failed on: the path as the caller named it, what went
// wrong with it and the system's error number behind that (0: none).
struct FileFailure {
    std::string path;
    Error error = Error::Ok;
    int system_error = 0;
};

// How a job ended: its error (Ok for success) and every file it failed on.
struct JobOutcome {
    Error error = Error::Ok;
    std::vector<FileFailure> failed;

    bool ok() const { return error == Error::Ok; }
    // Sets the error and names the file it concerns.
    void fail(Error why, const std::string &path, int system_error) {
        error = why;
        failed.push_back({path, why, system_error});
    }
};

// The message of a file error for `path` (nullptr shows as NULL):
// "Cannot Write \"box.cfg\"!\n".
std::string file_error_message(Error error, const char *path);
// The no-memory words as the converters hand them back, with a line end.
std::string no_memory_message_text();

} // namespace vorn
