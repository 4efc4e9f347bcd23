// TAheadStream: the stream a transfer fetched ahead hands to the HTTP client. It goes on with the
// transfer's connection where the transfer left it: a connection still being made is finished
// under the client's own connect wait, the request bytes that already went out are taken without
// sending them again, the reply bytes that arrived ahead come first and then it reads on from the
// live connection; its end is the connection's end.
#pragma once

#include <memory>
#include <string>

#include "net/ByteStream.h"

namespace toravin {

class TAheadStream : public TByteStream {
 public:
  // `received`: the reply so far; `live`: the connection (null once it ended); `endCode`: how it
  // ended (0 closed by the peer, else a receive failure code); `sent`: the bytes of the client's
  // request that already went out; `connecting`: `live` is still connecting.
  // `reused`: `live` already carried an exchange before this one.
  TAheadStream(std::string received, std::unique_ptr<TByteStream> live, int endCode,
               std::size_t sent, bool connecting = false, bool reused = false);
  ~TAheadStream() override;

  bool IsOpen() const override { return m_open; }
  int Connect(std::uint32_t address, std::uint16_t port) override;
  int PollConnect(int ms) override;
  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override;
  std::string_view TakeHeld(std::size_t size) override;
  std::int64_t Send(const char* buffer, std::size_t size) override;
  bool WaitReadable(int ms) override;
  bool WaitWritable(int ms) override;
  int WaitFd() const override {
    const bool holds = m_pos < m_received.size() || m_sent > 0 || m_connecting;
    return m_open && m_live && !holds ? m_live->WaitFd() : -1;
  }
  void Close() override;
  std::string FailureText(int code) const override;
  bool Reused() const override { return m_reused && m_received.empty() && m_pos == 0; }
  bool Unprocessed() const override {
    return m_received.empty() && m_pos == 0 && m_live && m_live->Unprocessed();
  }
  bool HoldsConnection() const override { return m_open && m_live && m_live->HoldsConnection(); }

  // The live connection, once every held byte has been read (null otherwise, or when it ended).
  std::unique_ptr<TByteStream> ReleaseLive();

 private:
  std::string m_received;
  std::size_t m_pos = 0;
  std::unique_ptr<TByteStream> m_live;
  int m_endCode = 0;
  std::size_t m_sent = 0;  // request bytes still to be taken as sent
  bool m_connecting = false;
  bool m_open = false;
  bool m_reused = false;
};

}  // namespace toravin
