// TConnectionPool: connections kept open between exchanges, each under the key of what it leads
// to (scheme, host and port, or the proxy it goes through). The HTTP client and the transfers
// fetched ahead take an idle one before they open a new one and put it back when a reply has
// ended cleanly. Idle connections are bounded per key and in all, and one that the peer closed,
// that has sent something unasked, or that has been idle too long is closed instead of given out.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "net/ByteStream.h"

namespace toravin {

class THttp2Connection;

class TConnectionPool {
 public:
  static constexpr std::size_t kMaxPerKey = 8;
  static constexpr std::size_t kMaxIdle = 16;
  // Servers close idle connections after a few seconds to a minute or two.
  static constexpr std::int64_t kMaxIdleMs = 30000;

  TConnectionPool() = default;
  TConnectionPool(const TConnectionPool&) = delete;
  TConnectionPool& operator=(const TConnectionPool&) = delete;

  // Keeps `connection` for the next exchange under `key`; the oldest beyond the bounds is closed.
  void Put(const std::string& key, std::unique_ptr<TByteStream> connection);
  // The most recently kept live connection for `key`, or null.
  std::unique_ptr<TByteStream> Take(const std::string& key);
  // Closes every idle connection.
  void Clear();
  std::size_t Idle() const { return m_idle.size(); }
  std::size_t Idle(const std::string& key) const;

  // The HTTP/2 connection of each server that chose it: one per key, shared by all exchanges.
  std::map<std::string, std::shared_ptr<THttp2Connection>>& Http2() { return m_http2; }
  // What a server offered HTTP/2 chose by ALPN (true: h2), once one connection has told.
  void Learn(const std::string& key, bool http2) { m_chose[key] = http2; }
  std::size_t Learned() const { return m_chose.size(); }
  std::optional<bool> ChoseHttp2(const std::string& key) const {
    auto it = m_chose.find(key);
    return it == m_chose.end() ? std::nullopt : std::optional<bool>(it->second);
  }

 private:
  struct Entry {
    std::string key;
    std::unique_ptr<TByteStream> connection;
    std::int64_t since = 0;
  };
  std::deque<Entry> m_idle;  // oldest first
  std::map<std::string, std::shared_ptr<THttp2Connection>> m_http2;
  std::map<std::string, bool> m_chose;
};

}  // namespace toravin
