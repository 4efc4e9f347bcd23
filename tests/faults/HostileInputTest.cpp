// Hostile pages and servers: none may crash the crawl, hang it, take memory beyond the bound
// stated with each case, or write outside the save directory. Memory is what the program holds
// through operator new at its peak during the run (the test server's copy of the reply
// included), measured by the allocation meter.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "AllocationMeter.h"
#include "CrawlFixture.h"
#include "platform/Cp932.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;
constexpr std::size_t kMiB = 1u << 20;

class HostileInputs : public CrawlFixture {
 protected:
  // Downloads from `start` and returns the peak memory of the run.
  std::size_t MeasuredDownload(const std::string& start) {
    form->AddressEdit.Text = Url(start);
    ResetAllocationPeak();
    Download();
    std::size_t peak = AllocationPeak();
    std::printf("[ peak     ] %s: %.1f MB\n",
                ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                static_cast<double>(peak) / kMiB);
    RecordProperty("peak_bytes", std::to_string(peak));
    return peak;
  }
  // Nothing beside the save directory (and the settings file) in the working folder, and only
  // plain files directly inside the save directory.
  void ExpectNothingOutsideTheSaveDirectory() {
    for (const std::string& n : ListDirectory(tmp.path())) {
      EXPECT_TRUE(n == "save" || n == "ToraVin.ini") << n;
    }
    for (const std::string& n : SavedFiles()) {
      EXPECT_TRUE(ListDirectory(saveDir + "/" + n).empty()) << n << " is a directory";
    }
  }
};

