// Whole crawl runs against scripted sites: what is requested, what lands on disk, what the user
// is told, and what stays in the work list.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "CrawlFixture.h"
#include "platform/Cp932.h"
#include "platform/MessagePump.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class CrawlRun : public CrawlFixture {};

TEST_F(CrawlRun, StartPageThatIsAPictureIsSavedByItself) {
  S().GIFDownLoad = true;  // the start page is judged by its response alone
  File("/photo.jpg", "\xFF\xD8jpeg bytes\xFF\xD9", "image/jpeg");
  form->AddressEdit.Text = Url("/photo.jpg");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"photo.jpg"});
  EXPECT_EQ(Saved("photo.jpg"), "\xFF\xD8jpeg bytes\xFF\xD9");
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(form->StatusText(), "");
}

TEST_F(CrawlRun, NothingIsRequestedWithoutAKindOrAnAddressOrADirectory) {
  form->AddressEdit.Text = Url("/index.html");
  Download();
  S().JPGDownLoad = true;
  form->AddressEdit.Text = "";
  Download();
  form->AddressEdit.Text = Url("/index.html");
  form->DirectoryEdit.Text = "";
  Download();
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_EQ(Boxes(), (Strings{"ダウンロードをするファイルの種類が選択されていません。",
                              "アドレスを指定してください。",
                              "保存するディレクトリーを指定してください。"}));
  EXPECT_EQ(dialogs.records()[0].call, RecordingDialogs::Call::Sound);
  EXPECT_EQ(dialogs.records()[0].kind, MsgDlgType::mtError);
}

TEST_F(CrawlRun, MissingSaveDirectoryIsCreatedOrTheRunRefused) {
  S().JPGDownLoad = true;
  File("/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/a.jpg");
  form->DirectoryEdit.Text = saveDir + "/new/deep";
  dialogs.messageAnswers = {ModalResult::mrNo};
  Download();
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_EQ(Boxes(), (Strings{saveDir + "/new/deep が見つかりません。\r\n作成しますか？",
                              "保存するフォルダーが存在しないので、中断します。"}));
  Download();  // answered Yes
  EXPECT_EQ(ReadFileBytes(saveDir + "/new/deep/a.jpg"), "A");
}

