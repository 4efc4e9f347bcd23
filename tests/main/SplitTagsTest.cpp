// One tag per line: the text form against a literal insertion loop, and the one-pass line list
// against splitting that text.
#include "main/SplitTags.h"

#include <gtest/gtest.h>

#include <random>

namespace toravin {
namespace {

// The rule as a loop over a growing text, the way it is stated.
std::string LiteralSplitTags(std::string t) {
  std::string n;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '\r') {
      n += "\r\n";
      if (i + 1 < t.size() && t[i + 1] == '\n') ++i;
    } else if (t[i] == '\n') {
      n += "\r\n";
    } else {
      n += t[i];
    }
  }
  // 1-based positions i = 2, 3, ... while i is less than the current length.
  for (size_t i = 2; i < n.size(); ++i) {
    if (n[i - 1] == '<' && n[i - 2] != '\n') n.insert(i - 1, "\r\n");
  }
  return n;
}

TEST(SplitTags, Examples) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"<a href=x><img src=y>", {"<a href=x>", "<img src=y>"}},
      {"text<b>bold</b>", {"text", "<b>bold", "</b>"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"x\n<p>", {"x", "<p>"}},
      {"end<", {"end<"}},
      {"<", {"<"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"line\r\n", {"line"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitTagLines(c.text), c.lines) << c.text;
    EXPECT_EQ(SplitLines(SplitTags(c.text)), c.lines) << c.text;
  }
  EXPECT_EQ(SplitTags("a<b<c"), "a\r\n<b\r\n<c");
  EXPECT_EQ(SplitTags("a\n<b"), "a\r\n<b");
}

TEST(SplitTags, AgreesWithTheLiteralRuleOnRandomText) {
  std::mt19937 rng(3);
  const char alphabet[] = {'<', '<', '\r', '\n', 'a', '>', ' ', '\x83'};
  for (int round = 0; round < 3000; ++round) {
    std::string t(rng() % 24, 'a');
    for (char& c : t) c = alphabet[rng() % sizeof alphabet];
    std::string text = SplitTags(t);
    EXPECT_EQ(text, LiteralSplitTags(t));
    EXPECT_EQ(SplitTagLines(t), SplitLines(text));
  }
}

}  // namespace
}  // namespace toravin
