// An in-memory TByteStream: the far end is a script of replies, one per connection, handed out in
// chunks of a chosen size, and every byte the client sends is recorded. It lets the HTTP code be
// tested and fuzzed without sockets, byte for byte and at every cut of a reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "net/ByteStream.h"

namespace toravin {

// The scripted far end, shared by all streams a client creates.
struct TMemoryPeer {
  enum class ConnectMode { Accept, Refuse, Hang };
  ConnectMode connectMode = ConnectMode::Accept;
  std::deque<std::string> replies;    // taken one per connection; none left: an empty reply
  std::vector<std::string> requests;  // what the client sent, one entry per connection
  std::size_t chunk = 65536;          // bytes handed out per receive (at least 1)
  bool silentAtEnd = false;           // after the reply: stay open and silent instead of closing
  std::size_t takes = SIZE_MAX;       // bytes a connection takes from the client; then sends block
  int connects = 0;                   // connection attempts seen
};

class TMemoryStream : public TByteStream {
 public:
  explicit TMemoryStream(std::shared_ptr<TMemoryPeer> peer);

  bool IsOpen() const override { return m_open; }
  int Connect(std::uint32_t address, std::uint16_t port) override;
  int PollConnect(int ms) override;
  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override;
  std::int64_t Send(const char* buffer, std::size_t size) override;
  bool WaitReadable(int ms) override;
  bool WaitWritable(int ms) override;
  void Close() override;

 private:
  std::shared_ptr<TMemoryPeer> m_peer;
  std::string m_reply;
  std::size_t m_pos = 0;
  std::size_t m_requestIndex = 0;
  bool m_open = false;
};

}  // namespace toravin
