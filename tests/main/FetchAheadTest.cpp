// Transfers fetched ahead of the run: the same outcome as one file after the other (files,
// names, boxes, status texts, work list, requests byte for byte), bounded, and stopped by Abort;
// the retry rule and connection failures act at the entry's own turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

#include "CrawlFixture.h"
#include "main/FetchAhead.h"
#include "main/RunOptions.h"
#include "net/MemoryStream.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class FetchAhead : public CrawlFixture {
 protected:
  // What a run leaves behind, to compare runs at different counts.
  struct Outcome {
    std::map<std::string, std::string> files;
    Strings statuses;
    Strings boxes;
    Strings pending;
    std::string settings;
    bool operator==(const Outcome&) const = default;
  };

  // Runs Download at `n` transfers into a fresh save directory.
  Outcome Run(int n, const std::string& start) {
    parallel = n;
    Restart();
    saveDir = tmp.File((keep ? "keep" : "save") + std::to_string(n));
    ForceDirectories(saveDir);
    form->DirectoryEdit.Text = saveDir;
    form->AddressEdit.Text = Url(start);
    statuses.clear();
    dialogs.clear();
    Download();
    Outcome o;
    for (const std::string& name : SavedFiles()) o.files[name] = Saved(name);
    // Progress texts of one transfer come as its bytes happen to arrive; the last one counts.
    for (const std::string& text : statuses) {
      const std::size_t cut = text.find("  ( ");
      if (!o.statuses.empty() && cut != std::string::npos &&
          o.statuses.back().starts_with(text.substr(0, cut + 4))) {
        o.statuses.back() = text;
      } else {
        o.statuses.push_back(text);
      }
    }
    o.boxes = Boxes();
    o.pending = Pending();
    mf->FormDestroy();
    o.settings = ReadFileBytes(iniFile);
    // The save directory differs from run to run; the rest of the file may not.
    for (std::size_t at; (at = o.settings.find(saveDir)) != std::string::npos;)
      o.settings.replace(at, saveDir.size(), "<save>");
    return o;
  }

  void MixedSite() {
    S().JPGDownLoad = S().GIFDownLoad = S().ZIPDownLoad = S().HTMLDownLoad = true;
    S().Retry = true;
    S().RetryCount = "3";
    Page("/index.html",
         "<img src=\"a.jpg\"><img src=\"moved.jpg\"><img src=\"gone.jpg\"><img src=\"busy.gif\">"
         "<a href=\"sub/p.html\">p</a><img src=\"cut.jpg\"><a href=\"c.zip\">z</a>"
         "<img src=\"skip.png\"><img src=\"b.jpg\"><img src=\"text.jpg\">");
    Page("/sub/p.html", "<img src=\"d.jpg\"><img src=\"../a.jpg\">");
    File("/a.jpg", "jpeg-a", "image/jpeg");
    File("/b.jpg", std::string(200000, 'b'), "image/jpeg");
    File("/sub/d.jpg", "jpeg-d", "image/jpeg");
    File("/c.zip", "PK-c", "application/zip");
    File("/text.jpg", "not a picture", "text/plain");
    Serve("/moved.jpg", ScriptedReply::Http(302, "", "Location: /real/m.jpg\r\n"));
    File("/real/m.jpg", "jpeg-m", "image/jpeg");
    // Busy twice, then there: three tries a run.
    ServeWith("/busy.gif", [](int hit) {
      return (hit - 1) % 3 < 2 ? ScriptedReply::Http(503, "busy", "Content-Type: text/html\r\n")
                               : ScriptedReply::Http(200, "GIF89a", "Content-Type: image/gif\r\n");
    });
    Serve("/cut.jpg", ScriptedReply::Text("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                                          "Content-Length: 10\r\n\r\n12345"));
  }
};

TEST_F(FetchAhead, FourAtOnceGivesTheSameOutcomeAndRequestsAsOneAtATime) {
  MixedSite();
  const Outcome one = Run(1, "/index.html");
  std::map<std::string, Strings> requestsOne;
  for (const char* p : {"/a.jpg", "/b.jpg", "/busy.gif", "/cut.jpg", "/real/m.jpg", "/sub/d.jpg"})
    requestsOne[p] = RequestsFor(p);
  int most = 0;
  SetMessagePump([&] { most = std::max(most, form->Progress.Ahead); });
  const Outcome four = Run(4, "/index.html");
  SetMessagePump(nullptr);
  EXPECT_LE(most, 3);  // never more than four transfers at once, the run's own included
  EXPECT_EQ(four.files, one.files);
  EXPECT_EQ(four.statuses, one.statuses);
  EXPECT_EQ(four.boxes, one.boxes);
  EXPECT_EQ(four.pending, one.pending);
  EXPECT_EQ(four.settings, one.settings);
  // The requests ahead are the very bytes the run sends itself, as often.
  for (const auto& [path, before] : requestsOne) {
    Strings all = RequestsFor(path);
    ASSERT_EQ(all.size(), 2 * before.size()) << path;
    EXPECT_EQ(Strings(all.begin() + static_cast<long>(before.size()), all.end()), before) << path;
  }
  EXPECT_EQ(Hits("/skip.png"), 0);  // the file-name test drops it: never fetched ahead
  EXPECT_EQ(one.files.at("b.jpg"), std::string(200000, 'b'));
  EXPECT_EQ(one.boxes, Strings{"ダウンロード完了"});
}

// Connections kept open: the same files, texts, boxes, list and settings as one connection per
// file, the same requests but for their version, and far fewer connections.
TEST_F(FetchAhead, KeptConnectionsGiveTheSameOutcomeAndRequestsWithFewerConnections) {
  MixedSite();
  const char* paths[] = {"/index.html", "/a.jpg",      "/b.jpg",     "/busy.gif",
                         "/cut.jpg",    "/real/m.jpg", "/sub/d.jpg", "/c.zip"};
  server.SetConcurrent(true);
  for (int n : {1, 4}) {
    SCOPED_TRACE(n);
    keep = false;
    std::map<std::string, std::size_t> earlier;
    for (const char* p : paths) earlier[p] = RequestsFor(p).size();
    const Outcome closed = Run(n, "/index.html");
    std::map<std::string, Strings> requestsClosed;
    for (const char* p : paths) {
      const Strings all = RequestsFor(p);
      requestsClosed[p] = Strings(all.begin() + static_cast<long>(earlier[p]), all.end());
    }
    const int connectionsBefore = server.Connections();
    const std::size_t requestsBefore = server.Requests().size();
    keep = true;
    const Outcome kept = Run(n, "/index.html");
    EXPECT_EQ(kept.files, closed.files);
    EXPECT_EQ(kept.statuses, closed.statuses);
    EXPECT_EQ(kept.boxes, closed.boxes);
    EXPECT_EQ(kept.pending, closed.pending);
    EXPECT_EQ(kept.settings, closed.settings);
    for (const auto& [path, before] : requestsClosed) {
      Strings all = RequestsFor(path);
      ASSERT_EQ(all.size(), earlier[path] + 2 * before.size()) << path;
      EXPECT_EQ(Strings(all.end() - static_cast<long>(before.size()), all.end()), before) << path;
    }
    const Strings wire = server.Requests();
    const int requestsKept = static_cast<int>(wire.size() - requestsBefore);
    const int connectionsKept = server.Connections() - connectionsBefore;
    for (std::size_t i = requestsBefore; i < wire.size(); ++i) {
      EXPECT_NE(wire[i].find(" HTTP/1.1\r\n"), std::string::npos) << wire[i];
    }
    // The cut reply is an HTTP/1.0 one, which ends its connection; every other reply leaves its
    // connection to a next request.
    EXPECT_LT(connectionsKept, requestsKept) << connectionsKept << " of " << requestsKept;
    std::map<int, int> perConnection;
    const std::vector<int> on = server.RequestConnections();
    for (std::size_t i = requestsBefore; i < on.size(); ++i) ++perConnection[on[i]];
    int most = 0;
    for (const auto& [c, k] : perConnection) most = std::max(most, k);
    EXPECT_GE(most, 3);
    EXPECT_EQ(kept.boxes, Strings{"ダウンロード完了"});
  }
}

// However many transfers at once, a server gets at most eight connections at once, whether each
// file has its own or they are kept open; and the run uses them.
TEST_F(FetchAhead, AServerGetsAtMostEightConnectionsAtOnce) {
  S().JPGDownLoad = true;
  server.SetConcurrent(true);
  std::string html;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "f" + std::to_string(i) + ".jpg";
    html += "<img src=\"" + name + "\">";
    ServeWith("/" + name, [this, name](int) {
      ScriptedReply r = keep ? ScriptedReply::Http11(200, name, "Content-Type: image/jpeg\r\n")
                             : ScriptedReply::Http(200, name, "Content-Type: image/jpeg\r\n");
      r.steps.insert(r.steps.begin(), {ScriptedReply::Step::Kind::Delay, "", 20});
      return r;
    });
  }
  Page("/index.html", html);
  for (bool kept : {false, true}) {
    keep = kept;
    const Outcome o = Run(32, "/index.html");
    EXPECT_EQ(o.files.size(), 40u) << kept;
    EXPECT_EQ(o.files.at("f7.jpg"), "f7.jpg");
    EXPECT_LE(server.MostOpenAtOnce(), 8) << kept;
    EXPECT_GE(server.MostOpenAtOnce(), 6) << kept;
  }
}

