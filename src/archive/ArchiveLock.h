// One process at a time appends to an LHA archive: an exclusive lock (flock) on the folder that
// holds the archive, held while the entry's name is chosen and the entry written. Another run that
// packs into an archive there waits for it; the system drops the lock however its holder ends,
// and no lock file is left beside the user's files.
#pragma once

#include <string_view>

namespace toravin {

class TArchiveLock {
 public:
  explicit TArchiveLock(std::string_view archivePath);  // a core path
  ~TArchiveLock();
  TArchiveLock(const TArchiveLock&) = delete;
  TArchiveLock& operator=(const TArchiveLock&) = delete;

  // Takes the lock, waiting up to `waitLimitMs` (the user interface is pumped meanwhile). False
  // when another process held it for the whole wait.
  bool Acquire(int waitLimitMs);

 private:
  int m_fd = -1;
};

}  // namespace toravin
