#include "net/AheadStream.h"

#include <algorithm>
#include <cstring>

#include "net/SocketErrors.h"

namespace toravin {

TAheadStream::TAheadStream(std::string received, std::unique_ptr<TByteStream> live, int endCode,
                           std::size_t sent, bool connecting, bool reused)
    : m_received(std::move(received)),
      m_live(std::move(live)),
      m_endCode(endCode),
      m_sent(sent),
      m_connecting(connecting && m_live),
      m_reused(reused && m_live) {}

TAheadStream::~TAheadStream() { TAheadStream::Close(); }

int TAheadStream::Connect(std::uint32_t, std::uint16_t) {
  m_open = true;
  return m_connecting ? PollConnect(0) : 0;
}

int TAheadStream::PollConnect(int ms) {
  if (!m_open) return kWsaNotConnected;
  if (!m_connecting) return 0;
  int code = m_live->PollConnect(ms);
  if (code != kWsaWouldBlock) m_connecting = false;
  return code;
}

std::int64_t TAheadStream::Receive(char* buffer, std::size_t size, bool peek) {
  if (!m_open) return -kWsaNotConnected;
  if (m_pos < m_received.size()) {
    std::size_t n = std::min(size, m_received.size() - m_pos);
    std::memcpy(buffer, m_received.data() + m_pos, n);
    if (!peek) m_pos += n;
    if (m_pos == m_received.size()) {
      std::string().swap(m_received);  // what was held ahead is given back at once
      m_pos = 0;
    }
    return static_cast<std::int64_t>(n);
  }
  if (m_live) return m_live->Receive(buffer, size, peek);
  return m_endCode == 0 ? 0 : -m_endCode;
}

std::string_view TAheadStream::TakeHeld(std::size_t size) {
  if (!m_open) return {};
  if (m_pos == m_received.size()) {
    // The bytes handed out last are done with: what was held ahead is given back.
    std::string().swap(m_received);
    m_pos = 0;
    return {};
  }
  const std::size_t n = std::min(size, m_received.size() - m_pos);
  const std::string_view held(m_received.data() + m_pos, n);
  m_pos += n;
  return held;
}

std::int64_t TAheadStream::Send(const char* buffer, std::size_t size) {
  if (!m_open || m_connecting) return -kWsaNotConnected;
  if (m_sent > 0) {
    // These bytes of the request went out ahead of its turn.
    std::size_t n = std::min(size, m_sent);
    m_sent -= n;
    return static_cast<std::int64_t>(n);
  }
  if (!m_live) return static_cast<std::int64_t>(size);
  return m_live->Send(buffer, size);
}

bool TAheadStream::WaitReadable(int ms) {
  if (m_pos < m_received.size() || !m_live) return true;
  return m_live->WaitReadable(ms);
}

bool TAheadStream::WaitWritable(int ms) {
  if (m_sent > 0 || !m_live) return true;
  return m_live->WaitWritable(ms);
}

void TAheadStream::Close() {
  m_open = false;
  if (m_live) m_live->Close();
  m_live.reset();
  std::string().swap(m_received);
  m_pos = 0;
  m_endCode = 0;
  m_sent = 0;
  m_connecting = false;
}

std::unique_ptr<TByteStream> TAheadStream::ReleaseLive() {
  if (m_pos < m_received.size() || m_sent > 0 || m_connecting) return nullptr;
  return std::move(m_live);
}

std::string TAheadStream::FailureText(int code) const {
  return m_live ? m_live->FailureText(code) : std::string();
}

}  // namespace toravin
