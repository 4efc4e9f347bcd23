// Reading Shift-JIS text as 16-bit codes and decoding backslash escapes. The functions work on
// 1-based byte indexes because the errors they raise report the index of the next unread byte,
// which is what the user sees as the place of a fault.
#include "regex/CharCodes.h"

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"

namespace toravin {
namespace {

constexpr int kMaxHexDigits = 4;
constexpr int kMaxOctalDigits = 6;

unsigned char ByteAt(std::string_view text, int position) {
  return static_cast<unsigned char>(text[static_cast<std::size_t>(position - 1)]);
}

int HexDigit(TReCode c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

TReCode ParseHex(std::string_view text, int& index) {
  std::uint32_t value = 0;
  int digits = 0;
  for (;;) {
    int before = index;
    TReCode c = NextChar(text, index);
    int d = HexDigit(c);
    if (d < 0 || digits == kMaxHexDigits) {
      if (digits == 0) throw ERegExpParser(Sjis("不正な１６進数コード表記です。"), index);
      // The character that ended the number belongs to what follows.
      if (index != before) StepBack(text, index);
      return static_cast<TReCode>(value);
    }
    value = value * 16 + static_cast<std::uint32_t>(d);
    ++digits;
  }
}

TReCode ParseOctal(std::string_view text, int& index) {
  std::uint32_t value = 0;
  int digits = 0;
  for (;;) {
    int before = index;
    TReCode c = NextChar(text, index);
    if (c < '0' || c > '7' || digits == kMaxOctalDigits) {
      if (index != before) StepBack(text, index);
      return static_cast<TReCode>(value);
    }
    std::uint32_t next = value * 8 + (c - '0');
    if (next > 0xFFFF) throw ERegExpParser(Sjis("不正な８進数コード表記です。"), index);
    value = next;
    ++digits;
  }
}

}  // namespace

TReCode NextChar(std::string_view text, int& index) {
  const int length = static_cast<int>(text.size());
  if (index < 1 || index > length) return 0;
  unsigned char b = ByteAt(text, index);
  if (!IsLeadByte(b)) {
    ++index;
    return b;
  }
  if (index == length) throw ERegExpParser(Sjis("不正な２バイト文字コードです。"), index);
  TReCode code = static_cast<TReCode>(b << 8 | ByteAt(text, index + 1));
  index += 2;
  return code;
}

void StepBack(std::string_view text, int& index) {
  if (index <= 1) return;
  if (index == 2) {
    index = 1;
    return;
  }
  index -= IsTrailByte(text, index - 1) ? 2 : 1;
}

bool IsTrailByte(std::string_view text, int position) {
  if (position <= 1) return false;
  int leads = 0;
  for (int p = position - 1; p >= 1 && IsLeadByte(ByteAt(text, p)); --p) ++leads;
  return leads % 2 == 1;
}

void AppendCodeText(std::string& out, TReCode code) {
  unsigned char high = static_cast<unsigned char>(code >> 8);
  if (IsLeadByte(high)) out.push_back(static_cast<char>(high));
  out.push_back(static_cast<char>(code & 0xFF));
}

std::string CodeToText(TReCode code) {
  std::string out;
  AppendCodeText(out, code);
  return out;
}

TReCode ParseEscape(std::string_view text, int& index) {
  TReCode c = NextChar(text, index);
  switch (c) {
    case 0:
      throw ERegExpParser(Sjis("\"\\\"の次には文字が必要です。"), index);
    case 'b':
      return 8;
    case 'n':
      return 10;
    case 'r':
      return 13;
    case 't':
      return 9;
    case 'x':
      return ParseHex(text, index);
    default:
      break;
  }
  if (c >= '0' && c <= '7') {
    StepBack(text, index);
    return ParseOctal(text, index);
  }
  return c;
}

}  // namespace toravin
