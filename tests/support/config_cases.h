// Golden files of the configuration compiler: case files of configuration
// texts run through the parser, mkconf's compile or its decompile, each
// outcome printed as readable text (result, messages, the table head field
// by field against a fresh table, the maps, listings, written files), and
// the whole output compared with its golden file at once.
// The case files and their directives are described in
// tests/golden/compiler/README.md.
#pragma once

#include <string>

namespace vorn::test {

// The output of every case of tests/golden/compiler/NAME.cases.
std::string run_config_cases(const std::string &name);

} // namespace vorn::test
