// Replies no server should send: a Location to a scheme other than http and https, and status
// codes outside 100-599. Each fails its entry; nothing is requested from the place the Location
// names, nothing is saved, and the run goes on to the next entry.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CrawlFixture.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class OddReplies : public CrawlFixture {};

TEST_F(OddReplies, LocationsToOtherSchemesFailTheEntry) {
  const std::string port = std::to_string(server.port());
  const struct Case {
    std::string location;
  } cases[] = {
      {"file:///etc/passwd"},
      {"file://127.0.0.1:" + port + "/etc/passwd"},
      {"FILE://127.0.0.1:" + port + "/etc/passwd"},
      {"ftp://127.0.0.1:" + port + "/etc/passwd"},
      {"gopher://127.0.0.1:" + port + "/etc/passwd"},
      {"javascript:alert(1)"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    const std::string dir = "/odd" + std::to_string(++n) + "/";
    S().JPGDownLoad = true;
    S().Retry = true;
    S().RetryCount = "2";
    Page(dir + "index.html", "<img src=\"x.jpg\"><img src=\"ok.jpg\">");
    Serve(dir + "x.jpg",
          ScriptedReply::Text("HTTP/1.0 302 Found\r\nLocation: " + c.location + "\r\n\r\n"));
    File(dir + "ok.jpg", "OK", "image/jpeg");
    Serve("/etc/passwd", ScriptedReply::Http(200, "root:x:0:0", "Content-Type: image/jpeg\r\n"));
    form->AddressEdit.Text = Url(dir + "index.html");
    Download();
    EXPECT_EQ(Hits(dir + "x.jpg"), 1);  // a redirect answer is final: no retry
    EXPECT_EQ(Hits("/etc/passwd"), 0);
    EXPECT_TRUE(StatusSeen("x.jpg ダウンロード中にエラー（エラーコード：302）"));
    EXPECT_EQ(SavedFiles(), Strings{"ok.jpg"});
    EXPECT_EQ(Saved("ok.jpg"), "OK");
    EXPECT_EQ(Pending(), Strings{});
    EXPECT_EQ(Boxes().back(), "ダウンロード完了");
    for (const std::string& name : SavedFiles()) std::remove((saveDir + "/" + name).c_str());
  }
}

TEST_F(OddReplies, StatusCodesOutsideTheRangeAreFailures) {
  const struct Case {
    std::string statusLine;
    const char* shownCode;
  } cases[] = {
      {"HTTP/1.0 99999999999999999999 OK", "0"},
      {"HTTP/1.0 600 Odd", "600"},
      {"HTTP/1.0 99 Low", "99"},
      {"HTTP/1.0 -200 OK", "0"},
      {"HTTP/1.0 OK", "0"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statusLine);
    const std::string dir = "/code" + std::to_string(++n) + "/";
    S().JPGDownLoad = true;
    S().Retry = false;
    Page(dir + "index.html", "<img src=\"x.jpg\"><img src=\"ok.jpg\">");
    Serve(dir + "x.jpg", ScriptedReply::Text(c.statusLine + "\r\nContent-Type: image/jpeg\r\n"
                                                            "Content-Length: 4\r\n\r\nJPEG"));
    File(dir + "ok.jpg", "OK", "image/jpeg");
    form->AddressEdit.Text = Url(dir + "index.html");
    Download();
    EXPECT_TRUE(StatusSeen(std::string("x.jpg ダウンロード中にエラー（エラーコード：") +
                           c.shownCode + "）"));
    EXPECT_EQ(SavedFiles(), Strings{"ok.jpg"});
    EXPECT_EQ(Pending(), Strings{});
    EXPECT_EQ(Boxes().back(), "ダウンロード完了");
    for (const std::string& name : SavedFiles()) std::remove((saveDir + "/" + name).c_str());
  }
}

}  // namespace
}  // namespace toravin::test
