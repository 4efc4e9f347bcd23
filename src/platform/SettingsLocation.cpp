#include "platform/SettingsLocation.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin {

std::string SettingsFilePath(std::string_view exeDir) {
  if (!exeDir.empty() && ::access(NativePath(exeDir).c_str(), W_OK) == 0) {
    return std::string(exeDir) + "/ToraVin.ini";
  }
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  } else {
    base = "/tmp";
  }
  std::string dir = Utf8ToCp932(base) + "/ToraVin";
  ForceDirectories(dir);
  return dir + "/ToraVin.ini";
}

InstanceLock::InstanceLock(std::string_view iniPath) {
  const std::string path = NativePath(iniPath) + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    m_busy = errno == EWOULDBLOCK;
    ::close(fd);
    return;
  }
  m_fd = fd;
}

InstanceLock::~InstanceLock() {
  if (m_fd >= 0) ::close(m_fd);
}

}  // namespace toravin
