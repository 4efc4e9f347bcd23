// Where the desktop program keeps its settings, and the lock that keeps a second copy off them.
#include "platform/SettingsLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

class EnvVar {
 public:
  EnvVar(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    setenv(name, value.c_str(), 1);
  }
  ~EnvVar() {
    if (m_old) {
      setenv(m_name, m_old->c_str(), 1);
    } else {
      unsetenv(m_name);
    }
  }

 private:
  const char* m_name;
  std::optional<std::string> m_old;
};

TEST(SettingsLocation, ProgramDirectoryWhenWritableElseTheConfigDirectory) {
  test::TempDir tmp;
  EXPECT_EQ(SettingsFilePath(tmp.path()), tmp.path() + "/ToraVin.ini");
  {
    EnvVar xdg("XDG_CONFIG_HOME", tmp.File("config"));
    EXPECT_EQ(SettingsFilePath(tmp.File("no/such/dir")), tmp.File("config/ToraVin/ToraVin.ini"));
    EXPECT_TRUE(DirectoryExists(tmp.File("config/ToraVin")));
  }
  {
    EnvVar xdg("XDG_CONFIG_HOME", "");
    EnvVar home("HOME", tmp.File("home"));
    EXPECT_EQ(SettingsFilePath(""), tmp.File("home/.config/ToraVin/ToraVin.ini"));
  }
}

TEST(SettingsLocation, OneHolderAtATime) {
  test::TempDir tmp;
  const std::string ini = tmp.File("ToraVin.ini");
  {
    InstanceLock first(ini);
    EXPECT_FALSE(first.Busy());
    InstanceLock second(ini);
    EXPECT_TRUE(second.Busy());
  }
  InstanceLock again(ini);  // released with its holder
  EXPECT_FALSE(again.Busy());
  InstanceLock nowhere(tmp.File("no/such/dir/ToraVin.ini"));
  EXPECT_FALSE(nowhere.Busy());  // no lock file can be made there: nobody holds one
}

}  // namespace
}  // namespace toravin
