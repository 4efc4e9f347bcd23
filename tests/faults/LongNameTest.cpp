// Names the file system refuses: a name longer than NAME_MAX bytes in its UTF-8 form is saved
// under a shortened name (cut at a character, extension kept, room left for "(n)"); a name that
// still cannot be made goes through the retry rule and the run goes on.
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "CrawlFixture.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

std::string Times(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class LongNames : public CrawlFixture {};

TEST_F(LongNames, OverlongNamesAreShortenedKeepingTheExtension) {
  const struct Case {
    std::string link;   // as written in the Shift-JIS page
    std::string saved;  // the name on disk (UTF-8)
  } cases[] = {
      // 120 kanji: 364 bytes as UTF-8; 81 kanji + ".jpg" + room for "(n)" fit in 255.
      {Sj(Times("漢", 120)) + ".jpg", Times("漢", 81) + ".jpg"},
      {std::string(296, 'a') + ".jpg", std::string(244, 'a') + ".jpg"},
      // The same first 244 bytes: the second takes the numbered name.
      {std::string(296, 'a') + "b.jpg", std::string(244, 'a') + "(1).jpg"},
      // Cut at a character boundary: two bytes of ASCII leave no room for an 81st kanji.
      {"ab" + Sj(Times("漢", 120)) + ".jpg", "ab" + Times("漢", 80) + ".jpg"},
      // Fits already: unchanged.
      {std::string(240, 'e') + ".jpg", std::string(240, 'e') + ".jpg"},
  };
  S().JPGDownLoad = true;
  S().DoFileChoice = false;
  S().Retry = false;
  std::string page;
  for (const Case& c : cases) page += "<img src=\"" + c.link + "\">";
  // Request paths are cut to 256 bytes: every picture's body is the path the server was asked.
  server.SetRouter([page](const std::string& request) {
    if (RequestPath(request) == "/index.html") {
      return ScriptedReply::Http(200, page, "Content-Type: text/html\r\n");
    }
    return ScriptedReply::Http(200, RequestPath(request), "Content-Type: image/jpeg\r\n");
  });
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(Pending(), Strings{});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.saved);
    EXPECT_LE(c.saved.size(), std::size_t{NAME_MAX});
    EXPECT_EQ(Saved(c.saved), ("/" + c.link).substr(0, 256));
  }
  EXPECT_EQ(SavedFiles().size(), std::size(cases));
}

TEST_F(LongNames, ANameThatStillCannotBeMadeGoesThroughTheRetryRule) {
  // A save directory whose path leaves no room for any name below PATH_MAX.
  std::string deep = tmp.File("deep");
  ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
  while (deep.size() < PATH_MAX - 6) {
    const std::size_t part = std::min<std::size_t>(200, PATH_MAX - 6 - deep.size() - 1);
    deep += "/" + std::string(part, 'd');
    ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0) << deep.size();
  }
  const struct Case {
    bool retry;
    const char* count;
    int tries;
  } cases[] = {{false, "3", 1}, {true, "2", 3}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tries);
    const std::string dir = "/deep" + std::to_string(++n) + "/";
    S().JPGDownLoad = true;
    S().Retry = c.retry;
    S().RetryCount = c.count;
    Page(dir + "index.html", "<img src=\"a.jpg\"><img src=\"b.jpg\">");
    File(dir + "a.jpg", "A", "image/jpeg");
    File(dir + "b.jpg", "B", "image/jpeg");
    form->AddressEdit.Text = Url(dir + "index.html");
    form->DirectoryEdit.Text = deep;
    dialogs.clear();
    Download();
    EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
    EXPECT_EQ(Hits(dir + "a.jpg"), c.tries);
    EXPECT_EQ(Hits(dir + "b.jpg"), c.tries);
    EXPECT_TRUE(StatusSeen("ファイル " + deep + "\\a.jpg を作成できません"));
    EXPECT_EQ(Pending(), Strings{});
    EXPECT_EQ(ListDirectory(deep), Strings{});
  }
}

}  // namespace
}  // namespace toravin::test
