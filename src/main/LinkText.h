// Turning a pattern match in a tag line into the link it introduces.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// The link that follows a match at 1-based `position` with `length` bytes in `line` (as written
// in the page): a double-quoted or apostrophe-quoted value up to its closing quote (empty when
// there is none), otherwise the text up to the first ">" (empty when there is none); trimmed of
// blanks and control characters.
std::string LinkFromMatch(std::string_view line, size_t position, size_t length);

}  // namespace toravin
