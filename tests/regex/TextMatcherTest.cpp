// The text matcher component: the edge cases of Match, Sub and GSub as one table, replacement
// texts, ProcessEscapes, the dictionary switches, and the searches at the end of the text.
#include "regex/TextMatcher.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "regex/ERegExpParser.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::Sj;

struct MatchCase {
  std::string pattern;
  std::string text;
  TLineMatcher_LineSeparator separator;
  int pos;
  int len;
};

TEST(TextMatcherTest, MatchEdgeCases) {
  const MatchCase cases[] = {
      {"x", "abc", mcls_CRLF, 0, 0},
      {"", "abc", mcls_CRLF, 1, 0},
      {"x*", "abc", mcls_CRLF, 1, 0},
      {"", "", mcls_CRLF, 1, 0},
      {"x*", "", mcls_CRLF, 1, 0},
      {"x*", "xxa", mcls_CRLF, 1, 2},
      {"b+", "abbb", mcls_CRLF, 2, 3},
      {"^b", "a\nb", mcls_CRLF, 3, 1},
      {"^b", "ab", mcls_CRLF, 0, 0},
      {"^a", "ab", mcls_CRLF, 1, 1},
      {"a$", "a\r\nb", mcls_CRLF, 1, 1},
      {"a$", "a\r\nb", mcls_LF, 0, 0},
      {"a$", "a\nb", mcls_LF, 1, 1},
      {"a$", "ba", mcls_CRLF, 2, 1},
      {"a$", "ba", mcls_LF, 2, 1},
      {"$", "abc", mcls_CRLF, 4, 0},
      {"^$", "", mcls_CRLF, 1, 0},
      {"a^b", "xa^b", mcls_CRLF, 2, 3},
      {".", "\r\n", mcls_CRLF, 0, 0},
      {"[^a]+", "a\rbc\n", mcls_CRLF, 3, 2},
      {"b", "a\x82", mcls_CRLF, 0, 0},  // lone lead byte at the end
      {".", "\x82", mcls_CRLF, 1, 1},   // ... is a one-byte character
      {"A",
       "\x82"
       "A",
       mcls_CRLF, 0, 0},                 // the A is a trail byte here
      {"\\x0", "abc", mcls_CRLF, 0, 0},  // code 0 is the end, never consumed
      {"a\\0*", "abc", mcls_CRLF, 1, 1},
      {"b", std::string("a\0b", 3), mcls_CRLF, 0, 0},  // the text ends at its first NUL
  };
  TTextMatcher m;
  for (const auto& c : cases) {
    m.SetLineSeparator(c.separator);
    m.SetRegExp(c.pattern);
    int pos = -1;
    int len = -1;
    EXPECT_EQ(m.Match(c.text, pos, len), c.pos) << c.pattern;
    EXPECT_EQ(pos, c.pos) << c.pattern << " in " << c.text;
    EXPECT_EQ(len, c.len) << c.pattern << " in " << c.text;
  }
}

TEST(TextMatcherTest, DoubleByteCharactersAreSteppedAsUnits) {
  TTextMatcher m;
  // "ア" is 0x83 0x41: the "A" inside it is no match, the one after it is.
  m.SetRegExp("A");
  int pos = 0;
  int len = 0;
  EXPECT_EQ(m.Match(Sj("ア") + "A", pos, len), 3);
  m.SetRegExp(Sj("い+"));
  EXPECT_EQ(m.Match(Sj("あいいう"), pos, len), 3);
  EXPECT_EQ(len, 4);
}

struct SubCase {
  std::string pattern;
  std::string repl;
  std::string text;
  bool global;
  std::string result;
  int count;
};

