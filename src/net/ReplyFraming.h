// How an HTTP/1.1 reply's body ends and whether its connection can carry another exchange,
// decided from the reply's header lines: no body (HEAD, 1xx, 204, 304), chunked transfer coding,
// Content-Length, or the server's close. A connection is kept only after an HTTP/1.1 reply
// without "Connection: close" whose body has a length or is chunked.
#pragma once

#include <cstdint>
#include <string_view>

namespace toravin {

struct TReplyFraming {
  enum class Kind { Empty, Length, Chunked, ToClose };
  Kind kind = Kind::ToClose;
  std::int64_t length = 0;  // with Kind::Length
  bool persistent = false;  // the connection may carry the next exchange once the body is read
};

// Collects, line by line, what decides the framing of one reply.
class TFramingReader {
 public:
  void StatusLine(std::string_view line);
  void HeaderLine(std::string_view line);
  TReplyFraming Framing(bool headRequest) const;

 private:
  int m_status = 0;
  bool m_http11 = false;
  bool m_close = false;
  bool m_chunked = false;     // "chunked" is the last transfer coding
  bool m_codings = false;     // a Transfer-Encoding line was seen
  bool m_lengthSeen = false;  // a usable Content-Length was seen
  bool m_lengthBad = false;   // a Content-Length that is no number, or two that differ
  std::int64_t m_length = 0;
};

}  // namespace toravin
