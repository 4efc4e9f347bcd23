// Parser, parse tree and NFA: the parser's errors with their positions, the disjoint pass,
// anchors versus literal carets and dollar signs, and the limits that keep compiling bounded.
#include "regex/REParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "regex/ERegExpParser.h"
#include "regex/RENfa.h"
#include "regex/RegexTestUtil.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::AcceptsWhole;
using test::CompileDfa;
using test::Sj;

std::vector<std::pair<int, int>> LeafRanges(const TREParseTree& tree) {
  std::vector<std::pair<int, int>> out;
  for (int leaf : tree.Leaves()) out.emplace_back(tree.Node(leaf).start, tree.Node(leaf).end);
  std::sort(out.begin(), out.end());
  return out;
}

struct ErrorCase {
  std::string pattern;
  const char* message;
  std::uint32_t position;
};

TEST(ParserTest, EveryParserErrorWithItsPosition) {
  const ErrorCase cases[] = {
      {"a**", "普通の文字、または左括弧\"(\"が必要です", 4},
      {"*a", "普通の文字、または左括弧\"(\"が必要です", 2},
      {"a+?", "普通の文字、または左括弧\"(\"が必要です", 4},
      {"a]", "普通の文字、または左括弧\"(\"が必要です", 3},
      {"(a", "右(閉じ)括弧が必要です", 3},
      {"((a)", "右(閉じ)括弧が必要です", 5},
      {"a)", "正規表現に余分な文字があります", 3},
      {"ab)c", "正規表現に余分な文字があります", 4},
      {"[]", "不正なキャラクタクラス指定です。", 3},
      {"[^]", "不正なキャラクタクラス指定です。", 4},
      {"[^\\x1-\\xFFFF]", "不正なキャラクタクラス指定です。", 14},
      {"ab\\", "\"\\\"の次には文字が必要です。", 4},
      {"x[z-a]", "不正なキャラクタ範囲です", 6},
  };
  for (const auto& c : cases) {
    TREParser parser(c.pattern);
    try {
      parser.Parse();
      ADD_FAILURE() << c.pattern << " did not fail";
    } catch (const ERegExpParser& e) {
      EXPECT_EQ(std::string(e.what()), Sj(c.message)) << c.pattern;
      EXPECT_EQ(e.ErrorPosition, c.position) << c.pattern;
    }
  }
}

TEST(ParserTest, LegalEmptyAlternatives) {
  for (const char* p : {"a|", "|a", "()", "", "(|)"}) {
    TREParser parser(p);
    EXPECT_NO_THROW(parser.Parse()) << p;
  }
}

TEST(ParseTreeTest, OverlappingClassRangesBecomeDisjointLeaves) {
  TREParser parser("[a-fd-k]");
  parser.Parse();
  EXPECT_EQ(LeafRanges(parser.Tree()),
            (std::vector<std::pair<int, int>>{{'a', 'c'}, {'d', 'f'}, {'g', 'k'}}));
  auto dfa = CompileDfa("[a-fd-k]");
  for (char c = 'a'; c <= 'k'; ++c) EXPECT_TRUE(AcceptsWhole(*dfa, std::string(1, c))) << c;
  EXPECT_FALSE(AcceptsWhole(*dfa, "l"));
}

TEST(ParseTreeTest, SplitRangeKeepsBothAlternatives) {
  auto dfa = CompileDfa("[a-z]|m");
  EXPECT_TRUE(AcceptsWhole(*dfa, "m"));
  EXPECT_TRUE(AcceptsWhole(*dfa, "a"));
  EXPECT_TRUE(AcceptsWhole(*dfa, "z"));
  EXPECT_FALSE(AcceptsWhole(*dfa, "mm"));
  TREParser parser("[a-z]|m");
  parser.Parse();
  EXPECT_EQ(LeafRanges(parser.Tree()),
            (std::vector<std::pair<int, int>>{{'a', 'l'}, {'m', 'm'}, {'n', 'z'}}));
}

TEST(ParseTreeTest, RangesAtTheEndsOfTheCodeSpaceDoNotWrap) {
  TREParser parser("[\\x0-\\xFFFF]|\\x0|\\xFFFF|[\\x0-a]");
  parser.Parse();
  EXPECT_EQ(LeafRanges(parser.Tree()), (std::vector<std::pair<int, int>>{
                                           {0, 0}, {1, 'a'}, {'a' + 1, 0xFFFE}, {0xFFFF, 0xFFFF}}));
}

TEST(ParseTreeTest, TurnIntoUnionWithAMissingPartIsAnInternalError) {
  TREParseTree tree;
  int leaf = tree.MakeLeaf('a', 'b');
  try {
    tree.TurnIntoUnion(leaf, -1, leaf);
    ADD_FAILURE();
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), Sj("TREParseTree : 致命的エラー"));
  }
}

