#include "net/BodyStream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "net/SocketErrors.h"

namespace toravin {

TBodyStream::TBodyStream(std::unique_ptr<TByteStream> connection, const TReplyFraming& framing)
    : m_connection(std::move(connection)), m_framing(framing), m_left(framing.length) {}

TBodyStream::~TBodyStream() { TBodyStream::Close(); }

int TBodyStream::Connect(std::uint32_t, std::uint16_t) { return 0; }
int TBodyStream::PollConnect(int) { return 0; }

bool TBodyStream::Ended() const {
  switch (m_framing.kind) {
    case TReplyFraming::Kind::Empty:
      return true;
    case TReplyFraming::Kind::Length:
      return m_left == 0;
    case TReplyFraming::Kind::Chunked:
      return m_chunks.Done() && m_peeked.empty();
    case TReplyFraming::Kind::ToClose:
      return false;
  }
  return false;
}

std::int64_t TBodyStream::Receive(char* buffer, std::size_t size, bool peek) {
  if (!m_connection) return -kWsaNotConnected;
  if (size == 0) return 0;
  if (Ended() || m_closed) return 0;
  switch (m_framing.kind) {
    case TReplyFraming::Kind::Length: {
      std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(m_left, size));
      std::int64_t n = m_connection->Receive(buffer, want, peek);
      if (n == 0) m_closed = true;
      if (n > 0 && !peek) m_left -= n;
      return n;
    }
    case TReplyFraming::Kind::Chunked:
      return ReceiveChunked(buffer, size, peek);
    default: {
      std::int64_t n = m_connection->Receive(buffer, size, peek);
      if (n == 0) m_closed = true;
      return n;
    }
  }
}

std::string_view TBodyStream::TakeHeld(std::size_t size) {
  if (!m_connection || size == 0 || Ended() || m_closed) return {};
  switch (m_framing.kind) {
    case TReplyFraming::Kind::Length: {
      const std::string_view held =
          m_connection->TakeHeld(static_cast<std::size_t>(std::min<std::int64_t>(m_left, size)));
      m_left -= static_cast<std::int64_t>(held.size());
      return held;
    }
    case TReplyFraming::Kind::ToClose:
      return m_connection->TakeHeld(size);
    default:
      return {};  // decoded as it is received
  }
}

std::int64_t TBodyStream::ReceiveChunked(char* buffer, std::size_t size, bool peek) {
  if (!m_peeked.empty()) {
    std::size_t n = std::min(size, m_peeked.size());
    std::memcpy(buffer, m_peeked.data(), n);
    if (!peek) m_peeked.erase(0, n);
    return static_cast<std::int64_t>(n);
  }
  // Decoding in place needs the raw bytes where the data goes; a peek decodes into the held bytes.
  std::vector<char> scratch;
  char* raw = buffer;
  if (peek) {
    scratch.resize(size);
    raw = scratch.data();
  }
  for (;;) {
    if (m_chunks.Done()) return 0;
    std::int64_t n = m_connection->Receive(raw, size, false);
    if (n == 0 || n == -kWsaNotConnected) {
      // The connection ended inside the body: the body is not whole.
      m_closed = true;
      return -kWsaConnReset;
    }
    if (n < 0) return n;
    std::size_t produced = 0;
    std::size_t used = m_chunks.Feed(raw, static_cast<std::size_t>(n), raw, produced);
    if (m_chunks.Failed()) {
      m_closed = true;
      return -kWsaConnAborted;
    }
    if (used < static_cast<std::size_t>(n)) m_extra = true;
    if (produced > 0) {
      if (peek) {
        m_peeked.assign(raw, produced);
        std::memcpy(buffer, raw, produced);
      }
      return static_cast<std::int64_t>(produced);
    }
    if (m_chunks.Done()) return 0;
    // Only size lines or line ends arrived: look for more without waiting.
  }
}

std::int64_t TBodyStream::Send(const char* buffer, std::size_t size) {
  return m_connection ? m_connection->Send(buffer, size) : -kWsaNotConnected;
}

bool TBodyStream::WaitReadable(int ms) {
  if (!m_connection || Ended() || m_closed || !m_peeked.empty()) return true;
  return m_connection->WaitReadable(ms);
}

bool TBodyStream::WaitWritable(int ms) {
  return m_connection ? m_connection->WaitWritable(ms) : true;
}

void TBodyStream::Close() {
  if (m_connection) m_connection->Close();
  m_connection.reset();
}

std::string TBodyStream::FailureText(int code) const {
  return m_connection ? m_connection->FailureText(code) : std::string();
}

bool TBodyStream::Reusable() {
  if (!m_connection || !m_framing.persistent || m_closed || m_extra || !Ended()) return false;
  // A server that sent more than it announced would have the rest read as the next reply.
  char c = 0;
  return m_connection->Receive(&c, 1, true) == -kWsaWouldBlock;
}

std::unique_ptr<TByteStream> TBodyStream::Release() { return std::move(m_connection); }

}  // namespace toravin
