#include "main/ReadableName.h"

#include "main/TextUtil.h"
#include "platform/Cp932.h"
#include "platform/UnfitChar.h"

namespace toravin {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::size_t kMetaWindow = 4096;

NameCharset CharsetNamed(std::string_view lowerText, std::size_t at) {
  // `at` is just after "charset"; skip blanks, "=" and quotes.
  while (at < lowerText.size() &&
         (lowerText[at] == ' ' || lowerText[at] == '=' || lowerText[at] == '"' ||
          lowerText[at] == '\'' || lowerText[at] == '\t')) {
    ++at;
  }
  std::string_view name = lowerText.substr(at);
  std::size_t end = name.find_first_of("\"'; \t\r\n>/");
  name = name.substr(0, end);
  if (name == "utf-8" || name == "utf8") return NameCharset::Utf8;
  if (name == "shift_jis" || name == "shift-jis" || name == "sjis" || name == "x-sjis" ||
      name == "windows-31j" || name == "cp932" || name == "ms932") {
    return NameCharset::ShiftJis;
  }
  if (name == "euc-jp" || name == "x-euc-jp" || name == "eucjp" || name == "euc_jp") {
    return NameCharset::EucJp;
  }
  return NameCharset::Unknown;
}

}  // namespace

NameCharset DeclaredCharset(std::string_view header, std::string_view page) {
  const std::string h = LowerCase(header);
  for (std::size_t line = 0; line < h.size();) {
    std::size_t end = h.find('\n', line);
    if (end == std::string::npos) end = h.size();
    std::string_view l(h.data() + line, end - line);
    if (l.rfind("content-type", 0) == 0) {
      std::size_t cs = l.find("charset");
      if (cs != std::string_view::npos) return CharsetNamed(l, cs + 7);
    }
    line = end + 1;
  }
  const std::string head = LowerCase(page.substr(0, kMetaWindow));
  for (std::size_t meta = head.find("<meta"); meta != std::string::npos;
       meta = head.find("<meta", meta + 5)) {
    std::size_t close = head.find('>', meta);
    std::string_view tag(head.data() + meta,
                         (close == std::string::npos ? head.size() : close) - meta);
    std::size_t cs = tag.find("charset");
    if (cs != std::string_view::npos) return CharsetNamed(tag, cs + 7);
  }
  return NameCharset::Unknown;
}

std::string PercentDecodeName(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '%' && i + 2 < raw.size()) {
      const int hi = HexValue(raw[i + 1]);
      const int lo = HexValue(raw[i + 2]);
      if (hi >= 0 && lo >= 0) {
        const auto byte = static_cast<unsigned char>(hi * 16 + lo);
        if (byte != '/' && byte != '\\' && byte >= 0x20 && byte != 0x7F) {
          out += static_cast<char>(byte);
          i += 2;
          continue;
        }
      }
    }
    out += raw[i];
  }
  return out;
}

bool LooksLikeUtf8(std::string_view s) {
  bool multi = false;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                    : c >= 0xE0 && c <= 0xEF ? 3
                    : c >= 0xF0 && c <= 0xF4 ? 4
                                             : 0;
    if (n == 0 || i + n > s.size()) return false;
    const auto c1 = static_cast<unsigned char>(s[i + 1]);
    // The second byte's narrower ranges rule out overlong forms and surrogates.
    if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) ||
        (c == 0xF4 && c1 > 0x8F)) {
      return false;
    }
    for (std::size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    multi = true;
    i += n;
  }
  return multi;
}

std::string ReadableName(std::string_view raw, NameCharset charset) {
  bool plain = true;
  for (char c : raw) plain = plain && c != '%' && static_cast<unsigned char>(c) < 0x80;
  if (plain) return std::string(raw);
  const std::string bytes = PercentDecodeName(raw);
  // A declared UTF-8 page reads its names as UTF-8 as detection would; a name that is not valid
  // UTF-8 stays as the page had it either way. A declared Shift-JIS page is never second-guessed.
  const bool utf8 = charset != NameCharset::ShiftJis && LooksLikeUtf8(bytes);
  if (!utf8 && charset == NameCharset::EucJp) {
    return Utf8ToCp932Lossless(ConvertCharset(bytes, "UTF-8", "EUC-JP",
                                              [](std::string_view) { return std::string("?"); }));
  }
  return utf8 ? Utf8ToCp932Lossless(bytes) : bytes;
}

}  // namespace toravin
