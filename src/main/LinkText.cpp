// The value is taken from the line as written, so links keep their own letter case even though
// the match ran over the upper-cased line.
#include "main/LinkText.h"

#include "main/TextUtil.h"

namespace toravin {

std::string LinkFromMatch(std::string_view line, size_t position, size_t length) {
  size_t start = position - 1 + length;
  if (position == 0 || start > line.size()) return std::string();
  std::string_view text = line.substr(start);
  std::string_view link;
  if (!text.empty() && (text[0] == '"' || text[0] == '\'')) {
    size_t close = text.find(text[0], 1);
    if (close != std::string_view::npos) link = text.substr(1, close - 1);
  } else {
    size_t close = text.find('>');
    if (close != std::string_view::npos) link = text.substr(0, close);
  }
  return std::string(Trim(link));
}

}  // namespace toravin
