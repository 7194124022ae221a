// Test helpers around the diagnostic trace: capture every output string of
// the debug sink, and switch debugging on for the calling thread.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace vorn::test {

// Installs a capturing debug sink for its lifetime (process-wide).
class TraceCapture {
  public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;

    // Every output string, in order, exactly as the sink received them.
    std::vector<std::string> outputs() const;
    // All output strings joined.
    std::string text() const;
    // True when some output string contains `needle`.
    bool contains(const std::string &needle) const;
    // Output strings with the "[DEB] [tid][hh:mm:ss,mmm]Vorn_B32.DLL:" prefix
    // cut off (strings without a prefix are kept whole).
    std::vector<std::string> bodies() const;
    void clear();
    // Makes the sink report failure (as an unwritable sink file would).
    void set_failing(bool failing);

  private:
    static bool sink(const char *text, void *context);
    mutable std::mutex m_mutex;
    std::vector<std::string> m_outputs;
    bool m_failing = false;
};

// set_debug(1) for the calling thread while it lives, set_debug(0) after.
class DebugOn {
  public:
    DebugOn();
    ~DebugOn();
};

// A fresh empty directory below the system temp folder, removed at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

  private:
    std::string m_path;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &content);

} // namespace vorn::test
