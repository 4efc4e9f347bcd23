#include "main/TagLines.h"

namespace toravin {

TTagLines::iterator::iterator(std::string_view text) : m_text(text), m_done(false) { ++*this; }

// A CR, LF or CR LF ends a line (an empty one too); a "<" ends it as well unless it starts the
// line, follows a break, or is the text's very last character; what is left at the end is a
// last line when it is not empty.
TTagLines::iterator& TTagLines::iterator::operator++() {
  const std::size_t n = m_text.size();
  const std::size_t start = m_pos;
  bool afterBreak = m_afterBreak;
  for (std::size_t i = start; i < n; ++i) {
    const char c = m_text[i];
    if (c == '\r' || c == '\n') {
      m_line = m_text.substr(start, i - start);
      if (c == '\r' && i + 1 < n && m_text[i + 1] == '\n') ++i;
      m_pos = i + 1;
      m_afterBreak = true;
      return *this;
    }
    if (c == '<' && !afterBreak && i > start && i + 1 < n) {
      m_line = m_text.substr(start, i - start);
      m_pos = i;
      m_afterBreak = false;
      return *this;
    }
    afterBreak = false;
  }
  if (start < n) {
    m_line = m_text.substr(start);
    m_pos = n;
    return *this;
  }
  m_done = true;
  m_line = {};
  return *this;
}

}  // namespace toravin
