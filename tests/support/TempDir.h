// A fresh directory under the system's temporary folder, removed with everything in it when the
// object goes away. Tests write their files here and nowhere else.
#pragma once

#include <string>
#include <vector>

namespace toravin::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  // path() + "/" + name
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// Reads a whole file; empty when it is missing.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& data);

// The names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDirectory(const std::string& path);

// UTF-8 literal -> CP932 bytes, for readable expectations.
std::string Sj(const std::string& utf8);

}  // namespace toravin::test
