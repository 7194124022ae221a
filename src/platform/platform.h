// The operating-system services the library needs.  Nothing outside
// src/platform calls the operating system directly: everything goes through
// the functions declared here.  The build takes the files of one system from
// src/platform/posix or src/platform/win32; the files directly in this folder
// need no system call and serve both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vorn::platform {

// The name under which hosts know the library: its module name on Windows,
// the label of its trace lines and the name its version is asked under.
inline constexpr const char *kModuleLabel = "Vorn_B32.DLL";
// The size of the hosts' path buffers (MAX_PATH), terminator included.
inline constexpr size_t kPathMax = 260;

// The failure result of the services that follow the system's own
// convention: -1 with errno (or the last error) set.
inline constexpr int kSystemFailed = -1;

// ---- debugger output ------------------------------------------------------

// Hands one finished trace string to the debug sink: the system's debugger
// output (OutputDebugStringA; dropped where there is none), standard error or
// a file, as VORN_B32_DEBUG_OUTPUT chooses.  Returns false when the
// sink failed (file not writable); the caller decides what a failure means.
bool debug_output(const char *text);

// A sink function receives every finished string.  Passing nullptr restores
// the sink chosen from VORN_B32_DEBUG_OUTPUT.  Meant for tests and the tool.
using DebugSink = bool (*)(const char *text, void *context);
void set_debug_sink(DebugSink sink, void *context);
// Sends debug output to standard error from now on (the tool's --debug).
void set_debug_output_stderr();

// ---- time ----------------------------------------------------------------

struct LocalTime {
    int year;        // e.g. 2026
    int month;       // 1..12
    int day;         // 1..31
    int hour;        // 0..23
    int minute;      // 0..59
    int second;      // 0..60
    int millisecond; // 0..999
    int weekday;     // 0 = Sunday .. 6 = Saturday
};

// The one clock of the library: SOURCE_DATE_EPOCH (seconds) when set, else
// now; always in local time.
LocalTime local_time();

// Seconds since 1970 (UTC) of a wall-clock time in the local zone, with the
// TZ rules and daylight saving as the zone had them; fields beyond their
// range carry over (minute 75 is the next hour's minute 15).  kSystemFailed when the
// time cannot be represented.
int64_t local_to_epoch(int year, int month, int day, int hour, int minute, int second);

// ---- threads and processes ------------------------------------------------

uint32_t thread_id();
uint32_t process_id();

// ---- memory (GlobalAlloc, GlobalSize, GlobalFree) ----------------------------

// A fixed, zero-filled block of `size` bytes; nullptr when none was had.
void *global_alloc(size_t size);
// The size the block was asked for.
size_t global_size(const void *block);
void global_free(void *block);

// ---- settings (the Vorn_B32_DEBUG registry value) --------------------------

// Where the key HKEY_CURRENT_USER\SOFTWARE\KEMAX\KEMAX.NMS\Settings lives:
// the path of the settings file that stands in for it on POSIX systems, the
// key's own name on Windows.
std::string settings_path();
// Reads the numeric value `name`; when it is missing or unreadable, creates
// it as 0 (appends "name=0", or writes a REG_DWORD of 0) so that the user
// finds it.  Returns 0 on any failure.
uint32_t read_settings_value(const char *name);

// ---- files -----------------------------------------------------------------

// Size of a file by its path; false when it does not exist.
bool file_size(const char *path, uint64_t *size);

