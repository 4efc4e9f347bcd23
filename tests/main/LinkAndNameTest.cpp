// Links taken from tag lines, file-name parts, mask name parts and numbered names.
#include <gtest/gtest.h>

#include "main/FileKinds.h"
#include "main/LinkText.h"
#include "main/TextUtil.h"

namespace toravin {
namespace {

TEST(LinkText, FromMatch) {
  // The match of the anchor pattern ends after "=" and the blanks and letters T, A, B after it.
  struct Case {
    std::string line;
    size_t pos, len;
    std::string link;
  } cases[] = {
      {"<a href=\"photo.jpg\">", 1, 8, "photo.jpg"},
      {"<a href='Photo.JPG' x>", 1, 8, "Photo.JPG"},
      {"<a href=photo.jpg>", 1, 8, "photo.jpg"},
      {"<a href=photo.jpg width=3>", 1, 8, "photo.jpg width=3"},
      {"<a href=\"unclosed.jpg>", 1, 8, ""},
      {"<a href=novalue", 1, 8, ""},
      {"<a href=\"  spaced.jpg \">", 1, 8, "spaced.jpg"},
      {"<a href=\"\">", 1, 8, ""},
      {"<a href=", 1, 8, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(LinkFromMatch(c.line, c.pos, c.len), c.link) << c.line;
}

TEST(FileKinds, NamesOfUrls) {
  UrlName n = SplitUrlName("http://h/d/my.photo.JPG");
  EXPECT_EQ(n.name, "my.photo.JPG");
  EXPECT_EQ(n.ext, ".JPG");
  EXPECT_EQ(n.base, "my.photo");
  n = SplitUrlName("http://h/d/README");
  EXPECT_EQ(n.ext, "");
  EXPECT_EQ(n.base, "README");
  EXPECT_EQ(KindOfExtension(".jpe"), FileKind::Jpeg);
  EXPECT_EQ(KindOfExtension(".htm"), FileKind::Html);
  EXPECT_EQ(KindOfExtension(".png"), FileKind::Png);
  EXPECT_EQ(KindOfExtension(".webp"), FileKind::Webp);
  EXPECT_EQ(KindOfExtension(".avif"), FileKind::Avif);
  EXPECT_EQ(KindOfExtension(".svg"), FileKind::Svg);
  EXPECT_FALSE(KindOfExtension(".bmp").has_value());
}

TEST(FileKinds, MaskNamePart) {
  struct Case {
    std::string mask, part;
  } cases[] = {{"*.jpg", "*"},         {"abc*.jpg", "abc*"},
               {"pic*01.jpg", "pic*"}, {"a?c.gif", "a?c"},
               {".jpg", "*"},          {"", "*"},
               {"pic*", "pic*"},       {"pic[0-9].jpg", "pic[0-9]"}};
  for (const Case& c : cases) EXPECT_EQ(MaskNamePart(c.mask), c.part) << c.mask;
}

TEST(FileKinds, NumberedName) {
  EXPECT_EQ(NumberedName("C:\\d\\photo.jpg", 1), "C:\\d\\photo(1).jpg");
  EXPECT_EQ(NumberedName("/tmp/x.y/photo", 2), "/tmp/x.y/photo(2)");
  EXPECT_EQ(NumberedName("index.html", 12), "index(12).html");
}

TEST(TextUtil, TrimCaseAndIntegers) {
  EXPECT_EQ(Trim(" \t\r\nabc \x01"), "abc");
  EXPECT_EQ(UpperCase("<img src=\x83\x61>"), "<IMG SRC=\x83\x61>");
  EXPECT_EQ(LowerCase("Content-Type"), "content-type");
  // Folded as LowerCase folds: a trail byte in the letter range is no letter.
  for (const auto& [text, found] :
       std::vector<std::pair<std::string, bool>>{{"X-CONTENT-Type: a", true},
                                                 {"Content-Typ", false},
                                                 {"\x82\x60"
                                                  "content-type",
                                                  true},
                                                 {"\x83\x43"
                                                  "ONTENT-TYPE",
                                                  false},
                                                 {"\x83\x43"
                                                  "content-type",
                                                  true}}) {
    EXPECT_EQ(ContainsFolded(text, "content-type"), found) << text;
  }
  struct Case {
    std::string text;
    bool ok;
    long long value;
  } cases[] = {{"5", true, 5},
               {"-12", true, -12},
               {"+7", true, 7},
               {"", false, 0},
               {"1.5", false, 0},
               {" 5", false, 0},
               {"2147483647", true, 2147483647},
               {"2147483648", false, 0},
               {"-2147483648", true, -2147483648LL},
               {"99999999999999999999", false, 0}};
  for (const Case& c : cases) {
    long long v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

}  // namespace
}  // namespace toravin
