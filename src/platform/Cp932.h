// Shift-JIS (code page 932) text. The core keeps all text as CP932 bytes in std::string; these
// functions are the lead-byte test and the conversions used at the borders (widgets, file
// paths, the program's own UTF-8 message literals).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace toravin {

// True for the first byte of a double-byte CP932 character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
constexpr bool IsLeadByte(char c) { return IsLeadByte(static_cast<unsigned char>(c)); }

// CP932 -> UTF-8. A byte that does not start a valid character becomes U+FFFD, so every input
// converts and nothing after a bad byte is lost.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 -> CP932. A character that CP932 cannot hold (or a malformed sequence) becomes "?".
std::string Utf8ToCp932(std::string_view utf8);

// `text` converted from the iconv charset `from` to `to` ("EUC-JP", "UTF-8", ...). A character
// that does not convert (or a malformed sequence) is replaced by `unfit(its bytes in from)`,
// and the conversion goes on after it.
std::string ConvertCharset(std::string_view text, const char* to, const char* from,
                           const std::function<std::string(std::string_view)>& unfit);

// The CP932 form of one of the program's own UTF-8 literals, converted once per literal (the key
// is the literal's address, so pass string literals only). The reference stays valid for the
// life of the thread.
const std::string& Sjis(const char* utf8Literal);

// The file-name part of a URL or path: every "/" taken as "\", then the text after the last "\"
// or ":" (empty when the text ends in a separator). A trail byte that happens to equal "\" or
// ":" does not count as a separator.
std::string FileNamePart(std::string_view url);

// Position just after the last "\", "/" or ":" that is not a trail byte, or 0 when there is none.
std::size_t FileNameStart(std::string_view url);

// Position of the last character's first byte (the lead byte of a double-byte character), or
// the size when the text is empty. Only a scan from the start can tell a trail byte 0x5C ("表" is
// 0x95 0x5C) from a "\".
std::size_t LastCharStart(std::string_view text);

// Whether the last character is "\" or "/" (a trail byte never is).
bool EndsWithSeparator(std::string_view path);

// `dir` and `name` with one "\" between them; none is added when `dir` already ends in a
// separator.
std::string JoinPath(std::string_view dir, std::string_view name);

}  // namespace toravin
