// CP932 lead bytes, conversions at the borders, and the file-name part of URLs with double-byte
// characters whose trail byte is "\".
#include "platform/Cp932.h"

#include <gtest/gtest.h>

namespace toravin {
namespace {

TEST(Cp932, LeadByteRanges) {
  struct Case {
    int byte;
    bool lead;
  } cases[] = {{0x00, false}, {0x5C, false}, {0x7F, false}, {0x80, false}, {0x81, true},
               {0x9F, true},  {0xA0, false}, {0xA1, false}, {0xDF, false}, {0xE0, true},
               {0xFC, true},  {0xFD, false}, {0xFF, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(c.byte)), c.lead) << std::hex << c.byte;
  }
}

TEST(Cp932, ConvertsBothWays) {
  // "ダウンロード完了" and "表" (trail byte 0x5C) as the user's code page holds them.
  const std::string utf8 = "ダウンロード完了 表";
  const std::string cp932 =
      "\x83\x5F\x83\x45\x83\x93\x83\x8D\x81\x5B\x83\x68\x8A\xAE\x97\xB9\x20\x95\x5C";
  EXPECT_EQ(Utf8ToCp932(utf8), cp932);
  EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
  EXPECT_EQ(Utf8ToCp932("plain ascii"), "plain ascii");
  // Half-width katakana is a single byte.
  EXPECT_EQ(Utf8ToCp932("ｱ"), "\xB1");
}

TEST(Cp932, BadInputIsReplacedAndTheRestKept) {
  // A lone lead byte at the end, and an undefined byte pair in the middle.
  EXPECT_EQ(Cp932ToUtf8("ab\x83"), "ab\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8("a\x85\x40z"), "a\xEF\xBF\xBDz");
  // A character CP932 cannot hold, and malformed UTF-8.
  EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80z"), "a?z");
  EXPECT_EQ(Utf8ToCp932("a\xC3z"), "a?z");
}

TEST(Cp932, SjisConvertsLiteralsOnce) {
  const std::string& a = Sjis("中断しました。");
  const std::string& b = Sjis("中断しました。");
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(a, Utf8ToCp932("中断しました。"));
}

TEST(Cp932, FileNamePart) {
  struct Case {
    std::string url, name;
  } cases[] = {
      {"http://host/dir/pic.jpg", "pic.jpg"},
      {"http://host/dir/", ""},
      {"http://host", "host"},
      {"pic.jpg", "pic.jpg"},
      {"a\\b\\c.gif", "c.gif"},
      {"C:name.zip", "name.zip"},
      {"http://host/a:b", "b"},
      // "表" ends in 0x5C: it is a character, not a separator.
      {"http://host/\x95\x5C.jpg", "\x95\x5C.jpg"},
      {"http://host/d/\x95\x5C", "\x95\x5C"},
      // A lone lead byte at the end does not read past the text.
      {"http://host/x\x83", "x\x83"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNamePart(c.url), c.name) << c.url;
}

}  // namespace
}  // namespace toravin