// What a path names, for tools that must refuse odd inputs and outputs that
// would overwrite an input.  `error` is the errno value when the path could
// not be examined (kind Missing).
struct FileIdentity {
    enum Kind { Missing, Regular, Folder, Fifo, Device, Other } kind = Missing;
    uint64_t device = 0; // together with inode: the same file, however named
    uint64_t inode = 0;
    int error = 0;
    uint32_t links = 1;                      // names of the file; 0 for a file that has none
    uint32_t owner = 0, group = 0, mode = 0; // POSIX owner, group and permission bits
};
FileIdentity file_identity(const char *path);
// Creates a new file that must not exist yet (exclusive create), closes it.
// Returns 0, or the errno value of the failure.
int create_new_file(const char *path);
// Names (not paths) of the entries in the folder of `pattern` whose names
// match the wildcard part of the pattern; sorted by name.
std::vector<std::string> find_files(const char *pattern);
// The folder for a tool's temporary files: $TMPDIR on POSIX systems (when
// it names a folder, else /tmp), the user's temporary folder on Windows;
// without a trailing separator.
std::string temp_folder();
// Removes a file; true on success.
bool remove_file(const char *path);
// "System error %d: %s" text of an errno value (strerror).
std::string system_error_text(int error);
// Last error number of the C runtime, and setting it (0 clears it, so that
// a later report shows only errors of the current job).
int last_error();
// True for the errors that only a write meets: a full or read-only disk, a
// file size or disk quota limit.
bool is_write_refusal(int error);
void set_last_error(int error);

// The path with symbolic links resolved, so that a file replaced through a
// link is the linked file; the path itself when it cannot be resolved.
std::string resolved_path(const char *path);
// Flushes a stream written with stdio and then its data to the disk.
// Returns 0, or the errno value of the failure.
int sync_stream(std::FILE *stream);
// The system's reason why a write to the file behind `stream` failed, when
// another thread made the write and its errno is lost: found again by
// writing one byte past the file's end (a full disk, a size limit), which
// is then cut off.  EIO when the byte goes through.
int write_failure_reason(std::FILE *stream);
// Asks the system to start writing to the disk what `stream` has handed to
// it so far, without waiting: a job that writes a large output keeps the
// disk busy while it works, and the sync at its end finds little left.
// Nothing where the system has no such request or the stream is no file.
void start_writeback(std::FILE *stream);
// Tells the system that the cached pages of the regular file at `path` are
// not needed any more, as a job is about to replace the file: they are given
// back now rather than while the new file takes its place.  The file itself
// is left as it is.  Nothing where the system has no such request.
void forget_cached_pages(const char *path);
// Puts the file `from` in place of `to` with one atomic rename, so that `to`
// always names either its old or its new content, and makes the rename
// durable.  Returns 0, or the errno value of the failed rename (errno is
// set too).
int replace_file(const char *from, const char *to);
// replace_file in two halves, for several files renamed back to back: the
// rename alone, and making the entries of the folder of `path` durable.
int rename_file(const char *from, const char *to);
void sync_folder_of(const char *path);

// Opens the existing (empty) file `path` for reading and writing in binary,
// as a scratch copy that does not outlive the process: its name is removed
// at once (POSIX) or it is deleted when closed (Windows).  nullptr (errno
// set) when it cannot be opened.
std::FILE *open_scratch_file(const char *path);
// Copies up to `limit` bytes from the read position of `from` to `to`, in
// the kernel where the system can (copy_file_range, sendfile).  Neither
// stream may hold buffered data.  Returns the bytes copied, 0 at the end of
// `from`, or kSystemFailed (errno set) when a read or write failed.
long long copy_file_piece(std::FILE *from, std::FILE *to, size_t limit);

// fopen for the modes "r", "w" and "a" (with "+", "b" or "t" behind), whose
// open never waits: an output FIFO that no process reads fails with ENXIO
// instead of blocking until a reader comes, while one with a reader is
// written as usual.  Files are created with mode 0666 (less the umask).
std::FILE *open_stream(const char *path, const char *mode);

// Opens an existing regular file for binary reading through stdio.  Returns
// nullptr (errno set) when it cannot be opened or is no regular file: a FIFO
// would block the open until a writer comes, a device such as /dev/zero
// never ends, and a folder reads as nothing.  The open itself never blocks.
std::FILE *open_regular_file(const char *path);

// Appends the whole content of the regular file at `path` to `bytes`, read
// in large pieces into room reserved for its size.  False (errno set) when it
// cannot be opened (see open_regular_file) or not be read to its end; what
// was read stays appended.
bool read_whole_file(const char *path, std::string &bytes);
// read_whole_file as a text: what fopen(path, "r") of the system's C runtime
// would read (on Windows a CR LF pair is one LF and Ctrl-Z ends the text).
bool read_text_file(const char *path, std::string &bytes);