TEST_F(CrawlRun, TwoLevelSite) {
  S().JPGDownLoad = S().GIFDownLoad = S().ZIPDownLoad = S().HTMLDownLoad = true;
  Page("/site/index.html",
       "<html><body><a href=\"a.jpg\"><img src='b.gif'></a>\n"
       "<A HREF=\"sub/page2.html\">next</A> <a href=c.zip>zip</a>\r\n"
       "<a href=\"/cgi-bin/x.jpg\"><a href=\"A.JPG\"><a href=\"a.jpg?x=1\"><img src=\"d.png\">"
       "</body></html>");
  Page("/site/sub/page2.html",
       "<img src=\"../img/d.jpg\"><a href=\"page3.html\"><IMG SRC=e.gif>"
       "<a href=\"http://127.0.0.1:1/elsewhere.htm\">");
  Page("/site/sub/page3.html", "<img src=\"never.jpg\">");
  File("/site/a.jpg", "jpeg-a", "image/jpeg");
  File("/site/b.gif", "GIF89a-b", "image/gif");
  File("/site/c.zip", "PK-c", "application/zip");
  File("/site/img/d.jpg", "jpeg-d", "image/jpeg");
  File("/site/sub/e.gif", "GIF89a-e", "image/gif");
  form->AddressEdit.Text = Url("/site/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "b.gif", "c.zip", "d.jpg", "e.gif"}));
  EXPECT_EQ(Saved("d.jpg"), "jpeg-d");
  EXPECT_EQ(Saved("c.zip"), "PK-c");
  EXPECT_EQ(Hits("/site/sub/page3.html"), 0);
  EXPECT_EQ(Hits("/site/sub/never.jpg"), 0);
  EXPECT_EQ(Hits("/site/a.jpg"), 1);
  EXPECT_EQ(Hits("/cgi-bin/x.jpg"), 0);
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_TRUE(Pending().empty());
  EXPECT_EQ(form->BodyMemo.Count(), 0);
  // Referrers: the start page's text for its links, the page's URL for a later page's links.
  EXPECT_NE(RequestsFor("/site/a.jpg")[0].find("Referer: " + Url("/site/index.html") + "\r\n"),
            std::string::npos);
  EXPECT_NE(RequestsFor("/site/img/d.jpg")[0].find("Referer: " + Url("/site/sub/page2.html")),
            std::string::npos);
  // The run ends idle.
  EXPECT_TRUE(form->DownLoadButton.Visible && form->DownLoadButton.Enabled);
  EXPECT_FALSE(form->DownLoadAbortButton.Visible);
  EXPECT_FALSE(form->ContinueButton.Visible);
  EXPECT_TRUE(form->AddressEdit.Enabled && form->DirectoryEdit.Enabled);
  EXPECT_FALSE(form->DirectoryEdit.ReadOnly);
  EXPECT_TRUE(StatusSeen("a.jpg  ( 6 / 6 )"));
  EXPECT_TRUE(StatusSeen("a.jpg 保存中..."));
}

TEST_F(CrawlRun, RequestHeaderLinesAreExact) {
  S().JPGDownLoad = true;
  Page("/d/index.html", "<img src=\"p.jpg\">");
  File("/d/p.jpg", "P", "image/jpeg");
  form->AddressEdit.Text = Url("/d/index.html");
  Download();
  const std::string host = "127.0.0.1:" + std::to_string(server.port());
  const std::string common =
      "Accept: image/jpeg,image/pjpeg,image/gif,application/zip,text/html,*/*\r\n"
      "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
  const std::string tail =
      "Connection: close\r\nUser-Agent: Mozilla/4.0\r\nAccept-Language: en-us;q=0.5\r\n"
      "Accept-Encoding: gzip\r\n\r\n";
  ASSERT_EQ(RequestsFor("/d/index.html").size(), 1u);
  std::string hostLine = "Host: 127.0.0.1";
  std::string start = RequestsFor("/d/index.html")[0];
  std::string entry = RequestsFor("/d/p.jpg")[0];
  // The Host line is the client's; compare the rest line for line.
  auto withoutHost = [](std::string r) {
    size_t h = r.find("Host: ");
    size_t e = r.find("\r\n", h);
    return r.erase(h, e + 2 - h);
  };
  EXPECT_NE(start.find("\r\nHost: 127.0.0.1"), std::string::npos);
  EXPECT_EQ(withoutHost(start), "GET /d/index.html HTTP/1.0\r\n" + common + tail);
  EXPECT_EQ(withoutHost(entry), "GET /d/p.jpg HTTP/1.0\r\n" + common +
                                    "Referer: " + Url("/d/index.html") + "\r\n" + tail);
  EXPECT_EQ(entry.find("Content-Type"), std::string::npos);
  EXPECT_EQ(entry.find("Content-type"), std::string::npos);
  (void)host;
}

TEST_F(CrawlRun, ServerErrorIsRetriedBehindTheOthersThenDropped) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"x.jpg\"><img src=\"y.jpg\">");
  Serve("/x.jpg", ScriptedReply::Http(503, "busy"));
  File("/y.jpg", "Y", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Hits("/x.jpg"), 6);
  EXPECT_EQ(Hits("/y.jpg"), 1);
  EXPECT_EQ(SavedFiles(), Strings{"y.jpg"});
  EXPECT_TRUE(StatusSeen("x.jpgサーバーは過負荷のため要求を処理できません。"));
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(CrawlRun, WithoutRetryAServerErrorDropsTheEntryAtOnce) {
  S().JPGDownLoad = true;
  S().Retry = false;
  Page("/index.html", "<img src=\"x.jpg\"><img src=\"z.jpg\"><img src=\"w.jpg\">");
  Serve("/x.jpg", ScriptedReply::Http(500, "oops"));
  Serve("/w.jpg", ScriptedReply::Http(502, "bad gateway"));
  Download();  // no address: only the warning
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Hits("/x.jpg"), 1);
  EXPECT_EQ(Hits("/z.jpg"), 1);
  EXPECT_TRUE(StatusSeen("x.jpgサーバーは要求を処理できません。"));
  EXPECT_TRUE(StatusSeen("z.jpg を見つけられません。"));
  EXPECT_TRUE(StatusSeen("w.jpg ダウンロード中にエラー（エラーコード：502）"));
  EXPECT_TRUE(SavedFiles().empty());
}

TEST_F(CrawlRun, IncompleteBodyIsRetriedAndNotSaved) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"p.jpg\">");
  ServeWith("/p.jpg", [](int hit) {
    std::string head = "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 10\r\n\r\n";
    return ScriptedReply::Text(head + (hit == 1 ? "01234" : "0123456789"));
  });
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Hits("/p.jpg"), 2);
  EXPECT_EQ(SavedFiles(), Strings{"p.jpg"});
  EXPECT_EQ(Saved("p.jpg"), "0123456789");
}

