// Crawls of today's pages with both readers: the three link mends on the wire, what the HTML
// reader queues and in which order, the query kept on the request but not in the name, and the
// four further picture kinds with their tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "CrawlFixture.h"
#include "main/HtmlLinkReader.h"
#include "platform/Cp932.h"

namespace toravin::test {
namespace {

using Strings = std::vector<std::string>;

class Readers : public CrawlFixture {
 protected:
  void UseReader(LinkReader reader) {
    TRunOptions o = mf->RunOptions();
    o.Reader = reader;
    mf->SetRunOptions(o);
  }
  std::string HostPort() const {
    const std::string u = Url("/");
    return u.substr(7, u.size() - 8);  // "127.0.0.1:port"
  }
};

// Root-relative, protocol-relative and "&amp;" links reach the path the page meant, from the start
// page (stored as written, resolved when fetched) and from a page one level down (resolved when
// queued), with either reader.
class BothReaders : public Readers, public ::testing::WithParamInterface<LinkReader> {};

TEST_P(BothReaders, TheThreeMendsOnTheWire) {
  {
    UseReader(GetParam());
    S().JPGDownLoad = true;
    S().HTMLDownLoad = true;
    const std::string hp = HostPort();
    Page("/news/index.html", "<img src=\"/imgs/a.jpg\"><img src=\"//" + hp +
                                 "/cdn/x.jpg\"><a href=\"a&amp;b.jpg\">x</a>"
                                 "<a href=\"p.html\">next</a>");
    Page("/news/p.html",
         "<img src=\"/imgs/b.jpg\"><img src=\"//" + hp + "/cdn/y.jpg\"><img src=\"c&#38;d.jpg\">");
    for (const char* path : {"/imgs/a.jpg", "/cdn/x.jpg", "/news/a&b.jpg", "/imgs/b.jpg",
                             "/cdn/y.jpg", "/news/c&d.jpg"}) {
      File(path, path, "image/jpeg");
    }
    form->AddressEdit.Text = Url("/news/index.html");
    Download();
    EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
    for (const char* path : {"/imgs/a.jpg", "/cdn/x.jpg", "/news/a&b.jpg", "/imgs/b.jpg",
                             "/cdn/y.jpg", "/news/c&d.jpg"}) {
      EXPECT_EQ(Hits(path), 1) << path;
    }
    EXPECT_EQ(SavedFiles(), (Strings{"a&b.jpg", "a.jpg", "b.jpg", "c&d.jpg", "x.jpg", "y.jpg"}));
    EXPECT_EQ(Hits("/news//imgs/a.jpg"), 0);
  }
}

// What the HTML reader queues from a modern page, in page order, with the page as referrer; and
// what the patterns find on the same page.
TEST_F(Readers, HtmlReaderQueuesEveryPictureOnceInPageOrder) {
  const std::string page = R"h(<!doctype html><html><head>
<meta property="og:image" content="/og/cover.jpg">
<base href="/site/">
</head><body>
<a class="nav-link" data-id="7" href="gallery.html">Gallery</a>
<img class="lazy" src="data:image/gif;base64,R0lGOD" data-src="photos/one.jpg" alt="A &amp; B.">
<picture>
  <source type="image/webp" srcset="photos/two-480.webp 480w, photos/two-960.webp 960w">
  <img src="photos/two.jpg" srcset="photos/two-1x.jpg 1x, photos/two-2x.jpg 2x">
</picture>
<img src="photos/three.png?w=300&amp;h=200">
<div style="background-image:url('/bg/hero.jpg')"></div>
<!-- <img src="photos/old.jpg"> -->
<script>var s = '<img src="photos/js.jpg">';</script>
<a href="javascript:void(0)">x</a><a href="mailto:a@b.jpg">m</a>
<a href="/cgi-bin/x.jpg">c</a><a href="photos/one.jpg#zoom">again</a>
<a href="files/pack.zip">zip</a><img src="icons/logo.svg"><img src="x.avif">
</body></html>)h";
  const struct {
    LinkReader reader;
    Strings queued;
  } cases[] = {
      {LinkReader::Html,
       {"http://h/og/cover.jpg", "http://h/site/gallery.html", "http://h/site/photos/one.jpg",
        "http://h/site/photos/two-960.webp", "http://h/site/photos/two.jpg",
        "http://h/site/photos/two-2x.jpg", "http://h/site/photos/three.png?w=300&h=200",
        "http://h/bg/hero.jpg", "http://h/site/files/pack.zip", "http://h/site/icons/logo.svg"}},
      // The patterns: no base, no srcset, no data-src, the query fails the extension test, a tag
      // whose attribute names hold a hyphen yields nothing, and comments, scripts and other
      // schemes are read as any text.
      {LinkReader::Patterns,
       {"http://h/d/photos/two.jpg", "http://h/d/photos/old.jpg", "http://h/d/photos/js.jpg",
        "http://h/d/mailto:a@b.jpg", "http://h/d/files/pack.zip", "http://h/d/icons/logo.svg"}},
  };
  for (const auto& c : cases) {
    UseReader(c.reader);
    S().ClearItems();
    S().JPGDownLoad = S().ZIPDownLoad = S().HTMLDownLoad = true;
    TRunOptions o = mf->RunOptions();
    o.Png.DownLoad = o.Webp.DownLoad = o.Svg.DownLoad = true;  // AVIF stays off
    mf->SetRunOptions(o);
    mf->ParseLinks(page, false, "http://h/d/p.html");
    Strings files = c.queued;  // page links are taken from the start page only
    std::erase_if(files, [](const std::string& u) { return u.ends_with(".html"); });
    EXPECT_EQ(Pending(), files);
    S().ClearItems();
    mf->ParseLinks(page, true, "http://h/d/p.html");
    Strings got = Pending();
    if (c.reader == LinkReader::Patterns) {
      // Start-page links are stored as written; resolve them for the comparison.
      for (std::string& u : got) u = "http://h/d/" + u;
    }
    EXPECT_EQ(got, c.queued);
    for (int i = 0; i < S().Count(); ++i) EXPECT_EQ(S().Item(i).Referer, "http://h/d/p.html");
    // The list shows the name of the URL's path, as the file will be saved.
    const auto& memo = form->BodyMemo.lines();
    const bool queryShown =
        std::find(memo.begin(), memo.end(), "three.png?w=300&h=200") != memo.end();
    const bool nameShown = std::find(memo.begin(), memo.end(), "three.png") != memo.end();
    EXPECT_EQ(nameShown, c.reader == LinkReader::Html);
    EXPECT_FALSE(queryShown);
  }
}

// The four further kinds with either reader: each is fetched only when ticked, passes the same
// content-type, size and mask tests as JPEG, and is saved under its path's name (the query stays
// on the request).
TEST_P(BothReaders, FurtherKindsAreTestedAndSavedLikeJpeg) {
  {
    const LinkReader reader = GetParam();
    UseReader(reader);
    S().DoFileChoice = true;
    S().FileSizeCheck = true;
    S().FileSize = "1";
    TRunOptions o = mf->RunOptions();
    o.Png = {true, "*.png"};
    o.Webp = {true, "*.webp"};
    o.Svg = {true, "logo*.svg"};
    o.Avif = {false, "*.avif"};
    mf->SetRunOptions(o);
    const std::string kb(2048, 'p');
    Page("/index.html",
         "<img src=\"a.png\"><img src=\"small.png\"><img src=\"b.webp\"><img src=\"logo1.svg\">"
         "<img src=\"other.svg\"><img src=\"c.avif\"><img src=\"fake.webp\">"
         "<img src=\"q.png?v=2\">");
    File("/a.png", kb, "image/png");
    File("/small.png", "tiny", "image/png");
    File("/b.webp", kb, "image/webp");
    File("/logo1.svg", kb, "image/svg+xml");
    File("/other.svg", kb, "image/svg+xml");
    File("/c.avif", kb, "image/avif");
    File("/fake.webp", kb, "text/html");
    File("/q.png?v=2", kb, "image/png");
    form->AddressEdit.Text = Url("/index.html");
    Download();
    EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
    Strings expected = {"a.png", "b.webp", "logo1.svg"};
    if (reader == LinkReader::Html) expected.push_back("q.png");
    EXPECT_EQ(SavedFiles(), expected);
    EXPECT_EQ(Hits("/other.svg") + Hits("/c.avif"), 0);  // mask and switch before the request
    EXPECT_EQ(Hits("/q.png?v=2"), reader == LinkReader::Html ? 1 : 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Readers, BothReaders,
                         ::testing::Values(LinkReader::Patterns, LinkReader::Html),
                         [](const ::testing::TestParamInfo<LinkReader>& p) {
                           return std::string(p.param == LinkReader::Html ? "Html" : "Patterns");
                         });

// Nothing chosen but a further kind is still a choice: the run starts.
TEST_F(Readers, AFurtherKindAloneIsAChoice) {
  TRunOptions o = mf->RunOptions();
  o.Webp.DownLoad = true;
  mf->SetRunOptions(o);
  Page("/index.html", "<img src=\"w.webp\">");
  File("/w.webp", "webp", "image/webp");
  form->AddressEdit.Text = Url("/index.html");
  Download();
  EXPECT_EQ(Boxes(), Strings{"ダウンロード完了"});
  EXPECT_EQ(SavedFiles(), Strings{"w.webp"});
}

}  // namespace
}  // namespace toravin::test
