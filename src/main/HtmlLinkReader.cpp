// libgumbo reads UTF-8 only, so a Shift-JIS or EUC-JP page is converted to UTF-8 first and every
// value taken from it converted back, leaving the link's bytes as the page wrote them. The tree
// is walked with a stack of our own: a page of a million nested elements must not take the
// thread's stack.
#include "main/HtmlLinkReader.h"

#include <gumbo.h>

#include <initializer_list>
#include <memory>

#include "main/Srcset.h"
#include "main/TextUtil.h"
#include "platform/Cp932.h"

namespace toravin {
namespace {

struct OutputDeleter {
  void operator()(GumboOutput* output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};
using Output = std::unique_ptr<GumboOutput, OutputDeleter>;

Output Parse(std::string_view utf8) {
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the parse errors of a page are of no use here
  return Output(gumbo_parse_with_options(&options, utf8.data(), utf8.size()));
}

const char* Attribute(const GumboElement& e, const char* name) {
  const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
  return a ? a->value : nullptr;
}

bool HasWord(std::string_view text, std::string_view word) {
  const std::string lower = LowerCase(text);
  for (std::size_t at = 0; (at = lower.find(word, at)) != std::string::npos; at += word.size()) {
    const bool startOk = at == 0 || lower[at - 1] == ' ';
    const bool endOk = at + word.size() == lower.size() || lower[at + word.size()] == ' ';
    if (startOk && endOk) return true;
  }
  return false;
}

// The url(...) values of a style attribute.
void StyleUrls(std::string_view style, std::vector<std::string>& out) {
  const std::string lower = LowerCase(style);
  for (std::size_t at = 0; (at = lower.find("url(", at)) != std::string::npos;) {
    at += 4;
    while (at < style.size() && (style[at] == ' ' || style[at] == '\t')) ++at;
    std::size_t end;
    if (at < style.size() && (style[at] == '"' || style[at] == '\'')) {
      end = style.find(style[at], at + 1);
      ++at;
    } else {
      end = style.find(')', at);
    }
    if (end == std::string::npos) break;
    out.emplace_back(Trim(style.substr(at, end - at)));
    at = end;
  }
}

class Walker {
 public:
  Walker(NameCharset charset, HtmlLinks& out) : m_charset(charset), m_out(out) {}

  void Walk(const GumboNode* root, int depth) {
    std::vector<const GumboNode*> stack{root};
    while (!stack.empty()) {
      const GumboNode* node = stack.back();
      stack.pop_back();
      if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) continue;
      const GumboVector& children =
          node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children : node->v.element.children;
      if (node->type == GUMBO_NODE_ELEMENT) {
        const GumboElement& e = node->v.element;
        if (e.tag == GUMBO_TAG_SCRIPT || e.tag == GUMBO_TAG_STYLE) continue;
        Element(e);
        if (e.tag == GUMBO_TAG_NOSCRIPT) {
          // Read as markup, whether the tree holds its content as elements or as text.
          for (unsigned i = 0; i < children.length && depth < 4; ++i) {
            const auto* child = static_cast<const GumboNode*>(children.data[i]);
            if (child->type == GUMBO_NODE_TEXT) Fragment(child->v.text.text, depth + 1);
          }
        }
      }
      for (unsigned i = children.length; i-- > 0;) {
        stack.push_back(static_cast<const GumboNode*>(children.data[i]));
      }
    }
  }

  void Fragment(std::string_view utf8, int depth) {
    Output output = Parse(utf8);
    if (output) Walk(output->document, depth);
  }

 private:
  void Add(const char* utf8, bool pageAllowed = false) {
    if (utf8 && *utf8) m_out.links.push_back({Back(utf8), pageAllowed});
  }
  void AddSrcset(const char* srcset) {
    if (srcset) Add(BestSrcsetCandidate(srcset).c_str());
  }

  void Element(const GumboElement& e) {
    switch (e.tag) {
      case GUMBO_TAG_A:
      case GUMBO_TAG_AREA:
        Add(Attribute(e, "href"), true);
        break;
      case GUMBO_TAG_BASE:
        if (!m_out.base) {
          if (const char* href = Attribute(e, "href")) m_out.base = Back(href);
        }
        break;
      case GUMBO_TAG_IMG: {
        const bool lazy = Attribute(e, "data-src") || Attribute(e, "data-srcset") ||
                          Attribute(e, "data-original") || Attribute(e, "data-lazy-src");
        if (!lazy) Add(Attribute(e, "src"));  // otherwise src is a placeholder
        AddSrcset(Attribute(e, "srcset"));
        break;
      }
      case GUMBO_TAG_SOURCE:
        AddSrcset(Attribute(e, "srcset"));
        break;
      case GUMBO_TAG_VIDEO:
        Add(Attribute(e, "poster"));
        break;
      case GUMBO_TAG_META: {
        const char* property = Attribute(e, "property");
        const char* name = Attribute(e, "name");
        for (const char* key : {property, name}) {
          if (!key) continue;
          const std::string k = LowerCase(key);
          if (k == "og:image" || k == "og:image:url" || k == "og:image:secure_url" ||
              k == "twitter:image" || k == "twitter:image:src") {
            Add(Attribute(e, "content"));
            break;
          }
        }
        break;
      }
      case GUMBO_TAG_LINK:
        if (const char* rel = Attribute(e, "rel"); rel && HasWord(rel, "image_src")) {
          Add(Attribute(e, "href"));
        }
        break;
      default:
        break;
    }
    AddSrcset(Attribute(e, "data-srcset"));
    for (const char* lazy : {"data-src", "data-original", "data-lazy-src"}) {
      Add(Attribute(e, lazy));
    }
    if (const char* style = Attribute(e, "style")) {
      std::vector<std::string> urls;
      StyleUrls(style, urls);
      for (const std::string& url : urls) Add(url.c_str());
    }
  }