TEST_F(CrawlRun, StartPageServerErrorEndsTheRunWhenRetryIsOn) {
  S().JPGDownLoad = true;
  Serve("/index.html", ScriptedReply::Http(503, "<img src=\"a.jpg\">"));
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Boxes(), (Strings{"切断しました。", "ダウンロードを中断しました。"}));
  EXPECT_EQ(form->StatusText(), Utf8ToCp932("中断しました。"));
  EXPECT_TRUE(Pending().empty());
  EXPECT_EQ(Hits("/a.jpg"), 0);
}

TEST_F(CrawlRun, StartPageErrorBodyIsParsedWhenRetryIsOff) {
  S().JPGDownLoad = true;
  S().Retry = false;
  Serve("/index.html", ScriptedReply::Http(404, "<img src=\"a.jpg\">"));
  File("/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"a.jpg"});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(CrawlRun, RefusedConnection) {
  S().JPGDownLoad = true;
  form->AddressEdit.Text = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/i.html";
  Download();
  EXPECT_EQ(Boxes(),
            (Strings{"接続できません。", "切断しました。", "ダウンロードを中断しました。"}));
  EXPECT_TRUE(form->DownLoadButton.Visible && form->DownLoadButton.Enabled);
}

TEST_F(CrawlRun, AbortDuringATransferKeepsThePendingEntries) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"slow.jpg\"><img src=\"next.jpg\">");
  Serve("/slow.jpg", ScriptedReply()
                         .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                               "Content-Length: 8\r\n\r\n1234")
                         .Delay(3000)
                         .Send("5678"));
  File("/next.jpg", "N", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  bool pressed = false;
  SetMessagePump([&] {
    if (!pressed && form->StatusText().rfind("slow.jpg  (", 0) == 0) {
      pressed = true;
      mf->DownLoadAbortButtonClick();
    }
  });
  Download();
  SetMessagePump(nullptr);
  EXPECT_TRUE(pressed);
  EXPECT_EQ(Boxes().back(), "ダウンロードを中断しました。");
  EXPECT_EQ(form->StatusText(), "");
  // With transfers ahead the next entry may have been asked for; it is neither saved nor dropped.
  if (parallel == 1) {
    EXPECT_EQ(Hits("/next.jpg"), 0);
  }
  EXPECT_TRUE(SavedFiles().empty());
  // The cut transfer went through the retry rule: both entries are still pending.
  EXPECT_EQ(Pending(), (Strings{"next.jpg", "slow.jpg"}));
  EXPECT_TRUE(form->ContinueButton.Visible && form->ContinueButton.Enabled);
}

TEST_F(CrawlRun, ContinueAfterARestartResolvesAgainstTheUrlFieldWithFreshTries) {
  S().JPGDownLoad = true;
  S().AddItem("p.jpg", "http://ref/");
  S().AddItem(Url("/abs/q.jpg"), "");
  S().Item(0).Tries = 5;
  form->AddressEdit.Text = Url("/first/index.html");
  Restart();  // saves at exit, loads at start
  EXPECT_TRUE(form->ContinueButton.Visible && form->ContinueButton.Enabled);
  ASSERT_EQ(Pending(), (Strings{"p.jpg", Url("/abs/q.jpg")}));
  EXPECT_EQ(S().Item(0).Tries, 0);
  EXPECT_EQ(form->AddressEdit.Text, Url("/first/index.html"));
  form->AddressEdit.Text = Url("/other/index.html");  // relative entries follow the field
  Serve("/other/p.jpg", ScriptedReply::Http(503, ""));
  File("/abs/q.jpg", "Q", "image/jpeg");
  Continue();
  EXPECT_EQ(Hits("/first/p.jpg"), 0);
  EXPECT_EQ(Hits("/other/p.jpg"), 6);  // fresh Tries: six attempts
  EXPECT_NE(RequestsFor("/other/p.jpg")[0].find("Referer: http://ref/\r\n"), std::string::npos);
  EXPECT_EQ(SavedFiles(), Strings{"q.jpg"});
}

TEST_F(CrawlRun, SameNameIsNumberedAndNothingIsOverwritten) {
  S().JPGDownLoad = true;
  WriteFileBytes(saveDir + "/photo.jpg", "already here");
  Page("/index.html", "<img src=\"a/photo.jpg\"><img src=\"b/photo.jpg\">");
  File("/a/photo.jpg", "first", "image/jpeg");
  File("/b/photo.jpg", "second", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"photo(1).jpg", "photo(2).jpg", "photo.jpg"}));
  EXPECT_EQ(Saved("photo.jpg"), "already here");
  EXPECT_EQ(Saved("photo(1).jpg"), "first");
  EXPECT_EQ(Saved("photo(2).jpg"), "second");
}

