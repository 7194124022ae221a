// The conversion driver behind mkconf: the direction by the mode, the size
// checks of the source, the version check of either table file, and the
// tables that turn every reader and writer result into mkconf's result and
// the message a user sees.
#include "conf/mkconf_driver.h"

#include "frame/blank_text.h"
#include "frame/error.h"
#include "frame/export_results.h"
#include "frame/frame.h"
#include "parser/parser.h"
#include "platform/platform.h"
#include "table/bin_table.h"
#include "table/owned_table.h"
#include "table/split_numbers.h"
#include "trace/trace.h"
#include "vorn_b32.h"

#include <cstring>
#include <strings.h>

namespace vorn {

namespace {

// Source lines that the driver's trace lines name.
constexpr unsigned kLineAsciiSize = 305;
constexpr unsigned kLineCallRead = 313;
constexpr unsigned kLineAfterRead = 316;
constexpr unsigned kLineWritten = 396;
constexpr unsigned kLineBinSize = 427;
constexpr unsigned kLineWriteBinTable = 259;
constexpr unsigned kLineWriteHexFile = 268;
// The source these trace lines name, as the service tools know it.
constexpr const char *kDriverSource = "conftool.cpp";

// The pre-scan reads lines of at most 119 characters.
constexpr size_t kScanLineSize = 120;
// read_bin_table looks at this many bytes for the version.
constexpr size_t kVersionProbeSize = 200;

struct MapModeName {
    const char *name;
    uint8_t value;
};

constexpr MapModeName kMapModeNames[] = {
    {"MAP_IN", MAP_IN},
    {"MAP_OUT", MAP_OUT},
    {"MAP_CALLBACK1", MAP_CALLBACK1},
    {"MAP_CALLBACK2", MAP_CALLBACK2},
    {"MAP_SPECIAL", MAP_SPECIAL},
    {"MAP_COMPRESS", MAP_COMPRESS},
    {"MAP_DTMF", MAP_DTMF},
    {"MAP_VOICE", MAP_VOICE},
    {"MAP_DATA", MAP_DATA},
};

void release_err_str(char *err_str) {
    myFree(err_str, "err_str");
    dbg_printf("err_str freed\n");
}

// The internal status that mkconf's last trace line shows.
enum class MkconfStatus : int {
    Clean = 0,
    HandledError = 1,  // also an exception on the way
    EarlyFailure = -1, // BIN->ASCII: the source missing, too small or unreadable
};

// The last line of every mkconf call, also of one left through an exception.
struct ReturnLine {
    MkconfStatus status = MkconfStatus::HandledError;
    ~ReturnLine() { dbg_printf("mkconf return(%d)\n", static_cast<int>(status)); }
};

// What one mkconf call holds.  It all goes back when the call ends, in the
// order the trace shows: the table (and the thread forgets it), err_str,
// then the return line.
struct MkconfState {
    explicit MkconfState(std::string *message)
        : err_str(static_cast<char *>(myAlloc(kErrStrSize, "err_str"))), m_message(message) {}
    MkconfState(const MkconfState &) = delete;
    MkconfState &operator=(const MkconfState &) = delete;
    ~MkconfState() {
        dbg_printf("free pTable=%p\n", static_cast<void *>(table.get()));
        if (m_message != nullptr && err_str.get() != nullptr)
            m_message->assign(err_str.get(), ::strnlen(err_str.get(), kErrStrSize));
    }

    ReturnLine end;
    HeldBlock<char, release_err_str> err_str;
    HeldTable table;
    WriterOptions writer; // how the ASCII text is written

