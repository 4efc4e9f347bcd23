// Differential tests against POSIX regexec (REG_EXTENDED), which is leftmost-longest too: on
// thousands of generated ASCII patterns, the DFA must accept exactly the texts that "^(p)$"
// matches, and Match must report the same start and length as regexec's whole match.
#include <gtest/gtest.h>
#include <regex.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "regex/ERegExpParser.h"
#include "regex/RegexTestUtil.h"
#include "regex/TextMatcher.h"

namespace toravin {
namespace {

constexpr int kPatterns = 3000;
constexpr int kTextsPerPattern = 24;

class PatternGenerator {
 public:
  explicit PatternGenerator(unsigned seed) : m_rng(seed) {}

  std::string Pattern() { return Alternation(2); }

  std::string Text() {
    static const char kAlphabet[] = "abcd";
    std::string text;
    int length = Pick(9);
    for (int i = 0; i < length; ++i) text.push_back(kAlphabet[Pick(4)]);
    return text;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

  std::string Alternation(int depth) {
    std::string s = Term(depth);
    while (Pick(4) == 0) s += "|" + Term(depth);
    return s;
  }
  std::string Term(int depth) {
    std::string s = Factor(depth);
    int more = Pick(3);
    for (int i = 0; i < more; ++i) s += Factor(depth);
    return s;
  }
  std::string Factor(int depth) {
    std::string s = Atom(depth);
    switch (Pick(6)) {
      case 0:
        return s + "*";
      case 1:
        return s + "+";
      case 2:
        return s + "?";
      default:
        return s;
    }
  }
  std::string Atom(int depth) {
    static const char* const kClasses[] = {"[ab]", "[^a]", "[a-c]", "[bd]", "[^bc]", "[c-d]"};
    int k = Pick(depth > 0 ? 10 : 7);
    if (k < 4) return std::string(1, "abcd"[Pick(4)]);
    if (k == 4) return ".";
    if (k < 7) return kClasses[Pick(6)];
    return "(" + Alternation(depth - 1) + ")";
  }

  std::mt19937 m_rng;
};

class Posix {
 public:
  Posix(const std::string& pattern, int flags) {
    m_ok = regcomp(&m_re, pattern.c_str(), flags) == 0;
  }
  ~Posix() {
    if (m_ok) regfree(&m_re);
  }
  Posix(const Posix&) = delete;
  Posix& operator=(const Posix&) = delete;
  bool ok() const { return m_ok; }
  const regex_t* re() const { return &m_re; }

 private:
  regex_t m_re{};
  bool m_ok = false;
};

TEST(DifferentialTest, DfaAcceptsWhatPosixMatchesWhole) {
  PatternGenerator gen(20240601);
  int compared = 0;
  int tooComplex = 0;
  for (int i = 0; i < kPatterns; ++i) {
    std::string pattern = gen.Pattern();
    Posix posix("^(" + pattern + ")$", REG_EXTENDED | REG_NOSUB);
    ASSERT_TRUE(posix.ok()) << pattern;
    std::unique_ptr<TRE_DFA> dfa;
    try {
      dfa = test::CompileDfa(pattern);
    } catch (const ERegExpParser&) {
      ++tooComplex;  // over the DFA state limit; nothing to compare
      continue;
    }
    for (int t = 0; t < kTextsPerPattern; ++t) {
      std::string text = gen.Text();
      bool expected = regexec(posix.re(), text.c_str(), 0, nullptr, 0) == 0;
      ASSERT_EQ(test::AcceptsWhole(*dfa, text), expected) << pattern << " on \"" << text << '"';
      ++compared;
    }
  }
  EXPECT_LT(tooComplex, kPatterns / 100);
  EXPECT_EQ(compared, (kPatterns - tooComplex) * kTextsPerPattern);
}

TEST(DifferentialTest, MatchFindsPosixLeftmostLongest) {
  PatternGenerator gen(777);
  TTextMatcher matcher;
  int tooComplex = 0;
  for (int i = 0; i < kPatterns; ++i) {
    std::string pattern = gen.Pattern();
    Posix posix(pattern, REG_EXTENDED);
    ASSERT_TRUE(posix.ok()) << pattern;
    try {
      matcher.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
      ++tooComplex;
      continue;
    }
    for (int t = 0; t < kTextsPerPattern; ++t) {
      std::string text = gen.Text();
      regmatch_t m[1];
      int pos = 0;
      int len = 0;
      matcher.Match(text, pos, len);
      if (regexec(posix.re(), text.c_str(), 1, m, 0) != 0) {
        ASSERT_EQ(pos, 0) << pattern << " on \"" << text << '"';
        continue;
      }
      ASSERT_EQ(pos, m[0].rm_so + 1) << pattern << " on \"" << text << '"';
      ASSERT_EQ(len, m[0].rm_eo - m[0].rm_so) << pattern << " on \"" << text << '"';
    }
  }
  EXPECT_LT(tooComplex, kPatterns / 100);
}

}  // namespace
}  // namespace toravin
