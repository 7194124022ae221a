// What mkconf does with err_str for each error of its readers and writers,
// and the words a user reads behind the message head.  The numbers mkconf
// returns come from the one translation of the library's errors
// (frame/export_results.h); the four result functions of mkconf_driver.h
// look their row up here, and an error without a row of its own is
// treated as the step's last row.
#include "conf/mkconf_driver.h"

#include "frame/error.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>
#include <span>

namespace vorn {

namespace {

// What becomes of err_str before the result goes back.
enum class Message {
    None,             // nothing printed
    Print,            // print as it is
    PrintAppend,      // print, append the words, print
    PrintCannotRead,  // print, replace by the CannotRead message of the source, print
    CannotWrite,      // replace by the CannotWrite message of the destination, print
    PrintCannotWrite, // print, replace by the CannotWrite message of the destination, print
    TooMany,          // replace by the words, print
    PrintThenWords,   // print, then the words on a line of their own
};

struct Row {
    Error cause;  // the reader's or writer's error
    Error answer; // the error whose mkconf number and words the row gives
    Message message;
};

// ASCII to binary, the error of read_ascii_table (never Ok here).  The
// holiday file and the optimizer's warning answer as the reader's own.
constexpr Row kAsciiRead[] = {
    {Error::CannotRead, Error::CannotRead, Message::PrintCannotRead},
    {Error::HolidayFile, Error::CannotRead, Message::PrintCannotRead},
    {Error::ListingNotWritten, Error::ListingNotWritten, Message::Print},
    {Error::ValueCut, Error::ValueCut, Message::PrintAppend},
    {Error::TooManyPeriods, Error::ValueCut, Message::PrintAppend},
    {Error::SyntaxError, Error::SyntaxError, Message::PrintAppend},
    {Error::WrongValue, Error::WrongValue, Message::PrintAppend},
    {Error::NoMemory, Error::NoMemory, Message::PrintAppend},
    {Error::WrongTableFormat, Error::WrongTableFormat, Message::PrintAppend},
    {Error::TooManyEntries, Error::TooManyEntries, Message::PrintAppend},
    // Not an error the parser gives; the message head is all there is.
    {Error::Ok, Error::TableMismatch, Message::Print},
};

// ASCII to binary, the error of write_table_file.
constexpr Row kBinWrite[] = {
    {Error::Ok, Error::Ok, Message::None},
    {Error::TooManyEntries, Error::TooManyEntries, Message::TooMany},
    {Error::CannotWrite, Error::CannotWrite, Message::CannotWrite},
    {Error::Ok, Error::CannotWrite, Message::None},
};

// Binary to ASCII, the error of read_table_file (never Ok here).
constexpr Row kBinRead[] = {
    {Error::TooManyEntries, Error::TooManyEntries, Message::TooMany},
    {Error::Ok, Error::CannotRead, Message::None},
};

// Binary to ASCII, the error of write_ascii_table.
constexpr Row kAsciiWrite[] = {
    {Error::Ok, Error::Ok, Message::None},
    {Error::WrongTableFormat, Error::WrongTableFormat, Message::PrintThenWords},
    {Error::CannotWrite, Error::CannotWrite, Message::PrintCannotWrite},
    {Error::Ok, Error::TableMismatch, Message::None},
};

const Row &row_of(std::span<const Row> rows, Error cause) {
    for (const Row &row : rows.first(rows.size() - 1))
        if (row.cause == cause)
            return row;
    return rows.back();
}

// One line of err_str on the error trace.
void print(const char *err_str) {
    dbg_error(err_str);
}

void append(char *err_str, const char *text) {
    const size_t used = ::strnlen(err_str, kErrStrSize - 1);
    std::snprintf(err_str + used, kErrStrSize - used, "%s", text);
}

void set_file_message(char *err_str, Error kind, const char *path) {
    std::snprintf(err_str, kErrStrSize, "%s", file_error_message(kind, path).c_str());
}

// Treats err_str as the row says and returns the row's result.  `path` is
// the file the CannotRead or CannotWrite message names.
int apply(const Row &row, char *err_str, const char *path) {
    const char *words = error_text(row.answer);
    switch (row.message) {
    case Message::None:
        break;
    case Message::Print:
        print(err_str);
        break;
    case Message::PrintAppend:
        print(err_str);
        append(err_str, words);
        // The memory words end their line, as the converters hand them.
        if (row.answer == Error::NoMemory)
            append(err_str, "\n");
        print(err_str);
        break;
    case Message::PrintCannotRead:
        print(err_str);
        set_file_message(err_str, Error::CannotRead, path);
        print(err_str);
        break;
    case Message::CannotWrite:
        set_file_message(err_str, Error::CannotWrite, path);
        print(err_str);
        break;
    case Message::PrintCannotWrite:
        print(err_str);
        set_file_message(err_str, Error::CannotWrite, path);
        print(err_str);
        break;
    case Message::TooMany:
        std::snprintf(err_str, kErrStrSize, "%s", words);
        print(err_str);
        break;
    case Message::PrintThenWords:
        print(err_str);
        dbg_error(words);
        break;
    }
    return export_result(ResultFamily::Mkconf, row.answer);
}

} // namespace

int mkconf_ascii_read_failed(Error r, char *err_str, const char *cfgfile) {
    return apply(row_of(kAsciiRead, r), err_str, cfgfile);
}

int mkconf_bin_write_result(Error w, char *err_str, const char *binfile) {
    return apply(row_of(kBinWrite, w), err_str, binfile);
}

int mkconf_bin_read_failed(Error r, char *err_str) {
    return apply(row_of(kBinRead, r), err_str, nullptr);
}

int mkconf_ascii_write_result(Error w, char *err_str, const char *cfgfile) {
    return apply(row_of(kAsciiWrite, w), err_str, cfgfile);
}

const char *mkconf_result_words(int result) {
    // The error that speaks for each of mkconf's results.
    static constexpr Error kSpeakers[] = {
        Error::Ok,          Error::ValueCut,      Error::TableMismatch,    Error::CannotRead,
        Error::CannotWrite, Error::NoMemory,      Error::WrongTableFormat, Error::WrongValue,
        Error::SyntaxError, Error::TooManyEntries};
    for (Error speaker : kSpeakers)
        if (export_result(ResultFamily::Mkconf, speaker) == result)
            return error_text(speaker);
    return error_text(Error::TableMismatch);
}

} // namespace vorn
