#include "net/ReplyScanner.h"

#include <algorithm>

namespace toravin {

void TReplyScanner::HeaderByte(char c) {
  if (++m_headerBytes > kMaxHeader || m_line.size() >= kMaxLine) {
    m_broken = true;
    return;
  }
  m_line += c;
  if (c != '\n') return;
  if (m_statusLine) {
    m_reader.StatusLine(m_line);
    m_statusLine = false;
  } else if (m_line == "\n" || m_line == "\r\n") {
    // The ahead transfers carry GET requests only: a body follows unless the status says none.
    m_framing = m_reader.Framing(false);
    m_inHeader = false;
    m_left = m_framing.length;
    if (m_framing.kind == TReplyFraming::Kind::Empty ||
        (m_framing.kind == TReplyFraming::Kind::Length && m_left == 0)) {
      m_complete = true;
    }
  } else {
    m_reader.HeaderLine(m_line);
  }
  m_line.clear();
}

void TReplyScanner::Feed(const char* bytes, std::size_t size) {
  std::size_t i = 0;
  while (i < size && !m_broken) {
    if (m_complete) {
      m_extra = true;
      return;
    }
    if (m_inHeader) {
      HeaderByte(bytes[i++]);
      continue;
    }
    switch (m_framing.kind) {
      case TReplyFraming::Kind::Length: {
        const std::int64_t take = std::min(m_left, static_cast<std::int64_t>(size - i));
        m_left -= take;
        i += static_cast<std::size_t>(take);
        m_complete = m_left == 0;
        break;
      }
      case TReplyFraming::Kind::Chunked: {
        std::size_t produced = 0;
        i += m_chunks.Feed(bytes + i, size - i, nullptr, produced);
        m_broken = m_chunks.Failed();
        m_complete = m_chunks.Done();
        break;
      }
      default:
        // Ends with the connection.
        return;
    }
  }
}

}  // namespace toravin
