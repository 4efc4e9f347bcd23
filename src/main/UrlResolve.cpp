// The five parts of RFC 3986 (scheme, authority, path, query, fragment) are cut without decoding
// anything, so the bytes of a Shift-JIS or UTF-8 link reach the request as the page wrote them.
// No byte of a double-byte CP932 character is "/", ".", "?", "#" or ":", so the cuts never fall
// inside one.
#include "main/UrlResolve.h"

#include <optional>

#include "main/TextUtil.h"

namespace toravin {
namespace {

struct UrlParts {
  std::optional<std::string> scheme;  // lower case
  std::optional<std::string> authority;
  std::string path;
  std::optional<std::string> query;
};

bool IsSchemeChar(char c, bool first) {
  const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  if (first) return alpha;
  return alpha || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

UrlParts Split(std::string_view s) {
  UrlParts p;
  s = s.substr(0, s.find('#'));
  const std::size_t colon = s.find(':');
  if (colon != std::string_view::npos && colon > 0 && s.find_first_of("/?") > colon) {
    bool scheme = true;
    for (std::size_t i = 0; i < colon && scheme; ++i) scheme = IsSchemeChar(s[i], i == 0);
    if (scheme) {
      p.scheme = LowerCase(s.substr(0, colon));
      s.remove_prefix(colon + 1);
    }
  }
  if (s.substr(0, 2) == "//") {
    s.remove_prefix(2);
    const std::size_t end = s.find_first_of("/?");
    p.authority = std::string(s.substr(0, end));
    s = end == std::string_view::npos ? std::string_view() : s.substr(end);
  }
  const std::size_t q = s.find('?');
  p.path = std::string(s.substr(0, q));
  if (q != std::string_view::npos) p.query = std::string(s.substr(q + 1));
  return p;
}

// RFC 3986, 5.2.4.
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./") {
      in.remove_prefix(2);
    } else if (in.substr(0, 3) == "/./") {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const std::size_t cut = out.rfind('/');
      out.resize(cut == std::string::npos ? 0 : cut);
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const std::size_t next = in.find('/', 1);
      out.append(in.substr(0, next));
      in = next == std::string_view::npos ? std::string_view() : in.substr(next);
    }
  }
  return out;
}

// RFC 3986, 5.2.3.
std::string Merge(const UrlParts& base, std::string_view refPath) {
  if (base.authority && base.path.empty()) return "/" + std::string(refPath);
  const std::size_t slash = base.path.rfind('/');
  if (slash == std::string::npos) return std::string(refPath);
  return base.path.substr(0, slash + 1) + std::string(refPath);
}

std::string Clean(std::string_view ref) {
  ref = Trim(ref);
  std::string out;
  out.reserve(ref.size());
  for (char c : ref) {
    if (c != '\t' && c != '\r' && c != '\n') out += c;
  }
  return out;
}

}  // namespace

std::string ResolveReference(std::string_view baseText, std::string_view refText) {
  const std::string cleaned = Clean(refText);
  if (cleaned.empty() || cleaned[0] == '#') return std::string();
  std::string baseOwned = Clean(baseText);
  if (baseOwned.find("://") == std::string::npos) baseOwned = "http://" + baseOwned;
  const UrlParts base = Split(baseOwned);
  const UrlParts ref = Split(cleaned);
  UrlParts t;
  if (ref.scheme && !(ref.scheme == base.scheme && !ref.authority)) {
    t = ref;
    t.path = RemoveDotSegments(ref.path);
  } else {
    t.scheme = base.scheme;
    if (ref.authority) {
      t.authority = ref.authority;
      t.path = RemoveDotSegments(ref.path);
      t.query = ref.query;
    } else {
      t.authority = base.authority;
      if (ref.path.empty()) {
        t.path = base.path;
        t.query = ref.query ? ref.query : base.query;
      } else {
        t.path = RemoveDotSegments(ref.path[0] == '/' ? ref.path : Merge(base, ref.path));
        t.query = ref.query;
      }
    }
  }
  if (t.scheme != "http" && t.scheme != "https") return std::string();
  if (!t.authority || t.authority->empty()) return std::string();
  std::string url = *t.scheme + "://" + *t.authority;
  url += t.path.empty() ? std::string("/") : t.path;
  if (t.query) url += "?" + *t.query;
  return url;
}

std::string_view UrlWithoutQuery(std::string_view url) {
  return url.substr(0, url.find_first_of("?#"));
}

std::string_view UrlPathName(std::string_view url) {
  std::string_view path = UrlWithoutQuery(url);
  const std::size_t scheme = path.find("://");
  if (scheme != std::string_view::npos) {
    const std::size_t slash = path.find('/', scheme + 3);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  }
  const std::size_t last = path.rfind('/');
  return last == std::string_view::npos ? path : path.substr(last + 1);
}

}  // namespace toravin
