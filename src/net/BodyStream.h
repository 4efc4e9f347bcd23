// TBodyStream: a reply body as a stream of its own on a kept-open connection. It reads the
// connection only as far as the reply's framing goes (a length, or the chunked coding, decoded)
// and then ends as a closed connection would, so the socket client's capture loops read a body
// the same way whatever its framing. A chunked body cut short or broken ends in a receive failure;
// a body with a length that the peer cuts short ends early, as a closing server's does. Once the
// body has ended whole, Release gives the connection back for the next exchange.
#pragma once

#include <memory>
#include <string>

#include "net/ByteStream.h"
#include "net/ChunkedDecoder.h"
#include "net/ReplyFraming.h"

namespace toravin {

class TBodyStream : public TByteStream {
 public:
  TBodyStream(std::unique_ptr<TByteStream> connection, const TReplyFraming& framing);
  ~TBodyStream() override;

  bool IsOpen() const override { return m_connection && m_connection->IsOpen(); }
  int Connect(std::uint32_t address, std::uint16_t port) override;
  int PollConnect(int ms) override;
  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override;
  std::string_view TakeHeld(std::size_t size) override;
  std::int64_t Send(const char* buffer, std::size_t size) override;
  bool WaitReadable(int ms) override;
  bool WaitWritable(int ms) override;
  int WaitFd() const override {
    const bool ready = Ended() || m_closed || !m_peeked.empty();
    return m_connection && !ready ? m_connection->WaitFd() : -1;
  }
  void Close() override;
  std::string FailureText(int code) const override;
  bool HoldsConnection() const override { return m_connection && m_connection->HoldsConnection(); }

  // The body has ended where its framing says, the reply allows another exchange, and nothing
  // beyond the body has arrived.
  bool Reusable();
  // The connection under the body, taken out (the stream is closed afterwards).
  std::unique_ptr<TByteStream> Release();

 private:
  std::int64_t ReceiveChunked(char* buffer, std::size_t size, bool peek);
  bool Ended() const;

  std::unique_ptr<TByteStream> m_connection;
  TReplyFraming m_framing;
  std::int64_t m_left = 0;  // with a length: body bytes still to come
  TChunkedDecoder m_chunks;
  std::string m_peeked;   // decoded bytes a peek has read ahead
  bool m_extra = false;   // bytes beyond the body arrived with it
  bool m_closed = false;  // the peer closed (or the connection failed) before the framing ended
};

}  // namespace toravin
