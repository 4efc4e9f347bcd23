// Byte-wise helpers; case changes skip the trail byte of a double-byte character so that a
// trail byte in the ASCII letter range is never changed.
#include "main/TextUtil.h"

#include <algorithm>
#include <climits>

#include "platform/Cp932.h"

namespace toravin {
namespace {

template <char From, char To>
std::string ChangeCase(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(out[i])) {
      ++i;
    } else if (out[i] >= From && out[i] <= From + 25) {
      out[i] = static_cast<char>(out[i] - From + To);
    }
  }
  return out;
}

}  // namespace

std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string ReplaceSingleByte(std::string_view s, char from, char to) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsLeadByte(out[i])) {
      ++i;
    } else if (out[i] == from) {
      out[i] = to;
    }
  }
  return out;
}

std::string LowerCase(std::string_view s) { return ChangeCase<'A', 'a'>(s); }
std::string UpperCase(std::string_view s) { return ChangeCase<'a', 'A'>(s); }

bool ContainsFolded(std::string_view text, std::string_view lowerPart) {
  const auto high = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  if (std::any_of(text.begin(), text.end(), high)) return Contains(LowerCase(text), lowerPart);
  const auto folded = [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
  };
  return std::search(text.begin(), text.end(), lowerPart.begin(), lowerPart.end(), folded) !=
         text.end();
}

bool TryStrToInt(std::string_view text, long long& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = v;
  return true;
}

}  // namespace toravin
