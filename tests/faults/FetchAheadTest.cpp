// Fetch-ahead never runs two transfers of one URL at once (the entry in hand included), starts
// nothing for the host of a redirect in hand that set a cookie, and counts the transfers whose
// work it threw away.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "CrawlFixture.h"
#include "WatchedStream.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class FetchAheadFaults : public CrawlFixture {
 protected:
  void Watch() {
    mf->HttpClient1.StreamFactory = watch.Factory();
    mf->SetParallelTransfers(4);
  }
  ScriptedReply SlowJpeg(const std::string& body, int ms) {
    return ScriptedReply()
        .Send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
              std::to_string(body.size()) + "\r\n\r\n")
        .Delay(ms)
        .Send(body);
  }
  StreamWatch watch;
};

TEST_F(FetchAheadFaults, NeverTwoTransfersOfOneUrlAtOnce) {
  const struct Case {
    Strings list;  // paths in the work list, in order
    Strings saved;
  } cases[] = {
      {{"/d1/a.jpg", "/d1/b.jpg", "/d1/a.jpg", "/d1/c.jpg", "/d1/a.jpg"},
       {"a(1).jpg", "a(2).jpg", "a.jpg", "b.jpg", "c.jpg"}},
      {{"/d2/a.jpg", "/d2/a.jpg", "/d2/a.jpg"}, {"a(1).jpg", "a(2).jpg", "a.jpg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list.front());
    Watch();
    S().JPGDownLoad = true;
    S().Retry = false;
    S().ClearItems();
    for (const std::string& p : c.list) {
      Serve(p, SlowJpeg("body of " + p, 150));
      S().AddItem(Url(p), Url("/"));
    }
    form->AddressEdit.Text = Url("/");
    Continue();
    EXPECT_EQ(Boxes().back(), "ダウンロード完了");
    EXPECT_EQ(SavedFiles(), c.saved);
    EXPECT_EQ(Hits(c.list.front()), 3);
    for (const std::string& p : c.list) EXPECT_EQ(watch.MostAtOnce(p), 1) << p;
    for (const std::string& n : SavedFiles()) std::remove((saveDir + "/" + n).c_str());
  }
}

TEST_F(FetchAheadFaults, NothingAheadForTheHostOfACookieRedirectInHand) {
  Watch();
  S().JPGDownLoad = true;
  S().Retry = false;
  Serve("/r.jpg", ScriptedReply::Text("HTTP/1.0 302 Found\r\nSet-Cookie: gate=open\r\n"
                                      "Location: /r2.jpg\r\n\r\n"));
  Serve("/r2.jpg", SlowJpeg("R", 400));
  const Strings later = {"/x.jpg", "/y.jpg", "/z.jpg", "/w.jpg"};
  for (const std::string& p : later) File(p, p, "image/jpeg");
  S().AddItem(Url("/r.jpg"), Url("/"));
  for (const std::string& p : later) S().AddItem(Url(p), Url("/"));
  form->AddressEdit.Text = Url("/");
  Continue();
  EXPECT_EQ(Boxes().back(), "ダウンロード完了");
  EXPECT_EQ(SavedFiles(), (Strings{"r.jpg", "w.jpg", "x.jpg", "y.jpg", "z.jpg"}));
  // No request to the host went out while the redirect's target was in hand.
  for (const SentRequest& r : watch.sent()) {
    const bool duringRedirect = std::find(r.openAlongside.begin(), r.openAlongside.end(),
                                          "/r2.jpg") != r.openAlongside.end();
    EXPECT_FALSE(duringRedirect) << r.path;
  }
  // Every later file went out with the cookie at its turn.
  for (const std::string& p : later) {
    const Strings requests = RequestsFor(p);
    ASSERT_FALSE(requests.empty()) << p;
    EXPECT_NE(requests.back().find("Cookie: gate=open\r\n"), std::string::npos) << p;
  }
  std::printf("[ ahead    ] started %d, discarded %d\n", mf->FetchAheadFigures().Started(),
              mf->FetchAheadFigures().Discarded());
  EXPECT_GE(mf->FetchAheadFigures().Discarded(), 1);  // those sent before the cookie came
}

}  // namespace
}  // namespace toravin::test