TEST(TextMatcherTest, SubAndGSubEdgeCases) {
  const SubCase cases[] = {
      {"x*", "-", "ab", true, "-a-b", 2},
      {"a", "[&]", "banana", true, "b[a]n[a]n[a]", 3},
      {"o", "0", "foo", false, "f0o", 1},
      {"o", "\\&", "foo", false, "f&o", 1},
      {"o", "\\\\&", "foo", false, "f&o", 1},
      {"o", "<&&>", "foo", false, "f<oo>o", 1},
      {"o", "\\n\\t\\x41\\101\\\\", "fo", false, "f\n\tAA\\", 1},
      {"o", "\\q", "fo", false, "fq", 1},
      {"o", "\\\\q", "fo", false, "f\\q", 1},
      {"z", "-", "foo", true, "foo", 0},
      {"z", "-", "foo", false, "foo", 0},
      {"x*", "-", "", true, "-", 1},
      {"^", ">", "a\nb\nc", true, ">a\n>b\n>c", 3},
      {"$", "<", "ab", true, "ab<", 1},
      {"x*", "-", "a\r\nb", true, "-a-\r\n-b", 3},
      {"x*", "-", Sj("あい"), true, "-" + Sj("あ") + "-" + Sj("い"), 2},
      {"\\*", ".*", "a*b*", false, "a.*b*", 1},
      {"\\?", ".", "a?b?", true, "a.b.", 2},
  };
  TTextMatcher m;
  for (const auto& c : cases) {
    m.SetRegExp(c.pattern);
    std::string s = c.text;
    if (c.global) {
      EXPECT_EQ(m.GSub(c.repl, s), c.count) << c.pattern << " " << c.repl;
    } else {
      EXPECT_EQ(m.Sub(c.repl, s), c.count == 1) << c.pattern << " " << c.repl;
    }
    EXPECT_EQ(s, c.result) << c.pattern << " " << c.repl << " " << c.text;
  }
}

TEST(TextMatcherTest, ReplacementEndingInBackslashRaisesAndLeavesTheTextAlone) {
  TTextMatcher m;
  m.SetRegExp("o");
  for (bool global : {false, true}) {
    std::string s = "foo";
    try {
      if (global) {
        m.GSub("x\\", s);
      } else {
        m.Sub("x\\", s);
      }
      ADD_FAILURE();
    } catch (const ERegExpParser& e) {
      EXPECT_EQ(std::string(e.what()), Sj("\"\\\"の次には文字が必要です。"));
    }
    EXPECT_EQ(s, "foo");
  }
}

TEST(TextMatcherTest, ProcessEscapes) {
  EXPECT_EQ(TTextMatcher::ProcessEscapes("a\\tb\\x41\\101\\.\\\\"), "a\tbAA.\\");
  EXPECT_EQ(TTextMatcher::ProcessEscapes("\\x4142"), "B");
  EXPECT_EQ(TTextMatcher::ProcessEscapes(Sj("あ\\い")), Sj("あい"));
  EXPECT_EQ(TTextMatcher::ProcessEscapes(std::string("a\0b", 3)), std::string("a\0b", 3));
  const std::pair<std::string, const char*> faults[] = {
      {"ab\\", "\"\\\"の次には文字が必要です。"},
      {"a\x82", "不正な２バイト文字コードです。"},
      {"\\xz", "不正な１６進数コード表記です。"},
      {"\\777777", "不正な８進数コード表記です。"},
  };
  for (const auto& [text, message] : faults) {
    try {
      TTextMatcher::ProcessEscapes(text);
      ADD_FAILURE() << text;
    } catch (const ERegExpParser& e) {
      EXPECT_EQ(std::string(e.what()), Sj(message));
    }
  }
}

TEST(TextMatcherTest, InvalidPatternLeavesTheEmptyPatternInForce) {
  TTextMatcher m;
  m.SetRegExp("b");
  try {
    m.SetRegExp("(a");
    ADD_FAILURE();
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(std::string(e.what()), Sj("右(閉じ)括弧が必要です"));
    EXPECT_EQ(e.ErrorPosition, 3u);
  }
  EXPECT_EQ(m.RegExp(), "");
  EXPECT_EQ(m.Current(), 0);
  int pos = 0;
  int len = 0;
  EXPECT_EQ(m.Match("abc", pos, len), 1);
  EXPECT_EQ(len, 0);
}

