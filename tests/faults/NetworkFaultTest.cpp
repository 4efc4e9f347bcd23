// Servers and proxies that fail: what the user is told, what is on disk and what stays in the
// work list afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CrawlFixture.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class NetworkFaults : public CrawlFixture {};

ScriptedReply Jpeg(const std::string& body) {
  return ScriptedReply::Http(200, body, "Content-Type: image/jpeg\r\n");
}

// Announces `whole` bytes, sends `sent` of them and closes.
ScriptedReply CutJpeg(std::size_t whole, std::size_t sent) {
  return ScriptedReply::Text("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                             std::to_string(whole) + "\r\n\r\n" + std::string(sent, 'x'));
}

TEST_F(NetworkFaults, ServerClosingMidBodyIsRetriedAndSavedWhole) {
  S().JPGDownLoad = true;
  S().Retry = true;
  S().RetryCount = "3";
  const std::string whole(1000, 'J');
  Page("/index.html", "<img src=\"a.jpg\"><img src=\"b.jpg\">");
  ServeWith("/a.jpg", [&](int hit) { return hit < 3 ? CutJpeg(whole.size(), 400) : Jpeg(whole); });
  Serve("/b.jpg", CutJpeg(500, 499));  // never whole
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Hits("/a.jpg"), 3);
  EXPECT_EQ(Hits("/b.jpg"), 4);  // RetryCount + 1 tries, then dropped
  EXPECT_EQ(SavedFiles(), Strings{"a.jpg"});
  EXPECT_EQ(Saved("a.jpg"), whole);
  EXPECT_EQ(Pending(), Strings{});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(NetworkFaults, StallPastTheTimeOutAndTheRunGoesOn) {
  timings.timeOutMs = 300;
  Restart();
  S().JPGDownLoad = true;
  S().Retry = false;
  LoopbackHttpServer slow;  // a server of its own, so the stall holds up no other request
  slow.Enqueue(
      ScriptedReply()
          .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 10\r\n\r\n123")
          .Delay(1500)
          .Send("4567890"));
  Page("/index.html", "<img src=\"" + slow.Url("/stall.jpg") + "\"><img src=\"b.jpg\">");
  File("/b.jpg", "B", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(slow.Connections(), 1);
  EXPECT_EQ(SavedFiles(), Strings{"b.jpg"});
  EXPECT_EQ(Pending(), Strings{});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(NetworkFaults, ServiceUnavailableStormTriesEachEntryRetryCountPlusOneTimes) {
  struct Case {
    bool retry;
    const char* count;
    int tries;
  } cases[] = {{true, "0", 1}, {true, "2", 3}, {true, "5", 6}, {false, "5", 1}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.count) + (c.retry ? " with retry" : " without retry"));
    const std::string dir = "/run" + std::to_string(++n) + "/";
    S().JPGDownLoad = true;
    S().Retry = c.retry;
    S().RetryCount = c.count;
    Page(dir + "index.html", "<img src=\"a.jpg\"><img src=\"b.jpg\"><img src=\"c.jpg\">");
    for (const char* p : {"a.jpg", "b.jpg", "c.jpg"}) {
      Serve(dir + p, ScriptedReply::Http(503, "<html>busy</html>", "Content-Type: text/html\r\n"));
    }
    form->AddressEdit.Text = Url(dir + "index.html");
    Download();
    for (const char* p : {"a.jpg", "b.jpg", "c.jpg"}) EXPECT_EQ(Hits(dir + p), c.tries) << p;
    EXPECT_EQ(SavedFiles(), Strings{});
    EXPECT_EQ(Pending(), Strings{});
    EXPECT_EQ(Boxes().back(), "ダウンロード完了");
    EXPECT_TRUE(StatusSeen("c.jpgサーバーは過負荷のため要求を処理できません。"));
  }
}

TEST_F(NetworkFaults, ProxyDownAbortsTheRunAndKeepsTheList) {
  S().JPGDownLoad = true;
  S().Retry = false;
  S().AddItem(Url("/a.jpg"), Url("/"));
  S().AddItem(Url("/b.jpg"), Url("/"));
  File("/a.jpg", "A", "image/jpeg");
  mf->HttpClient1.Proxy = "127.0.0.1";
  mf->HttpClient1.ProxyPort = ClosedLoopbackPort();
  form->AddressEdit.Text = Url("/");
  Continue();
  EXPECT_EQ(Boxes(), (Strings{"接続できません。", "ダウンロードを中断しました。"}));
  EXPECT_EQ(Pending(), (Strings{Url("/a.jpg"), Url("/b.jpg")}));
  EXPECT_EQ(SavedFiles(), Strings{});
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_TRUE(form->ContinueButton.Enabled);
  // Download with the proxy down: the start page is not reached either.
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Boxes(),
            (Strings{"接続できません。", "ダウンロードを中断しました。", "接続できません。",
                     "切断しました。", "ダウンロードを中断しました。"}));
  EXPECT_EQ(server.Connections(), 0);
}

}  // namespace
}  // namespace toravin::test
