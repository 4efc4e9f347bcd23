// Pattern and text from one input (split at the first NUL byte; the first byte picks the line
// separator): every search runs over an exact-size copy of the text, so reading past its end
// (a lone lead byte at the end included) is caught by the address sanitizer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "regex/ERegExpParser.h"
#include "regex/TextMatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const char* bytes = reinterpret_cast<const char*>(data) + 1;
  const std::size_t n = size - 1;
  const char* split = static_cast<const char*>(std::memchr(bytes, 0, n));
  const std::size_t patternSize = split ? static_cast<std::size_t>(split - bytes) : n / 2;
  const std::size_t textStart = split ? patternSize + 1 : patternSize;
  const std::string pattern(bytes, patternSize);
  const std::size_t textSize = n - textStart;

  toravin::TTextMatcher matcher;
  matcher.SetLineSeparator(data[0] & 1 ? toravin::mcls_LF : toravin::mcls_CRLF);
  try {
    matcher.SetRegExp(pattern);
  } catch (const toravin::ERegExpParser&) {
    return 0;
  }
  auto text = std::make_unique<char[]>(textSize + 1);
  std::memcpy(text.get(), bytes + textStart, textSize);
  text[textSize] = '\0';
  const char* start = nullptr;
  const char* end = nullptr;
  matcher.SearchPlain(text.get(), start, end);
  matcher.SearchAnchored(text.get(), start, end);
  matcher.SearchFrom(text.get(), start, end);

  std::string s(bytes + textStart, textSize);
  int pos = 0;
  int len = 0;
  matcher.Match(s, pos, len);
  try {
    std::string g = s;
    matcher.GSub("<&>", g);
    matcher.Sub("\\&", s);
    toravin::TTextMatcher::ProcessEscapes(s);
  } catch (const toravin::ERegExpParser&) {
  }
  return 0;
}
