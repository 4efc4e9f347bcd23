// Scanner and character functions: token streams, escapes, double-byte characters, and every
// scanner error with the index it reports.
#include "regex/REScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/CharCodes.h"
#include "regex/ERegExpParser.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::Sj;

struct Tok {
  TREToken kind;
  TReCode code;
  TReCode rangeEnd;
  bool operator==(const Tok&) const = default;
};

std::vector<Tok> Scan(const std::string& pattern) {
  TREScanner scanner(pattern);
  std::vector<Tok> out;
  for (;;) {
    TREToken t = scanner.GetToken();
    out.push_back({t, t == tokEnd ? TReCode{0} : scanner.Code(),
                   t == tokRange ? scanner.RangeEnd() : TReCode{0}});
    if (t == tokEnd) return out;
  }
}

TEST(CharCodesTest, NextCharReadsDoubleByteCharactersAsOneCode) {
  std::string text = "a\x82\xA0z";
  int index = 1;
  EXPECT_EQ(NextChar(text, index), 'a');
  EXPECT_EQ(NextChar(text, index), 0x82A0);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(NextChar(text, index), 'z');
  EXPECT_EQ(NextChar(text, index), 0);
  EXPECT_EQ(index, 5);
  index = 0;
  EXPECT_EQ(NextChar(text, index), 0);
  EXPECT_EQ(index, 0);
}

TEST(CharCodesTest, StepBackAndTrailBytes) {
  std::string text =
      "\x82\x82\x82"
      "a";  // lead, trail(0x82), lead... : 0x8282 then 0x8261
  int index = 1;
  EXPECT_EQ(NextChar(text, index), 0x8282);
  EXPECT_EQ(NextChar(text, index), 0x8261);
  StepBack(text, index);
  EXPECT_EQ(index, 3);
  StepBack(text, index);
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(IsTrailByte(text, 1));
  EXPECT_TRUE(IsTrailByte(text, 2));
  EXPECT_FALSE(IsTrailByte(text, 3));
  EXPECT_TRUE(IsTrailByte(text, 4));
}

TEST(CharCodesTest, CodeToTextDropsTheHighByteOfNonLeadCodes) {
  EXPECT_EQ(CodeToText(0x82A0), "\x82\xA0");
  EXPECT_EQ(CodeToText('A'), "A");
  EXPECT_EQ(CodeToText(0x4142), "B");
}

TEST(ScannerTest, OperatorsAndCharacters) {
  EXPECT_EQ(Scan("a|(b)*+?.^$]{-"), (std::vector<Tok>{{tokChar, 'a', 0},
                                                      {tokUnion, '|', 0},
                                                      {tokGroupOpen, '(', 0},
                                                      {tokChar, 'b', 0},
                                                      {tokGroupClose, ')', 0},
                                                      {tokStar, '*', 0},
                                                      {tokPlus, '+', 0},
                                                      {tokOptional, '?', 0},
                                                      {tokAnyChar, '.', 0},
                                                      {tokLineHead, '^', 0},
                                                      {tokLineTail, '$', 0},
                                                      {tokClassClose, ']', 0},
                                                      {tokChar, '{', 0},
                                                      {tokChar, '-', 0},
                                                      {tokEnd, 0, 0}}));
}

TEST(ScannerTest, ClassesAndRanges) {
  EXPECT_EQ(Scan("[a-]"), (std::vector<Tok>{{tokClassOpen, '[', 0},
                                            {tokChar, 'a', 0},
                                            {tokChar, '-', 0},
                                            {tokClassClose, ']', 0},
                                            {tokEnd, 0, 0}}));
  EXPECT_EQ(Scan("[-a]"), (std::vector<Tok>{{tokClassOpen, '[', 0},
                                            {tokChar, '-', 0},
                                            {tokChar, 'a', 0},
                                            {tokClassClose, ']', 0},
                                            {tokEnd, 0, 0}}));
  EXPECT_EQ(Scan("[^*.(a-c\\]]"), (std::vector<Tok>{{tokNegClassOpen, '[', 0},
                                                    {tokChar, '*', 0},
                                                    {tokChar, '.', 0},
                                                    {tokChar, '(', 0},
                                                    {tokRange, 'a', 'c'},
                                                    {tokChar, ']', 0},
                                                    {tokClassClose, ']', 0},
                                                    {tokEnd, 0, 0}}));
  // A range between double-byte characters covers every code between them.
  auto toks = Scan(Sj("[ぁ-ん]"));
  ASSERT_EQ(toks.size(), 4u);
  EXPECT_EQ(toks[1], (Tok{tokRange, 0x829F, 0x82F1}));
}

TEST(ScannerTest, Escapes) {
  struct Case {
    std::string pattern;
    std::vector<TReCode> codes;
  };
  const Case cases[] = {
      {"\\x41", {'A'}},
      {"\\x3042", {0x3042}},
      {"\\x12345", {0x1234, '5'}},
      {"\\101", {65}},
      {"\\177777", {0xFFFF}},
      {"\\8", {'8'}},
      {"\\.", {'.'}},
      {"\\\\", {'\\'}},
      {"\\n\\r\\t\\b", {10, 13, 9, 8}},
      {"\\0", {0}},
      {"\\1234567", {0123456, '7'}},
      {"\\" + Sj("あ"), {0x82A0}},
  };
  for (const auto& c : cases) {
    std::vector<Tok> expected;
    for (TReCode code : c.codes) expected.push_back({tokChar, code, 0});
    expected.push_back({tokEnd, 0, 0});
    EXPECT_EQ(Scan(c.pattern), expected) << c.pattern;
  }
}

struct ErrorCase {
  std::string pattern;
  const char* message;
  std::uint32_t position;
};

TEST(ScannerTest, EveryScannerErrorWithItsPosition) {
  const ErrorCase cases[] = {
      {"ab\\", "\"\\\"の次には文字が必要です。", 4},
      {"\\xg", "不正な１６進数コード表記です。", 4},
      {"\\x", "不正な１６進数コード表記です。", 3},
      {"\\200000", "不正な８進数コード表記です。", 8},
      {"[", "右ブラケット\"]\"が必要です", 2},
      {"[abc", "右ブラケット\"]\"が必要です", 5},
      {"[a-", "右ブラケット\"]\"が必要です", 4},
      {"[a", "右ブラケット\"]\"が必要です", 3},
      {"[z-a]", "不正なキャラクタ範囲です", 5},
      {"ab\x82", "不正な２バイト文字コードです。", 3},
  };
  for (const auto& c : cases) {
    try {
      Scan(c.pattern);
      ADD_FAILURE() << c.pattern << " did not fail";
    } catch (const ERegExpParser& e) {
      EXPECT_EQ(std::string(e.what()), Sj(c.message)) << c.pattern;
      EXPECT_EQ(e.ErrorPosition, c.position) << c.pattern;
    }
  }
}

}  // namespace
}  // namespace toravin
