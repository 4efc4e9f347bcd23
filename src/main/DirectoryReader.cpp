// Entry types come from readdir where the file system reports them; only entries of unknown type
// and symbolic links cost a stat (a link to a directory is listed as one).
#include "main/DirectoryReader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>

namespace toravin {

TDirectoryReader::TDirectoryReader(std::string nativePath) : m_path(std::move(nativePath)) {
  m_dir = ::opendir(m_path.c_str());
  m_opened = m_dir != nullptr;
}

TDirectoryReader::~TDirectoryReader() {
  if (m_dir) ::closedir(m_dir);
}

bool TDirectoryReader::Step(std::size_t budget) {
  if (!m_dir) return true;
  for (std::size_t n = 0; n < budget; ++n) {
    const dirent* e = ::readdir(m_dir);
    if (!e) {
      ::closedir(m_dir);
      m_dir = nullptr;
      return true;
    }
    if (e->d_name[0] == '.') continue;
    bool dir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      dir = ::fstatat(dirfd(m_dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (dir) m_names.emplace_back(e->d_name);
  }
  return false;
}

std::vector<std::string> TDirectoryReader::TakeSorted() {
  std::vector<std::string> names = std::move(m_names);
  m_names.clear();
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TDirectoryReader::ReadAll(const std::string& nativePath) {
  TDirectoryReader r(nativePath);
  while (!r.Step()) {
  }
  return r.TakeSorted();
}

}  // namespace toravin
