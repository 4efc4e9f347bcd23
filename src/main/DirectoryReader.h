// Reads the subdirectories of one directory a slice at a time, so that a directory with a
// hundred thousand entries is listed across many short steps of the event loop instead of one
// long one. Names are native bytes; hidden names (a leading ".") are left out.
#pragma once

#include <dirent.h>

#include <cstddef>
#include <string>
#include <vector>

namespace toravin {

class TDirectoryReader {
 public:
  // Entries read per step when the caller does not say.
  static constexpr std::size_t kSlice = 4096;

  explicit TDirectoryReader(std::string nativePath);
  ~TDirectoryReader();
  TDirectoryReader(const TDirectoryReader&) = delete;
  TDirectoryReader& operator=(const TDirectoryReader&) = delete;

  // Reads up to `budget` entries; true once the directory is exhausted (or cannot be read).
  bool Step(std::size_t budget = kSlice);
  bool Done() const { return m_dir == nullptr; }
  // Whether the directory could be opened.
  bool Opened() const { return m_opened; }
  // The subdirectory names found, sorted by bytes (call when Done).
  std::vector<std::string> TakeSorted();

  // The whole listing in one call (small directories, tests).
  static std::vector<std::string> ReadAll(const std::string& nativePath);

 private:
  std::string m_path;
  DIR* m_dir = nullptr;
  bool m_opened = false;
  std::vector<std::string> m_names;
};

}  // namespace toravin
