// Golden files of the configuration compiler: case files of configuration
// texts run through the parser, mkconf's compile or its decompile, each
// outcome printed as readable text (result, messages, the table head field
// by field against a fresh table, the maps, listings, written files), and
// the whole output compared with its golden file at once.
//
// Case files (tests/golden/compiler/NAME.cases) hold blocks that begin with
// "### KIND NAME" (KIND: parse, compile or decompile); the lines up to the
// next block are the configuration file ("\r" in a line stands for a
// carriage return), with these directives:
//   @repeat N TEXT     N copies of TEXT ("\n" a line end, "{i}" the copy's
//                      number from 0)
//   @noeol             the file ends without its last line end
//   @tool NAME         the tool name set while the case runs
//   @clock EPOCH       the library's clock (UTC) while the case runs
//   @file NAME TEXT    a file beside the configuration ("{dir}" in the
//                      configuration names their folder)
//   @again             parse: the file once more, in the same process
//   @listing           compile: show the .map listing too
//   @poke OFF HEX...   decompile: bytes put into the binary table at OFF
//   @devinfo OFF HEX.. decompile: bytes of the host's device record
//                      ("text" in place of HEX: its characters)
// Every case starts from a freshly loaded library's holiday state; compile
// and decompile pad the file to the 200 bytes mkconf asks for.  Outputs show
// the case's folder as $DIR.
#pragma once

#include <cstdint>
#include <string>

namespace vorn::test {

// The output of every case of tests/golden/compiler/NAME.cases.
std::string run_config_cases(const std::string &name);

// The head fields of a record that differ from a fresh table's, one line
// per field (or array element): "name[i]: value".
std::string head_fields(const uint8_t *head);
// Slots 0 .. count-1 of a record, one line each.
std::string map_lines(const uint8_t *record, int count);

} // namespace vorn::test
