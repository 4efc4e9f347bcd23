// Characters that CP932 has no code for (emoji, Hangul, most of Unicode) carried losslessly inside
// CP932 text. Such a character is written as three user-defined double-byte characters: the first
// with lead byte 0xF9, the other two with lead bytes 0xF0-0xF9, every trail byte 0x80-0xFC. They
// are ordinary double-byte characters to every CP932 routine (no trail byte is "\", "/" or ":", so
// no path or name rule can cut them), and the conversion to UTF-8 at the program's borders
// (widgets, file names) turns them back into the character they carry.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace toravin {

// Appends the six bytes that carry `cp` (a Unicode scalar value of at least U+0080).
void AppendUnfitChar(std::string& out, char32_t cp);

// When `text` begins with a carried character, returns its code point and sets `length` to 6;
// otherwise returns 0.
char32_t ReadUnfitChar(std::string_view text, std::size_t& length);

// UTF-8 -> CP932 where every character that CP932 cannot hold, or that would turn into "\", "/",
// ":" or a control character, is carried as above; malformed UTF-8 bytes become "?".
std::string Utf8ToCp932Lossless(std::string_view utf8);

// `cp932` with every carried character replaced by `replacement` (for stores that can hold only
// real CP932, such as an LHA archive's entry names).
std::string ReplaceUnfitChars(std::string_view cp932, char replacement);

// Appends the UTF-8 form of `cp`.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace toravin
