// URL encoding of post data and the Base64 / uuencode lines of TUUProcessor.
#include <gtest/gtest.h>

#include <sstream>

#include "net/UUProcessor.h"
#include "net/UrlEncoder.h"

namespace toravin {
namespace {

std::string UrlEncode(const std::string& s) {
  TUrlEncoder e;
  e.InputString = s;
  return e.Encode();
}

TEST(UrlEncoder, Table) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {" ", "+"},
      {"/", "%2F"},
      {"AZaz09", "AZaz09"},
      {"a b&c=d", "a+b%26c%3Dd"},
      {"\x82\xa0", "%82%A0"},
      {std::string("\0\x01\xff", 3), "%00%01%FF"},
      {"-_.~*", "%2D%5F%2E%7E%2A"},
  };
  for (const Case& c : cases) EXPECT_EQ(UrlEncode(c.in), c.out) << c.in;
}

TEST(UrlEncoder, InputsBeyondSixteenBitsAreEncodedWhole) {
  std::string in(70000, ' ');
  in += "/";
  std::string out = UrlEncode(in);
  EXPECT_EQ(out.size(), 70003u);
  EXPECT_EQ(out.substr(69998), "++%2F");
}

struct UUResult {
  std::string text;
  int begins = 0, ends = 0;
  std::streampos outPos;
  bool inAtEnd = false;
};

UUResult UU(UUMethods method, const std::string& input) {
  std::stringstream in(input), out;
  TUUProcessor p;
  UUResult r;
  p.Method = method;
  p.InputStream = &in;
  p.OutputStream = &out;
  p.OnBeginEncode = [&](TUUProcessor&) { ++r.begins; };
  p.OnEndEncode = [&](TUUProcessor&) { ++r.ends; };
  p.Encode();
  r.text = out.str();
  r.outPos = out.tellp();
  r.inAtEnd = in.peek() == std::char_traits<char>::eof();
  return r;
}

TEST(UUProcessor, MimeTable) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"M", "TQ==\r\n"},
      {"Ma", "TWE=\r\n"},
      {"Man", "TWFu\r\n"},
      {"user:pass", "dXNlcjpwYXNz\r\n"},
      {"\xff\xfe\xfd", "//79\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(UU(uuMime, c.in).text, c.out) << c.in;
}

TEST(UUProcessor, UuCodeLinesCarryTheirCountAndEndWithZeroLine) {
  EXPECT_EQ(UU(uuCode, "").text, "`\r\n");
  EXPECT_EQ(UU(uuCode, "Cat").text, "#0V%T\r\n`\r\n");
  EXPECT_EQ(UU(uuCode, std::string(3, '\0')).text, "#````\r\n`\r\n");
}

TEST(UUProcessor, FortyFiveBytesPerLine) {
  std::string in45(45, 'a');
  UUResult r45 = UU(uuMime, in45);
  EXPECT_EQ(r45.text.size(), 62u);
  EXPECT_EQ(r45.text.find("\r\n"), 60u);
  UUResult r46 = UU(uuMime, in45 + "b");
  EXPECT_EQ(r46.text.substr(62), "Yg==\r\n");
  UUResult u45 = UU(uuCode, in45);
  EXPECT_EQ(u45.text.substr(0, 1), "M");  // 45 + 32
  EXPECT_EQ(u45.text.find("\r\n"), 61u);
  EXPECT_EQ(UU(uuCode, in45 + "b").text.substr(63), "!8@\r\n`\r\n");
}

TEST(UUProcessor, EventsAndStreamPositions) {
  UUResult r = UU(uuMime, "hello");
  EXPECT_EQ(r.begins, 1);
  EXPECT_EQ(r.ends, 1);
  EXPECT_EQ(r.outPos, std::streampos(0));
  EXPECT_TRUE(r.inAtEnd);
}

TEST(UUProcessor, MimeBase64IsOneUnbrokenLine) {
  std::string creds(100, 'x');
  std::string b64 = MimeBase64(creds);
  EXPECT_EQ(b64.find('\r'), std::string::npos);
  EXPECT_EQ(b64.size(), 136u);
  EXPECT_EQ(MimeBase64("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
}

}  // namespace
}  // namespace toravin
