// The scanner reads one character at a time through NextChar, so double-byte characters are
// single tokens and ranges compare whole 16-bit codes. A class hyphen is decided by looking one
// and two characters ahead and stepping back, which keeps "[a-]" two plain characters.
#include "regex/REScanner.h"

#include <utility>

#include "platform/Cp932.h"
#include "regex/ERegExpParser.h"

namespace toravin {

TREScanner::TREScanner(std::string pattern) { SetText(std::move(pattern)); }

void TREScanner::SetText(std::string pattern) {
  m_text = std::move(pattern);
  m_index = 1;
  m_inClass = false;
}

void TREScanner::ThrowNoBracket() const {
  throw ERegExpParser(Sjis("右ブラケット\"]\"が必要です"), static_cast<std::uint32_t>(m_index));
}

TREToken TREScanner::GetToken() {
  if (m_inClass) {
    m_token = NextClassToken();
    if (m_token == tokClassClose) m_inClass = false;
  } else {
    m_token = NextNormalToken();
    if (m_token == tokClassOpen || m_token == tokNegClassOpen) m_inClass = true;
  }
  return m_token;
}

TREToken TREScanner::NextNormalToken() {
  m_code = NextChar(m_text, m_index);
  switch (m_code) {
    case 0:
      return tokEnd;
    case '$':
      return tokLineTail;
    case '(':
      return tokGroupOpen;
    case ')':
      return tokGroupClose;
    case '*':
      return tokStar;
    case '+':
      return tokPlus;
    case '.':
      return tokAnyChar;
    case '?':
      return tokOptional;
    case '|':
      return tokUnion;
    case ']':
      return tokClassClose;
    case '^':
      return tokLineHead;
    case '[': {
      TReCode next = NextChar(m_text, m_index);
      if (next == 0) ThrowNoBracket();
      if (next == '^') return tokNegClassOpen;
      StepBack(m_text, m_index);
      return tokClassOpen;
    }
    case '\\':
      m_code = ParseEscape(m_text, m_index);
      return tokChar;
    default:
      return tokChar;
  }
}

TREToken TREScanner::NextClassToken() {
  TReCode a = NextChar(m_text, m_index);
  if (a == 0) ThrowNoBracket();
  if (a == ']') {
    m_code = a;
    return tokClassClose;
  }
  if (a == '\\') a = ParseEscape(m_text, m_index);
  m_code = a;
  TReCode b = NextChar(m_text, m_index);
  if (b == '-') {
    TReCode c = NextChar(m_text, m_index);
    if (c == 0) ThrowNoBracket();
    if (c == ']') {
      // "[a-]": the hyphen is an item of its own, and the bracket closes the class.
      StepBack(m_text, m_index);
      StepBack(m_text, m_index);
      return tokChar;
    }
    if (c == '\\') c = ParseEscape(m_text, m_index);
    if (c < a) {
      throw ERegExpParser(Sjis("不正なキャラクタ範囲です"), static_cast<std::uint32_t>(m_index));
    }
    m_rangeEnd = c;
    return tokRange;
  }
  if (b == 0) ThrowNoBracket();
  StepBack(m_text, m_index);
  return tokChar;
}

}  // namespace toravin
