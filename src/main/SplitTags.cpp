// Both steps are single passes over the page, so a page of tens of megabytes costs time in
// proportion to its size; SplitTagLines makes the lines directly, which is what the crawl uses.
#include "main/SplitTags.h"

#include "main/TagLines.h"

namespace toravin {

std::string NormalizeLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16 + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string SplitTags(std::string_view text) {
  const std::string out = NormalizeLineBreaks(text);
  // Then a break before every "<" that does not follow one, except at the very end.
  std::string result;
  result.reserve(out.size() + out.size() / 16 + 16);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '<' && i > 0 && out[i - 1] != '\n' && i + 1 < out.size()) result += "\r\n";
    result += out[i];
  }
  return result;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\r' && text[i + 1] == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      start = i + 2;
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::vector<std::string> SplitTagLines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::string_view line : TTagLines(text)) lines.emplace_back(line);
  return lines;
}

}  // namespace toravin