TEST_F(CrawlRun, ResponseAndSizeTests) {
  S().JPGDownLoad = S().ZIPDownLoad = true;
  S().FileSizeCheck = true;
  S().FileSize = "10";
  Page("/index.html",
       "<img src=\"html.jpg\"><img src=\"small.jpg\"><img src=\"big.jpg\">"
       "<a href=\"notzip.zip\"><a href=\"small.zip\">");
  File("/html.jpg", std::string(20000, 'h'), "text/html");
  File("/small.jpg", std::string(10239, 's'), "image/jpeg");
  File("/big.jpg", std::string(10240, 'b'), "image/jpeg");
  File("/notzip.zip", std::string(20000, 'n'), "application/octet-stream");
  File("/small.zip", std::string(5000, 'z'), "application/zip");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), Strings{"big.jpg"});
  EXPECT_EQ(Hits("/small.jpg"), 1);
  EXPECT_EQ(Hits("/small.zip"), 1);
}

TEST_F(CrawlRun, MasksAndFileChoice) {
  S().JPGDownLoad = true;
  S().JpegName = "abc*.jpg";
  Page("/index.html",
       "<img src=\"abc1.jpg\"><img src=\"xabc.jpg\"><img src=\"abc.jpe\"><img src=\"ABC1.jpg\">");
  for (const char* p : {"/abc1.jpg", "/xabc.jpg", "/abc.jpe", "/ABC1.jpg"})
    File(p, p, "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"abc.jpe", "abc1.jpg"}));
  EXPECT_EQ(Hits("/xabc.jpg"), 0);
  EXPECT_EQ(Hits("/ABC1.jpg"), 0);

  // An entry of no chosen kind: fetched (and not saved) unless files are chosen by name.
  File("/notes.txt", "text", "text/plain");
  S().AddItem(Url("/notes.txt"), "");
  Continue();
  EXPECT_EQ(Hits("/notes.txt"), 1);
  S().DoFileChoice = true;
  S().AddItem(Url("/notes.txt"), "");
  Continue();
  EXPECT_EQ(Hits("/notes.txt"), 1);
  EXPECT_TRUE(Pending().empty());
}

TEST_F(CrawlRun, DiskFullStopsTheRun) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"a.jpg\"><img src=\"b.jpg\">");
  File("/a.jpg", std::string(100, 'a'), "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  mf->FreeSpaceQuery = [] { return std::uint64_t{99}; };
  Download();
  EXPECT_TRUE(SavedFiles().empty());
  EXPECT_EQ(Boxes(),
            (Strings{"ディスクがいっぱいで書き込めません。", "ダウンロードを中断しました。"}));
  EXPECT_EQ(Pending(), Strings{"b.jpg"});
}

// A transfer that raises before any byte arrived must not leave the previous page's body to be
// parsed again under a ".htm" entry.
TEST_F(CrawlRun, FailedPageTransferDoesNotReparseThePreviousBody) {
  S().JPGDownLoad = S().HTMLDownLoad = true;
  S().Retry = false;
  Page("/index.html", "<a href=\"p.html\"><img src=\"a.jpg\">");
  Serve("/p.html", ScriptedReply::Text(""));  // closes without a byte
  File("/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  // On a kept connection, a close before any byte of the reply is taken for the close of an idle
  // connection: the request goes once more, on a new connection, and meets the same close.
  EXPECT_EQ(Hits("/p.html"), keep ? 2 : 1);
  EXPECT_EQ(Hits("/a.jpg"), 1);
  EXPECT_EQ(SavedFiles(), Strings{"a.jpg"});
}

TEST_F(CrawlRun, OddPageLinesDoNotStopTheCrawl) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"a.jpg\">\\\n<img src=\"b.jpg\">\x83\n<img src=\"c\\x2Ejpg\">");
  File("/a.jpg", "A", "image/jpeg");
  File("/b.jpg", "B", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "b.jpg"}));
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(CrawlRun, EncodedPageNeedsTheGzipOption) {
  S().JPGDownLoad = true;
  Page("/index.html", "<img src=\"a.jpg\">", "Content-Encoding: gzip\r\n");
  File("/a.jpg", "A", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Hits("/a.jpg"), 0);
  EXPECT_EQ(Boxes(), (Strings{"ＨＴＭＬファイルがエンコードされているために、解釈できません。",
                              "ダウンロード完了"}));
}

