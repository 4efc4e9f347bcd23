// libgumbo reads UTF-8 only, so a Shift-JIS or EUC-JP page is converted to UTF-8 first and every
// value taken from it converted back, leaving the link's bytes as the page wrote them. The tree
// is walked with a stack of our own: a page of a million nested elements must not take the
// thread's stack.
#include "main/HtmlLinkReader.h"

#include <gumbo.h>

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>

#include "main/Srcset.h"
#include "main/TextUtil.h"
#include "platform/Cp932.h"

namespace toravin {
namespace {

// The tree of one parse lives in an arena: its nodes are many and small, and they all go at
// once when the walk is done, so freeing them one by one would cost a second walk of the tree.
class Arena {
 public:
  static void* Allocate(void* self, size_t size) { return static_cast<Arena*>(self)->Take(size); }
  static void Free(void*, void*) {}

 private:
  void* Take(size_t size) {
    size = (size + 15) & ~size_t{15};
    if (m_blocks.empty() || m_used + size > m_size) {
      m_size = std::max(kBlock, size);
      m_blocks.push_back(std::make_unique_for_overwrite<std::byte[]>(m_size));
      m_used = 0;
    }
    void* p = m_blocks.back().get() + m_used;
    m_used += size;
    return p;
  }
  static constexpr size_t kBlock = size_t{1} << 20;
  std::vector<std::unique_ptr<std::byte[]>> m_blocks;
  size_t m_size = 0;
  size_t m_used = 0;
};

struct Tree {
  Arena arena;
  GumboOutput* output = nullptr;
};

std::unique_ptr<Tree> Parse(std::string_view utf8) {
  auto tree = std::make_unique<Tree>();
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the parse errors of a page are of no use here
  options.allocator = &Arena::Allocate;
  options.deallocator = &Arena::Free;
  options.userdata = &tree->arena;
  tree->output = gumbo_parse_with_options(&options, utf8.data(), utf8.size());
  return tree;
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
    const std::unique_ptr<Tree> tree = Parse(utf8);
    if (tree->output) Walk(tree->output->document, depth);
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
      case GUMBO_TAG_META: {
        const char* property = Attribute(e, "property");
        const char* name = Attribute(e, "name");
        for (const char* key : {property, name}) {
          if (!key) continue;
          const std::string k = LowerCase(key);
          if (k == "og:image" || k == "twitter:image") {
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

// Before the page goes to the tree builder it is prepared in one pass that follows the HTML
// tokenizer's view of tags, comments and raw text:
// - Text between tags cannot hold a link, yet it is most of a page and costs the tree builder
//   most of its time; a run of it longer than kKeepText is cut to one character of the same
//   kind (blank or not), which leaves the tree as it was. Comments are left out.
// - The tree builder checks the stack of open elements for every tag, so a page that keeps
//   elements open costs time in the square of its depth (100,000 nested <div> take half a
//   minute). Such a page is read in pieces, each begun where the elements opened so far are past
//   kMaxDepth; a real page never gets there. Elements whose end is implied (p, li, td, ...) or
//   that have none (img, br, ...) are not counted, and no piece begins inside content that is no
//   markup (script, style, template, ...).
constexpr int kMaxDepth = 256;
constexpr std::size_t kKeepText = 16;

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (std::string_view n : names) {
    if (name == n) return true;
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Where the tag that begins at `at` (its "<") ends, just after its ">", as the tokenizer reads
// names, quoted and unquoted attribute values; npos when the page ends inside it.
std::size_t TagEnd(std::string_view page, std::size_t at) {
  enum { Name, BeforeAttr, AttrName, AfterAttr, BeforeValue, Quoted, Unquoted, AfterQuoted };
  int state = Name;
  char quote = 0;
  for (std::size_t i = at + 1; i < page.size(); ++i) {
    const char c = page[i];
    switch (state) {
      case Name:
      case AttrName:
        if (c == '>') return i + 1;
        if (IsBlank(c)) state = state == Name ? BeforeAttr : AfterAttr;
        if (c == '/') state = BeforeAttr;
        if (c == '=' && state == AttrName) state = BeforeValue;
        break;
      case BeforeAttr:
        if (c == '>') return i + 1;
        if (!IsBlank(c) && c != '/') state = AttrName;
        break;
      case AfterAttr:
        if (c == '>') return i + 1;
        if (c == '=') state = BeforeValue;
        if (c == '/') state = BeforeAttr;
        if (!IsBlank(c) && c != '=' && c != '/') state = AttrName;
        break;
      case BeforeValue:
        if (c == '>') return i + 1;
        if (c == '"' || c == '\'') {
          quote = c;
          state = Quoted;
        } else if (!IsBlank(c)) {
          state = Unquoted;
        }
        break;
      case Quoted:
        if (c == quote) state = AfterQuoted;
        break;
      case Unquoted:
        if (c == '>') return i + 1;
        if (IsBlank(c)) state = BeforeAttr;
        break;
      case AfterQuoted:
        if (c == '>') return i + 1;
        state = c == '/' ? BeforeAttr : IsBlank(c) ? BeforeAttr : AttrName;
        break;
    }
  }
  return std::string_view::npos;
}

std::string LowerName(std::string_view page, std::size_t at) {
  std::string name;
  while (at < page.size() && name.size() < 16) {
    char c = page[at];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) break;
    name += c;
    ++at;
  }
  return name;
}

struct PreparedPage {
  std::string text;
  std::vector<std::size_t> cuts;  // where a new piece begins
};

PreparedPage Prepare(std::string_view page) {
  PreparedPage out;
  out.text.reserve(page.size() / 2);
  int depth = 0;
  std::size_t i = 0;
  auto copyTo = [&](std::size_t end) {
    out.text.append(page.substr(i, end - i));
    i = end;
  };
  while (i < page.size()) {
    std::size_t lt = page.find('<', i);
    if (lt == std::string_view::npos) lt = page.size();
    if (lt - i > kKeepText) {
      bool blank = true;
      for (std::size_t k = i; k < lt && blank; ++k) blank = IsBlank(page[k]);
      out.text += blank ? ' ' : '.';
      i = lt;
    } else {
      copyTo(lt);
    }
    if (i >= page.size()) break;
    const std::string_view rest = page.substr(i);
    if (rest.starts_with("<!--")) {
      std::size_t end = rest.starts_with("<!-->") ? 5 : rest.starts_with("<!--->") ? 6 : 0;
      if (end == 0) {
        const std::size_t a = rest.find("-->", 4), b = rest.find("--!>", 4);
        end = std::min(a == std::string_view::npos ? a : a + 3,
                       b == std::string_view::npos ? b : b + 4);
      }
      if (end == std::string_view::npos) break;  // the rest of the page is a comment
      i += end;
      continue;
    }
    if (rest.starts_with("<![CDATA[")) {
      const std::size_t end = rest.find("]]>");
      copyTo(end == std::string_view::npos ? page.size() : i + end + 3);
      continue;
    }
    if (rest.starts_with("<!") || rest.starts_with("<?")) {
      const std::size_t end = rest.find('>');
      copyTo(end == std::string_view::npos ? page.size() : i + end + 1);
      continue;
    }
    const bool endTag = rest.size() > 2 && rest[1] == '/' && IsLetter(rest[2]);
    if (!endTag && !(rest.size() > 1 && IsLetter(rest[1]))) {
      copyTo(i + 1);  // a "<" that begins no tag is text
      continue;
    }
    const std::string name = LowerName(page, i + (endTag ? 2 : 1));
    const std::size_t end = TagEnd(page, i);
    if (end == std::string_view::npos) {
      copyTo(page.size());
      break;
    }
    if (endTag) {
      if (depth > 0) --depth;
      copyTo(end);
      continue;
    }
    if (depth >= kMaxDepth) {
      out.cuts.push_back(out.text.size());
      depth = 0;
    }
    copyTo(end);
    if (name == "plaintext") break;  // the rest of the page is text
    if (IsOneOf(name, {"script", "style", "textarea", "title", "xmp", "iframe", "noembed",
                       "noframes", "template"})) {
      // Raw text, or template content (markup that is never read): copied as it stands up to
      // its own end tag, so that no piece begins inside it.
      std::size_t close = i;
      for (;;) {
        close = page.find("</", close);
        if (close == std::string_view::npos) break;
        if (LowerName(page, close + 2) == name) break;
        close += 2;
      }
      copyTo(close == std::string_view::npos ? page.size() : close);
    } else if (!IsOneOf(name, {"area",  "base", "br",    "col",   "embed",  "hr",       "img",
                               "input", "link", "meta",  "param", "source", "track",    "wbr",
                               "p",     "li",   "dt",    "dd",    "option", "optgroup", "tr",
                               "td",    "th",   "tbody", "thead", "tfoot",  "colgroup", "rb",
                               "rt",    "rp",   "rtc",   "html",  "head",   "body"}) &&
               page[end - 2] != '/') {
      ++depth;
    }
  }
  return out;
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
  const PreparedPage prepared = Prepare(converted.empty() ? page : converted);
  std::size_t start = 0;
  for (std::size_t cut : prepared.cuts) {
    walker.Fragment(std::string_view(prepared.text).substr(start, cut - start), 0);
    start = cut;
  }
  walker.Fragment(std::string_view(prepared.text).substr(start), 0);
  return out;
}

}  // namespace toravin
