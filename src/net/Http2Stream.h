// THttp2Stream: what the HTTP client sees of one exchange when a server chose HTTP/2. It is a
// byte stream like any other: the client writes its HTTP/1.1 request block into it and reads back
// an HTTP/1.x-shaped reply ("HTTP/2 200", the header lines, a blank line, the body) that ends
// where the HTTP/2 stream ends, so headers, events, sinks, redirects and cookies work unchanged.
// Underneath, the exchange is one stream of a connection (THttp2Connection) shared by every
// exchange with the same server through the connection pool. A new stream first makes the TLS
// connection offering "h2" and "http/1.1"; when the server picks HTTP/1.1 it carries the bytes
// through unchanged and is kept like any other connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/ByteStream.h"
#include "net/ConnectionPool.h"
#include "net/Http2Session.h"
#include "net/TlsStream.h"

namespace toravin {

// One TLS connection speaking HTTP/2 and its session.
class THttp2Connection {
 public:
  explicit THttp2Connection(std::unique_ptr<TTlsStream> tls)
      : m_tls(std::move(tls)), m_session(*m_tls) {}
  THttp2Session& Session() { return m_session; }
  // It can take another stream now.
  bool HasRoom() { return m_session.Usable() && m_session.OpenStreams() < kMaxStreamsAtOnce; }

  static constexpr std::size_t kMaxStreamsAtOnce = THttp2Session::kMaxStreams;

 private:
  std::unique_ptr<TTlsStream> m_tls;
  THttp2Session m_session;
};

class THttp2Stream : public TByteStream {
 public:
  // A stream that makes its own TLS connection through `inner` to `host`, offering HTTP/2;
  // once HTTP/2 is chosen the connection goes to `pool` under `key` for later exchanges.
  // `authority` is the request's host with ":port" when the port is not 443.
  THttp2Stream(std::unique_ptr<TByteStream> inner, const std::string& host, std::string authority,
               std::shared_ptr<TConnectionPool> pool, std::string key);
  // A stream on a connection that already speaks HTTP/2.
  THttp2Stream(std::shared_ptr<THttp2Connection> connection, std::string authority);
  ~THttp2Stream() override;

  bool IsOpen() const override { return m_open; }
  int Connect(std::uint32_t address, std::uint16_t port) override;
  int PollConnect(int ms) override;
  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override;
  std::int64_t Send(const char* buffer, std::size_t size) override;
  bool WaitReadable(int ms) override;
  bool WaitWritable(int ms) override;
  void Close() override;
  std::string FailureText(int code) const override;
  bool Multiplexed() const override { return SpeaksHttp2(); }
  bool Unprocessed() const override { return m_unprocessed; }

  // The server chose HTTP/2 (false while connecting, and when it chose HTTP/1.1).
  bool SpeaksHttp2() const { return m_connection != nullptr; }

 private:
  // Turns the request block into an HTTP/2 request once it is whole; false on a bad block.
  bool SubmitWhenWhole();
  // Moves what the session has for this exchange into m_out.
  void Collect();
  // Tells the session that `bytes` of m_out's front have been taken: the body among them may be
  // sent again by the server.
  void Taken(std::size_t bytes);

  class Sink : public TBodySink {
   public:
    void Write(const char* bytes, std::size_t size) override { data.append(bytes, size); }
    std::string data;
  };

  std::unique_ptr<TTlsStream> m_tls;  // while connecting, and for HTTP/1.1
  std::shared_ptr<THttp2Connection> m_connection;
  std::shared_ptr<TConnectionPool> m_pool;
  std::string m_key;
  std::string m_authority;
  std::string m_request;
  std::int32_t m_id = 0;      // 0 once the session has no more for this exchange
  std::int32_t m_stream = 0;  // the stream's id, for telling the session what was read
  Sink m_sink;
  std::string m_out;
  std::size_t m_headerLeft = 0;  // bytes of m_out's front that are header text, not body
  bool m_headerOut = false;
  bool m_ended = false;        // the exchange is over: m_out is all there will be
  bool m_failed = false;       // and it ended in a failure
  bool m_unprocessed = false;  // one the server did not process
  bool m_open = false;
};

// A connection to the server of `key` that speaks HTTP/2 and can take another stream, or null.
std::shared_ptr<THttp2Connection> FindHttp2(TConnectionPool& pool, const std::string& key);

}  // namespace toravin
