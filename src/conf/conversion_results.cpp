// The one table from the results of the configuration readers and writers
// to mkconf's public results (the VORN_CONF_ numbers of vorn_b32.h), the
// words a user reads behind the message head, and what becomes of err_str
// on the way.  The four result functions of mkconf_driver.h look their row
// up here; a result without a row of its own takes the step's last row.
#include "conf/mkconf_driver.h"

#include "frame/file_messages.h"
#include "frame/frame.h"
#include "optimize/optimize.h"
#include "parser/parser.h"
#include "table/bin_table.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstdio>
#include <cstring>
#include <span>

namespace vorn {

// The optimizer's results travel as the reader's.
static_assert(code(OptimizeResult::TooManyEntries) == code(ParseResult::Warning));
static_assert(code(OptimizeResult::CannotWrite) == code(ParseResult::ListingNotWritten));

namespace {

constexpr const char *kTooManyEntries = "Too many entries!";
constexpr const char *kWrongTableFormat = "Wrong Table Format (TABLE=TFxx.x)";
constexpr const char *kNoMemory = "Not Enough Memory For This Operation!\n";

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
    int cause; // the reader's or writer's result
    int result;
    Message message;
    const char *words;
};

constexpr int kAnyOther = 1; // the step's last row: no result of a step is positive

// ASCII to binary, the result of read_ascii_table (never Ok here).
constexpr Row kAsciiRead[] = {
    {code(ParseResult::CannotRead), VORN_CONF_CANNOT_READ, Message::PrintCannotRead, nullptr},
    {code(ParseResult::ListingNotWritten), VORN_CONF_CANNOT_WRITE, Message::Print, nullptr},
    {code(ParseResult::Warning), VORN_CONF_WARNING, Message::PrintAppend, "Warning"},
    {code(ParseResult::SyntaxError), VORN_CONF_SYNTAX_ERROR, Message::PrintAppend, "Syntax Error"},
    {code(ParseResult::WrongValue), VORN_CONF_WRONG_VALUE, Message::PrintAppend, "Wrong Value"},
    {code(ParseResult::NoMemory), VORN_CONF_NO_MEMORY, Message::PrintAppend, kNoMemory},
    {code(ParseResult::WrongTableFormat), VORN_CONF_WRONG_FORMAT, Message::PrintAppend,
     kWrongTableFormat},
    {code(ParseResult::TooManyEntries), VORN_CONF_TOO_MANY, Message::PrintAppend, kTooManyEntries},
    // Not a result the parser gives; the message head is all there is.
    {kAnyOther, VORN_CONF_WRITE_FAILED, Message::Print, nullptr},
};

// ASCII to binary, the result of write_table_file.
constexpr Row kBinWrite[] = {
    {code(TableFileResult::Ok), VORN_CONF_OK, Message::None, nullptr},
    {code(TableFileResult::TooManyEntries), VORN_CONF_TOO_MANY, Message::TooMany, kTooManyEntries},
    {code(TableFileResult::Failed), VORN_CONF_CANNOT_WRITE, Message::CannotWrite, nullptr},
    {kAnyOther, VORN_CONF_CANNOT_WRITE, Message::None, nullptr},
};

// Binary to ASCII, the result of read_table_file (never Ok here).
constexpr Row kBinRead[] = {
    {code(TableFileResult::TooManyEntries), VORN_CONF_TOO_MANY, Message::TooMany, kTooManyEntries},
    {kAnyOther, VORN_CONF_CANNOT_READ, Message::None, nullptr},
};

// Binary to ASCII, the result of write_ascii_table.
constexpr Row kAsciiWrite[] = {
    {code(WriterResult::Ok), VORN_CONF_OK, Message::None, nullptr},
    {code(WriterResult::WrongTableFormat), VORN_CONF_WRONG_FORMAT, Message::PrintThenWords,
     kWrongTableFormat},
    {code(WriterResult::CannotWrite), VORN_CONF_CANNOT_WRITE, Message::PrintCannotWrite, nullptr},
    {kAnyOther, VORN_CONF_WRITE_FAILED, Message::None, nullptr},
};

const Row &row_of(std::span<const Row> rows, int cause) {
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

void set_file_message(char *err_str, FileMessage kind, const char *path) {
    std::snprintf(err_str, kErrStrSize, "%s", file_message(kind, path).c_str());
}

// Treats err_str as the row says and returns the row's result.  `path` is
// the file the CannotRead or CannotWrite message names.
int apply(const Row &row, char *err_str, const char *path) {
    switch (row.message) {
    case Message::None:
        break;
    case Message::Print:
        print(err_str);
        break;
    case Message::PrintAppend:
        print(err_str);
        append(err_str, row.words);
        print(err_str);
        break;
    case Message::PrintCannotRead:
        print(err_str);
        set_file_message(err_str, FileMessage::CannotRead, path);
        print(err_str);
        break;
    case Message::CannotWrite:
        set_file_message(err_str, FileMessage::CannotWrite, path);
        print(err_str);
        break;
    case Message::PrintCannotWrite:
        print(err_str);
        set_file_message(err_str, FileMessage::CannotWrite, path);
        print(err_str);
        break;
    case Message::TooMany:
        std::snprintf(err_str, kErrStrSize, "%s", row.words);
        print(err_str);
        break;
    case Message::PrintThenWords:
        print(err_str);
        dbg_error(row.words);
        break;
    }
    return row.result;
}

} // namespace

int mkconf_ascii_read_failed(int r, char *err_str, const char *cfgfile) {
    return apply(row_of(kAsciiRead, r), err_str, cfgfile);
}

int mkconf_bin_write_result(int w, char *err_str, const char *binfile) {
    return apply(row_of(kBinWrite, w), err_str, binfile);
}

int mkconf_bin_read_failed(int r, char *err_str) {
    return apply(row_of(kBinRead, r), err_str, nullptr);
}

int mkconf_ascii_write_result(int w, char *err_str, const char *cfgfile) {
    return apply(row_of(kAsciiWrite, w), err_str, cfgfile);
}

const char *mkconf_result_words(int result) {
    switch (result) {
    case VORN_CONF_OK:
        return "OK";
    case VORN_CONF_CANNOT_READ:
        return file_message_words(FileMessage::CannotRead);
    case VORN_CONF_CANNOT_WRITE:
        return file_message_words(FileMessage::CannotWrite);
    case VORN_CONF_WRITE_FAILED:
        return "Conversion failed";
    default:
        for (const Row &row : kAsciiRead)
            if (row.result == result && row.message == Message::PrintAppend)
                return row.words == kNoMemory ? "Not Enough Memory For This Operation!" : row.words;
        return "Conversion failed";
    }
}

std::vector<ConversionResult> conversion_results() {
    std::vector<ConversionResult> all;
    for (std::span<const Row> rows :
         {std::span<const Row>(kAsciiRead), std::span<const Row>(kBinWrite),
          std::span<const Row>(kBinRead), std::span<const Row>(kAsciiWrite)})
        for (const Row &row : rows)
            all.push_back({row.cause, row.result});
    return all;
}

} // namespace vorn
