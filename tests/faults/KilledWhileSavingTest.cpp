// The program killed (SIGKILL) at random moments while it writes the settings file: afterwards
// the file always loads, and holds either the old or the new settings, never a mixture.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "settings/ToraVinIniList.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

void Fill(TToraVinIniList& s, const std::string& tag) {
  s.ApplyFirstRunDefaults();
  s.TargetURL = "http://" + tag + ".test/";
  for (int i = 0; i < 3000; ++i) {
    s.AddItem("http://" + tag + ".test/p" + std::to_string(i) + ".jpg", "http://" + tag + "/");
  }
}

TEST(KilledWhileSaving, SettingsFileIsAlwaysTheOldOrTheNewOne) {
  TempDir tmp;
  const std::string path = tmp.File("ToraVin.ini");
  TToraVinIniList a, b;
  Fill(a, "old");
  Fill(b, "new");
  const std::string imageA = a.SaveToBytes();
  const std::string imageB = b.SaveToBytes();
  ASSERT_NE(imageA, imageB);
  ASSERT_EQ(a.SaveSettings(path), TToraVinIniList::SaveResult::Saved);

  std::mt19937 rng(42);
  int sawOld = 0, sawNew = 0;
  for (int round = 0; round < 200; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) (i % 2 == 0 ? b : a).SaveSettings(path);
    }
    usleep(static_cast<useconds_t>(rng() % 4000));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    TToraVinIniList loaded;
    ASSERT_NO_THROW(loaded.LoadSettings(path)) << "round " << round;
    const std::string again = loaded.SaveToBytes();
    ASSERT_TRUE(again == imageA || again == imageB) << "round " << round;
    (again == imageA ? sawOld : sawNew) += 1;
  }
  std::printf("[ rounds   ] old %d, new %d\n", sawOld, sawNew);
  EXPECT_EQ(sawOld + sawNew, 200);
  // A kill between writing and renaming leaves a temporary file behind; the next save removes
  // the leftovers of processes that no longer run.
  ASSERT_EQ(a.SaveSettings(path), TToraVinIniList::SaveResult::Saved);
  EXPECT_EQ(ListDirectory(tmp.path()), std::vector<std::string>{"ToraVin.ini"});
}

}  // namespace
}  // namespace toravin::test
