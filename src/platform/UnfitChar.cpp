#include "platform/UnfitChar.h"

#include "platform/Cp932.h"

namespace toravin {
namespace {

constexpr unsigned kTrails = 0xFD - 0x80;  // trail bytes 0x80-0xFC
constexpr unsigned kUnit = 10 * kTrails;   // lead bytes 0xF0-0xF9
constexpr unsigned char kFirstLead = 0xF9;

void AppendUnit(std::string& out, unsigned v) {
  out += static_cast<char>(0xF0 + v / kTrails);
  out += static_cast<char>(0x80 + v % kTrails);
}

// The value of a double-byte character with lead 0xF0-0xF9 and trail 0x80-0xFC, or -1.
int Unit(std::string_view t, std::size_t at) {
  if (at + 1 >= t.size()) return -1;
  const auto lead = static_cast<unsigned char>(t[at]);
  const auto trail = static_cast<unsigned char>(t[at + 1]);
  if (lead < 0xF0 || lead > 0xF9 || trail < 0x80 || trail > 0xFC) return -1;
  return static_cast<int>((lead - 0xF0) * kTrails + (trail - 0x80));
}

bool IsScalar(char32_t cp) { return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF); }

// Decodes one UTF-8 character at `at`; 0 with length 1 for a malformed byte.
char32_t DecodeUtf8(std::string_view s, std::size_t at, std::size_t& length) {
  const auto c = static_cast<unsigned char>(s[at]);
  length = 1;
  int n = c < 0x80                 ? 1
          : c >= 0xC2 && c <= 0xDF ? 2
          : c >= 0xE0 && c <= 0xEF ? 3
          : c >= 0xF0 && c <= 0xF4 ? 4
                                   : 0;
  if (n == 0) return 0;
  if (n == 1) return c;
  char32_t cp = c & (0xFF >> (n + 1));
  if (at + static_cast<std::size_t>(n) > s.size()) return 0;
  for (int i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  const char32_t min = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
  if (cp < min || !IsScalar(cp)) return 0;
  length = static_cast<std::size_t>(n);
  return cp;
}

}  // namespace

void AppendUnfitChar(std::string& out, char32_t cp) {
  const unsigned v = static_cast<unsigned>(cp);
  out += static_cast<char>(kFirstLead);
  out += static_cast<char>(0x80 + v / (kUnit * kUnit));
  AppendUnit(out, (v / kUnit) % kUnit);
  AppendUnit(out, v % kUnit);
}

char32_t ReadUnfitChar(std::string_view text, std::size_t& length) {
  length = 0;
  if (text.size() < 6 || static_cast<unsigned char>(text[0]) != kFirstLead) return 0;
  const auto high = static_cast<unsigned char>(text[1]);
  if (high < 0x80 || high > 0xFC) return 0;
  const int mid = Unit(text, 2);
  const int low = Unit(text, 4);
  if (mid < 0 || low < 0) return 0;
  const char32_t cp = (high - 0x80u) * kUnit * kUnit + static_cast<unsigned>(mid) * kUnit +
                      static_cast<unsigned>(low);
  if (cp < 0x80 || !IsScalar(cp)) return 0;
  length = 6;
  return cp;
}

std::string ReplaceUnfitChars(std::string_view cp932, char replacement) {
  std::string out;
  for (std::size_t i = 0; i < cp932.size();) {
    std::size_t n = 0;
    if (ReadUnfitChar(cp932.substr(i), n)) {
      out += replacement;
      i += n;
      continue;
    }
    n = IsLeadByte(cp932[i]) && i + 1 < cp932.size() ? 2 : 1;
    out.append(cp932.substr(i, n));
    i += n;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8ToCp932Lossless(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = 1;
    const char32_t cp = DecodeUtf8(utf8, i, n);
    if (cp < 0x80) {
      out += cp == 0 && utf8[i] != '\0' ? '?' : utf8[i];
      i += n;
      continue;
    }
    // A character CP932 holds, unless it would come out as a separator or a control byte
    // (CP932 maps some symbols onto ASCII codes), or would read back as another character.
    const std::string one = Utf8ToCp932(utf8.substr(i, n));
    const bool fits = one != "?" && static_cast<unsigned char>(one[0]) >= 0x80 &&
                      Cp932ToUtf8(one) == utf8.substr(i, n);
    if (fits) {
      out += one;
    } else {
      AppendUnfitChar(out, cp);
    }
    i += n;
  }
  return out;
}

}  // namespace toravin
