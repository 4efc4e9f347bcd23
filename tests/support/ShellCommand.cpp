#include "support/ShellCommand.h"

#include <cstdio>
#include <cstdlib>

namespace toravin::test {

std::string SourceDir() {
  const char* s = std::getenv("TORAVIN_SOURCE_DIR");
  return s ? s : TORAVIN_SOURCE_DIR_FALLBACK;
}

std::string RunCommandLine(const std::string& cmd, int* status) {
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = ::pclose(p);
    if (status) *status = rc;
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace toravin::test