// The encoded-page test reads the header of the reply whose body is parsed: a 404 page with a
// Content-Encoding header after a plain start page.
TEST_F(CrawlRun, EncodedTestUsesTheParsedReplysHeader) {
  S().JPGDownLoad = S().HTMLDownLoad = true;
  S().Retry = false;
  Page("/index.html", "<a href=\"p.html\">");
  Serve("/p.html", ScriptedReply::Http(404, "\x1F\x8B garbage <img src=\"g.jpg\">",
                                       "Content-Encoding: gzip\r\n"));
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Hits("/g.jpg"), 0);
  EXPECT_EQ(Boxes(), (Strings{"ＨＴＭＬファイルがエンコードされているために、解釈できません。",
                              "ダウンロード完了"}));
}

TEST_F(CrawlRun, BadRetryCountLeavesTheRunWithAnErrorBoxAndCleansUp) {
  S().JPGDownLoad = true;
  S().RetryCount = "2.5";
  Page("/index.html", "<img src=\"x.jpg\">");
  Serve("/x.jpg", ScriptedReply::Http(503, ""));
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Boxes(), Strings{"'2.5' は整数ではありません"});
  EXPECT_TRUE(form->AddressEdit.Enabled && form->DirectoryEdit.Enabled && form->Button2.Enabled);
}

TEST_F(CrawlRun, HttpsLinksAreAbsoluteOnEveryPage) {
  S().JPGDownLoad = S().HTMLDownLoad = true;
  const std::string secure =
      "https://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/x/s.jpg";
  Page("/index.html", "<a href=\"sub/page.html\">p</a>");
  Page("/sub/page.html", "<img src=\"" + secure + "\">");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  // The link was queued as it stands, not glued to the page's directory, and fetched from its
  // own host (which refuses: a connection failure ends the run).
  EXPECT_EQ(Hits("/sub/" + secure), 0);
  EXPECT_EQ(Pending(), Strings{secure});
  EXPECT_EQ(Boxes(), (Strings{"接続できません。", "ダウンロードを中断しました。"}));
}

TEST_F(CrawlRun, TheAddressOfAnHttpsPageIsNotSentOverHttp) {
  S().JPGDownLoad = true;
  S().AddItem(Url("/a.jpg"), "https://secure.test/index.html");
  S().AddItem(Url("/b.jpg"), "http://plain.test/index.html");
  S().AddItem("c.jpg", "HTTPS://secure.test/index.html");
  File("/a.jpg", "A", "image/jpeg");
  File("/b.jpg", "B", "image/jpeg");
  File("/c.jpg", "C", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  Continue();
  EXPECT_EQ(SavedFiles(), (Strings{"a.jpg", "b.jpg", "c.jpg"}));
  EXPECT_EQ(RequestsFor("/a.jpg")[0].find("Referer"), std::string::npos);
  EXPECT_EQ(RequestsFor("/c.jpg")[0].find("Referer"), std::string::npos);
  EXPECT_NE(RequestsFor("/b.jpg")[0].find("Referer: http://plain.test/index.html\r\n"),
            std::string::npos);
}

TEST_F(CrawlRun, AbortDuringAStalledHandshakeEndsTheRunAtOnce) {
  S().JPGDownLoad = true;
  // A listener that takes the connection into its backlog and never answers the client hello.
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ::listen(listener, 4);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
  const std::string stalled = "https://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/s.jpg";
  Page("/index.html", "<img src=\"" + stalled + "\"><img src=\"next.jpg\">");
  File("/next.jpg", "N", "image/jpeg");
  form->AddressEdit.Text = Url("/index.html");
  int pumps = 0;
  bool pressed = false;
  SetMessagePump([&] {
    // Well after the start page, the run is waiting in the handshake with the silent listener.
    if (!pressed && Hits("/index.html") == 1 && ++pumps == 200) {
      pressed = true;
      mf->DownLoadAbortButtonClick();
    }
  });
  Download();
  SetMessagePump(nullptr);
  ::close(listener);
  EXPECT_TRUE(pressed);
  // The handshake was given up by the button, not by the time-out, and only the abort's own box
  // shows: the given-up connection is not reported as a failure.
  EXPECT_FALSE(mf->HttpClient1.TimedOut);
  EXPECT_EQ(Boxes(), Strings{"ダウンロードを中断しました。"});
  if (parallel == 1) {
    EXPECT_EQ(Hits("/next.jpg"), 0);
  }
  EXPECT_TRUE(SavedFiles().empty());
  EXPECT_EQ(Pending(), (Strings{"next.jpg", stalled}));
  EXPECT_TRUE(form->DownLoadButton.Visible && form->DownLoadButton.Enabled);
}

}  // namespace
}  // namespace toravin::test
