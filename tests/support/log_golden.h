// Golden files: a test gathers the whole output of many runs (conversions,
// compiles, tool runs) into one text and compares it at once with a data
// file under tests/golden/.  VORN_UPDATE_EXAMPLES=1 rewrites the files from
// what the code writes now (read the difference before committing it).
#pragma once

#include "support/trace_capture.h"

#include <initializer_list>
#include <string>

namespace vorn::test {

// Control bytes (but the line feed) and bytes from 0x7F on as \xNN, so that
// a golden file is plain text that shows every byte.
std::string printable(const std::string &bytes);
// Sixteen bytes a line in hexadecimal, with their offset.
std::string hex_dump(const std::string &bytes);
// `text` with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string &from, const std::string &to);
// `text` with the folder `dir` as <dir> and the library's version text and
// number as <version> and <number>, which change from run to run and from
// release to release.
std::string stable(const std::string &text, const std::string &dir);
// The captured trace bodies with, beside stable(), what else changes from run
// to run made constant: source line numbers after '#', addresses of blocks
// in memory, the live block count and the random part of temporary names.
std::string stable_trace(const TraceCapture &capture, const std::string &dir);
// "#### NAME: result R, message M" (M as printable, "\n" for a line feed;
// none without a message), then each regular file of `files` under its
// name.
std::string section(const std::string &name, int result, const char *message,
                    std::initializer_list<std::string> files);
// "$ vorn ARGS", the exit code and what the tool printed (`env` as for
// run_tool); with a `folder`, run there through the shell, so that the
// redirections of ARGS ("< in.cfg", "> /dev/full") name its files.
std::string tool_run(const std::string &args, const std::string &env = "",
                     const std::string &folder = "");
// The session of tests/golden/`name` run in `folder`, as one text: each line
// a tool command, shown as tool_run shows it (`env` and "-C FOLDER" given to
// it; "-C SUB" first: in the sub-folder SUB); "@file NAME TEXT" writes a file
// (with its folders; "\n" and "\r" stand for line ends, "{pad}" for the 200
// bytes mkconf asks for); "@show FILE" and "@hex FILE" show a file; lines
// starting with '#' are notes.
std::string run_session(const std::string &name, const std::string &folder,
                        const std::string &env = "");
// "file left: NAME" for each file in `folder`, in the order of the names.
std::string files_left(const std::string &folder);
// Compares `actual` with tests/golden/`name`; a difference fails the test
// and names the first differing line.
void expect_golden(const std::string &name, const std::string &actual);
// Checks that examples/`name` holds `bytes`, the file its builder makes
// (VORN_UPDATE_EXAMPLES=1 writes it).
void expect_example(const std::string &name, const std::string &bytes);

} // namespace vorn::test
