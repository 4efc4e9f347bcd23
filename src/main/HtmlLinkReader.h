// The HTML reader: a page read as a browser reads it (HTML5 tokenizing and tree building through
// libgumbo), and the links of every kind of picture, archive and page taken from it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "main/ReadableName.h"

namespace toravin {

struct HtmlLink {
  // The attribute's value with its character references decoded, in the page's own charset
  // (a character that charset cannot hold as percent-escaped UTF-8); not yet resolved.
  std::string value;
  // Only an anchor (a or area href) may name a page to follow; everything else names a picture
  // or an archive.
  bool pageAllowed = false;
};

struct HtmlLinks {
  std::optional<std::string> base;  // the first <base href>, unresolved
  std::vector<HtmlLink> links;      // in the order they stand in the page
};

// The links of `page`:
// - a and area href; img src and srcset; source srcset (as in picture);
//   data-src, data-original, data-lazy-src and data-srcset on any element (they win over a
//   placeholder img src); meta og:image and twitter:image; link rel=image_src; url(...) in
//   style attributes;
// - one candidate per srcset (the largest width, else the largest density, else the first);
// - the content of noscript is read; comments, script, style and template content never are,
//   nor any other attribute.
// `charset` is the page's charset; Unknown is read as UTF-8 when the page is valid UTF-8 and as
// Shift-JIS otherwise.
HtmlLinks ReadHtmlLinks(std::string_view page, NameCharset charset);

// The charset a page is read in when it declares none: UTF-8 when it is valid UTF-8 (or plain
// ASCII), Shift-JIS otherwise.
NameCharset DetectedCharset(std::string_view page);

}  // namespace toravin
