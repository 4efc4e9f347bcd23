#include "net/ReplyScanner.h"

#include <algorithm>
#include <cstring>

namespace toravin {

std::size_t TReplyScanner::HeaderBytes(const char* bytes, std::size_t size) {
  // The line so far takes everything up to its line feed at once.
  const char* feed = static_cast<const char*>(std::memchr(bytes, '\n', size));
  const std::size_t run = feed ? static_cast<std::size_t>(feed - bytes) + 1 : size;
  if (m_headerBytes + run > kMaxHeader || m_line.size() + run > kMaxLine) {
    m_broken = true;
    return run;
  }
  m_headerBytes += run;
  m_line.append(bytes, run);
  if (!feed) return run;
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
  return run;
}

void TReplyScanner::Feed(const char* bytes, std::size_t size) {
  std::size_t i = 0;
  while (i < size && !m_broken) {
    if (m_complete) {
      m_extra = true;
      return;
    }
    if (m_inHeader) {
      i += HeaderBytes(bytes + i, size - i);
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
