// Hostile file-name masks: every pattern compiles or is refused with ERegExpParser, within a
// fixed memory bound, and a refused pattern is compiled only once however often it is set.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "AllocationMeter.h"
#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"
#include "regex/TextMatcher.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

constexpr std::size_t kMemoryBound = 64u << 20;

// "(" k times, "a", ")+" k times: "+" copies its operand at every level.
std::string NestedPlus(int k) {
  std::string p(static_cast<std::size_t>(k), '(');
  p += "a";
  for (int i = 0; i < k; ++i) p += ")+";
  return p;
}

struct Outcome {
  bool compiled = false;
  std::string fault;  // UTF-8
  std::size_t peak = 0;
};

Outcome Compile(const std::string& pattern) {
  Outcome o;
  ResetAllocationPeak();
  {
    TTextMatcher m;
    try {
      m.SetRegExp(pattern);
      o.compiled = true;
    } catch (const ERegExpParser& e) {
      o.fault = Cp932ToUtf8(e.what());
    }
  }
  o.peak = AllocationPeak();
  return o;
}

TEST(RegexBudget, NestedPlusCompilesOrIsRefusedWithinTheBound) {
  for (int k = 1; k <= 40; ++k) {
    SCOPED_TRACE(k);
    Outcome o = Compile(NestedPlus(k));
    EXPECT_LT(o.peak, kMemoryBound);
    if (k <= 12) {
      ASSERT_TRUE(o.compiled) << o.fault;
      TTextMatcher m;
      m.SetRegExp(NestedPlus(k));
      int pos = 0, len = 0;
      m.Match("xaaaay", pos, len);
      EXPECT_EQ(pos, 2);
      EXPECT_EQ(len, 4);
    }
    if (k >= 16) {
      EXPECT_EQ(o.fault, "正規表現が複雑すぎます（NFAの大きさが上限の200000を超えました）");
    }
  }
}

TEST(RegexBudget, HostilePatternsOfOneKilobyteStayWithinTheBound) {
  std::vector<std::string> patterns;
  for (const char* unit : {"(.+)+", "[^a]+[a-z]*", ".*a", "((.|[^x]|a)+)+", "(a|b)*a(a|b)",
                           "((((((((((a+)+)+)+)+)+)+)+)+)+)+b", "(a|b|c|d)+(a|b)*?x"}) {
    std::string p;
    while (p.size() + std::char_traits<char>::length(unit) <= 1024) p += unit;
    patterns.push_back(p);
  }
  // Random patterns from the pattern syntax, nested and repeated freely.
  std::mt19937 rng(20261208);
  const std::vector<std::string> atoms = {"a", "b", ".", "[a-z]", "[^b]", "\\x41", "^", "$"};
  const std::vector<std::string> ops = {"+", "*", "?", "", ""};
  for (int n = 0; n < 60; ++n) {
    std::string p;
    int depth = 0;
    while (p.size() < 1000) {
      switch (rng() % 6) {
        case 0:
          if (depth < 30) {
            p += "(";
            ++depth;
          }
          break;
        case 1:
          if (depth > 0) {
            p += ")" + ops[rng() % ops.size()];
            --depth;
          }
          break;
        case 2:
          p += "|";
          break;
        default:
          p += atoms[rng() % atoms.size()] + ops[rng() % ops.size()];
      }
    }
    for (; depth > 0; --depth) p += ")+";
    patterns.push_back(p);
  }
  for (const std::string& p : patterns) {
    SCOPED_TRACE(p);
    Outcome o = Compile(p);
    EXPECT_LT(o.peak, kMemoryBound);
    EXPECT_TRUE(o.compiled || !o.fault.empty());
  }
}

class CountingMatcher : public TTextMatcher {
 public:
  int compiles = 0;

 protected:
  void Compile(const std::string& pattern) override {
    ++compiles;
    TTextMatcher::Compile(pattern);
  }
};

TEST(RegexBudget, ARefusedPatternIsCompiledOnce) {
  CountingMatcher m;
  const std::string bad[] = {NestedPlus(24), "a**", "(abc"};
  std::vector<std::string> firstFaults;
  for (int round = 0; round < 50; ++round) {
    for (std::size_t i = 0; i < std::size(bad); ++i) {
      m.SetRegExp("abc");
      try {
        m.SetRegExp(bad[i]);
        ADD_FAILURE() << bad[i];
      } catch (const ERegExpParser& e) {
        if (round == 0) {
          firstFaults.push_back(e.what());
        } else {
          EXPECT_EQ(e.what(), firstFaults[i]);
        }
      }
      EXPECT_EQ(m.Current(), 0);
      EXPECT_EQ(m.RegExp(), "");
    }
  }
  EXPECT_EQ(m.compiles, 4);  // "abc" and each bad pattern once
  EXPECT_EQ(Cp932ToUtf8(firstFaults[0]),
            "正規表現が複雑すぎます（NFAの大きさが上限の200000を超えました）");
  // A good pattern still works after the refusals.
  m.SetRegExp("b+");
  int pos = 0, len = 0;
  m.Match("abbbc", pos, len);
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(len, 3);
}

}  // namespace
}  // namespace toravin::test
