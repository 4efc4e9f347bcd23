// Base URLs, segment removal (with the host kept and termination on every input) and the
// extension rule of the link test.
#include "main/UrlRules.h"

#include <gtest/gtest.h>

#include <random>

namespace toravin {
namespace {

TEST(UrlRules, BaseUrl) {
  struct Case {
    std::string url, base;
  } cases[] = {
      {"http://h/d/page.html", "http://h/d/"},
      {"http://h/d/page.htm?x=1", "http://h/d/"},
      {"http://h/d", "http://h/d/"},
      {"http://h/d/", "http://h/d/"},
      {"http://h/d/a.jpg", "http://h/d/a.jpg/"},
      {"http://h/x.htmdir/y", "http://h/x.htmdir/"},
      {"page.html", "page.html"},
      {"", "/"},
  };
  for (const Case& c : cases) EXPECT_EQ(BaseUrl(c.url), c.base) << c.url;
}

TEST(UrlRules, NormalizeUrl) {
  struct Case {
    std::string url, normal;
  } cases[] = {
      {"http://h/a/b/../c", "http://h/a/c"},
      {"http://h/a/./c", "http://h/a/c"},
      {"http://h/a/b/c/../../d", "http://h/a/d"},
      {"http://h/d/../img/a.jpg", "http://h/img/a.jpg"},
      {"http://h/a/./b/../c", "http://h/a/c"},
      {"http://h/a/././b", "http://h/a/b"},
      {"http://h/a/.././b", "http://h/b"},
      // The host is never removed: a "/../" directly under it drops only itself.
      {"http://h/../c", "http://h/c"},
      {"http://h/a/../../../c", "http://h/c"},
      {"http://h:8080/../x.jpg", "http://h:8080/x.jpg"},
      // Texts without a scheme (a URL field without one) end too.
      {"/../a", "/a"},
      {"a/../b", "b"},  // no "/" two places before: the first segment goes
      {"x/y/../z", "x/z"},
      {"../a", "../a"},
      {"http://h/a..b/c", "http://h/a..b/c"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormalizeUrl(c.url), c.normal) << c.url;
}

// The literal rule, for comparison on URLs where it is sound (it ends and keeps the host).
std::string LiteralNormalize(std::string s) {
  for (int guard = 0; guard < 10000; ++guard) {
    size_t p = s.find("/../");
    if (p != std::string::npos) {
      size_t q = std::string::npos;
      for (size_t i = p - 1; i-- > 0;) {
        if (s[i] == '/') {
          q = i;
          break;
        }
      }
      if (q == std::string::npos) return "<loops>";
      s.erase(q, p + 3 - q);
      continue;
    }
    p = s.find("/./");
    if (p == std::string::npos) return s;
    s.erase(p, 2);
  }
  return "<loops>";
}

TEST(UrlRules, NormalizeAgreesWithTheLiteralRuleBelowTheHost) {
  std::mt19937 rng(7);
  const char* parts[] = {"a", "b", "..", ".", "", "cc"};
  for (int round = 0; round < 5000; ++round) {
    std::string path;
    int n = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) path += std::string("/") + parts[rng() % 6];
    std::string url = "http://h/top/more" + path;
    std::string literal = LiteralNormalize(url);
    // Only compare where the literal rule stays below the host.
    if (literal.rfind("http://h/", 0) != 0) continue;
    EXPECT_EQ(NormalizeUrl(url), literal) << url;
  }
}

TEST(UrlRules, NormalizeEndsOnHugeHostileInput) {
  std::string nasty = std::string(200000, 'a');
  for (int i = 0; i < 50000; ++i) nasty += "/..";
  nasty += "/x";
  std::string out = NormalizeUrl(nasty);
  EXPECT_LE(out.size(), 8u) << out;
  EXPECT_EQ(out.back(), 'x');
  std::string hosted = "http://h/" + std::string(200000, 'a') + nasty.substr(200000);
  EXPECT_EQ(NormalizeUrl(hosted), "http://h/x");
  std::string dots;
  for (int i = 0; i < 100000; ++i) dots += "/.";
  EXPECT_EQ(NormalizeUrl("http://h" + dots + "/y"), "http://h/y");
}

TEST(UrlRules, LinkExtension) {
  struct Case {
    std::string link, ext;
  } cases[] = {
      {"photo.JPG", ".jpg"},
      {"a/b.jpeg", ".jpeg"},
      {"http://h/d.x/file", ".x/file"},  // a "/" does not end the search
      {"pic.jpg?size=2", ".jpg?size=2"},
      {"a.jpg\\b", ""},
      {"a.b:c", ""},
      {"noext", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(LinkExtension(c.link), c.ext) << c.link;
}

TEST(UrlRules, HttpsCountsAsAbsoluteAndItsPagesKeepTheScheme) {
  struct Case {
    std::string link;
    bool absolute, https;
  } cases[] = {
      {"http://h/a.jpg", true, false},  {"https://h/a.jpg", true, true},
      {"HTTPS://h/a.jpg", false, true}, {"x?u=https://h/a.jpg", true, false},
      {"a.jpg", false, false},          {"//h/a.jpg", false, false},
      {"https:/h/a.jpg", false, false}, {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsAbsoluteLink(c.link), c.absolute) << c.link;
    EXPECT_EQ(IsHttpsUrl(c.link), c.https) << c.link;
  }
  EXPECT_EQ(BaseUrl("https://h/d/page.html"), "https://h/d/");
  EXPECT_EQ(NormalizeUrl(BaseUrl("https://h/d/page.html") + "../img/a.jpg"), "https://h/img/a.jpg");
  EXPECT_EQ(NormalizeUrl("https://h/../c"), "https://h/c");
}

}  // namespace
}  // namespace toravin
