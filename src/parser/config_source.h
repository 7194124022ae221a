// A configuration as the compiler reads it: the file is read once, as a
// text, into one source object that every stage after it shares (the
// version scan, the parser, the check's findings), so that they all see the
// same bytes and the file is opened only once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

struct ConfigSource {
    std::string origin;              // the path as given; "" for a text from memory
    std::string bytes;               // the text as the C runtime's text mode reads it
    std::vector<size_t> line_starts; // where line 1, 2, ... begins in `bytes`
    bool loaded = false;             // false: the file could not be read

    // Reads the file `path` (nullptr or "" cannot be read).
    static ConfigSource load(const char *path);
    // A text in memory, read as a file named `origin` would be.
    static ConfigSource from_text(std::string text, std::string origin = std::string());

    // Line `number` (1, 2, ...) without its line end (LF or CR LF); false
    // past the last line.
    bool line(int number, std::string_view &text) const;
};

// Reads a source front to back the way the readers of a stdio stream do.
class SourceCursor {
  public:
    explicit SourceCursor(const ConfigSource &source) : m_bytes(source.bytes) {}

    // The next byte as an unsigned char, or EOF at the end.
    int get() { return m_at < m_bytes.size() ? static_cast<unsigned char>(m_bytes[m_at++]) : -1; }
    // Steps back over the byte just read.
    void unget() {
        if (m_at > 0)
            --m_at;
    }
    bool at_end() const { return m_at >= m_bytes.size(); }
    // fgets with a CR LF end read as LF: at most cap - 1 characters through
    // the line end.  `ended_by_file` is true when the end of the text, not
    // the line end or the room, stopped the read.  False at the end.
    bool read_text_line(char *buf, size_t cap, bool &ended_by_file);

  private:
    const std::string &m_bytes;
    size_t m_at = 0;
};

} // namespace vorn
