// TReplyScanner: follows a reply's bytes as they arrive, without keeping them, to tell where the
// reply ends on a kept-open connection: its header, then its body by length or chunked coding.
// Used by transfers fetched ahead, which hold the reply bytes for the HTTP client and need only
// know when the connection is free again.
#pragma once

#include <cstdint>
#include <string>

#include "net/ChunkedDecoder.h"
#include "net/ReplyFraming.h"

namespace toravin {

class TReplyScanner {
 public:
  // A header line longer than this, or a header larger than the client's bound, is given up on.
  static constexpr std::size_t kMaxLine = 65536;
  static constexpr std::size_t kMaxHeader = std::size_t{1} << 20;

  void Feed(const char* bytes, std::size_t size);

  // The reply has ended where its framing says.
  bool Complete() const { return m_complete; }
  // Complete, the connection may carry the next exchange, and nothing came after the reply.
  bool Reusable() const { return m_complete && m_framing.persistent && !m_extra && !m_broken; }
  // Something the scanner cannot follow (a broken coding, an endless line).
  bool Broken() const { return m_broken; }

 private:
  // Takes header bytes up to the end of the line in hand; returns how many it took.
  std::size_t HeaderBytes(const char* bytes, std::size_t size);

  std::string m_line;
  std::size_t m_headerBytes = 0;
  bool m_inHeader = true;
  bool m_statusLine = true;
  TFramingReader m_reader;
  TReplyFraming m_framing;
  std::int64_t m_left = 0;
  TChunkedDecoder m_chunks;
  bool m_complete = false;
  bool m_extra = false;
  bool m_broken = false;
};

}  // namespace toravin