// While the run saves the first file, the next entries have been asked for.
TEST_F(FetchAhead, TheNextEntriesAreAskedForWhileTheFirstIsHandled) {
  struct Case {
    int n;
    Strings askedEarly;
  };
  const Case cases[] = {{1, {}}, {2, {"/b.jpg"}}, {4, {"/b.jpg", "/c.jpg", "/d.jpg"}}};
  S().JPGDownLoad = true;
  Page("/index.html",
       "<img src=\"a.jpg\"><img src=\"x.png\"><img src=\"b.jpg\"><img src=\"c.jpg\">"
       "<img src=\"d.jpg\"><img src=\"e.jpg\">");
  for (const char* p : {"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg", "/e.jpg"}) File(p, p, "image/jpeg");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    std::map<std::string, int> base;
    for (const char* p : {"/b.jpg", "/c.jpg", "/d.jpg", "/e.jpg"}) base[p] = Hits(p);
    Strings asked;
    bool looked = false;
    SetMessagePump([&] {
      if (looked || !FileExists(saveDir + "\\a.jpg")) return;
      looked = true;
      // The server answers one connection at a time; give it the time to reach the queued ones.
      for (int i = 0; i < 2000; ++i) {
        int done = 0;
        for (const auto& [p, h] : base) done += Hits(p) > h;
        if (done >= c.n - 1) break;
        SleepMs(5);
      }
      SleepMs(50);
      for (const auto& [p, h] : base) {
        if (Hits(p) > h) asked.push_back(p);
      }
    });
    Run(c.n, "/index.html");
    SetMessagePump(nullptr);
    EXPECT_TRUE(looked);
    // The first N-1 after it at least; later ones only once earlier replies are in whole.
    ASSERT_GE(asked.size(), c.askedEarly.size());
    EXPECT_EQ(Strings(asked.begin(), asked.begin() + static_cast<long>(c.askedEarly.size())),
              c.askedEarly);
    EXPECT_EQ(asked.empty(), c.n == 1);
    EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}));
    for (const auto& [p, h] : base) EXPECT_EQ(Hits(p), h + 1) << p;
  }
}

