// toravin-headless stopped by a termination signal in the middle of a transfer: the run is
// aborted as closing the window aborts it, the entry in flight stays in the saved work list
// (retries off), no part of the body is left in the save directory, and the exit status is 1.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "HeadlessProcess.h"
#include "settings/ToraVinIniList.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

TEST(Termination, SignalMidTransferKeepsTheEntrySavesAndExitsOne) {
  const struct Case {
    int sig;
    const char* name;
  } cases[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir tmp;
    const std::string saveDir = tmp.File("save");
    const std::string ini = tmp.File("ToraVin.ini");
    LoopbackHttpServer server;
    // Half of the body, then silence: the transfer stays in flight until the signal.
    server.Enqueue(ScriptedReply()
                       .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                             "Content-Length: 2000\r\n\r\n" +
                             std::string(1000, 'J'))
                       .Silence());
    {
      TToraVinIniList s;
      s.ApplyFirstRunDefaults();
      s.JPGDownLoad = true;
      s.Retry = false;
      s.TargetURL = server.Url("/");
      s.TargetDir = saveDir;
      s.AddItem(server.Url("/a.jpg"), server.Url("/"));
      s.AddItem(server.Url("/b.jpg"), server.Url("/"));
      ASSERT_EQ(s.SaveSettings(ini), TToraVinIniList::SaveResult::Saved);
    }
    ::mkdir(saveDir.c_str(), 0755);
    HeadlessProcess tool({"--ini", ini, "--continue", "--no-pauses", "--parallel", "1"},
                         tmp.File("out.txt"));
    // The body has started to arrive: its temporary file is in the save directory.
    ASSERT_TRUE(WaitUntil(20000, [&] { return ListDirectory(saveDir).size() == 1; }));
    tool.Signal(c.sig);
    EXPECT_EQ(tool.Wait(20000), 1);
    EXPECT_EQ(ListDirectory(saveDir), Strings{});
    TToraVinIniList after;
    after.LoadSettings(ini);
    // As when the window is closed: the entry in flight is kept, after the others.
    ASSERT_EQ(after.Count(), 2);
    EXPECT_EQ(after.Item(0).Url, server.Url("/b.jpg"));
    EXPECT_EQ(after.Item(1).Url, server.Url("/a.jpg"));
    EXPECT_NE(ReadFileBytes(tmp.File("out.txt")).find("box: warning: ダウンロードを中断しました。"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace toravin::test