TEST(NfaTest, AnchorsOnlyAtThePatternEnds) {
  struct Case {
    const char* pattern;
    bool head;
    bool tail;
  };
  const Case cases[] = {
      {"^ab", true, false},      {"ab$", false, true},      {"ab", false, false},
      {"(^a|^b)c", true, false}, {"^?a", true, false},      {"a^b", false, false},
      {"(^a)*", false, false},   {"a(b$|c$)", false, true}, {"a$b", false, false},
      {"^+", true, false},
  };
  for (const auto& c : cases) {
    TREParser parser(c.pattern);
    parser.Parse();
    TRE_NFA nfa(parser);
    nfa.Build();
    EXPECT_EQ(nfa.LineHead(), c.head) << c.pattern;
    EXPECT_EQ(nfa.LineTail(), c.tail) << c.pattern;
    auto dfa = CompileDfa(c.pattern);
    EXPECT_EQ(dfa->LineHead(), c.head) << c.pattern;
    EXPECT_EQ(dfa->LineTail(), c.tail) << c.pattern;
  }
}

TEST(NfaTest, LiteralCaretTakesPartInTheDisjointPass) {
  // The literal caret after "a" and the period leave the same state; both must stay usable.
  auto dfa = CompileDfa("a^b|a.c");
  EXPECT_TRUE(AcceptsWhole(*dfa, "a^b"));
  EXPECT_TRUE(AcceptsWhole(*dfa, "a^c"));
  EXPECT_TRUE(AcceptsWhole(*dfa, "axc"));
  EXPECT_FALSE(AcceptsWhole(*dfa, "axb"));
  auto dollar = CompileDfa("a$b|a[!-z]c");
  EXPECT_TRUE(AcceptsWhole(*dollar, "a$b"));
  EXPECT_TRUE(AcceptsWhole(*dollar, "a$c"));
}

TEST(DfaLimitTest, ExplodingPatternIsRefusedWithTheLimitNamed) {
  std::string pattern = "(a|b)*a";
  for (int i = 0; i < 16; ++i) pattern += "(a|b)";
  try {
    CompileDfa(pattern);
    ADD_FAILURE();
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(std::string(e.what()),
              Sj("正規表現が複雑すぎます（DFAの状態数が上限の10000を超えました）"));
    EXPECT_EQ(e.ErrorPosition, 0u);
  }
}

TEST(DfaLimitTest, HugeWorkOverFewStatesIsRefused) {
  // Found by the fuzzer: a few literal characters among hundreds of ".*" multiply the subsets.
  const char* env = std::getenv("TORAVIN_SOURCE_DIR");
  const std::string here = __FILE__;
  const std::string source = env ? env : here.substr(0, here.rfind('/')) + "/../..";
  const std::string pattern =
      test::ReadFileBytes(source + "/fuzz/regex_compile/corpus/timeout_dotstar_groups");
  ASSERT_EQ(pattern.size(), 3600u);
  try {
    CompileDfa(pattern);
    ADD_FAILURE();
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(std::string(e.what()),
              Sj("正規表現が複雑すぎます（DFAの構築手順が上限の20000000を超えました）"));
  }
}

TEST(NfaTest, ReservedCodesSpelledInAPatternAreOrdinaryCharacters) {
  for (const char* p : {"\\xFFFD", "\\xFFFE", "\\xFFFF", "a\\xFFFE"}) {
    auto dfa = CompileDfa(p);
    EXPECT_FALSE(dfa->LineHead()) << p;
    EXPECT_FALSE(dfa->LineTail()) << p;
    EXPECT_FALSE(AcceptsWhole(*dfa, "")) << p;  // not an empty step either
    EXPECT_EQ(dfa->State(dfa->Initial()).transitions.size(), 1u) << p;
  }
}

TEST(DfaLimitTest, DeepGroupsAreRefused) {
  std::string pattern(kMaxGroupDepth + 1, '(');
  pattern += "a";
  pattern += std::string(kMaxGroupDepth + 1, ')');
  TREParser parser(pattern);
  EXPECT_THROW(parser.Parse(), ERegExpParser);
  std::string fine(kMaxGroupDepth, '(');
  fine += "a" + std::string(kMaxGroupDepth, ')');
  TREParser ok(fine);
  EXPECT_NO_THROW(ok.Parse());
}

TEST(DfaLimitTest, LongPatternsCompileWithoutDeepRecursion) {
  std::string pattern(5000, 'a');
  auto dfa = CompileDfa(pattern);
  EXPECT_TRUE(AcceptsWhole(*dfa, std::string(5000, 'a')));
}

}  // namespace
}  // namespace toravin
