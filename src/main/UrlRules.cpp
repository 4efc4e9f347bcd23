// NormalizeUrl is a rewriting loop: find the first "/../", delete the segment before it, start
// again. Done literally it can run forever (no "/" before the first "/../") and costs a scan
// of the whole text per step. Here each step resumes where a new match can begin, and the
// part of the text known to hold no "/" is not scanned again, so the whole run is linear.
#include "main/UrlRules.h"

#include "main/TextUtil.h"
#include "platform/Cp932.h"

namespace toravin {
namespace {

// Index of the first "/" of the path (just after the host), or 0 when the text has no scheme.
size_t PathStart(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return 0;
  size_t slash = url.find('/', scheme + 3);
  return slash == std::string_view::npos ? url.size() : slash;
}

}  // namespace

bool IsAbsoluteLink(std::string_view link) {
  return Contains(link, "http://") || Contains(link, "https://");
}

bool IsHttpsUrl(std::string_view url) {
  constexpr std::string_view kScheme = "https://";
  if (url.size() < kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    char c = url[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return false;
  }
  return true;
}

std::string BaseUrl(std::string_view url) {
  if (Contains(url, ".htm")) {
    size_t slash = url.rfind('/');
    if (slash == std::string_view::npos) return std::string(url);
    return std::string(url.substr(0, slash + 1));
  }
  std::string base(url);
  if (base.empty() || base.back() != '/') base += '/';
  return base;
}

std::string JoinLink(std::string_view pageUrl, std::string_view link) {
  const size_t scheme = pageUrl.find("://");
  if (link.substr(0, 2) == "//") {
    return std::string(scheme == std::string_view::npos ? std::string_view("http")
                                                        : pageUrl.substr(0, scheme)) +
           ":" + std::string(link);
  }
  if (!link.empty() && link[0] == '/' && scheme != std::string_view::npos) {
    return std::string(pageUrl.substr(0, PathStart(pageUrl))) + std::string(link);
  }
  return BaseUrl(pageUrl) + std::string(link);
}

std::string NormalizeUrl(std::string_view url) {
  std::string s(url);
  const bool hasScheme = s.find("://") != std::string::npos;
  const size_t root = PathStart(s);
  size_t from = 0;
  size_t floor = root;  // no "/" stands in [root, floor)
  for (size_t p; (p = s.find("/../", from)) != std::string::npos;) {
    // The "/" of the segment before: search back from two places before P, never into the
    // host or the scheme.
    size_t q = std::string::npos;
    if (p >= 2) {
      for (size_t i = p - 2 + 1; i-- > floor && i >= root;) {
        if (s[i] == '/') {
          q = i;
          break;
        }
      }
    }
    if (q != std::string::npos && q >= root) {
      s.erase(q, p + 3 - q);  // keeps the "/" that stood at P + 3
      from = q >= 3 ? q - 3 : 0;
    } else if (root == 0 && !hasScheme && p > 0) {
      // A relative text whose first segment is the one before "/../": both go.
      s.erase(0, p + 4);
      from = 0;
      floor = 0;
    } else {
      // "/../" directly under the host, or at the very start, becomes "/".
      if (p >= 1 && p - 1 > floor) floor = p - 1;
      s.erase(p, 3);
      from = p >= 3 ? p - 3 : 0;
    }
  }
  // Deleting "/." from a "/./" never makes a new "/../", and a new "/./" can only begin at P.
  for (size_t p = 0; (p = s.find("/./", p)) != std::string::npos;) s.erase(p, 2);
  return s;
}

std::string LinkExtension(std::string_view link) {
  size_t dot = link.rfind('.');
  if (dot == std::string_view::npos) return std::string();
  // A "\" or ":" after the dot ends the extension (a "/" does not); a trail byte 0x5C is part of
  // its character.
  for (size_t i = 0; i < link.size(); ++i) {
    if (IsLeadByte(link[i])) {
      ++i;
    } else if (i > dot && (link[i] == '\\' || link[i] == ':')) {
      return std::string();
    }
  }
  return LowerCase(link.substr(dot));
}

}  // namespace toravin
