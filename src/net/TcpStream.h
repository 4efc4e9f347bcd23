// TByteStream over a non-blocking POSIX IPv4 TCP socket. Waits are poll() calls, so they end as
// soon as the socket is ready; the socket is opened per connection and closed with it.
#pragma once

#include "net/ByteStream.h"

namespace toravin {

class TTcpStream : public TByteStream {
 public:
  TTcpStream() = default;
  ~TTcpStream() override;
  TTcpStream(const TTcpStream&) = delete;
  TTcpStream& operator=(const TTcpStream&) = delete;

  bool IsOpen() const override { return m_fd >= 0; }
  int Connect(std::uint32_t address, std::uint16_t port) override;
  int PollConnect(int ms) override;
  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override;
  std::int64_t Send(const char* buffer, std::size_t size) override;
  bool WaitReadable(int ms) override;
  bool WaitWritable(int ms) override;
  int WaitFd() const override { return m_fd; }
  bool SendsFromAnyThread() const override { return true; }
  void Close() override;

 private:
  bool Wait(short events, int ms);
  int m_fd = -1;
};

}  // namespace toravin
