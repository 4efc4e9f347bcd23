#include "main/CharRefs.h"

#include <cstdint>

#include "platform/UnfitChar.h"

namespace toravin {
namespace {

struct NamedRef {
  std::string_view name;  // with its ";"
  char byte;
};
constexpr NamedRef kNamed[] = {
    {"amp;", '&'}, {"quot;", '"'}, {"lt;", '<'}, {"gt;", '>'}, {"apos;", '\''}};

int DigitValue(char c, int radix) {
  int v = c >= '0' && c <= '9'   ? c - '0'
          : c >= 'a' && c <= 'f' ? c - 'a' + 10
          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                 : 99;
  return v < radix ? v : -1;
}

// A numeric reference at `text` (just after "&#"): its code point and the bytes it takes, or 0
// bytes when there is none.
std::size_t ReadNumeric(std::string_view text, char32_t& cp) {
  int radix = 10;
  std::size_t i = 0;
  if (!text.empty() && (text[0] == 'x' || text[0] == 'X')) {
    radix = 16;
    i = 1;
  }
  const std::size_t digits = i;
  std::uint32_t value = 0;
  for (int d; i < text.size() && (d = DigitValue(text[i], radix)) >= 0; ++i) {
    value = value > 0x10FFFF ? value : value * static_cast<std::uint32_t>(radix) + d;
  }
  if (i == digits) return 0;
  if (i < text.size() && text[i] == ';') ++i;
  const bool none = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF);
  cp = none ? U'\uFFFD' : static_cast<char32_t>(value);
  return i;
}

}  // namespace

void AppendPercentUtf8(std::string& out, char32_t cp) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string utf8;
  AppendUtf8(utf8, cp);
  for (unsigned char c : utf8) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
}

std::string DecodeCharRefs(std::string_view value) {
  if (value.find('&') == std::string_view::npos) return std::string(value);
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size();) {
    if (value[i] != '&') {
      out += value[i++];
      continue;
    }
    std::string_view rest = value.substr(i + 1);
    if (!rest.empty() && rest[0] == '#') {
      char32_t cp = 0;
      if (std::size_t n = ReadNumeric(rest.substr(1), cp)) {
        if (cp < 0x80) {
          out += static_cast<char>(cp);
        } else {
          AppendPercentUtf8(out, cp);
        }
        i += 2 + n;
        continue;
      }
    }
    bool named = false;
    for (const NamedRef& ref : kNamed) {
      if (rest.substr(0, ref.name.size()) == ref.name) {
        out += ref.byte;
        i += 1 + ref.name.size();
        named = true;
        break;
      }
    }
    if (!named) out += value[i++];
  }
  return out;
}

}  // namespace toravin
