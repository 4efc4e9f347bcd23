#include "main/KeptSettingsFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "main/FileKinds.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin {

std::string KeepBrokenSettingsFile(std::string_view path) {
  const std::string first = std::string(path) + ".broken";
  const std::string from = NativePath(path);
  std::string candidate = first;
  for (int n = 1; n < 10000; ++n) {
    const std::string to = NativePath(candidate);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      return candidate;
    }
    if (errno == EINVAL || errno == ENOSYS) {
      // A file system without the no-replace rename: a hard link never replaces either.
      if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return candidate;
      }
    }
    if (errno != EEXIST) return std::string();
    candidate = NumberedName(first, n);
  }
  return std::string();
}

std::string KeptSettingsFileText(std::string_view keptPath) {
  return Sjis("読み込めなかった設定ファイルは ") + std::string(keptPath) +
         Sjis(" として残しました。");
}

}  // namespace toravin
