// A crawl against a scripted site: a loopback server that answers by path, a form model, recording
// dialogs and a TMainForm with the pauses taken out, saving into a fresh directory. The process's
// current directory is the temporary folder for the length of a test (decoded pages are written
// there), and the archiver plug-ins come from the test binary's own directory.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "main/MainForm.h"
#include "platform/RecordingDialogs.h"
#include "support/LoopbackHttpServer.h"
#include "support/TempDir.h"

namespace toravin::test {

class CrawlFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new form and engine over the same settings file (a program restart).
  void Restart();

  // Site content: a fixed reply, or one made per request.
  void Serve(const std::string& path, ScriptedReply reply);
  void ServeWith(const std::string& path, std::function<ScriptedReply(int hit)> make);
  void Page(const std::string& path, const std::string& html, const std::string& headers = "");
  void File(const std::string& path, const std::string& body, const std::string& type);

  void Download();
  void Continue();

  int Hits(const std::string& path);
  std::vector<std::string> RequestsFor(const std::string& path);  // raw request bytes
  std::vector<std::string> SavedFiles() const;                    // names in the save directory
  std::string Saved(const std::string& name) const;               // bytes of a saved file
  std::vector<std::string> Boxes() const;                         // box texts, as UTF-8
  bool StatusSeen(const std::string& utf8) const;
  std::vector<std::string> Pending() const;  // work-list Urls

  TToraVinIniList& S() { return mf->Settings(); }
  std::string Url(const std::string& path) const { return server.Url(path); }

  // Transfers at once for the run: TORAVIN_CRAWL_PARALLEL, else 1 (one file after the other). The
  // crawl suite runs at 1 and at 4 and must see the same outcome.
  int parallel = 1;
  // Connections kept open (TORAVIN_CRAWL_CONNECTION=keep, with four transfers at once unless
  // TORAVIN_CRAWL_PARALLEL says otherwise): the site then answers every whole reply as HTTP/1.1
  // on a connection kept open, and the crawl suite must see the same outcome and the same
  // requests but for their version.
  bool keep = KeepFromEnvironment();
  static bool KeepFromEnvironment();

  TempDir tmp;
  Timings timings = Timings::NoPauses();  // taken by Restart
  std::string saveDir;
  std::string iniFile;
  LoopbackHttpServer server{keep};
  std::unique_ptr<TFormModel> form;
  RecordingDialogs dialogs;
  std::unique_ptr<TMainForm> mf;
  std::vector<std::string> statuses;  // every status text, as UTF-8

 private:
  ScriptedReply Route(const std::string& request);
  std::string m_oldCwd;
  std::mutex m_mutex;
  std::map<std::string, std::function<ScriptedReply(int)>> m_site;
  std::map<std::string, int> m_hits;
  std::map<std::string, std::vector<std::string>> m_requests;
};

// `data` as one gzip member, as a server sends an encoded page.
std::string Gzip(const std::string& data);

}  // namespace toravin::test
