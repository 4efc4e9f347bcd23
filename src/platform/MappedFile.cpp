#include "platform/MappedFile.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdint>
#include <limits>

namespace toravin {

TMappedFile::TMappedFile(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size < 0 ||
      static_cast<std::uintmax_t>(st.st_size) > std::numeric_limits<std::size_t>::max()) {
    return;
  }
  m_size = static_cast<std::size_t>(st.st_size);
  if (m_size == 0) {
    m_ok = true;
    return;
  }
  void* data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) {
    m_size = 0;
    return;
  }
  // Read once from front to back.
  ::madvise(data, m_size, MADV_SEQUENTIAL);
  m_data = data;
  m_ok = true;
}

TMappedFile::~TMappedFile() {
  if (m_data != nullptr) ::munmap(m_data, m_size);
}

}  // namespace toravin
