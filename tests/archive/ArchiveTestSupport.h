// Helpers shared by the archive tests: a folder holding a chosen plug-in under the names the
// bridge looks for, shell commands for the real peers (lha, gzip), and test data.
#pragma once

#include <string>

#include "archive/ArchiverLibrary.h"
#include "support/TempDir.h"

namespace toravin::test {

// The folder of the test executable, where the build puts the plug-ins.
std::string BinDir();

// A folder in which liblhapack.so and libgzdec.so are links to the given files of BinDir()
// (an empty name leaves that library out), and the search that finds only them.
class PluginFolder {
 public:
  PluginFolder(const std::string& lhaFile, const std::string& gzFile);
  LibrarySearch Search() const;
  const std::string& path() const { return m_dir.path(); }

 private:
  TempDir m_dir;
};

struct CommandResult {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string output;
};
// Runs `command` through /bin/sh, standard error joined to the output.
CommandResult RunShell(const std::string& command);

// `s` quoted for /bin/sh.
std::string ShellQuote(const std::string& s);

// Deterministic data: `n` bytes that compress like text/markup, or like nothing at all.
std::string HtmlLikeData(std::size_t n, unsigned seed);
std::string RandomData(std::size_t n, unsigned seed);

}  // namespace toravin::test
