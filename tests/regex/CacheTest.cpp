// The compiled-pattern cache: capacity, eviction by age of insertion, no recompilation of a
// cached pattern, and entry 0 in force after a failed pattern.
#include "regex/TextMatcher.h"

#include <gtest/gtest.h>

#include <string>

#include "regex/ERegExpParser.h"

namespace toravin {
namespace {

class CountingMatcher : public TTextMatcher {
 public:
  int compiles = 0;

 protected:
  void Compile(const std::string& pattern) override {
    ++compiles;
    TTextMatcher::Compile(pattern);
  }
};

std::string P(int i) { return "p" + std::to_string(i); }

TEST(CacheTest, EntryZeroIsTheEmptyPattern) {
  CountingMatcher m;
  EXPECT_EQ(m.CacheCount(), 1);
  EXPECT_EQ(m.CacheKey(0), "");
  m.SetRegExp("");
  EXPECT_EQ(m.compiles, 0);
  EXPECT_EQ(m.Current(), 0);
}

TEST(CacheTest, CachedPatternsAreNotRecompiled) {
  CountingMatcher m;
  for (int round = 0; round < 3; ++round) {
    m.SetRegExp("a+");
    m.SetRegExp("b+");
  }
  EXPECT_EQ(m.compiles, 2);
  EXPECT_EQ(m.RegExp(), "b+");
  EXPECT_EQ(m.Current(), 1);  // the newest insertion sits at index 1
  m.SetRegExp("a+");
  EXPECT_EQ(m.Current(), 2);  // a hit does not move the entry
}

TEST(CacheTest, TheOldestInsertionIsEvicted) {
  CountingMatcher m;
  for (int i = 1; i <= 29; ++i) m.SetRegExp(P(i));
  EXPECT_EQ(m.CacheCount(), 30);
  EXPECT_EQ(m.compiles, 29);
  EXPECT_EQ(m.CacheKey(1), P(29));
  EXPECT_EQ(m.CacheKey(29), P(1));
  m.SetRegExp(P(1));  // a hit: no compile, no reordering
  EXPECT_EQ(m.compiles, 29);
  m.SetRegExp(P(30));
  EXPECT_EQ(m.CacheCount(), 30);
  EXPECT_EQ(m.compiles, 30);
  EXPECT_EQ(m.CacheKey(1), P(30));
  EXPECT_EQ(m.CacheKey(29), P(2));  // p1, the oldest insertion, is gone
  m.SetRegExp(P(2));
  EXPECT_EQ(m.compiles, 30);
  m.SetRegExp(P(1));
  EXPECT_EQ(m.compiles, 31);
  EXPECT_EQ(m.CacheKey(0), "");
}

TEST(CacheTest, FailedPatternLeavesEntryZeroInForce) {
  CountingMatcher m;
  m.SetRegExp("abc");
  EXPECT_THROW(m.SetRegExp("a**"), ERegExpParser);
  EXPECT_EQ(m.Current(), 0);
  EXPECT_EQ(m.CacheCount(), 2);  // the failed entry was removed
  EXPECT_EQ(m.CacheKey(1), "abc");
  EXPECT_EQ(m.RegExp(), "");
  m.SetRegExp("abc");
  EXPECT_EQ(m.compiles, 2);  // abc (once) and the failed one
  int pos = 0;
  int len = 0;
  EXPECT_EQ(m.Match("xabc", pos, len), 2);
}

TEST(CacheTest, TheKeyIsThePreprocessedPattern) {
  CountingMatcher m;
  m.SetRegExp("a");
  m.SetUseFuzzyCharDic(true);
  EXPECT_EQ(m.CacheCount(), 3);
  EXPECT_EQ(m.compiles, 2);
  m.SetUseFuzzyCharDic(false);
  EXPECT_EQ(m.compiles, 2);
}

}  // namespace
}  // namespace toravin
