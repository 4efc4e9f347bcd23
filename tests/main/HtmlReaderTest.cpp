// The pieces of link reading for today's pages, as tables: character references, joining a link
// to its page (the pattern reader's mends), browser-style resolution, the srcset choice, and the
// HTML reader over real-looking tags, including everything it must never take.
#include <gtest/gtest.h>

#include "main/CharRefs.h"
#include "main/HtmlLinkReader.h"
#include "main/Srcset.h"
#include "main/UrlResolve.h"
#include "main/UrlRules.h"
#include "platform/Cp932.h"
#include "support/TempDir.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

TEST(CharRefs, DecodedAsThePageMeantThem) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a.php?x=1&amp;y=2", "a.php?x=1&y=2"},
      {"a?x=1&#38;y=2&#x26;z=3&#X26;w", "a?x=1&y=2&z=3&w"},
      {"&quot;&lt;&gt;&apos;", "\"<>'"},
      {"&#38y", "&y"},                    // a numeric reference may lack its ";"
      {"&#12354;.jpg", "%E3%81%82.jpg"},  // a non-ASCII character as a browser sends it
      {"&#0;&#xD800;&#99999999;", "%EF%BF%BD%EF%BF%BD%EF%BF%BD"},
      {"&copy;&amp&AMP;&;&#;&#x;a&b", "&copy;&amp&AMP;&;&#;&#x;a&b"},  // left as written
      {"plain.jpg", "plain.jpg"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeCharRefs(c.in), c.out) << c.in;
}

