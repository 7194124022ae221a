// The framing of the language server's messages: "Content-Length: N",
// other header lines, an empty line, then N bytes of JSON.  The reader is
// fed whatever bytes arrive and hands out whole bodies, or the fault of a
// header it cannot read; after such a fault, or a body larger than the
// cap, it passes over the bytes up to the next header.
#pragma once

#include <cstddef>
#include <string>

namespace vorn::tool::lsp {

// The largest body the server takes: a configuration is at most a few
// hundred kilobytes, so anything near this is a client's fault.  Its bytes
// are never held: the reader looks for the next header instead.
inline constexpr size_t kMaxBody = 64u << 20;
// The longest header block looked at before it is given up as garbage.
inline constexpr size_t kMaxHeader = 8192;

struct Frame {
    enum Kind { Body, BadHeader, TooLarge } kind = Body;
    std::string body; // the JSON text (Body), or what was wrong
};

class FrameReader {
  public:
    void feed(const char *data, size_t size);
    // The next frame, when one is complete.
    bool next(Frame &out);

  private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    bool read_header(Frame &out);
    bool resynchronise();
    bool give_up(Frame &out, Frame::Kind kind, const char *why);

    std::string m_buffer;
    size_t m_want = kNone; // the length of the body being read
    bool m_lost = false;   // after a fault: looking for the next header
};

// The frame of a body as the server writes it.
std::string framed(const std::string &body);

} // namespace vorn::tool::lsp
