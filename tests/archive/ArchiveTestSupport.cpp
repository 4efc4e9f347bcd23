// Plug-in folders are made of symbolic links, so every variant is the very file the build made.
#include "ArchiveTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>

#include "platform/FileSystem.h"

namespace toravin::test {

std::string BinDir() { return ExecutableDirectory(); }

PluginFolder::PluginFolder(const std::string& lhaFile, const std::string& gzFile) {
  if (!lhaFile.empty()) {
    (void)symlink((BinDir() + "/" + lhaFile).c_str(), m_dir.File("liblhapack.so").c_str());
  }
  if (!gzFile.empty()) {
    (void)symlink((BinDir() + "/" + gzFile).c_str(), m_dir.File("libgzdec.so").c_str());
  }
}

LibrarySearch PluginFolder::Search() const {
  LibrarySearch s;
  s.directories.push_back(m_dir.path());
  s.systemPath = false;
  return s;
}

CommandResult RunShell(const std::string& command) {
  CommandResult r;
  std::string full = command + " 2>&1";
  std::FILE* p = popen(full.c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

std::string HtmlLikeData(std::size_t n, unsigned seed) {
  static const char* const kWords[] = {
      "<a href=\"", "photo",   ".jpg\">", "</a>",       "<img src=\"", "<div class=\"item\">",
      "</div>\n",   "gallery", "page",    "<p>",        "</p>\n",      "2023",
      "_",          "thumb",   "<br>",    "index.html", " ",           "\n"};
  std::mt19937 rng(seed);
  std::string out;
  out.reserve(n + 32);
  while (out.size() < n) {
    out += kWords[rng() % (sizeof kWords / sizeof kWords[0])];
    if (rng() % 7 == 0) out += std::to_string(rng() % 1000);
  }
  out.resize(n);
  return out;
}

std::string RandomData(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(rng() & 0xff);
  return out;
}

}  // namespace toravin::test
