// Names as the user reads them: the raw file-name part of a link, as a page holds it, against the
// name shown and saved (compared as UTF-8 after the program's own border conversion).
#include "main/ReadableName.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/Cp932.h"
#include "platform/UnfitChar.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

TEST(ReadableName, LinkForms) {
  struct Case {
    std::string raw;  // bytes as the page had them
    NameCharset charset;
    std::string shown;   // UTF-8
    bool bytes = false;  // `shown` is the name's own bytes, not converted
  };
  const std::string sjisPhoto = Sj("写真.jpg");  // 0x8E 0xCA 0x90 0x5E
  const Case cases[] = {
      {"plain.jpg", NameCharset::Unknown, "plain.jpg"},
      {"写真.jpg", NameCharset::Unknown, "写真.jpg"},                // raw UTF-8
      {"%E5%86%99%E7%9C%9F.jpg", NameCharset::Unknown, "写真.jpg"},  // percent-encoded UTF-8
      {"%e5%86%99%e7%9c%9f.jpg", NameCharset::Unknown, "写真.jpg"},  // lower-case hex
      {sjisPhoto, NameCharset::Unknown, "写真.jpg"},                 // raw Shift-JIS
      {"%8E%CA%90%5E.jpg", NameCharset::Unknown, "写真.jpg"},        // percent-encoded Shift-JIS
      {Sj("表ソ能.gif"), NameCharset::Unknown, "表ソ能.gif"},        // trail bytes 0x5C
      {"emoji😀.jpg", NameCharset::Unknown, "emoji😀.jpg"},            // not in CP932
      {"%ED%95%9C%EA%B8%80.zip", NameCharset::Unknown, "한글.zip"},  // Hangul, escaped
      {"a%2Fb.jpg", NameCharset::Unknown, "a%2Fb.jpg"},              // "/" stays escaped
      {"a%5Cb.jpg", NameCharset::Unknown, "a%5Cb.jpg"},              // "\" too
      {"a%00b%0A%7F.jpg", NameCharset::Unknown, "a%00b%0A%7F.jpg"},  // NUL and controls
      {"100%.jpg", NameCharset::Unknown, "100%.jpg"},                // malformed escapes
      {"%zz%4.jpg", NameCharset::Unknown, "%zz%4.jpg"},
      {"%E5%86.jpg", NameCharset::Unknown, "\xE5\x86.jpg", true},  // broken UTF-8: kept bytes
      {"my%20photo%281%29.jpg", NameCharset::Unknown, "my photo(1).jpg"},
      // A declared Shift-JIS page is never read as UTF-8, even where its bytes could be.
      {"\xE5\x86\x99.jpg", NameCharset::ShiftJis, "\xE5\x86\x99.jpg", true},
      {"写真.jpg", NameCharset::Utf8, "写真.jpg"},
      {sjisPhoto, NameCharset::Utf8, "写真.jpg"},  // not valid UTF-8: as the page had it
  };
  for (const Case& c : cases) {
    const std::string name = ReadableName(c.raw, c.charset);
    EXPECT_EQ(c.bytes ? name : Cp932ToUtf8(name), c.shown) << c.raw;
  }
}

TEST(ReadableName, DeclaredCharsets) {
  struct Case {
    std::string header, page;
    NameCharset charset;
  };
  const Case cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n", "", NameCharset::Utf8},
      {"Content-Type: text/html;charset=\"shift_jis\"\r\n", "", NameCharset::ShiftJis},
      {"Content-Type: text/html\r\n", "<html><head><meta charset=\"utf-8\">", NameCharset::Utf8},
      {"", "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">",
       NameCharset::ShiftJis},
      {"", "<meta charset=windows-31j>", NameCharset::ShiftJis},
      {"", "<meta charset=\"euc-jp\">", NameCharset::EucJp},
      {"", "<meta charset=\"iso-2022-jp\">", NameCharset::Unknown},
      {"", "<html><body>no declaration</body>", NameCharset::Unknown},
      // The header wins over the page.
      {"Content-Type: text/html; charset=utf-8\r\n", "<meta charset=shift_jis>", NameCharset::Utf8},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeclaredCharset(c.header, c.page), c.charset) << c.header << c.page;
  }
}

// Genuine Shift-JIS names are almost never valid UTF-8 with a multi-byte character, so leaving
// detection to the bytes keeps the names of older pages as they are.
TEST(ReadableName, ShiftJisNamesAreRarelyTakenForUtf8) {
  // Generated names: kana, JIS level-1 kanji, full-width digits, half-width katakana and ASCII.
  std::vector<std::string> pieces;
  for (const char* s :
       {"あ", "か", "さ", "た", "な", "は", "ま", "や", "ら", "わ", "ん", "ア", "カ",
        "サ", "タ", "ナ", "ハ", "マ", "ヤ", "ラ", "ワ", "ン", "写", "真", "画", "像",
        "旅", "行", "花", "火", "猫", "犬", "山", "川", "海", "空", "春", "夏", "秋",
        "冬", "東", "京", "大", "阪", "表", "能", "予", "申", "１", "２", "ｱ",  "ｶ",
        "ｻ",  "ﾀ",  "ﾅ",  "ﾄ",  "ﾃﾞ", "_",  "-",  "1",  "2",  "a"}) {
    pieces.push_back(Sj(s));
  }
  std::mt19937 rng(12345);
  constexpr int kNames = 20000;
  int utf8 = 0;
  for (int n = 0; n < kNames; ++n) {
    std::string name;
    const int len = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < len; ++i) name += pieces[rng() % pieces.size()];
    name += ".jpg";
    if (LooksLikeUtf8(name)) ++utf8;
  }
  const double rate = 100.0 * utf8 / kNames;
  std::printf("Shift-JIS names taken for UTF-8: %d of %d (%.3f%%)\n", utf8, kNames, rate);
  EXPECT_LT(rate, 1.0);
}

TEST(UnfitChar, EveryScalarValueRoundTrips) {
  for (char32_t cp :
       {0x80u, 0xA5u, 0xE9u, 0x2014u, 0xAC00u, 0xFFFDu, 0x1F600u, 0x20BB7u, 0xE0001u, 0x10FFFFu}) {
    std::string carried;
    AppendUnfitChar(carried, cp);
    ASSERT_EQ(carried.size(), 6u);
    for (size_t i = 1; i < carried.size(); ++i)
      EXPECT_GE(static_cast<unsigned char>(carried[i]), 0x80);
    std::size_t n = 0;
    EXPECT_EQ(ReadUnfitChar(carried, n), cp);
    std::string utf8;
    AppendUtf8(utf8, cp);
    EXPECT_EQ(Cp932ToUtf8("a" + carried + "b"), "a" + utf8 + "b");
    EXPECT_EQ(ReplaceUnfitChars(Sj("表") + carried, '_'), Sj("表") + "_");
  }
  // Characters CP932 maps onto ASCII codes never become separators.
  const std::string yen = Utf8ToCp932Lossless("a¥b\\c");
  EXPECT_EQ(yen.find('\\'), yen.size() - 2);
  EXPECT_EQ(Cp932ToUtf8(yen), "a¥b\\c");
}

}  // namespace
}  // namespace toravin::test
