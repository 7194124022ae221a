// Test helpers around the diagnostic trace: capture what the debug sink
// receives and switch debugging on for a thread; besides, a temporary
// folder and whole-file reads and writes.
#pragma once

#include "platform/platform.h"
#include "vorn_b32.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace vorn::test {

// Installs a capturing debug sink for its lifetime (process-wide).
class TraceCapture {
  public:
    TraceCapture() { platform::set_debug_sink(&TraceCapture::sink, this); }
    ~TraceCapture() { platform::set_debug_sink(nullptr, nullptr); }
    TraceCapture(const TraceCapture &) = delete;
    TraceCapture &operator=(const TraceCapture &) = delete;
    std::vector<std::string> outputs() const;        // every string as the sink received it
    std::string text() const;                        // all of them joined
    bool contains(const std::string &needle) const { // within one string
        return std::ranges::any_of(outputs(), [&](auto &s) { return s.find(needle) != s.npos; });
    }
    // The strings without their "[DEB] [tid][hh:mm:ss,mmm]Vorn_B32.DLL:" prefix.
    std::vector<std::string> bodies() const;
    void clear();
    void set_failing(bool failing); // the sink fails, as an unwritable sink file would

  private:
    static bool sink(const char *text, void *context);
    mutable std::mutex m_mutex;
    std::vector<std::string> m_outputs;
    bool m_failing = false;
};

// set_debug(1) for the calling thread while it lives, set_debug(0) after.
struct DebugOn {
    DebugOn() { set_debug(1); }
    ~DebugOn() { set_debug(0); }
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
