// Two runs at once packing into one LHA archive: the archive is appended by one process at a
// time, so every file of both runs is in it, whole, and none is left unpacked or lost.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HeadlessProcess.h"
#include "settings/ToraVinIniList.h"
#include "support/LoopbackHttpServer.h"
#include "support/ShellCommand.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

std::string Body(const std::string& name) {
  std::string body;
  for (int i = 0; body.size() < 30000; ++i) body += name + ":" + std::to_string(i * 7919) + ";";
  return body;
}

TEST(SharedArchive, TwoRunsPackingIntoOneArchiveLoseNothing) {
  const struct Case {
    int runs;
    int files;  // per run
  } cases[] = {{2, 40}, {3, 15}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.runs);
    TempDir tmp;
    const std::string saveDir = tmp.File("save");
    ASSERT_EQ(::mkdir(saveDir.c_str(), 0755), 0);
    std::map<std::string, std::string> want;  // entry name -> bytes
    std::vector<std::unique_ptr<LoopbackHttpServer>> servers;
    std::vector<std::unique_ptr<HeadlessProcess>> tools;
    std::vector<Strings> args;
    for (int r = 0; r < c.runs; ++r) {
      auto& server = servers.emplace_back(std::make_unique<LoopbackHttpServer>());
      const std::string tag(1, static_cast<char>('a' + r));
      server->SetRouter([](const std::string& request) {
        std::string name = RequestPath(request).substr(1);
        return ScriptedReply::Http(200, Body(name), "Content-Type: image/jpeg\r\n");
      });
      TToraVinIniList s;
      s.ApplyFirstRunDefaults();
      s.JPGDownLoad = true;
      s.UseLha = true;
      s.LhaName = "pics.lzh";
      s.TargetURL = server->Url("/");
      s.TargetDir = saveDir;
      for (int i = 0; i < c.files; ++i) {
        const std::string name = tag + std::to_string(i) + ".jpg";
        s.AddItem(server->Url("/" + name), server->Url("/"));
        want["pics/" + name] = Body(name);
      }
      const std::string ini = tmp.File("run" + tag + ".ini");
      ASSERT_EQ(s.SaveSettings(ini), TToraVinIniList::SaveResult::Saved);
      args.push_back({"--ini", ini, "--continue", "--no-pauses", "--parallel", "2"});
    }
    for (int r = 0; r < c.runs; ++r) {
      tools.push_back(std::make_unique<HeadlessProcess>(
          args[static_cast<std::size_t>(r)], tmp.File("out" + std::to_string(r) + ".txt")));
    }
    for (auto& tool : tools) EXPECT_EQ(tool->Wait(120000), 0);
    EXPECT_EQ(ListDirectory(saveDir), Strings{"pics.lzh"});  // nothing saved unpacked
    int status = 0;
    RunCommandLine("lha t " + saveDir + "/pics.lzh >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);
    const std::string out = tmp.File("out");
    ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
    RunCommandLine("cd " + out + " && lha xq " + saveDir + "/pics.lzh", &status);
    EXPECT_EQ(ListDirectory(out + "/pics").size(), want.size());
    for (const auto& [name, bytes] : want)
      EXPECT_TRUE(ReadFileBytes(out + "/" + name) == bytes) << name;  // (no dump of 30 KB)
  }
}

}  // namespace
}  // namespace toravin::test
