// GSub on a subject whose first byte is NUL keeps the subject: only an empty subject is empty.
#include <gtest/gtest.h>

#include <string>

#include "regex/TextMatcher.h"

namespace toravin::test {
namespace {

TEST(GSubNul, FirstByteNulIsNotAnEmptySubject) {
  using namespace std::string_literals;
  struct Case {
    std::string pattern, subject, result;
    int count;
  } cases[] = {
      // The search text ends at the first NUL; the bytes from there on stay as they are.
      {"x*", "\0ab"s, "-\0ab"s, 1}, {"x*", "a\0b"s, "-a\0b"s, 1}, {"x*", "\0"s, "-\0"s, 1},
      {"&&", "\0ab"s, "\0ab"s, 0},  {"a", "\0a"s, "\0a"s, 0},     {"b", "ab\0b"s, "a-\0b"s, 1},
      {"x*", ""s, "-"s, 1},         {"x*", "ab"s, "-a-b"s, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern + " on " + std::to_string(c.subject.size()) + " bytes");
    TTextMatcher m;
    m.SetRegExp(c.pattern);
    std::string s = c.subject;
    EXPECT_EQ(m.GSub("-", s), c.count);
    EXPECT_EQ(s, c.result);
  }
}

}  // namespace
}  // namespace toravin::test
