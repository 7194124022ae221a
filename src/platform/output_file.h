// Output files that reach their destination whole or not at all, and the
// lock that serialises jobs which read a file and then replace it.
//
// A new output is written to a file beside its destination that has no name
// of its own while it grows (O_TMPFILE; on Windows a file marked for deletion
// on close), so a failure, a kill or a power loss leaves the old file as it
// was and nothing else behind.  commit() syncs the content and renames it
// over the destination in one step: of several processes writing one
// destination, each leaves a complete file and the last rename wins.
//
// A job of several outputs holds a Publication while it writes: each commit
// then only seals its output (synced, owner and mode set, linked under a
// staging name) and the publication renames them all at its end, after the
// last sync, or removes every one of them when the job failed.
//
// Where a file must carry a name while it grows (no O_TMPFILE), the name is
// "<destination>.vorn-<pid>-<six characters>~": the process removes it on
// SIGINT, SIGTERM and SIGHUP, and a later run into the same folder removes
// the names of processes that no longer live.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vorn::platform {

class OutputFile {
  public:
    OutputFile() = default;
    // An output that was neither committed nor discarded is discarded.
    ~OutputFile();
    OutputFile(OutputFile &&other) noexcept;
    OutputFile &operator=(OutputFile &&other) noexcept;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Starts a new content for `path` with the fopen `mode` ("w", "wt",
    // "wb", "w+b").  A new file gets `permissions` (less the umask) from
    // its start; a replaced one keeps its owner, group and mode where the
    // process may set them.  A destination that exists but is no regular
    // file (a FIFO, a device), or a file without a name of its own (reached
    // through /proc/self/fd), is written directly.  False (errno set) when
    // nothing could be created.
    bool create(const char *path, const char *mode, unsigned permissions = 0666);
    // Opens `path` for appending and locks it against other appenders.  A
    // failed commit cuts the file back to its length at this open.
    bool append(const char *path);

    std::FILE *get() const { return m_stream; }
    explicit operator bool() const { return m_stream != nullptr; }
    // The destination, links resolved.
    const std::string &path() const { return m_path; }

    // Flushes and syncs the content and puts it in place.  True when every
    // write, the sync and the rename succeeded; otherwise the destination
    // is left as it was before create() or append() and errno tells why.
    // While the thread holds a Publication, a new content is only sealed
    // and handed to it; the publication puts it in place.
    bool commit();
    // Closes and leaves the destination as it was.
    void discard();
    // Closes a new content and leaves it beside the destination under the
    // name `kept` (an empty placeholder of that name is replaced), the
    // destination untouched: for a job whose documented failure keeps what
    // it wrote so far under that name.  True when the content got the name.
    bool keep_staged(const std::string &kept);

  private:
    enum class Kind { None, Staged, Direct, Append };
    bool open_staged(const char *mode, unsigned permissions);
    // Syncs the content, gives it the old file's owner and mode and links
    // it under m_staging; the stream is closed on success.  0 or errno.
    // `partial` names what was written so far even when a write failed.
    int seal(bool partial = false);
    int publish();
    void drop();
    bool open_append();
    // After the stream's close: cuts an appended file back to its old length
    // unless `keep`, and releases the lock.
    void finish_append(bool keep);
    void reset();

    std::FILE *m_stream = nullptr;
    Kind m_kind = Kind::None;
    std::string m_path;
    std::string m_staging;    // the name the content is linked under before the rename
    bool m_named = false;     // the staged content already has that name on disk
    uint64_t m_length = 0;    // length of an appended file at its open
    void *m_native = nullptr; // the system's handle, where the stream is not enough
    // The replaced file's owner and mode (when m_keep_owner), kept by seal().
    bool m_keep_owner = false;
    uint32_t m_owner = 0, m_group = 0, m_mode = 0;
};

// The outputs of one job, put in place together.  While it lives it is the
// thread's current publication: OutputFile::commit() seals each new
// content and hands it over.  publish() renames them all, in the order they
// were committed, once every one of them is sealed; a publication that ends
// unpublished removes every staged file, and no destination changes.  A
// publication made while another is current hands its files to the outer
// one when published.
//
// Several renames are not one atomic step: a kill between two of them
// leaves the earlier destinations new and the later ones old, and staged
// files of a dead process, which the next run into their folder removes.
class Publication {
  public:
    Publication();
    ~Publication();
    Publication(const Publication &) = delete;
    Publication &operator=(const Publication &) = delete;

    // Puts every staged output in place.  True when every rename succeeded;
    // otherwise errno tells why and failed() names the destination.
    bool publish();
    // Removes every staged output; the destinations stay as they were.
    void abandon();
    // The destination whose rename failed in publish().
    const std::string &failed() const { return m_failed; }
    // Whether an output for `path` (links resolved) waits to be published.
    bool holds(const char *path) const;

    // The thread's current publication, nullptr when none.
    static Publication *current();
    // Takes the sealed file `staged` that is to replace `destination`.
    void adopt(const std::string &staged, const std::string &destination);

  private:
    std::vector<std::pair<std::string, std::string>> m_files; // staged, destination
    Publication *m_outer = nullptr;
    std::string m_failed;
    bool m_done = false;
};

// A scratch file without a name: an O_TMPFILE file in a folder, else a file
// in memory.  The library opens it again by path() (through /proc/self/fd),
// so that a job that takes file names reads or writes it, and it goes with
// the process however that ends.  Where the system offers neither, the file
// has a name of the form above, removed when the object ends or a signal
// ends the process.
class UnnamedFile {
  public:
    UnnamedFile() = default;
    ~UnnamedFile();
    UnnamedFile(const UnnamedFile &) = delete;
    UnnamedFile &operator=(const UnnamedFile &) = delete;

    // A new empty file in `folder`.  False (errno set) when none was had.
    bool create(const std::string &folder);
    const std::string &path() const { return m_path; }
    // A stream on the file, read and written from its start; owned by the
    // caller.  nullptr (errno set) when none could be opened.
    std::FILE *open_stream() const;

  private:
    intptr_t m_handle = -1;
    std::string m_path;
    bool m_named = false;
};

// Named scratch files that a signal must not leave behind: the tool calls
// remove_named_on_signals() once; the staging names of outputs are listed
// while they exist and removed when SIGINT, SIGTERM or SIGHUP ends the
// process (which then ends by that signal as usual).  SIGPIPE is ignored,
// so that a write to a closed pipe fails with EPIPE like any other write.
void remove_named_on_signals();
void list_for_signals(const std::string &path);
void unlist_for_signals(const std::string &path);
// Removes the staging names in `folder` of processes that no longer live.
void sweep_dead_staging(const std::string &folder);

// An exclusive advisory lock on a file for a job that reads it and then
// replaces it: a second job waits until the first has put its result in
// place and then reads that result.  Held until unlock() or destruction.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock() { unlock(); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Waits for the lock on the file that `path` names now.  False (errno
    // set) when the file cannot be opened; nothing is then held.
    bool lock(const char *path);
    void unlock();

  private:
    intptr_t m_handle = -1;
};

} // namespace vorn::platform
