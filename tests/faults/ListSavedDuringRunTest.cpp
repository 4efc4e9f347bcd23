// A crash in the middle of a run repeats little: the settings file, work list included, is saved
// during the run (at most every 2 s, and never taking more than a fiftieth of the run's time),
// so the file on disk always lists what is still to do, give or take the last interval.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "CrawlFixture.h"
#include "main/SaveThrottle.h"
#include "settings/ToraVinIniList.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class ListSavedDuringRun : public CrawlFixture {};

TEST_F(ListSavedDuringRun, FileOnDiskListsWhatIsLeftWhenALaterFileIsAskedFor) {
  timings.listSaveIntervalMs = 0;  // every chance to save is taken
  Restart();
  mf->SetParallelTransfers(1);
  const struct Case {
    bool failB;      // b.jpg answers 503 and goes to the end of the list
    Strings onDisk;  // the work list on disk when d.jpg is asked for
  } cases[] = {
      {false, {"d.jpg", "e.jpg"}},
      {true, {"d.jpg", "e.jpg", "b.jpg"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failB);
    const std::string dir = "/run" + std::to_string(++n) + "/";
    S().JPGDownLoad = true;
    S().Retry = true;
    S().RetryCount = "1";
    Page(dir + "index.html",
         "<img src=\"a.jpg\"><img src=\"b.jpg\"><img src=\"c.jpg\"><img src=\"d.jpg\">"
         "<img src=\"e.jpg\">");
    for (const char* p : {"a.jpg", "c.jpg", "e.jpg"}) File(dir + p, p, "image/jpeg");
    Serve(dir + "b.jpg", c.failB
                             ? ScriptedReply::Http(503, "busy", "Content-Type: text/html\r\n")
                             : ScriptedReply::Http(200, "b.jpg", "Content-Type: image/jpeg\r\n"));
    std::mutex m;
    std::string seen;
    ServeWith(dir + "d.jpg", [&](int) {
      std::lock_guard lock(m);
      seen = ReadFileBytes(iniFile);
      return ScriptedReply::Http(200, "d.jpg", "Content-Type: image/jpeg\r\n");
    });
    form->AddressEdit.Text = Url(dir + "index.html");
    Download();
    EXPECT_EQ(Boxes().back(), "ダウンロード完了");
    TToraVinIniList onDisk;
    ASSERT_NO_THROW(onDisk.LoadFromBytes(seen));
    Strings urls;
    for (int i = 0; i < onDisk.Count(); ++i) urls.push_back(onDisk.Item(i).Url);
    EXPECT_EQ(urls, c.onDisk);
    EXPECT_EQ(onDisk.TargetURL, Url(dir + "index.html"));
  }
}

TEST(SaveThrottle, AtMostEveryIntervalAndAtMostAFiftiethOfTheTime) {
  // (event, start ms, end ms or the asked time) -> due?
  TSaveThrottle t(2000);
  t.Start(1000);
  const struct Event {
    bool save;  // a save ran from `a` to `b`; else: is one due at `a`?
    long a, b;
    bool due;
  } events[] = {
      {false, 1000, 0, false},   {false, 2999, 0, false},
      {false, 3000, 0, true},    {true, 3000, 3010, false},  // 10 ms: the interval rules
      {false, 5009, 0, false},   {false, 5010, 0, true},
      {true, 5010, 5110, false},  // 100 ms: 49 times that must pass first
      {false, 10009, 0, false},  {false, 10010, 0, true},
  };
  for (const Event& s : events) {
    SCOPED_TRACE(s.a);
    if (s.save) {
      t.Saved(s.a, s.b);
    } else {
      EXPECT_EQ(t.Due(s.a), s.due);
    }
  }
}

}  // namespace
}  // namespace toravin::test
