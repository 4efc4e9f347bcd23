// The complete DFA: what it accepts (whole texts, anchors aside), the period and negated classes
// against CR and LF, double-byte ranges across lead bytes, and the shape of trivial automata.
#include "regex/REDfa.h"

#include <gtest/gtest.h>

#include <string>

#include "regex/RegexTestUtil.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::AcceptsWhole;
using test::CompileDfa;
using test::Sj;

TEST(DfaTest, EmptyPatternIsOneAcceptingStateWithoutTransitions) {
  auto dfa = CompileDfa("");
  EXPECT_EQ(dfa->StateCount(), 1);
  EXPECT_TRUE(dfa->State(0).accepting);
  EXPECT_TRUE(dfa->State(0).transitions.empty());
  EXPECT_FALSE(dfa->LineHead());
  EXPECT_FALSE(dfa->LineTail());
}

TEST(DfaTest, AcceptanceTable) {
  struct Case {
    std::string pattern;
    std::string text;
    bool accepted;
  };
  const Case cases[] = {
      {"a+", "", false},
      {"a+", "a", true},
      {"a+", "aaa", true},
      {"a?", "", true},
      {"a?", "a", true},
      {"a?", "aa", false},
      {"a*b", "aaab", true},
      {"(ab|c)*", "abcab", true},
      {"(ab|c)*", "abb", false},
      {"a^b", "a^b", true},
      {"a$b", "a$b", true},
      {".", "\n", false},
      {".", "\r", false},
      {".", "x", true},
      {"[^a]", "a", false},
      {"[^a]", "\n", false},
      {"[^a]", "\r", false},
      {"[^a]", "b", true},
      {"[^\\n]", "\r", false},
      {"[^\\n]", "x", true},
      {".", "\t", true},
      {"[a-]", "-", true},
      {"[-a]", "-", true},
      {"\\.", ".", true},
      {"\\.", "x", false},
      {"a|", "", true},
      {"|a", "a", true},
      {"x\\x41", "xA", true},
      {"[^\\x80-\\xFCFC]", "\x7F", true},
  };
  for (const auto& c : cases) {
    auto dfa = CompileDfa(c.pattern);
    EXPECT_EQ(AcceptsWhole(*dfa, c.text), c.accepted) << c.pattern << " / " << c.text;
  }
}

TEST(DfaTest, DoubleByteRangesAcrossLeadBytes) {
  // "ん" is 0x82F1, "ア" 0x8341: the range spans the lead bytes 0x82 and 0x83.
  auto dfa = CompileDfa(Sj("[ん-ア]+"));
  EXPECT_TRUE(AcceptsWhole(*dfa, Sj("ん")));
  EXPECT_TRUE(AcceptsWhole(*dfa, Sj("ァア")));
  EXPECT_TRUE(AcceptsWhole(*dfa, "\x82\xFC\x83\x40"));
  EXPECT_FALSE(AcceptsWhole(*dfa, Sj("を")));  // 0x82F0
  EXPECT_FALSE(AcceptsWhole(*dfa, Sj("イ")));  // 0x8343
  // A range from a single-byte to a double-byte character covers everything between.
  auto wide = CompileDfa(Sj("[z-あ]"));
  EXPECT_TRUE(AcceptsWhole(*wide, "\xB1"));  // half-width katakana
  EXPECT_TRUE(AcceptsWhole(*wide, "\x81\x40"));
  EXPECT_TRUE(AcceptsWhole(*wide, Sj("あ")));
  EXPECT_FALSE(AcceptsWhole(*wide, Sj("い")));
  EXPECT_FALSE(AcceptsWhole(*wide, "y"));
  // The period and a negated class take a double-byte character as one.
  auto dot = CompileDfa("a.b");
  EXPECT_TRUE(AcceptsWhole(*dot, "a" + Sj("漢") + "b"));
  auto neg = CompileDfa(Sj("[^あ]"));
  EXPECT_FALSE(AcceptsWhole(*neg, Sj("あ")));
  EXPECT_TRUE(AcceptsWhole(*neg, Sj("い")));
  // A lead byte at the very end stands for itself, a one-byte character.
  EXPECT_TRUE(AcceptsWhole(*neg, "\x82"));
}

TEST(DfaTest, TransitionsAreSortedAndDisjoint) {
  auto dfa = CompileDfa("[a-fd-k]x|[c-z]y|.|\\x0");
  for (int s = 0; s < dfa->StateCount(); ++s) {
    const auto& t = dfa->State(s).transitions;
    for (std::size_t i = 1; i < t.size(); ++i) EXPECT_LT(t[i - 1].end, t[i].start);
  }
}

TEST(DfaTest, LineFlags) {
  EXPECT_TRUE(CompileDfa("^ab")->LineHead());
  EXPECT_TRUE(CompileDfa("ab$")->LineTail());
  auto plain = CompileDfa("ab");
  EXPECT_FALSE(plain->LineHead());
  EXPECT_FALSE(plain->LineTail());
  auto head = CompileDfa("^ab");
  EXPECT_GE(head->State(head->Initial()).headTarget, 0);
}

}  // namespace
}  // namespace toravin
