// What a killed run leaves behind (temporary body files in the save directory, private folders
// under $TMPDIR) is removed by the next run, and nothing else: only our naming pattern, of the
// right type, owned by this user, made by a process that no longer runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CrawlFixture.h"
#include "HeadlessProcess.h"
#include "platform/FileSystem.h"
#include "settings/ToraVinIniList.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

// The pid of a process that has ended.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

class Leftovers : public CrawlFixture {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    m_oldTmp = old ? old : "";
    ::setenv("TMPDIR", privateTmp.path().c_str(), 1);
    CrawlFixture::SetUp();
  }
  void TearDown() override {
    CrawlFixture::TearDown();
    if (m_oldTmp.empty()) {
      ::unsetenv("TMPDIR");
    } else {
      ::setenv("TMPDIR", m_oldTmp.c_str(), 1);
    }
  }
  TempDir privateTmp;

 private:
  std::string m_oldTmp;
};

TEST_F(Leftovers, ARunRemovesWhatDeadRunsOfOursLeft) {
  const std::string dead = std::to_string(DeadPid());
  const std::string live = std::to_string(::getppid());
  const std::string self = std::to_string(::getpid());
  enum Kind { kFile, kDir, kLink };
  const struct Case {
    bool inSaveDir;
    Kind kind;
    std::string name;
    bool removed;
  } cases[] = {
      {true, kFile, "~tv" + dead + "-1.tmp", true},
      {true, kFile, "~tv" + dead + "-27.tmp", true},
      {true, kFile, "~tv" + live + "-1.tmp", false},  // its maker still runs
      {true, kFile, "~tv" + self + "-99.tmp", false},
      {true, kFile, "~tv" + dead + "-1.tmp.jpg", false},
      {true, kFile, "~tv" + dead + ".tmp", false},
      {true, kFile, "~tvx" + dead + "-1.tmp", false},
      {true, kDir, "~tv" + dead + "-2.tmp", false},
      {true, kLink, "~tv" + dead + "-3.tmp", false},
      {false, kDir, "toravin-" + dead + "-a1B2c3", true},
      {false, kDir, "toravin-" + live + "-a1B2c3", false},
      {false, kDir, "toravin-" + dead + "-a1B2c", false},
      {false, kDir, "toravin-test-a1B2c3", false},
      {false, kFile, "toravin-" + dead + "-x1B2c3", false},
      {false, kLink, "toravin-" + dead + "-y1B2c3", false},
  };
  const std::string outside = tmp.File("outside");
  ASSERT_EQ(::mkdir(outside.c_str(), 0700), 0);
  WriteFileBytes(outside + "/keep", "keep");
  for (const Case& c : cases) {
    const std::string path = (c.inSaveDir ? saveDir : privateTmp.path()) + "/" + c.name;
    switch (c.kind) {
      case kFile:
        WriteFileBytes(path, "part");
        break;
      case kDir:
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
        WriteFileBytes(path + "/page.html", "decoded");
        break;
      case kLink:
        ASSERT_EQ(::symlink(outside.c_str(), path.c_str()), 0);
        break;
    }
  }
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"a.jpg\">");
  File("/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(Saved("a.jpg"), "A");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (c.inSaveDir ? saveDir : privateTmp.path()) + "/" + c.name;
    struct stat st;
    EXPECT_EQ(::lstat(path.c_str(), &st) != 0, c.removed);
  }
  EXPECT_EQ(ReadFileBytes(outside + "/keep"), "keep");
  // Our own private folders carry the pid.
  const std::string mine = MakePrivateDirectory();
  EXPECT_EQ(mine.rfind(privateTmp.path() + "/toravin-" + self + "-", 0), 0u) << mine;
  RemovePrivateDirectory(mine);
}

TEST(KilledRun, TheNextRunRemovesTheKilledRunsPartAndSavesTheFile) {
  TempDir tmp;
  const std::string saveDir = tmp.File("save");
  const std::string ini = tmp.File("ToraVin.ini");
  ASSERT_EQ(::mkdir(saveDir.c_str(), 0755), 0);
  LoopbackHttpServer server;
  const std::string head =
      "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 2000\r\n\r\n";
  // The server serves one connection at a time: the cut reply ends before the next run asks.
  server.Enqueue(ScriptedReply().Send(head + std::string(1000, 'J')).Delay(3000));
  server.Enqueue(ScriptedReply::Text(head + std::string(2000, 'J')));
  TToraVinIniList s;
  s.ApplyFirstRunDefaults();
  s.JPGDownLoad = true;
  s.TargetURL = server.Url("/");
  s.TargetDir = saveDir;
  s.AddItem(server.Url("/a.jpg"), server.Url("/"));
  ASSERT_EQ(s.SaveSettings(ini), TToraVinIniList::SaveResult::Saved);
  const Strings args{"--ini", ini, "--continue", "--no-pauses", "--parallel", "1"};
  {
    HeadlessProcess killed(args, tmp.File("out1.txt"));
    ASSERT_TRUE(WaitUntil(20000, [&] { return ListDirectory(saveDir).size() == 1; }));
    killed.Signal(SIGKILL);
    EXPECT_EQ(killed.Wait(20000), 128 + SIGKILL);
  }
  const Strings left = ListDirectory(saveDir);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind("~tv", 0), 0u);
  HeadlessProcess next(args, tmp.File("out2.txt"));
  EXPECT_EQ(next.Wait(20000), 0);
  EXPECT_EQ(ListDirectory(saveDir), Strings{"a.jpg"});
  EXPECT_EQ(ReadFileBytes(saveDir + "/a.jpg"), std::string(2000, 'J'));
}

}  // namespace
}  // namespace toravin::test
