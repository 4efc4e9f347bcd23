// Running the test helper scripts: the source tree's location and a command's output.
#pragma once

#include <string>

namespace toravin::test {

// The source tree: $TORAVIN_SOURCE_DIR (CTest sets it), else the tree this was built from.
std::string SourceDir();

// Runs `cmd` through the shell and returns its standard output without trailing line breaks;
// `status`, when given, receives the wait status.
std::string RunCommandLine(const std::string& cmd, int* status = nullptr);

}  // namespace toravin::test
