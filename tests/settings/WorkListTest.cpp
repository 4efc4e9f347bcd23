// The work list and its memo mirror change together.
#include <gtest/gtest.h>

#include "platform/LineList.h"
#include "settings/ESettingsError.h"
#include "settings/ToraVinIniList.h"

namespace toravin {
namespace {

std::vector<std::string> Memo(const LineList& l) { return {l.lines().begin(), l.lines().end()}; }

std::vector<std::string> Urls(const TToraVinIniList& s) {
  std::vector<std::string> urls;
  for (int i = 0; i < s.Count(); ++i) urls.push_back(s.Item(i).Url);
  return urls;
}

TEST(WorkList, MemoFollowsEveryOperation) {
  LineList memo;
  TToraVinIniList store(&memo);
  store.AddItem("http://h/d/a.jpg", "http://h/d/");
  store.AddItem("b.gif", "");
  store.AddItem("http://h/dir/", "r");
  store.AddItem("http://h/\x95\x5C.zip", "r");
  EXPECT_EQ(Memo(memo), (std::vector<std::string>{"a.jpg", "b.gif", "", "\x95\x5C.zip"}));

  store.MoveItem(0, store.Count() - 1);
  EXPECT_EQ(Urls(store), (std::vector<std::string>{"b.gif", "http://h/dir/",
                                                   "http://h/\x95\x5C.zip", "http://h/d/a.jpg"}));
  EXPECT_EQ(Memo(memo), (std::vector<std::string>{"b.gif", "", "\x95\x5C.zip", "a.jpg"}));

  store.MoveItem(3, 1);
  EXPECT_EQ(Memo(memo), (std::vector<std::string>{"b.gif", "a.jpg", "", "\x95\x5C.zip"}));

  store.DeleteItem(store.Count());  // at Count: nothing happens
  store.DeleteItem(-1);
  store.MoveItem(0, 4);
  EXPECT_EQ(store.Count(), 4);
  EXPECT_EQ(memo.Count(), 4);

  store.DeleteItem(2);
  EXPECT_EQ(Memo(memo), (std::vector<std::string>{"b.gif", "a.jpg", "\x95\x5C.zip"}));
  EXPECT_EQ(store.Item(1).Referer, "http://h/d/");

  store.ClearItems();
  EXPECT_EQ(store.Count(), 0);
  EXPECT_EQ(memo.Count(), 0);
  store.DeleteItem(0);  // empty list: nothing
}

TEST(WorkList, TriesCountAndMissingEntry) {
  TToraVinIniList store;
  store.AddItem("a", "");
  EXPECT_EQ(store.Item(0).Tries, 0);
  store.Item(0).Tries++;
  store.MoveItem(0, 0);
  EXPECT_EQ(store.Item(0).Tries, 1);
  store.DeleteItem(0);
  EXPECT_THROW(store.Item(0), EListError);
}

TEST(WorkList, PendingUrlIndexFollowsTheList) {
  TToraVinIniList store;
  store.AddItem("http://H/a.JPG", "");
  store.AddItem("http://h/a.jpg", "");
  store.AddItem("http://h/\x83\x41.jpg", "");  // a trail byte that is an ASCII capital
  EXPECT_TRUE(store.ContainsUrl("HTTP://h/A.jpg"));
  EXPECT_TRUE(store.ContainsUrl("http://h/\x83\x41.jpg"));
  EXPECT_FALSE(store.ContainsUrl("http://h/\x83\x61.jpg"));
  store.MoveItem(0, 2);
  store.DeleteItem(2);  // one of the two a.jpg entries
  EXPECT_TRUE(store.ContainsUrl("http://h/a.jpg"));
  store.DeleteItem(0);
  EXPECT_FALSE(store.ContainsUrl("http://h/a.jpg"));
  store.ClearItems();
  EXPECT_FALSE(store.ContainsUrl("http://h/\x83\x41.jpg"));
}

TEST(WorkList, FirstRunDefaults) {
  TToraVinIniList store;
  store.ApplyFirstRunDefaults();
  EXPECT_EQ(store.JpegName, "*.jpg");
  EXPECT_EQ(store.GifName, "*.gif");
  EXPECT_EQ(store.ZipName, "*.zip");
  EXPECT_EQ(store.HtmlName, "*.html");
  EXPECT_TRUE(store.Retry);
  EXPECT_EQ(store.RetryCount, "5");
  EXPECT_FALSE(store.JPGDownLoad || store.DoFileChoice || store.ProxyUse || store.UseTar);
  EXPECT_TRUE(store.TargetURL.empty() && store.ProxyPort.empty() && store.FileSize.empty());
  EXPECT_EQ(store.Count(), 0);
}

}  // namespace
}  // namespace toravin