TEST_F(FetchAhead, A503StormTriesEachEntryExactlyRetryCountPlusOneTimes) {
  S().JPGDownLoad = true;
  S().Retry = true;
  S().RetryCount = "2";
  std::string html;
  for (char c = 'a'; c <= 'f'; ++c) {
    html += std::string("<img src=\"") + c + ".jpg\">";
    Serve(std::string("/") + c + ".jpg", ScriptedReply::Http(503, "busy"));
  }
  Page("/index.html", html);
  Run(4, "/index.html");
  for (char c = 'a'; c <= 'f'; ++c) EXPECT_EQ(Hits(std::string("/") + c + ".jpg"), 3) << c;
  EXPECT_TRUE(Pending().empty());
  EXPECT_TRUE(SavedFiles().empty());
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(FetchAhead, AConnectionRefusedForTheThirdEntryEndsTheRunThere) {
  S().JPGDownLoad = true;
  const std::string refused = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/c.jpg";
  Page("/index.html", "<img src=\"a.jpg\"><img src=\"b.jpg\"><img src=\"" + refused +
                          "\"><img src=\"d.jpg\"><img src=\"e.jpg\">");
  for (const char* p : {"/a.jpg", "/b.jpg", "/d.jpg", "/e.jpg"}) File(p, p, "image/jpeg");
  const Outcome one = Run(1, "/index.html");
  const Outcome four = Run(4, "/index.html");
  EXPECT_EQ(four, one);
  EXPECT_EQ(four.files,
            (std::map<std::string, std::string>{{"a.jpg", "/a.jpg"}, {"b.jpg", "/b.jpg"}}));
  EXPECT_EQ(four.boxes, (Strings{"接続できません。", "ダウンロードを中断しました。"}));
  // The run ended at the third entry, which went through the retry rule.
  EXPECT_EQ(four.pending, (Strings{"d.jpg", "e.jpg", refused}));
}

TEST_F(FetchAhead, AbortStopsEveryTransferInFlight) {
  S().JPGDownLoad = true;
  std::string html;
  for (char c = 'a'; c <= 'e'; ++c) {
    html += std::string("<img src=\"") + c + ".jpg\">";
    Serve(std::string("/") + c + ".jpg",
          ScriptedReply()
              .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 8\r\n\r\n12")
              .Delay(400)
              .Send("345678"));
  }
  Page("/index.html", html);
  bool pressed = false;
  SetMessagePump([&] {
    // In the middle of the first body, with three more transfers under way.
    if (!pressed && form->StatusText().rfind("a.jpg  (", 0) == 0 && form->Progress.Ahead == 3) {
      pressed = true;
      mf->DownLoadAbortButtonClick();
    }
  });
  const Outcome o = Run(4, "/index.html");
  SetMessagePump(nullptr);
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(o.files.empty());
  EXPECT_EQ(o.boxes, Strings{"ダウンロードを中断しました。"});
  EXPECT_EQ(o.pending, (Strings{"b.jpg", "c.jpg", "d.jpg", "e.jpg", "a.jpg"}));
  EXPECT_EQ(form->Progress, TransferProgress{});
}

// The replies held ahead stay within the byte bound; a reply that does not fit waits, unread,
// for its turn and then arrives whole.
TEST(FetchAheadBound, RepliesHeldAheadStayWithinTheBound) {
  auto peer = std::make_shared<TMemoryPeer>();
  const std::string replyA = "HTTP/1.0 200 OK\r\n\r\n" + std::string(100, 'a');
  const std::string replyB = "HTTP/1.0 200 OK\r\n\r\n" + std::string(100, 'b');
  peer->replies = {replyA, replyB};
  peer->chunk = 7;
  TFetchAhead ahead(150);
  for (const char* url : {"http://h/a", "http://h/b"}) {
    THttpClient probe;
    probe.StreamFactory = [peer] { return std::make_unique<TMemoryStream>(peer); };
    probe.Resolver = [](const std::string&) { return CompletedHostLookup(0, 0x7f000001); };
    probe.RequestURL = url;
    probe.ParseURL();
    probe.BuildRequestHeaders();
    ahead.Start(url, std::make_unique<TAheadTransfer>(probe));
  }
  for (int i = 0; i < 100; ++i) ahead.Poll();
  EXPECT_EQ(ahead.Held(), 150);
  ASSERT_EQ(peer->requests.size(), 2u);
  EXPECT_EQ(peer->requests[0].rfind("GET /a HTTP/1.0\r\n", 0), 0u);

  THttpClient client;
  client.RequestURL = "http://h/a";
  client.ParseURL();
  client.BuildRequestHeaders();
  std::unique_ptr<TByteStream> a = ahead.Take("http://h/a", TAheadTransfer::Identity(client));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Connect(0, 0), 0);
  std::string got;
  char buf[64];
  for (std::int64_t n; (n = a->Receive(buf, sizeof buf, false)) != 0;) {
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, replyA);
  for (int i = 0; i < 100; ++i) ahead.Poll();
  EXPECT_EQ(ahead.Held(), static_cast<std::int64_t>(replyB.size()));
  // A request that is not the one fetched ahead does not take it over.
  EXPECT_EQ(ahead.Take("http://h/b", TAheadTransfer::Identity(client)), nullptr);
  EXPECT_EQ(ahead.Count(), 0);
}

