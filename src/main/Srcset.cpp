#include "main/Srcset.h"

#include <cstdlib>

namespace toravin {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// The number before a descriptor's last letter ("300w" -> 300); negative when it is none.
double DescriptorValue(std::string_view d) {
  if (d.size() < 2 || d.size() > 32) return -1;
  const std::string number(d.substr(0, d.size() - 1));
  char* end = nullptr;
  const double v = std::strtod(number.c_str(), &end);
  return end == number.c_str() + number.size() && v > 0 ? v : -1;
}

}  // namespace

std::string BestSrcsetCandidate(std::string_view s) {
  std::string_view first, bestW, bestX;
  double maxW = -1, maxX = -1;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (IsSpace(s[i]) || s[i] == ',')) ++i;
    if (i >= s.size()) break;
    const std::size_t start = i;
    while (i < s.size() && !IsSpace(s[i])) ++i;
    std::string_view url = s.substr(start, i - start);
    double w = -1, x = -1;
    if (!url.empty() && url.back() == ',') {
      while (!url.empty() && url.back() == ',') url.remove_suffix(1);
    } else {
      // Descriptors up to the next comma outside parentheses.
      int depth = 0;
      while (i < s.size() && !(s[i] == ',' && depth == 0)) {
        while (i < s.size() && IsSpace(s[i])) ++i;
        const std::size_t d = i;
        while (i < s.size() && !IsSpace(s[i]) && !(s[i] == ',' && depth == 0)) {
          depth += s[i] == '(' ? 1 : s[i] == ')' && depth > 0 ? -1 : 0;
          ++i;
        }
        const std::string_view desc = s.substr(d, i - d);
        if (desc.empty()) continue;
        const char kind = desc.back();
        if (kind == 'w' || kind == 'W') w = DescriptorValue(desc);
        if (kind == 'x' || kind == 'X') x = DescriptorValue(desc);
      }
    }
    if (url.empty()) continue;
    if (first.empty()) first = url;
    if (w > maxW) {
      maxW = w;
      bestW = url;
    }
    if (w < 0) {
      const double density = x > 0 ? x : 1;
      if (density > maxX) {
        maxX = density;
        bestX = url;
      }
    }
  }
  if (!bestW.empty() && maxW > 0) return std::string(bestW);
  if (!bestX.empty()) return std::string(bestX);
  return std::string(first);
}

}  // namespace toravin