// 0 when the file may be opened for reading (access R_OK), else the errno
// value of the failure.
int file_readable(const char *path);

// Reads one line of a text file opened with fopen: at most cap-1 characters
// plus the terminator, a CR LF end counted as one LF, the LF kept.  Returns
// false at end of file.  Use this instead of fgets where a file may come from
// Windows.
bool read_text_line(std::FILE *file, char *buf, size_t cap);

// ---- console -----------------------------------------------------------------

// The library's console lines (printf format of the C runtime): notes such
// as the compiler's version line, and progress lines that count a job down
// or overwrite themselves with "\r".  Hosts get both on standard output, as
// the box's command-line tools printed them.  A process that keeps its
// standard output for data (the vorn tool) sends them elsewhere, shows
// progress only on a terminal, or silences them, for the whole process.
struct ConsoleSettings {
    std::FILE *stream = nullptr; // nullptr: standard output
    bool quiet = false;          // no console lines at all
    bool progress = true;        // the progress lines too
};
void set_console(const ConsoleSettings &settings);
void console_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
void console_progress(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Whether progress lines are shown now (a caller ends its last one).
bool console_progress_shown();
// set_console with only `quiet` changed.
void set_console_quiet(bool quiet);
// Whether `stream` is a terminal (a user watching rather than a file).
bool is_terminal(std::FILE *stream);

// ---- standard streams as raw bytes ------------------------------------------
// A program that talks a protocol on its standard input and output (the
// language server) reads and writes them unbuffered and untranslated, and
// waits on its input with a time limit, which the C streams cannot do.

// Waits up to `timeout_ms` (negative: without limit) for standard input to
// have bytes or reach its end: 1 ready, 0 the time passed, -1 failed.
int wait_standard_input(int timeout_ms);
// Reads what standard input has, at most `size` bytes: their count, 0 at
// its end, -1 on failure.
long read_standard_input(char *buffer, size_t size);
// Writes all of `data` to standard output; false when it cannot (the
// reader is gone).
bool write_standard_output(const char *data, size_t size);

// ---- version resource ------------------------------------------------------
// (GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA)

// The library's own file version ("1.0.0.0").
const char *library_version();
// Size of the version information of `module`, a module name or path; 0 when
// it has none.  kModuleLabel (any case) and the path of the loaded library
// file name this library.
size_t version_info_size(const char *module);
// Reads the version information of `module` into `block` of `size` bytes.
bool version_info_read(const char *module, void *block, size_t size);
// The "FileVersion" text of the first language and code page of a block that
// version_info_read filled; nullptr when it holds none.
const char *version_info_file_version(const void *block, size_t size);

// ---- a mutex with a timed wait ----------------------------------------------

// The trace object's lock.  On POSIX systems it waits with
// pthread_mutex_timedlock, which the thread sanitizer understands
// (std::timed_mutex waits with a clock call that it does not know and reports
// falsely); on Windows it is an unnamed kernel mutex, as the trace object's
// CMutex was.
class TimedMutex {
  public:
    TimedMutex();
    ~TimedMutex();
    TimedMutex(const TimedMutex &) = delete;
    TimedMutex &operator=(const TimedMutex &) = delete;
    // true when the lock was taken within timeout_ms.
    bool lock_for(unsigned timeout_ms);
    void unlock();

  private:
    alignas(8) unsigned char m_storage[64]; // the native mutex or its handle
};

// ---- named semaphore "TraceMutex" -------------------------------------------

// Opaque handle; nullptr = none.
void *semaphore_create(const char *name, unsigned initial);
// true when acquired within timeout_ms.
bool semaphore_wait(void *sem, unsigned timeout_ms);
void semaphore_release(void *sem);
void semaphore_close(void *sem);

// ---- formats handed to the C runtime ----------------------------------------

// Copies a printf format into out, dropping the size letters F and N that
// this runtime does not know.  Returns out.
char *runtime_format(const char *format, char *out, size_t cap);

} // namespace vorn::platform