TEST(RunOptionsFile, ConnectionIsKeepOnlyWhenTheFileSaysSo) {
  struct Case {
    const char* text;
    ConnectionUse use;
  };
  const Case cases[] = {
      {"", ConnectionUse::Close},
      {"Connection=keep\r\n", ConnectionUse::Keep},
      {"Connection = keep \r\n", ConnectionUse::Keep},
      {"Connection=close\r\n", ConnectionUse::Close},
      {"Connection=Keep\r\n", ConnectionUse::Close},
      {"Connection=yes\r\n", ConnectionUse::Close},
      {"Connection\r\n", ConnectionUse::Close},
  };
  for (const Case& c : cases) EXPECT_EQ(TRunOptions::Parse(c.text).Connection, c.use) << c.text;
  TRunOptions o;
  EXPECT_EQ(o.Text().find("Connection"), std::string::npos);
  o.Connection = ConnectionUse::Keep;
  EXPECT_TRUE(o.Text().ends_with("\r\nConnection=keep\r\n"));
  EXPECT_EQ(TRunOptions::Parse(o.Text()), o);
}

// A count not chosen (missing, or out of range) follows the connection use: 4 with a connection
// per file, 32 with kept connections; and it is not written back.
TEST(RunOptionsFile, CountIsReadWithinItsRangeElseTheDefault) {
  struct Case {
    const char* text;
    int parallel;
    int atOnce;
  };
  const Case cases[] = {{"Parallel=1\r\n", 1, 1},
                        {"Parallel=8", 8, 8},
                        {"Parallel = 3\n", 3, 3},
                        {"Parallel=9\r\nConnection=keep", 9, 9},
                        {"Parallel=32", 32, 32},
                        {"Parallel=33\r\n", 0, 4},
                        {"Parallel=0", 0, 4},
                        {"Parallel=x\nConnection=keep", 0, 32},
                        {"", 0, 4},
                        {"Connection=keep", 0, 32},
                        {"Other=2\nParallel=2", 2, 2}};
  for (const Case& c : cases) {
    const TRunOptions o = TRunOptions::Parse(c.text);
    EXPECT_EQ(o.Parallel, c.parallel) << c.text;
    EXPECT_EQ(o.TransfersAtOnce(), c.atOnce) << c.text;
    EXPECT_EQ(o.Text().find("Parallel"), c.parallel ? 0u : std::string::npos) << c.text;
  }
  EXPECT_EQ(TRunOptions{6}.Text().rfind("Parallel=6\r\nReader=patterns\r\n", 0), 0u);
  EXPECT_EQ(TRunOptions::FileBeside("C:\\dir\\ToraVin.ini"), "C:\\dir\\ToraVin.options");
  EXPECT_EQ(TRunOptions::Load("/nonexistent/ToraVin.options").TransfersAtOnce(), 4);
}

TEST_F(FetchAhead, CountIsKeptBesideTheSettingsFileWhichStaysAsItWas) {
  parallel = 1;
  Restart();
  mf->FormDestroy();
  const std::string settings = ReadFileBytes(iniFile);
  const std::string optionsFile = tmp.File("ToraVin.options");
  mf->SetParallelTransfers(7);
  mf->FormDestroy();
  EXPECT_EQ(ReadFileBytes(iniFile), settings);
  EXPECT_EQ(ReadFileBytes(optionsFile).rfind("Parallel=7\r\nReader=patterns\r\n", 0), 0u);
  mf = std::make_unique<TMainForm>(
      *form, dialogs, TMainForm::Options{Timings::NoPauses(), iniFile, LibrarySearch::Default()});
  mf->FormCreate();
  EXPECT_EQ(mf->ParallelTransfers(), 7);
  mf->SetParallelTransfers(12);
  EXPECT_EQ(mf->ParallelTransfers(), 12);
  mf->SetParallelTransfers(40);
  EXPECT_EQ(mf->ParallelTransfers(), 32);
  mf->SetParallelTransfers(0);
  EXPECT_EQ(mf->ParallelTransfers(), 1);
}

}  // namespace
}  // namespace toravin::test
