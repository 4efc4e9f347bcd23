// The in-memory stream hands out its reply in fixed chunks so that every read loop of the client
// sees the bytes cut where the test (or fuzzer) chose. A stall is modelled as "nothing to read",
// which the client's waits treat exactly like a quiet socket.
#include "net/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "net/SocketErrors.h"
#include "platform/Clock.h"

namespace toravin {

TMemoryStream::TMemoryStream(std::shared_ptr<TMemoryPeer> peer) : m_peer(std::move(peer)) {}

int TMemoryStream::Connect(std::uint32_t, std::uint16_t) {
  ++m_peer->connects;
  if (m_peer->connectMode == TMemoryPeer::ConnectMode::Refuse) return kWsaConnRefused;
  m_open = true;
  m_pos = 0;
  m_reply.clear();
  if (!m_peer->replies.empty()) {
    m_reply = std::move(m_peer->replies.front());
    m_peer->replies.pop_front();
  }
  m_requestIndex = m_peer->requests.size();
  m_peer->requests.emplace_back();
  return m_peer->connectMode == TMemoryPeer::ConnectMode::Hang ? kWsaWouldBlock : 0;
}

int TMemoryStream::PollConnect(int ms) {
  if (!m_open) return kWsaNotConnected;
  if (m_peer->connectMode == TMemoryPeer::ConnectMode::Hang) {
    SleepMs(ms);
    return kWsaWouldBlock;
  }
  return 0;
}

std::int64_t TMemoryStream::Receive(char* buffer, std::size_t size, bool peek) {
  if (!m_open) return -kWsaNotConnected;
  std::size_t left = m_reply.size() - m_pos;
  if (left == 0) return m_peer->silentAtEnd ? -kWsaWouldBlock : 0;
  std::size_t n = std::min({size, left, std::max<std::size_t>(m_peer->chunk, 1)});
  std::memcpy(buffer, m_reply.data() + m_pos, n);
  if (!peek) m_pos += n;
  return static_cast<std::int64_t>(n);
}

std::int64_t TMemoryStream::Send(const char* buffer, std::size_t size) {
  if (!m_open) return -kWsaNotConnected;
  std::string& sent = m_peer->requests[m_requestIndex];
  const std::size_t n = std::min(size, m_peer->takes - std::min(m_peer->takes, sent.size()));
  if (n == 0 && size > 0) return -kWsaWouldBlock;
  sent.append(buffer, n);
  return static_cast<std::int64_t>(n);
}

bool TMemoryStream::WaitReadable(int ms) {
  if (m_open && m_pos == m_reply.size() && m_peer->silentAtEnd) {
    SleepMs(ms);
    return false;
  }
  return true;
}

bool TMemoryStream::WaitWritable(int) { return true; }

void TMemoryStream::Close() { m_open = false; }

}  // namespace toravin
