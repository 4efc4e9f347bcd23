// TMappedFile: an open file's bytes mapped read-only, for handing a large body whole to a library
// without holding a copy in memory; the pages come from the file as they are read and the system
// can drop them again under pressure.
#pragma once

#include <cstddef>
#include <string_view>

namespace toravin {

class TMappedFile {
 public:
  // Maps the whole of the file open on `fd` (the descriptor stays the caller's).
  explicit TMappedFile(int fd);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  // The file could be mapped (an empty file always can).
  bool Ok() const { return m_ok; }
  std::string_view View() const { return {static_cast<const char*>(m_data), m_size}; }

 private:
  void* m_data = nullptr;
  std::size_t m_size = 0;
  bool m_ok = false;
};

}  // namespace toravin
