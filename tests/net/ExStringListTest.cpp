// The header list: lookup by the text before the first colon, without regard to case, and the
// replace / append / delete rule of SetKeyValue, for plain and sorted lists.
#include "net/ExStringList.h"

#include <gtest/gtest.h>

namespace toravin {
namespace {

TExStringList Headers() {
  TExStringList l;
  l.Add("GET /a HTTP/1.0");
  l.Add("Host: h");
  l.Add("Accept: one");
  l.Add("Accept: two");
  l.Add("no colon here");
  l.Add("Content-type: x");
  return l;
}

TEST(ExStringList, IndexOfKeyIgnoresCaseAndLinesWithoutColon) {
  TExStringList l = Headers();
  EXPECT_EQ(l.IndexOfKey("host"), 1);
  EXPECT_EQ(l.IndexOfKey("ACCEPT"), 2);
  EXPECT_EQ(l.IndexOfKey("Content-Type"), 5);
  EXPECT_EQ(l.IndexOfKey("no colon here"), -1);
  EXPECT_EQ(l.IndexOfKey("GET /a HTTP/1.0"), -1);
  EXPECT_EQ(l.IndexOfKey("Acc"), -1);
  EXPECT_EQ(l.IndexOfKey("Host: h"), -1);  // a key holds no colon
  EXPECT_EQ(l.IndexOfKey(""), -1);
}

TEST(ExStringList, SetKeyValueReplacesFirstAppendsOrDeletes) {
  TExStringList l = Headers();
  l.SetKeyValue("Accept", "image/jpeg");
  EXPECT_EQ(l[2], "Accept: image/jpeg");
  EXPECT_EQ(l[3], "Accept: two");
  l.SetKeyValue("Connection", "close");
  EXPECT_EQ(l[l.Count() - 1], "Connection: close");
  l.SetKeyValue("Content-Type", "");
  EXPECT_EQ(l.IndexOfKey("content-type"), -1);
  l.SetKeyValue("If-None-Match", "");  // absent: nothing happens
  EXPECT_EQ(l.Count(), 6);
  l.SetKeyValue("accept", "");
  EXPECT_EQ(l[2], "Accept: two");
  EXPECT_EQ(l.Text(),
            "GET /a HTTP/1.0\r\nHost: h\r\nAccept: two\r\nno colon here\r\nConnection: "
            "close\r\n");
}

TEST(ExStringList, SortedListFindsTheSameLines) {
  TExStringList l = Headers();
  l.SetSorted(true);
  for (const char* key : {"host", "ACCEPT", "content-type", "Missing", "no colon here"}) {
    TExStringList plain = l;
    plain.SetSorted(false);
    EXPECT_EQ(l.IndexOfKey(key), plain.IndexOfKey(key)) << key;
  }
  l.SetKeyValue("Zeta", "1");
  l.SetKeyValue("Alpha", "2");
  EXPECT_EQ(l[l.IndexOfKey("alpha")], "Alpha: 2");
  EXPECT_EQ(l[l.IndexOfKey("ZETA")], "Zeta: 1");
}

}  // namespace
}  // namespace toravin
