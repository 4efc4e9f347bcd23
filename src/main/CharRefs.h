// Character references inside a link value ("&amp;", "&#38;", "&#x26;", ...). A page writes
// "a.php?x=1&amp;y=2" and means "a.php?x=1&y=2"; the request must go to the URL the page meant.
#pragma once

#include <string>
#include <string_view>

namespace toravin {

// `value` with the references decoded: the named ones "&amp;", "&quot;", "&lt;", "&gt;" and
// "&apos;" (with their ";"), and every decimal or hexadecimal numeric reference (its ";" may be
// missing). A numeric reference to an ASCII character becomes that byte; one to any other
// character becomes the percent-escaped UTF-8 bytes of it, as a browser sends such a character
// in a URL; one to no character (0, a surrogate, past U+10FFFF) becomes that of U+FFFD. Anything
// else, a lone "&" included, stays as written.
std::string DecodeCharRefs(std::string_view value);

// Appends "%XX" for every UTF-8 byte of `cp`.
void AppendPercentUtf8(std::string& out, char32_t cp);

}  // namespace toravin
