// The pattern scanner: turns pattern text into tokens. It has two modes, outside and inside a
// character class, because the same byte means different things in each ("*" is an operator
// outside and a plain character inside); GetToken switches the modes itself.
#pragma once

#include <cstdint>
#include <string>

#include "regex/CharCodes.h"

namespace toravin {

// Token kinds; the numbers are part of the preprocessor's token records.
enum TREToken : std::uint8_t {
  tokChar = 0,
  tokRange = 1,
  tokUnion = 2,
  tokGroupOpen = 3,
  tokGroupClose = 4,
  tokStar = 5,
  tokPlus = 6,
  tokOptional = 7,
  tokClassOpen = 8,
  tokNegClassOpen = 9,
  tokClassClose = 10,
  tokAnyChar = 11,
  tokLineHead = 12,
  tokLineTail = 13,
  tokEnd = 14,
};

class TREScanner {
 public:
  explicit TREScanner(std::string pattern = {});
  virtual ~TREScanner() = default;

  // Starts over on `pattern`, outside a class.
  void SetText(std::string pattern);
  const std::string& Text() const { return m_text; }

  // Reads the next token in the current mode and switches modes at class brackets.
  TREToken GetToken();
  virtual TREToken NextNormalToken();
  virtual TREToken NextClassToken();

  int Index() const { return m_index; }
  TREToken Token() const { return m_token; }
  // The character of a tokChar, the first code of a tokRange, else the raw character read.
  TReCode Code() const { return m_code; }
  // The last code of a tokRange.
  TReCode RangeEnd() const { return m_rangeEnd; }
  bool InClass() const { return m_inClass; }

 private:
  [[noreturn]] void ThrowNoBracket() const;

  std::string m_text;
  int m_index = 1;
  TREToken m_token = tokEnd;
  TReCode m_code = 0;
  TReCode m_rangeEnd = 0;
  bool m_inClass = false;
};

}  // namespace toravin
