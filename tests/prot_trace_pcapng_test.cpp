// The pcapng capture of a trace's frames, read back block by block: one
// interface per port, the direction in the flags and the pseudo-header, the
// time stamps rebuilt from the `t` records and the headers.
#include "logs/pcapng.h"
#include "logs/prot_trace.h"
#include "support/prot_trace_builder.h"
#include "support/text_files.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vorn::test {
namespace {

uint32_t le32(const std::string &s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
    return v;
}
uint16_t le16(const std::string &s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1])
                                                                   << 8);
}
uint16_t be16(const std::string &s, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) << 8 |
                                 static_cast<uint8_t>(s[at + 1]));
}

// The value of option `code` in the options that start at `at`.
std::string option(const std::string &body, size_t at, uint16_t code) {
    while (at + 4 <= body.size() && le16(body, at) != 0) {
        const uint16_t length = le16(body, at + 2);
        if (le16(body, at) == code)
            return body.substr(at + 4, length);
        at += 4 + ((length + 3u) & ~3u);
    }
    return "";
}

// One line per block: what a reader of the capture sees.
std::string describe(const std::string &file) {
    std::string out;
    for (size_t at = 0; at < file.size();) {
        const uint32_t type = le32(file, at), total = le32(file, at + 4);
        if (total < 12 || total % 4 != 0 || at + total > file.size() ||
            le32(file, at + total - 4) != total)
            return out + "bad block\n";
        const std::string body = file.substr(at + 8, total - 12);
        char line[160];
        if (type == 0x0A0D0D0A) {
            std::snprintf(line, sizeof line, "section %08X %u.%u\n", le32(body, 0), le16(body, 4),
                          le16(body, 6));
        } else if (type == 1) {
            std::snprintf(line, sizeof line, "interface %u \"%s\" \"%s\"\n", le16(body, 0),
                          option(body, 8, 2).c_str(), option(body, 8, 3).c_str());
        } else if (type == 6) {
            const uint32_t length = le32(body, 12);
            const std::string data = body.substr(20, length);
            const uint64_t stamp = (uint64_t{le32(body, 4)} << 32) | le32(body, 8);
            const std::string flags = option(body, 20 + ((length + 3u) & ~3u), 2);
            const bool pseudo_ok = be16(data, 2) == 8445 && be16(data, 4) == 1 &&
                                   be16(data, 14) == 0x0030 && length == le32(body, 16);
            std::snprintf(line, sizeof line, "packet %u %llu.%06llu flags=%u type=%u side=%u%s",
                          le32(body, 0), static_cast<unsigned long long>(stamp / 1000000),
                          static_cast<unsigned long long>(stamp % 1000000),
                          flags.size() == 4 ? le32(flags, 0) : 99, be16(data, 0),
                          static_cast<uint8_t>(data[6]), pseudo_ok ? ":" : " bad pseudo-header:");
            out += line + hex_bytes(data.substr(16)) + "\n";
            at += total;
            continue;
        } else {
            std::snprintf(line, sizeof line, "block %u\n", type);
        }
        out += line;
        at += total;
    }
    return out;
}

TEST(ProtTracePcapng, FramesInterfacesAndTimes) {
    PinnedClock utc; // the box's wall clock read as UTC, here and in CI
    const std::string long_frame = counting_bytes(300);
    const std::string trace = TraceBuilder()
                                  .at(1, 6, 25)
                                  .frame('s', 1, bytes_of({0x00, 0x01, 0x73}))
                                  .at(5, 9)
                                  .time(13, 4, 12, 15)
                                  .at(5, 9, 37)
                                  .frame('r', 1, bytes_of({0x02, 0x01, 0x7F}))
                                  .at(5, 10)
                                  .frame('r', 3, bytes_of({0x00, 0x01, 0x00, 0x00, 0x08, 0x01}))
                                  .state(3, 12)
                                  .at(59, 58)
                                  .frame('s', 3, bytes_of({0x02, 0x01, 0x00, 0x02}))
                                  .at(0, 3, 10)
                                  .frame('r', 1, long_frame)
                                  .at(0, 4)
                                  .frame('r', 1, "")
                                  .bytes();
    TempDir dir;
    TmpPathIn tmp(dir.path());
    write_file(dir.file("t.bin"), trace);
    std::string message = "untouched";
    ASSERT_EQ(make_trace(dir.file("t.bin").c_str(), dir.file("t.txt").c_str(), nullptr,
                         dir.file("t.pcapng").c_str(), &message),
              0);
    EXPECT_EQ(message, "");
    // Before the first `t` record only minute and second are known; a
    // minute below the one before is the next hour.
    EXPECT_EQ(describe(read_file(dir.file("t.pcapng"))),
              "section 1A2B3C4D 1.0\n"
              "interface 177 \"port 1\" \"Vorn-Box D channel, box on the user side\"\n"
              "packet 0 66.500000 flags=2 type=4 side=0: 00 01 73\n"
              "packet 0 1449234309.740000 flags=1 type=0 side=0: 02 01 7f\n"
              "interface 177 \"port 3\" \"Vorn-Box D channel, box on the network side\"\n"
              "packet 1 1449234310.000000 flags=1 type=0 side=1: 00 01 00 00 08 01\n"
              "packet 1 1449237598.000000 flags=2 type=4 side=1: 02 01 00 02\n"
              "packet 0 1449237603.200000 flags=1 type=0 side=0:" +
                  hex_bytes(long_frame) +
                  "\n"
                  "packet 0 1449237604.000000 flags=1 type=0 side=0:\n");
}

TEST(ProtTracePcapng, UnwrittenCapture) {
    TempDir dir;
    TmpPathIn tmp(dir.path());
    write_file(dir.file("t.bin"), TraceBuilder().frame('r', 1, "\x02\x01\x7f").bytes());
    struct Row {
        const char *what;
        std::string capture;
    };
    const Row rows[] = {{"missing folder", dir.file("no/such/t.pcapng")},
                        {"full disk", "/dev/full"},
                        {"folder", dir.path()}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        std::string message;
        EXPECT_EQ(make_trace(dir.file("t.bin").c_str(), dir.file("t.txt").c_str(), nullptr,
                             row.capture.c_str(), &message),
                  -4);
        EXPECT_EQ(message, "Cannot Write \"" + row.capture + "\"!\n");
    }
}

} // namespace
} // namespace vorn::test