  // A value in the page's charset; a character it cannot hold as percent-escaped UTF-8.
  std::string Back(const char* utf8) const {
    if (m_charset == NameCharset::Utf8) return utf8;
    return ConvertCharset(utf8, m_charset == NameCharset::EucJp ? "EUC-JP" : "CP932", "UTF-8",
                          [](std::string_view bad) {
                            std::string out;
                            for (unsigned char c : bad) {
                              static constexpr char kHex[] = "0123456789ABCDEF";
                              out += '%';
                              out += kHex[c >> 4];
                              out += kHex[c & 15];
                            }
                            return out;
                          });
  }

  NameCharset m_charset;
  HtmlLinks& m_out;
};

// The tree builder checks the stack of open elements for every tag, so a page that keeps
// elements open costs time in the square of its depth (100,000 nested <div> take half a
// minute). Such a page is read in pieces, each begun where the elements open so far are past
// kMaxDepth; a real page never gets there. Elements whose end is implied (p, li, td, ...) or that
// have none (img, br, ...) are not counted, and no piece begins inside a comment or inside
// content that is no markup (script, style, template, ...).
constexpr int kMaxDepth = 256;

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names) {
    if (name == n) return true;
  }
  return false;
}

std::vector<std::string_view> PiecesToParse(std::string_view page) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  int depth = 0;
  std::string raw;  // the element whose end tag ends content that is no markup
  auto nameAt = [&](std::size_t at) {
    std::string name;
    while (at < page.size() && name.size() < 16) {
      char c = page[at];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) break;
      name += c;
      ++at;
    }
    return name;
  };
  for (std::size_t i = page.find('<'); i != std::string_view::npos; i = page.find('<', i + 1)) {
    if (raw.empty() && page.substr(i, 4) == "<!--") {
      const std::size_t end = page.find("-->", i + 4);
      if (end == std::string_view::npos) break;
      i = end + 2;
      continue;
    }
    if (i + 1 < page.size() && page[i + 1] == '/') {
      const std::string name = nameAt(i + 2);
      if (!raw.empty()) {
        if (name == raw) raw.clear();
      } else if (depth > 0 && !name.empty()) {
        --depth;
      }
      continue;
    }
    if (!raw.empty()) continue;
    const std::string name = nameAt(i + 1);
    if (name.empty()) continue;
    if (depth >= kMaxDepth) {
      pieces.push_back(page.substr(start, i - start));
      start = i;
      depth = 0;
    }
    if (IsOneOf(name, {"script", "style", "template", "textarea", "title", "xmp", "iframe",
                       "noembed", "noframes", "plaintext"})) {
      raw = name;
    } else if (!IsOneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
                               "meta", "param", "source", "track", "wbr", "p", "li", "dt", "dd",
                               "option", "optgroup", "tr", "td", "th", "tbody", "thead",
                               "tfoot", "colgroup", "rb", "rt", "rp", "rtc", "html", "head",
                               "body"})) {
      const std::size_t close = page.find('>', i);
      if (close == std::string_view::npos) break;
      if (page[close - 1] != '/') ++depth;
    }
  }
  pieces.push_back(page.substr(start));
  return pieces;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace

NameCharset DetectedCharset(std::string_view page) {
  return IsAscii(page) || LooksLikeUtf8(page) ? NameCharset::Utf8 : NameCharset::ShiftJis;
}

HtmlLinks ReadHtmlLinks(std::string_view page, NameCharset charset) {
  if (charset == NameCharset::Unknown) charset = DetectedCharset(page);
  std::string converted;
  if (!IsAscii(page)) {
    if (charset == NameCharset::ShiftJis) converted = Cp932ToUtf8(page);
    if (charset == NameCharset::EucJp) {
      converted = ConvertCharset(page, "UTF-8", "EUC-JP",
                                 [](std::string_view) { return std::string("\xEF\xBF\xBD"); });
    }
  }
  HtmlLinks out;
  Walker walker(charset, out);
  for (std::string_view piece : PiecesToParse(converted.empty() ? page : converted)) {
    walker.Fragment(piece, 0);
  }
  return out;
}

}  // namespace toravin