TEST(JoinLink, RootAndProtocolRelativeLinksAndTheRest) {
  const struct {
    const char* page;
    const char* link;
    const char* joined;
  } cases[] = {
      {"http://h/news/p.html", "/imgs/a.jpg", "http://h/imgs/a.jpg"},
      {"http://h:8080/news/p.html", "/imgs/a.jpg", "http://h:8080/imgs/a.jpg"},
      {"https://h/news/p.html", "//cdn/x.jpg", "https://cdn/x.jpg"},
      {"http://h/news/p.html", "//cdn/x.jpg", "http://cdn/x.jpg"},
      {"http://h/news/p.html", "a.jpg", "http://h/news/a.jpg"},
      {"http://h/news", "a.jpg", "http://h/news/a.jpg"},  // BaseUrl as ever
      {"http://h", "/a.jpg", "http://h/a.jpg"},
      {"h/dir/", "/a.jpg", "h/dir//a.jpg"},  // no scheme and host: the old join
      {"h/dir/", "//cdn/a.jpg", "http://cdn/a.jpg"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinLink(c.page, c.link), c.joined) << c.link;
}

TEST(ResolveReference, AsABrowserResolves) {
  const char* base = "http://a/b/c/d;p?q";
  const struct {
    const char* base;
    const char* ref;
    const char* url;  // "" when it names no http(s) URL
  } cases[] = {
      // The normal and abnormal examples of RFC 3986, 5.4 (http targets only).
      {base, "g", "http://a/b/c/g"},
      {base, "./g", "http://a/b/c/g"},
      {base, "g/", "http://a/b/c/g/"},
      {base, "/g", "http://a/g"},
      {base, "//g", "http://g/"},
      {base, "?y", "http://a/b/c/d;p?y"},
      {base, "g?y", "http://a/b/c/g?y"},
      {base, "g#s", "http://a/b/c/g"},  // the fragment is dropped
      {base, ";x", "http://a/b/c/;x"},
      {base, "", ""},
      {base, ".", "http://a/b/c/"},
      {base, "..", "http://a/b/"},
      {base, "../g", "http://a/b/g"},
      {base, "../../../g", "http://a/g"},
      {base, "/./g", "http://a/g"},
      {base, "g.", "http://a/b/c/g."},
      {base, "g;x=1/../y", "http://a/b/c/y"},
      {base, "http:g", "http://a/b/c/g"},
      // Ours: other schemes, blanks, line breaks, fragments, a base without a scheme.
      {base, "javascript:open('a.jpg')", ""},
      {base, "data:image/png;base64,AAAA", ""},
      {base, "mailto:a@b.jpg", ""},
      {base, "ftp://h/a.zip", ""},
      {base, "#top", ""},
      {base, "  HTTPS://H2/x.jpg \n", "https://H2/x.jpg"},
      {base, "a\n.jp\tg", "http://a/b/c/a.jpg"},
      {"h/dir/p.html", "x.jpg", "http://h/dir/x.jpg"},
      {"http://h", "x.jpg", "http://h/x.jpg"},
      {"http://h/a/", "photo.jpg?w=300&h=2", "http://h/a/photo.jpg?w=300&h=2"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveReference(c.base, c.ref), c.url) << c.ref;
  EXPECT_EQ(UrlPathName("http://h/a/photo.jpg?w=300#x"), "photo.jpg");
  EXPECT_EQ(UrlPathName("http://h.jpg"), "");
  EXPECT_EQ(UrlPathName("http://h/dir.jpg/?x"), "");
}

TEST(Srcset, OneCandidatePerAttribute) {
  const struct {
    const char* srcset;
    const char* best;
  } cases[] = {
      {"a-300.jpg 300w, a-1200.jpg 1200w, a-600.jpg 600w", "a-1200.jpg"},
      {"a.jpg, a2.jpg 2x, a3.jpg 1.5x", "a2.jpg"},
      {"a.jpg 1x,b.jpg 3x", "b.jpg"},
      {"first.jpg, second.jpg", "first.jpg"},
      {"https://c/w_300,h_200/x.jpg 300w, https://c/w_900,h_600/x.jpg 900w",
       "https://c/w_900,h_600/x.jpg"},
      {"a.jpg,b.jpg 2x", "a.jpg,b.jpg"},  // a URL runs to the next blank
      {"a.jpg, b.jpg 2x", "b.jpg"},
      {"  \n a.jpg \t 640w ", "a.jpg"},
      {"", ""},
      {" , , ", ""},
      {"a.jpg 100q, b.jpg", "a.jpg"},  // an unknown descriptor counts as none
  };
  for (const auto& c : cases) EXPECT_EQ(BestSrcsetCandidate(c.srcset), c.best) << c.srcset;
}

// Each row: markup, and the links the reader takes from it, in order ("!" marks one that may
// name a page).
TEST(HtmlLinkReader, TakesWhatTheRulesSayAndNothingElse) {
  const struct {
    const char* html;
    Strings links;
  } cases[] = {
      {R"h(<a class="a-b" data-x=1 aria-label="x.y" onclick="f()" HREF="p.jpg">)h", {"!p.jpg"}},
      {"<a\n  title='a&b.'\thref =\n u.jpg>", {"!u.jpg"}},
      {R"h(<area href="m.html"><a href="q.php?a=1&amp;b=2">)h", {"!m.html", "!q.php?a=1&b=2"}},
      {R"h(<img src="s.gif" srcset="s-1.jpg 1x, s-2.jpg 2x">)h", {"s.gif", "s-2.jpg"}},
      {R"h(<img src="blank.gif" data-src="real.jpg">)h", {"real.jpg"}},
      {R"h(<img src="blank.gif" data-srcset="l-1.jpg 400w, l-2.jpg 800w">)h", {"l-2.jpg"}},
      {R"h(<img src="p.gif" data-original="o.jpg"><img src=p.gif data-lazy-src=z.jpg>)h",
       {"o.jpg", "z.jpg"}},
      {R"h(<picture><source srcset="w.webp 1x, w2.webp 2x" type="image/webp"><img src="w.jpg"></picture>)h",
       {"w2.webp", "w.jpg"}},
      {R"h(<meta property="og:image" content="og.jpg"><meta name="twitter:image" content="tw.png">)h",
       {"og.jpg", "tw.png"}},
      {R"h(<meta name="description" content="d.jpg"><link rel="image_src" href="is.jpg">)h",
       {"is.jpg"}},
      {R"h(<link rel="stylesheet" href="s.css"><div style="background:url('bg.png')">)h",
       {"bg.png"}},
      {R"h(<div style="background-image: URL( bg2.jpg )"></div>)h", {"bg2.jpg"}},
      {R"h(<noscript><img src="ns.jpg"></noscript>)h", {"ns.jpg"}},
      {R"h(<video poster="poster.jpg"></video><input type=image src="in.jpg">)h", {}},
      // Long text, a ">" inside a quoted value, CDATA and the other comment end.
      {R"h(<p>Long text of a caption that goes on and on > and on</p><img alt="a > b" src="gt.jpg">)h",
       {"gt.jpg"}},
      {R"h(<svg><![CDATA[ x > y <img src="cd.jpg"> ]]></svg><img src="after.jpg">)h",
       {"after.jpg"}},
      {R"h(<!-- a --!><img src="bang.jpg"><img src=u.jpg alt=x>y<img src='q.jpg'>)h",
       {"bang.jpg", "u.jpg", "q.jpg"}},
      // Never taken: comments, script, style and template content, other attributes.
      {R"h(<!-- <img src="c.jpg"> --><script>x='<img src="js.jpg">'</script>)h", {}},
      {R"h(<style>.a{background:url(st.png)}</style><template><img src="t.jpg"></template>)h", {}},
      {R"h(<img alt="alt.jpg" title="t.jpg" onclick="go('oc.jpg')" longdesc="ld.jpg">)h", {}},
      {R"h(<textarea><img src="ta.jpg"></textarea><title><img src="ti.jpg"></title>)h", {}},
  };
  for (const auto& c : cases) {
    Strings got;
    for (const HtmlLink& l : ReadHtmlLinks(c.html, NameCharset::Utf8).links) {
      got.push_back((l.pageAllowed ? "!" : "") + l.value);
    }
    EXPECT_EQ(got, c.links) << c.html;
  }
  const HtmlLinks withBase = ReadHtmlLinks(
      R"h(<base href="/cdn/"><base href="/second/"><img src="a.jpg">)h", NameCharset::Utf8);
  EXPECT_EQ(withBase.base, "/cdn/");
}

// Pages in Shift-JIS, EUC-JP and UTF-8 give the link bytes as the page wrote them; a reference to
// a character the page's charset lacks comes out percent-escaped.
TEST(HtmlLinkReader, ReadsEachCharsetRight) {
  const std::string sjisName = Sj("一覧表.jpg");  // 表 ends in 0x5C
  const std::string eucName = ConvertCharset("写真.jpg", "EUC-JP", "UTF-8",
                                             [](std::string_view) { return std::string("?"); });
  const struct {
    std::string page;
    NameCharset declared;
    std::string link;
  } cases[] = {
      {"<img src=\"" + sjisName + "\" alt=\"" + Sj("説明") + "\">", NameCharset::ShiftJis,
       sjisName},
      {"<img src=\"" + sjisName + "\">", NameCharset::Unknown, sjisName},  // detected
      {"<img src=\"" + eucName + "\">", NameCharset::EucJp, eucName},
      {"<img src=\"写真.jpg\">", NameCharset::Unknown, "写真.jpg"},
      {"<img src=\"a&#x1F600;.jpg\">", NameCharset::ShiftJis, "a%F0%9F%98%80.jpg"},
  };
  for (const auto& c : cases) {
    const HtmlLinks found = ReadHtmlLinks(c.page, c.declared);
    ASSERT_EQ(found.links.size(), 1u) << c.link;
    EXPECT_EQ(found.links[0].value, c.link);
  }
}

// A hostile page costs bounded time and stack: deep nesting, unclosed tags, NUL bytes.
TEST(HtmlLinkReader, HostilePagesEndWithTheirLinks) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<div>";
  deep += "<img src=\"deep.jpg\">";
  std::string nul("<img src=\"a.jpg\">\0<img src=\"b.jpg\">", 35);
  const struct {
    std::string page;
    size_t links;
  } cases[] = {{deep, 1}, {nul, 2}, {"<img src=\"x.jpg", 0}, {"<a href=", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(ReadHtmlLinks(c.page, NameCharset::Unknown).links.size(), c.links)
        << c.page.substr(0, 40);
  }
}

}  // namespace
}  // namespace toravin::test
