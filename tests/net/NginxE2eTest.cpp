// End to end against real peers: nginx on a loopback port serving generated files and a
// configured redirect, reached directly and through tinyproxy. The helper scripts start both
// with configuration in a temporary folder and stop them afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/HttpClient.h"
#include "support/ShellCommand.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::RunCommandLine;
using test::SourceDir;

class NginxE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    std::string scripts = SourceDir() + "/scripts/e2e";
    int rc = 0;
    s_nginxPort = RunCommandLine(scripts + "/start_nginx.sh " + s_dir->path(), &rc);
    if (rc != 0 || s_nginxPort.empty()) return;
    s_proxyPort = RunCommandLine(scripts + "/start_tinyproxy.sh " + s_dir->path(), &rc);
    if (rc != 0) s_proxyPort.clear();
  }
  static void TearDownTestSuite() {
    std::string scripts = SourceDir() + "/scripts/e2e";
    RunCommandLine(scripts + "/stop_peers.sh " + s_dir->path());
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    if (s_nginxPort.empty()) GTEST_SKIP() << "nginx could not be started";
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + s_nginxPort + path;
  }
  std::string Site(const std::string& name) const {
    return test::ReadFileBytes(s_dir->path() + "/site/" + name);
  }

  static test::TempDir* s_dir;
  static std::string s_nginxPort;
  static std::string s_proxyPort;
};

test::TempDir* NginxE2e::s_dir = nullptr;
std::string NginxE2e::s_nginxPort;
std::string NginxE2e::s_proxyPort;

TEST_F(NginxE2e, FilesArriveByteForByteDirect) {
  THttpClient http;
  http.TimeOut = 10000;
  for (const char* name : {"index.htm", "small.jpg", "big.zip", "empty.gif"}) {
    http.Get(Url(std::string("/") + name));
    EXPECT_EQ(http.ReplyCode, 200) << name;
    EXPECT_EQ(http.Body, Site(name)) << name;
    EXPECT_EQ(http.BytesReceived, static_cast<std::int64_t>(Site(name).size()));
    EXPECT_EQ(http.ContentLength, http.BytesReceived);
  }
}

TEST_F(NginxE2e, MissingFileIsAFailure) {
  THttpClient http;
  int failures = 0;
  http.OnFailure = [&](CmdType) { ++failures; };
  http.Get(Url("/missing.jpg"));
  EXPECT_EQ(http.ReplyCode, 404);
  EXPECT_EQ(failures, 1);
}

TEST_F(NginxE2e, ConfiguredRedirectIsFollowed) {
  THttpClient http;
  int redirects = 0;
  http.OnRedirect = [&](bool&) { ++redirects; };
  http.Get(Url("/moved.jpg"));
  EXPECT_EQ(redirects, 1);
  EXPECT_EQ(http.ReplyCode, 200);
  EXPECT_EQ(http.Body, Site("small.jpg"));
  EXPECT_EQ(http.Port, std::stoi(s_nginxPort));
}

TEST_F(NginxE2e, FilesArriveThroughTinyproxy) {
  if (s_proxyPort.empty()) GTEST_SKIP() << "tinyproxy could not be started";
  THttpClient http;
  http.TimeOut = 10000;
  http.Proxy = "127.0.0.1";
  http.ProxyPort = std::stoi(s_proxyPort);
  for (const char* name : {"index.htm", "small.jpg", "big.zip"}) {
    http.Get(Url(std::string("/") + name));
    EXPECT_EQ(http.ReplyCode, 200) << name;
    EXPECT_EQ(http.Body, Site(name)) << name;
  }
  http.Get(Url("/moved.jpg"));
  EXPECT_EQ(http.Body, Site("small.jpg"));
}

TEST_F(NginxE2e, BodyIntoAFile) {
  test::TempDir out;
  THttpClient http;
  http.InputFileMode = true;
  http.Body = out.File("big.zip");
  http.Get(Url("/big.zip"));
  EXPECT_EQ(test::ReadFileBytes(out.File("big.zip")), Site("big.zip"));
}

}  // namespace
}  // namespace toravin
