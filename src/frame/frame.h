// The library frame: per-thread state, the application object, the tracked
// allocator and the error vocabulary.
//
// Every export first finds the calling thread's CInstanceGlobals with
// get_instance_globals(); settings made on one thread are not seen by
// another.  Large blocks come from myAlloc (zero-filled) and go back through
// myFree with the same tag; both write one trace line with the live count.
#pragma once

#include "frame/error.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorn {

class CMyTrace;
struct table_t;

inline constexpr size_t kDevInfoSize = 90;

class CInstanceGlobals {
  public:
    CInstanceGlobals(uint32_t process_id, uint32_t thread_id);
    virtual ~CInstanceGlobals();
    CInstanceGlobals(const CInstanceGlobals &) = delete;
    CInstanceGlobals &operator=(const CInstanceGlobals &) = delete;

    uint32_t m_dwProcessId;
    uint32_t m_dwThreadId;
    CMyTrace *m_pTrace;
    table_t *m_pTable = nullptr;
    char m_szToolName[80] = {};
    char m_cToolNameEnd = 0; // keeps an unterminated 80-character name readable
    char m_szPassword[80] = {};
    uint8_t *m_pDevInfo = nullptr; // kDevInfoSize bytes from myAlloc
    void *m_pDevice = nullptr;
    char m_szTmpPath[platform::kPathMax] = {};
    char m_szConnectDate[20] = {};
    uint32_t m_dwOptimizeFiles = 0;
    uint32_t m_dwOptimizeEx = 0;
    uint32_t m_dwDebug = 0;
    std::vector<void *> m_aGlobalErrors;
};

// The calling thread's state, created on first use; nullptr when it could
// not be created.
CInstanceGlobals *get_instance_globals();

// Runs f on the calling thread's state when there is one.  The exports use
// it so that no exception ever reaches the host.
template <class F> void with_instance_globals(F &&f) noexcept {
    try {
        if (CInstanceGlobals *g = get_instance_globals())
            f(*g);
    } catch (...) {
    }
}

// The last ten characters of a source file's name, as the trace lines of the
// allocator and the table wrappers show it.
const char *source_tail(const char *file);

// The process-wide debug switch read from the settings at load.
uint32_t app_reg_debug();
void set_app_reg_debug(uint32_t value); // for tests and the tool

// Accessors: Error::Ok, or NoThreadState when no state object could be had
// (the output is then untouched).
Error set_instance_table(table_t *table);
Error get_instance_table(table_t **out);
Error get_tool_name(const char **out);
Error get_dev_info(const uint8_t **out);
Error get_device(void **out);
Error get_tmp_path(const char **out);
Error get_connect_date(const char **out);
Error get_optimize_files(uint32_t *out);

// make_fname without an extension, for paths of any length: creates a new
// empty file named after `source` (in the thread's temporary folder when
// `source` names no folder) and returns its path; empty when no unique file
// could be created, or when the path would not fit `capacity` characters
// with its terminator.
std::string make_unique_file(const char *source, size_t capacity = SIZE_MAX);
// The same name and trace without the file: a name that no file has now,
// for a job that makes its file only when it must keep it.
std::string make_unique_name(const char *source);

// make_fname with an extension, for paths of any length: `path` with
// everything from its last "." replaced by `extension` (appended when it
// has none).  The trace names `traced` as the original (`path` without).
std::string derived_file_name(const char *path, const char *extension,
                              const char *traced = nullptr);

// Tracked allocator.
void *myAlloc(size_t size, const char *tag);
void myFree(void *block, const char *tag);
uint32_t live_blocks();

// Error vocabulary: text of codes 0..89 ("" for codes without a text or out
// of range).
const char *error_text(int code);
inline constexpr int kErrorTexts = 90;

} // namespace vorn
