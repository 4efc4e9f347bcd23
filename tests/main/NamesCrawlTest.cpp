// Crawls of pages that link names in UTF-8, percent-encoded or in Shift-JIS: what lands on disk,
// what the work list and the status bar show, what the masks match, and what goes on the wire.
#include <gtest/gtest.h>

#include "CrawlFixture.h"
#include "platform/Cp932.h"
#include "platform/MessagePump.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class Names : public CrawlFixture {
 protected:
  // Serves `page` with the given header lines, linking `links` (raw bytes); every linked file is
  // a JPEG whose body is its request path.
  void Site(const std::string& page, const std::string& headers, const Strings& links) {
    std::string html = page;
    for (const std::string& l : links) html += "<img src=\"" + l + "\">";
    Page("/index.html", html, headers);
    for (const std::string& l : links) File("/" + l, "/" + l, "image/jpeg");
    form->AddressEdit.Text = Url("/index.html");
  }
  Strings MemoLines() const {
    Strings out;
    for (const std::string& l : form->BodyMemo.lines()) out.push_back(Cp932ToUtf8(l));
    return out;
  }
};

TEST_F(Names, Utf8PageSavesAndShowsRealNames) {
  S().JPGDownLoad = true;
  const Strings links = {"写真.jpg", "%E8%8A%B1%E7%81%AB.jpg", "emoji😀.jpg", "a%2Fb.jpg",
                         "100%25.jpg"};
  Site("<meta charset=\"utf-8\">", "", links);
  Strings memoDuringRun;
  SetMessagePump([&] {
    if (memoDuringRun.empty() && form->BodyMemo.Count() == 5) memoDuringRun = MemoLines();
  });
  Download();
  SetMessagePump(nullptr);
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(memoDuringRun,
            (Strings{"写真.jpg", "花火.jpg", "emoji😀.jpg", "a%2Fb.jpg", "100%.jpg"}));
  EXPECT_EQ(SavedFiles(), (Strings{"100%.jpg", "a%2Fb.jpg", "emoji😀.jpg", "写真.jpg", "花火.jpg"}));
  EXPECT_EQ(Saved("花火.jpg"), "/%E8%8A%B1%E7%81%AB.jpg");  // fetched with the link's own bytes
  EXPECT_EQ(Saved("写真.jpg"), "/写真.jpg");
  EXPECT_TRUE(StatusSeen("emoji😀.jpg 保存中..."));
  EXPECT_TRUE(StatusSeen("花火.jpg  ( 23 / 23 )"));
  // The settings file keeps the URLs' bytes.
  EXPECT_EQ(Pending(), Strings{});
}

TEST_F(Names, ShiftJisPageKeepsItsNames) {
  S().JPGDownLoad = true;
  const std::string hyou = Sj("一覧表.jpg");
  Site("<meta charset=\"Shift_JIS\">", "", {hyou, "%8E%CA%90%5E.jpg"});
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"一覧表.jpg", "写真.jpg"}));
  EXPECT_EQ(Saved("一覧表.jpg"), "/" + hyou);
}

TEST_F(Names, JapaneseMasksMatchNamesFromUtf8Pages) {
  S().JPGDownLoad = true;
  S().JpegName = Sj("写真*.jpg");
  Site("", "Content-Type: text/html; charset=utf-8\r\n",
       {"写真1.jpg", "%E5%86%99%E7%9C%9F2.jpg", "花火.jpg"});
  Download();
  EXPECT_EQ(SavedFiles(), (Strings{"写真1.jpg", "写真2.jpg"}));
  EXPECT_EQ(Hits("/花火.jpg"), 0);
}

TEST_F(Names, PendingListKeepsTheUrlBytesAcrossARestart) {
  S().AddItem("http://h/%E5%86%99.jpg", "r");
  S().AddItem("http://h/emoji😀.jpg", "r");
  Restart();
  EXPECT_EQ(Pending(), (Strings{"http://h/%E5%86%99.jpg", "http://h/emoji😀.jpg"}));
  EXPECT_EQ(MemoLines(), (Strings{"写.jpg", "emoji😀.jpg"}));
}

}  // namespace
}  // namespace toravin::test
