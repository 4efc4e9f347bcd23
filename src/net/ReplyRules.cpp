#include "net/ReplyRules.h"

#include <cctype>
#include <string>

namespace toravin {

bool IsSuccessReply(bool statusLineSeen, int code) {
  return statusLineSeen ? code >= 100 && code < 299 : code < 299;
}

bool IsFollowableLocation(std::string_view location) {
  // A scheme is a letter, then letters, digits, "+", "-" or ".", then ":".
  std::size_t colon = location.find(':');
  if (colon == std::string_view::npos || colon == 0 ||
      !std::isalpha(static_cast<unsigned char>(location[0]))) {
    return true;
  }
  for (std::size_t i = 1; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(location[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return true;
  }
  std::string scheme;
  for (char c : location.substr(0, colon)) {
    scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return scheme == "http" || scheme == "https";
}

}  // namespace toravin
