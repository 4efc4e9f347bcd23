// Where the desktop program keeps ToraVin.ini, and the lock that keeps two running copies from
// overwriting each other's settings and work list.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// "ToraVin.ini" in `exeDir` when that directory is writable (a build tree, a portable copy);
// otherwise in "$XDG_CONFIG_HOME/ToraVin" ("~/.config/ToraVin" when unset), which is created when
// missing. Paths in CP932 with "/" separators.
std::string SettingsFilePath(std::string_view exeDir);

// An exclusive lock on "<ini>.lock", held for the object's life. The system drops it when the
// process ends in any way, so a crash never leaves the settings locked.
class InstanceLock {
 public:
  explicit InstanceLock(std::string_view iniPath);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Another process holds the lock. (Where no lock file can be made, nobody can hold one, and
  // the program runs unlocked.)
  bool Busy() const { return m_busy; }

 private:
  int m_fd = -1;
  bool m_busy = false;
};

}  // namespace toravin
