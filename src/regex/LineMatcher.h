// Leftmost-longest search with the DFA in force. Subjects are NUL-terminated byte strings (a
// std::string's c_str()): the first NUL is the end of the text, code 0, and the cursor never
// moves past it. Double-byte characters are stepped over as units; a lead byte directly before
// the end counts as a one-byte character, so no search reads beyond the terminating NUL.
#pragma once

#include <cstddef>
#include <cstdint>

#include "regex/RegularExpression.h"

namespace toravin {

enum TLineMatcher_LineSeparator : std::uint8_t {
  mcls_CRLF = 0,  // "$" matches before CR
  mcls_LF = 1,    // "$" matches before LF
};

class TLineMatcher : public TRegularExpression {
 public:
  TLineMatcher() = default;

  TLineMatcher_LineSeparator LineSeparator() const { return m_lineSeparator; }
  void SetLineSeparator(TLineMatcher_LineSeparator value) { m_lineSeparator = value; }

  // Each search sets start and end (end is after the last matched byte) or both to nullptr.
  // For patterns without anchors: the first position with a match, and there the longest.
  bool SearchPlain(const char* text, const char*& start, const char*& end) const;
  // The same with the text's length known (text[length] must be NUL; an earlier NUL still
  // ends the text).
  bool SearchPlain(const char* text, std::size_t length, const char*& start,
                   const char*& end) const;
  // For patterns with "^" or "$": the start of the text is a line start.
  bool SearchAnchored(const char* text, const char*& start, const char*& end) const;
  // As SearchAnchored, but the first position is not a line start.
  bool SearchFrom(const char* text, const char*& start, const char*& end) const;

  // Longest match from p in state s (taking "^" at p), or nullptr.
  const char* MatchAt(const char* p, int state) const;
  // Longest match from p in state s (state -1: none), or nullptr.
  const char* LongestFrom(const char* p, int state) const;
  // The state reached from `state` on the character `code`, or -1.
  int FindTransition(int state, TReCode code) const;
  bool IsLineSeparator(TReCode code) const {
    return code == (m_lineSeparator == mcls_CRLF ? 13 : 10);
  }

 private:
  TLineMatcher_LineSeparator m_lineSeparator = mcls_CRLF;
};

// Reads the character at p and moves p past it; at the terminating NUL returns 0 and stays.
inline TReCode ReadSubjectChar(const unsigned char*& p) {
  unsigned char b = *p;
  if (b == 0) return 0;
  if ((b >= 0x81 && b <= 0x9F) || b >= 0xE0) {
    if (b <= 0xFC && p[1] != 0) {
      TReCode code = static_cast<TReCode>(b << 8 | p[1]);
      p += 2;
      return code;
    }
  }
  ++p;
  return b;
}

}  // namespace toravin
