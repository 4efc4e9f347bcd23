// Encoded pages that inflate far beyond their size: the decoded page is bounded like a received
// one (64 MiB: decoding stops there and the page is read up to it), and its lines are made one at
// a time from it, so memory stays a small multiple of the bound whatever the page holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "AllocationMeter.h"
#include "CrawlFixture.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;
constexpr std::size_t kMiB = 1u << 20;

class GzipBombs : public CrawlFixture {};

TEST_F(GzipBombs, DecodedPagesAreCutAtTheBoundAndCostLittleBeyondIt) {
  const struct Case {
    const char* what;
    std::size_t fill;  // bytes before the first link
    char filler;
    std::size_t more;  // bytes between the first and the second link
    bool firstSeen;    // (a zero byte after a link hides it: the page is what follows the last)
    bool secondSeen;   // the second link lies within the bound
    std::size_t peakMiB;
  } cases[] = {
      {"small page", 1000, ' ', 1000, true, true, 16},
      {"8 MiB of \"<\"", 8 * kMiB, '<', 1000, true, true, 64},
      {"120 MiB of zeros", kMiB, '\0', 119 * kMiB, false, false, 4 * 64 + 32},
      {"70 MiB of text, the second link at 69 MiB", kMiB, 'x', 68 * kMiB, true, false, 4 * 64 + 32},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string dir = "/bomb" + std::to_string(++n) + "/";
    S().JPGDownLoad = true;
    S().UseTar = true;
    S().Retry = false;
    std::string page = "<html>" + std::string(c.fill, c.filler) + "<img src=\"first.jpg\">";
    page.append(c.more, c.filler == '<' ? ' ' : c.filler);
    page += "<img src=\"second.jpg\"></html>";
    std::string gz = Gzip(page);
    page = std::string();
    std::printf("[ bomb     ] %s: %zu bytes encoded\n", c.what, gz.size());
    Page(dir + "index.html", gz, "Content-Encoding: gzip\r\n");
    gz = std::string();
    File(dir + "first.jpg", "1", "image/jpeg");
    File(dir + "second.jpg", "2", "image/jpeg");
    form->AddressEdit.Text = Url(dir + "index.html");
    dialogs.clear();
    ResetAllocationPeak();
    Download();
    const std::size_t peak = AllocationPeak();
    std::printf("[ peak     ] %s: %.1f MB\n", c.what, static_cast<double>(peak) / kMiB);
    EXPECT_LT(peak, c.peakMiB * kMiB);
    EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
    EXPECT_EQ(Hits(dir + "first.jpg"), c.firstSeen ? 1 : 0);
    EXPECT_EQ(Hits(dir + "second.jpg"), c.secondSeen ? 1 : 0);
    EXPECT_EQ(Saved("first.jpg"), c.firstSeen ? "1" : "");
    for (const std::string& name : SavedFiles()) std::remove((saveDir + "/" + name).c_str());
  }
}

}  // namespace
}  // namespace toravin::test
