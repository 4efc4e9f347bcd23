// Hostile servers on kept connections, in a whole run: broken chunked codings fail their entry
// (and go through the retry rule), the run goes on with the next entry, and a body of a million
// one-byte chunks is saved whole in bounded memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AllocationMeter.h"
#include "CrawlFixture.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class KeptConnectionFaults : public CrawlFixture {
 protected:
  void SetUp() override {
    CrawlFixture::SetUp();
    keep = true;
    server.SetConcurrent(true);
    Restart();
  }
};

// A chunked JPEG reply; `close`: the server closes after it.
ScriptedReply Chunked(const std::string& coded, bool close = false) {
  ScriptedReply reply = ScriptedReply::Text(
      "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nTransfer-Encoding: chunked\r\n\r\n" + coded);
  reply.keepOpen = !close;
  return reply;
}

TEST_F(KeptConnectionFaults, BrokenChunkedBodiesFailTheirEntryAndTheRunGoesOn) {
  S().JPGDownLoad = true;
  S().Retry = true;
  S().RetryCount = "1";
  std::string ones;
  for (int i = 0; i < 1000000; ++i) ones += "1\r\nx\r\n";
  ones += "0\r\n\r\n";
  Page("/index.html",
       "<img src=\"overflow.jpg\"><img src=\"bad.jpg\"><img src=\"cut.jpg\">"
       "<img src=\"long.jpg\"><img src=\"ones.jpg\"><img src=\"good.jpg\">");
  Serve("/overflow.jpg", Chunked("FFFFFFFFFFFFFFFFFFFF\r\nxyz"));
  Serve("/bad.jpg", Chunked("xyz\r\nabc\r\n0\r\n\r\n"));
  Serve("/cut.jpg", Chunked("5\r\nhel", true));
  Serve("/long.jpg", Chunked("2\r\nhello\r\n0\r\n\r\n"));
  Serve("/ones.jpg", Chunked(ones));
  Serve("/good.jpg", Chunked("4\r\nJPEG\r\n0\r\n\r\n"));
  form->AddressEdit.Text = Url("/index.html");
  ResetAllocationPeak();
  Download();
  const std::size_t peak = AllocationPeak();
  for (const char* p : {"/overflow.jpg", "/bad.jpg", "/cut.jpg", "/long.jpg"}) {
    EXPECT_EQ(Hits(p), 2) << p;  // RetryCount + 1 tries, then dropped
  }
  EXPECT_EQ(SavedFiles(), (Strings{"good.jpg", "ones.jpg"}));
  EXPECT_EQ(Saved("ones.jpg"), std::string(1000000, 'x'));
  EXPECT_EQ(Saved("good.jpg"), "JPEG");
  EXPECT_EQ(Pending(), Strings{});
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  // The million chunks pass through the decoder without being held.
  EXPECT_LT(peak, std::size_t{16} << 20) << peak;
}

}  // namespace
}  // namespace toravin::test
