#include "archive/ArchiveLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "archive/WaitWhileBusy.h"
#include "platform/Clock.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"

namespace toravin {

TArchiveLock::TArchiveLock(std::string_view archivePath) {
  const std::size_t cut = FileNameStart(archivePath);
  const std::string folder = cut == 0 ? std::string(".") : std::string(archivePath.substr(0, cut));
  m_fd = ::open(NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

TArchiveLock::~TArchiveLock() {
  if (m_fd >= 0) ::close(m_fd);  // the lock goes with the descriptor
}

bool TArchiveLock::Acquire(int waitLimitMs) {
  if (m_fd < 0) return true;  // no folder to lock: the library meets the fault itself
  bool failed = false;
  const bool free = WaitWhileBusy(
      [&] {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) return false;
        if (errno != EWOULDBLOCK && errno != EINTR) {
          failed = true;
          return false;
        }
        SleepMs(2);
        return true;
      },
      waitLimitMs);
  return free && !failed;
}

}  // namespace toravin