  private:
    std::string *m_message; // receives err_str before it is released
};

int ascii_to_bin(const char *cfgfile, const char *binfile, MkconfState &state) {
    uint64_t size = 0;
    Error r;
    if (!platform::file_size(cfgfile, &size)) {
        r = Error::CannotRead;
    } else {
        dbg_printf("conftool#%u: read_ascii_table: size=%u\n", kLineAsciiSize,
                   static_cast<unsigned>(size));
        if (size < kMinAsciiFileSize) {
            r = Error::CannotRead;
        } else {
            dbg_printf("conftool#%u: call read_ascii_table(,%s,%p)\n", kLineCallRead, cfgfile,
                       static_cast<void *>(state.err_str.get()));
            r = read_ascii_table(state.table.out(), cfgfile, state.err_str.get());
            dbg_printf("conftool#%u: after read_ascii_table() err=%d pTable=%p err_str=<%s>\n",
                       kLineAfterRead, export_result(ResultFamily::ConfigReader, r),
                       static_cast<void *>(state.table.get()), state.err_str.get());
        }
    }
    if (r != Error::Ok) {
        state.end.status = MkconfStatus::HandledError;
        return mkconf_ascii_read_failed(r, state.err_str.get(), cfgfile);
    }

    dbg_printf("ASCII(%s)->BIN(%s) conversion OK\n", cfgfile, binfile);
    const Error w = write_table_file(state.table.get(), binfile);
    dbg_printf("conftool#%u: mkconf: err=%d\n", kLineWritten,
               export_result(ResultFamily::TableFile, w));
    const int result = mkconf_bin_write_result(w, state.err_str.get(), binfile);
    state.end.status = result == VORN_CONF_OK ? MkconfStatus::Clean : MkconfStatus::HandledError;
    return result;
}

int bin_to_ascii(const char *cfgfile, const char *binfile, MkconfState &state) {
    uint64_t size = 0;
    if (!platform::file_size(binfile, &size)) {
        state.end.status = MkconfStatus::EarlyFailure;
        return VORN_CONF_CANNOT_READ;
    }
    dbg_printf("conftool#%u: read_ascii_table: size=%u (min. %u)\n", kLineBinSize,
               static_cast<unsigned>(size), static_cast<unsigned>(kMinBinFileSize));
    if (size < kMinBinFileSize) {
        state.end.status = MkconfStatus::EarlyFailure;
        return VORN_CONF_CANNOT_READ;
    }

    dbg_printf("call read_hex_file(,%s)\n", binfile);
    const Error r = read_table_file(state.table.out(), binfile);
    if (r != Error::Ok) {
        state.end.status =
            r == Error::TooManyEntries ? MkconfStatus::HandledError : MkconfStatus::EarlyFailure;
        return mkconf_bin_read_failed(r, state.err_str.get());
    }

    dbg_printf("call write_ascii_table pTable=%p cfg=%s err_str=%p\n",
               static_cast<void *>(state.table.get()), cfgfile,
               static_cast<void *>(state.err_str.get()));
    const Error w =
        write_ascii_table(state.table.get(), cfgfile, state.err_str.get(), state.writer);
    const int result = mkconf_ascii_write_result(w, state.err_str.get(), cfgfile);
    state.end.status = result == VORN_CONF_OK ? MkconfStatus::Clean : MkconfStatus::HandledError;
    return result;
}

} // namespace

// ---- driver -----------------------------------------------------------------------

int mkconf_driver(const char *cfgfile, const char *binfile, int32_t mode, std::string *message,
                  const WriterOptions &writer) {
    if (message != nullptr)
        message->clear();
    dbg_printf("mkconf(\"%s\", \"%s\", %d) pTable=%p\n", cfgfile, binfile, mode,
               static_cast<void *>(nullptr));
    if (cfgfile == nullptr || binfile == nullptr)
        return VORN_CONF_WARNING;

    const bool to_binary = (mode & 1) != 0;
    // The direction line follows the whole mode value; only bit 0 decides
    // the conversion.
    if (mode != 0)
        dbg_printf("%s -> %s\n", cfgfile, binfile);
    else
        dbg_printf("%s -> %s\n", binfile, cfgfile);
    for (const MapModeName &m : kMapModeNames)
        dbg_printf("%20s=%02x\n", m.name, m.value);

    MkconfState state(message);
    state.writer = writer;
    if (state.err_str.get() == nullptr) {
        // Without the message buffer nothing is converted; the user still
        // learns why.
        dbg_error(no_memory_message_text().c_str());
        return VORN_CONF_NO_MEMORY;
    }
    return to_binary ? ascii_to_bin(cfgfile, binfile, state)
                     : bin_to_ascii(cfgfile, binfile, state);
}

// ---- version --------------------------------------------------------------------

uint16_t get_table_version(const char *text) {
    uint16_t major = 0;
    uint16_t minor = 0;
    if (text != nullptr)
        split_numbers(text, ".", &major, &minor, nullptr);
    const auto version = static_cast<uint16_t>(((major & 0xFF) << 8) | (minor & 0xFF));
    dbg_printf("get_table_version: major=%04x minor=%04x version=%04x\n", major, minor, version);
    return version;
}

uint16_t table_version(const table_t *table) {
    if (table == nullptr)
        return 0;
    // The text behind "TF", cut to the field: a table read from a damaged
    // file need not hold a terminator.
    constexpr size_t kBehindTf = 2;
    char text[sizeof table->table_format - kBehindTf + 1];
    copy_field(text, table->table_format + kBehindTf, sizeof table->table_format - kBehindTf);
    return get_table_version(text);
}

// ---- wrappers -------------------------------------------------------------------

Error read_ascii_table(table_t **table, const char *cfgfile, char *err_str) {
    return read_ascii_table(table, ConfigSource::load(cfgfile), err_str);
}

Error read_ascii_table(table_t **table, const ConfigSource &source, char *err_str,
                       const CompileWatchers &watchers) {
    const char *cfgfile = source.origin.c_str();
    dbg_printf("read_ascii_table(%s): err_str=%p\n", cfgfile, static_cast<void *>(err_str));
    if (!source.loaded)
        return Error::CannotRead;

    SourceCursor cursor(source);
    uint16_t version = 0;
    char line[kScanLineSize];
    bool at_end = false;
    while (cursor.read_text_line(line, sizeof line, at_end)) {
        const size_t length = std::strlen(line);
        // A last line without its line end is not examined.
        if ((length == 0 || line[length - 1] != '\n') && at_end)
            break;
        if (*skip_blanks(line) == ';')
            continue;
        dbg_printf("read_ascii_table: line=<%s>\n", line);
        const char *key = std::strstr(line, "TABLE");
        if (key == nullptr)
            continue;
        const char *tf = std::strstr(key + 5, "TF");
        version = tf != nullptr ? get_table_version(tf + 2) : 0xFFFF;
        break;
    }
    dbg_printf("read_ascii_table(%s): tversion=%04x\n", cfgfile, version);

    if (version == 0)
        return Error::CannotRead;
    if (version != kTableVersion)
        return Error::WrongTableFormat;
    return read_ascii_table15(table, source, err_str, watchers);
}

bool announce_conversion(const char *host) {
    const char *tool = nullptr;
    if (get_tool_name(&tool) != Error::Ok || tool == nullptr || strcasecmp(tool, host) != 0)
        return false;
    char version[100];
    get_dll_version(kModuleLabel, version, sizeof version);
    platform::console_printf("%s\n", version);
    return true;
}

Error write_ascii_table(table_t *table, const char *cfgfile, char *err_str,
                        const WriterOptions &options) {
    const uint16_t version = table_version(table);
    dbg_printf("write_ascii_table: pTable=%p tversion=%04x\n", static_cast<void *>(table), version);
    if (version != kTableVersion)
        return Error::TableMismatch;
    announce_conversion(kDecompilerHost);
    return write_ascii_table15(table, cfgfile, err_str, options);
}

OwnedTable read_owned_table(const char *binfile) {
    table_t *table = nullptr;
    const Error r = read_table_file(&table, binfile);
    OwnedTable owned(table);
    if (r != Error::Ok)
        owned.reset();
    return owned;
}

Error read_table_file(table_t **table, const char *binfile) {
    *table = nullptr;
    std::FILE *file = binfile != nullptr ? std::fopen(binfile, "rb") : nullptr;
    if (file == nullptr) {
        dbg_error(file_error_message(Error::CannotOpen, binfile).c_str());
        return Error::CannotOpen;
    }

    std::fseek(file, 0, SEEK_END);
    const long length = std::ftell(file);
    dbg_printf("READ  bin file \"%s\" size = %ld\n", binfile, length);
    std::fseek(file, 0, SEEK_SET);

    Error result = Error::Ok;
    if (length != 0) {
        result = read_bin_table(table, file);
        if (result != Error::Ok)
            dbg_error(file_error_message(Error::CannotRead, binfile).c_str());
    }
    std::fclose(file);
    dbg_printf("read_hex_file: *ppTable=%p\n", static_cast<void *>(*table));
    return result;
}

Error read_bin_table(table_t **table, std::FILE *stream) {
    // The probe is one byte longer than what is read so that the format
    // text behind "TF" always ends inside it.
    char probe[kVersionProbeSize + 1] = {};
    if (std::fread(probe, 1, kVersionProbeSize, stream) < kVersionProbeSize)
        return Error::CannotRead;
    constexpr size_t kBehindTf = offsetof(table_t, table_format) + 2;
    const uint16_t version = get_table_version(probe + kBehindTf);
    std::rewind(stream);
    dbg_printf("read_bin_table: tversion=%04x\n", version);
    if (version != kTableVersion)
        return Error::CannotRead;
    return read_bin_table15(table, stream);
}

Error write_table_file(table_t *table, const char *binfile) {
    dbg_printf("call write_bin_table\n");
    const Error result = write_bin_table(table, binfile);
    dbg_printf("%s#%u: write_hex_file: err=%d\n", source_tail(kDriverSource), kLineWriteHexFile,
               export_result(ResultFamily::TableFile, result));
    return result;
}

Error write_bin_table(table_t *table, const char *binfile) {
    const uint16_t version = table_version(table);
    dbg_printf("write_bin_table: tversion=%04x\n", version);
    const Error result =
        version != kTableVersion ? Error::CannotWrite : write_bin_table15(table, binfile);
    dbg_printf("%s#%u: write_bin_table: err=%d\n", source_tail(kDriverSource), kLineWriteBinTable,
               export_result(ResultFamily::TableFile, result));
    return result;
}

} // namespace vorn
