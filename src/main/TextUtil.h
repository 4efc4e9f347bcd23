// Small text helpers the crawl engine shares: trimming and ASCII case folding that leave
// double-byte CP932 characters whole.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// Removes blanks and control characters (every byte up to 0x20) at both ends.
std::string_view Trim(std::string_view s);

// ASCII letters to lower / upper case; the trail byte of a double-byte character is kept.
std::string LowerCase(std::string_view s);
std::string UpperCase(std::string_view s);

// Every `from` byte that is not the trail byte of a double-byte character turned into `to`.
std::string ReplaceSingleByte(std::string_view s, char from, char to);

// Whether `text` contains `part` (case-sensitive).
inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Whether LowerCase(text) contains `lowerPart` (ASCII, in lower case); no copy of an ASCII text.
bool ContainsFolded(std::string_view text, std::string_view lowerPart);

// Parses a whole text as a signed 32-bit decimal integer (an optional sign, digits, nothing
// else, as the numeric fields hold them). Returns false when it is not one.
bool TryStrToInt(std::string_view text, long long& value);

}  // namespace toravin
