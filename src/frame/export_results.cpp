// The one translation from the library's errors to the numbers of the
// exports and of mkconf's traced steps.  A cell an export never meets holds
// that export's number for a failure it has no word for, so that even an
// unforeseen error leaves as a documented number.
#include "frame/export_results.h"

#include "vorn_b32.h"

#include <iterator>

namespace vorn {

namespace {

// The number of each export for a failure it has no word for.
constexpr int kConfOther = VORN_CONF_WRITE_FAILED;
constexpr int kLogOther = -4;    // the report was not written
constexpr int kMergeOther = -4;  // the merged list was not written
constexpr int kReaderOther = -3; // no line result of the reader
constexpr int kFileOther = -1;
constexpr int kWriterOther = -1;

struct ResultRow {
    Error error;
    int numbers[kResultFamilies]; // in the order of ResultFamily
};

// clang-format off
constexpr ResultRow kRows[] = {
    //                              mkconf                  conv.      merge        util reader        file        writer
    {Error::Ok,                   {VORN_CONF_OK,           0,         0,           0,  0,            0,          0}},
    {Error::CannotOpen,           {VORN_CONF_CANNOT_READ,  -1,        -1,          -1, -2,           -1,         -2}},
    {Error::CannotRead,           {VORN_CONF_CANNOT_READ,  -1,        -1,          -1, -2,           -1,         kWriterOther}},
    {Error::CannotWrite,          {VORN_CONF_CANNOT_WRITE, -4,        -4,          -1, -12,          -1,         -2}},
    {Error::CannotCreate,         {VORN_CONF_CANNOT_WRITE, -4,        -3,          -1, -12,          -1,         -2}},
    {Error::ShortRead,            {VORN_CONF_CANNOT_READ,  -3,        -1,          -1, -2,           -1,         kWriterOther}},
    {Error::InputGrew,            {VORN_CONF_CANNOT_READ,  -3,        -5,          -1, -2,           -1,         kWriterOther}},
    {Error::TemporaryCopyMissing, {kConfOther,             -1,        -1,          -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::TemporaryCopyShort,   {kConfOther,             -3,        -1,          -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::NoMemory,             {VORN_CONF_NO_MEMORY,    -2,        kMergeOther, -1, -8,           -1,         kWriterOther}},
    {Error::NoThreadState,        {kConfOther,             -2,        kMergeOther, -1, kReaderOther, kFileOther, -255}},
    {Error::ValueCut,             {VORN_CONF_WARNING,      kLogOther, kMergeOther, -1, -4,           kFileOther, kWriterOther}},
    {Error::TooManyPeriods,       {VORN_CONF_WARNING,      kLogOther, kMergeOther, -1, -4,           kFileOther, kWriterOther}},
    {Error::SyntaxError,          {VORN_CONF_SYNTAX_ERROR, kLogOther, kMergeOther, -1, -5,           kFileOther, kWriterOther}},
    {Error::WrongValue,           {VORN_CONF_WRONG_VALUE,  kLogOther, kMergeOther, -1, -6,           kFileOther, kWriterOther}},
    {Error::WrongTableFormat,     {VORN_CONF_WRONG_FORMAT, kLogOther, kMergeOther, -1, -9,           -1,         -3}},
    {Error::TooManyEntries,       {VORN_CONF_TOO_MANY,     kLogOther, kMergeOther, -1, -11,          -11,        kWriterOther}},
    {Error::ListingNotWritten,    {VORN_CONF_CANNOT_WRITE, kLogOther, kMergeOther, -1, -12,          kFileOther, kWriterOther}},
    {Error::HolidayFile,          {VORN_CONF_CANNOT_READ,  kLogOther, kMergeOther, -1, -2,           kFileOther, kWriterOther}},
    {Error::NotADate,             {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::DateOutOfRange,       {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::BadPeriod,            {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::NoFreePeriod,         {VORN_CONF_NO_MEMORY,    kLogOther, kMergeOther, -1, -8,           kFileOther, kWriterOther}},
    {Error::BadCharge,            {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::NoFirstWord,          {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::MissingNumber,        {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::TableMismatch,        {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, -1}},
    {Error::EmptyTrace,           {kConfOther,             -19,       kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::InvalidData,          {kConfOther,             1,         kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::UnknownEventVersion,  {kConfOther,             -4,        kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::IncomingNotWritten,   {kConfOther,             -5,        kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::RejectedNotWritten,   {kConfOther,             -6,        kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::CsvNotWritten,        {kConfOther,             -9,        kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::SortShortRead,        {kConfOther,             -7,        kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::SortShortWrite,       {kConfOther,             -8,        kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::FirstListUnreadable,  {kConfOther,             -1,        -1,          -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::SecondListUnreadable, {kConfOther,             -1,        -2,          -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::UnknownInput,         {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
    {Error::DecodedUnreadable,    {kConfOther,             kLogOther, kMergeOther, -1, kReaderOther, kFileOther, kWriterOther}},
};
// clang-format on

static_assert(rows_follow_errors(kRows),
              "every Error has exactly one row of numbers, in the enum's order");

} // namespace

int export_result(ResultFamily family, Error error) {
    const auto index = static_cast<std::size_t>(error);
    const ResultRow &row = kRows[index < kErrorCount ? index : 0];
    return row.numbers[static_cast<int>(family)];
}

} // namespace vorn