TEST_F(HostileInputs, HundredMegabytePageWithoutLineBreaks) {
  S().JPGDownLoad = true;
  std::string page(100 * kMiB, 'x');
  page += "<img src=\"a.jpg\">";
  Page("/index.html", page);
  page = std::string();
  File("/a.jpg", "A", "image/jpeg");
  const std::size_t peak = MeasuredDownload("/index.html");
  // The test server's reply copy (100 MB), the page as held (at most 64 MiB) and its one line.
  EXPECT_LT(peak, 320 * kMiB);
  // A page is read up to its bound of 64 MiB: the link beyond it is not seen.
  EXPECT_EQ(SavedFiles(), Strings{});
  EXPECT_EQ(Hits("/a.jpg"), 0);
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(HostileInputs, AMillionOpeningBrackets) {
  S().JPGDownLoad = true;
  Page("/index.html", std::string(1000000, '<') + "<img src=\"a.jpg\">");
  File("/a.jpg", "A", "image/jpeg");
  const std::size_t peak = MeasuredDownload("/index.html");
  EXPECT_LT(peak, 128 * kMiB);
  EXPECT_EQ(SavedFiles(), Strings{"a.jpg"});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(HostileInputs, LoneLeadBytesAtEveryPosition) {
  S().JPGDownLoad = true;
  const std::string tag = "<a href=\"p.jpg\"><img src=\"q.jpg\">\\";
  std::string page;
  for (unsigned char lead : {0x81, 0x9F, 0xE0, 0xFC}) {
    for (std::size_t i = 0; i <= tag.size(); ++i) {
      std::string t = tag;
      t.insert(i, 1, static_cast<char>(lead));
      page += t + "\n";
    }
  }
  Page("/index.html", page);
  const std::size_t peak = MeasuredDownload("/index.html");
  EXPECT_LT(peak, 16 * kMiB);
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(Pending(), Strings{});
  ExpectNothingOutsideTheSaveDirectory();
}

TEST_F(HostileInputs, LongUrlsAndHeaderLines) {
  S().JPGDownLoad = true;
  const std::string longName = std::string(64 * 1024, 'n') + ".jpg";
  Page("/index.html", "<img src=\"" + longName + "\"><img src=\"b.jpg\">");
  server.SetRouter([](const std::string& request) {
    if (RequestPath(request) == "/index.html") {
      return ScriptedReply::Http(200, "<img src=\"b.jpg\">", "Content-Type: text/html\r\n");
    }
    return ScriptedReply::Http(
        200, "JPEG", "Content-Type: image/jpeg\r\nX-Long: " + std::string(64 * 1024, 'h') + "\r\n");
  });
  const std::size_t peak = MeasuredDownload("/index.html");
  EXPECT_LT(peak, 16 * kMiB);
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  ExpectNothingOutsideTheSaveDirectory();
}

TEST_F(HostileInputs, TwentyDigitContentLengthAndABodyFarBeyondItsAnnouncement) {
  S().JPGDownLoad = true;
  S().Retry = true;
  S().RetryCount = "1";
  Page("/index.html", "<img src=\"huge.jpg\"><img src=\"more.jpg\">");
  Serve("/huge.jpg", ScriptedReply::Text("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                                         "Content-Length: 99999999999999999999\r\n\r\nsmall"));
  const std::string big(5 * kMiB, 'm');
  Serve("/more.jpg", ScriptedReply::Text("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n"
                                         "Content-Length: 10\r\n\r\n" +
                                         big));
  const std::size_t peak = MeasuredDownload("/index.html");
  EXPECT_LT(peak, 64 * kMiB);
  EXPECT_EQ(Hits("/huge.jpg"), 2);  // never whole: RetryCount + 1 tries, then dropped
  EXPECT_EQ(SavedFiles(), Strings{"more.jpg"});
  EXPECT_EQ(Saved("more.jpg"), big);  // the body is what came, not what was announced
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
}

TEST_F(HostileInputs, RedirectCycleAndOtherSchemes) {
  S().JPGDownLoad = true;
  S().Retry = false;
  Page("/index.html",
       "<img src=\"loop.jpg\"><img src=\"gopher.jpg\"><img src=\"mail.jpg\">"
       "<img src=\"ftp.jpg\"><img src=\"ok.jpg\">");
  Serve("/loop.jpg", ScriptedReply::Text("HTTP/1.0 302 Found\r\nLocation: /loop.jpg\r\n\r\n"));
  // Only http and https are followed: a Location to any other scheme fails the entry, even
  // with a port that would reach an HTTP server.
  Serve("/gopher.jpg", ScriptedReply::Text("HTTP/1.0 302 Found\r\nLocation: gopher://127.0.0.1:" +
                                           std::to_string(server.port()) + "/ok.jpg\r\n\r\n"));
  Serve("/mail.jpg", ScriptedReply::Text("HTTP/1.0 302 Found\r\nLocation: mailto:x@y\r\n\r\n"));
  Serve("/ftp.jpg", ScriptedReply::Text("HTTP/1.0 302 Found\r\nLocation: ftp://127.0.0.1:" +
                                        std::to_string(server.port()) + "/ok.jpg\r\n\r\n"));
  File("/ok.jpg", "OK", "image/jpeg");
  const std::size_t peak = MeasuredDownload("/index.html");
  EXPECT_LT(peak, 16 * kMiB);
  EXPECT_EQ(Hits("/loop.jpg"), 21);  // the first request and twenty redirects
  EXPECT_EQ(Hits("/ok.jpg"), 1);     // itself only: not through gopher:// or ftp://
  EXPECT_TRUE(StatusSeen("loop.jpg ダウンロード中にエラー（エラーコード：302）"));
  EXPECT_TRUE(StatusSeen("gopher.jpg ダウンロード中にエラー（エラーコード：302）"));
  EXPECT_TRUE(StatusSeen("mail.jpg ダウンロード中にエラー（エラーコード：302）"));
  EXPECT_TRUE(StatusSeen("ftp.jpg ダウンロード中にエラー（エラーコード：302）"));
  EXPECT_EQ(SavedFiles(), (Strings{"ok.jpg"}));
  EXPECT_EQ(Pending(), Strings{});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  ExpectNothingOutsideTheSaveDirectory();
}

TEST_F(HostileInputs, NamesThatTryToLeaveTheSaveDirectory) {
  S().JPGDownLoad = true;
  S().Retry = false;
  const Strings links = {"..%2F..%2Fevil.jpg",   "%2E%2E%2Fevil2.jpg", "con.jpg",
                         "a/..\\..\\..\\up.jpg", "..\\..\\up2.jpg",    ".jpg",
                         "x/../../../root.jpg",  "/../../../top.jpg",  "nul.jpg"};
  std::string page;
  for (const std::string& l : links) page += "<img src=\"" + l + "\">";
  server.SetRouter([page](const std::string& request) {
    if (RequestPath(request) == "/index.html") {
      return ScriptedReply::Http(200, page, "Content-Type: text/html\r\n");
    }
    return ScriptedReply::Http(200, "JPEG", "Content-Type: image/jpeg\r\n");
  });
  const std::size_t peak = MeasuredDownload("/index.html");
  EXPECT_LT(peak, 16 * kMiB);
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  ExpectNothingOutsideTheSaveDirectory();
  // Every fetched picture is a plain file inside the save directory.
  // Escapes are decoded for the name, except those that would make a separator.
  EXPECT_EQ(SavedFiles(), (Strings{"..%2F..%2Fevil.jpg", "..%2Fevil2.jpg", ".jpg", "con.jpg",
                                   "nul.jpg", "root.jpg", "top.jpg", "up.jpg", "up2.jpg"}));
}

}  // namespace
}  // namespace toravin::test