TEST(TextMatcherTest, AnchoredSearchIsChosenForAnchoredPatterns) {
  TTextMatcher m;
  EXPECT_FALSE(m.UsesAnchoredSearch());
  m.SetRegExp("^a");
  EXPECT_TRUE(m.UsesAnchoredSearch());
  m.SetRegExp("a$");
  EXPECT_TRUE(m.UsesAnchoredSearch());
  m.SetRegExp("a^");
  EXPECT_FALSE(m.UsesAnchoredSearch());
  EXPECT_THROW(m.SetRegExp("a)"), ERegExpParser);
  EXPECT_FALSE(m.UsesAnchoredSearch());
}

TEST(TextMatcherTest, FuzzySwitchReappliesThePattern) {
  TTextMatcher m;
  m.SetRegExp("ab");
  int pos = 0;
  int len = 0;
  EXPECT_EQ(m.Match(Sj("ＡＢ"), pos, len), 0);
  m.SetUseFuzzyCharDic(true);
  EXPECT_TRUE(m.UseFuzzyCharDic());
  EXPECT_EQ(m.RegExp(), "ab");
  EXPECT_EQ(m.Match(Sj("xＡb"), pos, len), 2);
  EXPECT_EQ(len, 3);
  // A scanner fault found while preprocessing changes nothing.
  EXPECT_THROW(m.SetRegExp("[x"), ERegExpParser);
  EXPECT_EQ(m.RegExp(), "ab");
  EXPECT_EQ(m.Match("ab", pos, len), 1);
  m.SetUseFuzzyCharDic(false);
  EXPECT_EQ(m.Match(Sj("ＡＢ"), pos, len), 0);
}

TEST(TextMatcherTest, SynonymDictionary) {
  TREDictionary synonyms{{"cat", "dog"}};
  TTextMatcher m;
  m.AddSynonymDic(synonyms);
  m.SetRegExp("a cat");
  m.SetUseSynonymDic(true);
  int pos = 0;
  int len = 0;
  EXPECT_EQ(m.Match("my dog", pos, len), 0);
  EXPECT_EQ(m.Match("a dog", pos, len), 1);
  EXPECT_EQ(len, 5);
}

TEST(TextMatcherTest, LinkPatternsFindTheLastHrefOfATag) {
  TTextMatcher m;
  const std::string anchor = "<A([A-Z TAB=\"''0-9]+)?HREF([ TAB]+)?=([ TAB]+)?";
  const std::string image = "<IMG([A-Z TAB=\"''0-9]+)?SRC([ TAB]+)?=([ TAB]+)?";
  ASSERT_EQ(anchor.size(), 47u);
  ASSERT_EQ(image.size(), 48u);
  int pos = 0;
  int len = 0;
  m.SetRegExp(anchor);
  EXPECT_EQ(m.Match("<A HREF=\"X.JPG\">", pos, len), 1);
  EXPECT_EQ(len, 8);
  EXPECT_EQ(m.Match("<A HREF=BANNER.JPG>", pos, len), 1);
  EXPECT_EQ(len, 10);  // the last group takes the B and A of BANNER
  EXPECT_EQ(m.Match("<A NAME=X HREF=Y>", pos, len), 1);
  EXPECT_EQ(len, 15);
  EXPECT_EQ(m.Match("<A\tHREF=Y>", pos, len), 0);  // a tab is not a blank here
  m.SetRegExp(image);
  EXPECT_EQ(m.Match("TEXT <IMG SRC = 'A.GIF'>", pos, len), 6);
  EXPECT_EQ(len, 11);
}

TEST(LineMatcherTest, SearchesNeverReadPastTheTerminator) {
  TTextMatcher m;
  m.SetRegExp(Sj("[あ-ん]+|a"));
  // An exact-size buffer: the lone lead byte sits right before the terminator.
  auto buffer = std::make_unique<char[]>(3);
  buffer[0] = 'x';
  buffer[1] = '\x82';
  buffer[2] = '\0';
  const char* start = nullptr;
  const char* end = nullptr;
  EXPECT_FALSE(m.SearchPlain(buffer.get(), start, end));
  EXPECT_FALSE(m.SearchFrom(buffer.get(), start, end));
  EXPECT_FALSE(m.SearchAnchored(buffer.get(), start, end));
  EXPECT_EQ(m.LongestFrom(buffer.get() + 1, m.Dfa().Initial()), nullptr);
}

}  // namespace
}  // namespace toravin
