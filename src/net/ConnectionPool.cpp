#include "net/ConnectionPool.h"

#include "net/SocketErrors.h"
#include "platform/Clock.h"

namespace toravin {
namespace {

// Nothing is waiting on an idle connection, not even its close.
bool Quiet(TByteStream& connection) {
  if (!connection.IsOpen()) return false;
  char c = 0;
  return connection.Receive(&c, 1, true) == -kWsaWouldBlock;
}

}  // namespace

std::size_t TConnectionPool::Idle(const std::string& key) const {
  std::size_t n = 0;
  for (const Entry& e : m_idle) n += e.key == key ? 1 : 0;
  return n;
}

void TConnectionPool::Put(const std::string& key, std::unique_ptr<TByteStream> connection) {
  if (!connection || !connection->IsOpen() || connection->Multiplexed()) return;
  if (Idle(key) >= kMaxPerKey) {
    for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
      if (it->key == key) {
        m_idle.erase(it);
        break;
      }
    }
  }
  if (m_idle.size() >= kMaxIdle) m_idle.pop_front();
  m_idle.push_back({key, std::move(connection), TickCountMs()});
}

std::unique_ptr<TByteStream> TConnectionPool::Take(const std::string& key) {
  const std::int64_t now = TickCountMs();
  for (auto it = m_idle.end(); it != m_idle.begin();) {
    --it;
    if (it->key != key) continue;
    std::unique_ptr<TByteStream> c = std::move(it->connection);
    const bool fresh = now - it->since <= kMaxIdleMs;
    it = m_idle.erase(it);
    if (fresh && Quiet(*c)) return c;
  }
  return nullptr;
}

void TConnectionPool::Clear() {
  m_idle.clear();
  m_http2.clear();
  m_chose.clear();
}

}  // namespace toravin
