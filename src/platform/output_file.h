// Output files that reach their destination whole or not at all, and the
// lock that serialises jobs which read a file and then replace it.
//
// A new output is written to a file beside its destination that has no name
// of its own while it grows (O_TMPFILE; on Windows a file marked for deletion
// on close), so a failure, a kill or a power loss leaves the old file as it
// was and nothing else behind.  commit() syncs the content and renames it
// over the destination in one step: of several processes writing one
// destination, each leaves a complete file and the last rename wins.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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
    // "wb", "w+b").  `staging` optionally names the file under which the
    // content is linked just before its rename (an existing empty
    // placeholder, such as a name made by make_fname, is taken over).  A
    // destination that exists but is no regular file (a FIFO, a device) is
    // written directly.  False (errno set) when nothing could be created.
    bool create(const char *path, const char *mode, const std::string &staging = std::string());
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
    bool commit();
    // Closes and leaves the destination as it was.
    void discard();
    // Closes a new content and leaves it beside the destination under its
    // staging name, the destination untouched: for a job whose documented
    // failure keeps what it wrote so far under that name.  True when the
    // content got the name.
    bool keep_staged();

  private:
    enum class Kind { None, Staged, Direct, Append };
    bool open_staged(const char *mode, const std::string &staging);
    int publish();
    int name_staged();
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
};

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
