// The byte stream under the socket client: a connection attempt, peeking and taking bytes, sending,
// and short readiness waits. Plain TCP implements it for the program; an in-memory version drives
// the HTTP code in tests and fuzzers, and the TLS stream carries HTTPS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace toravin {

// Every failure is a Windows Sockets style code (net/SocketErrors.h); results that carry a byte
// count return the negated code on failure.
class TByteStream {
 public:
  virtual ~TByteStream() = default;

  // True between a Connect attempt and Close.
  virtual bool IsOpen() const = 0;

  // Starts a connection to an IPv4 address (host byte order) and port. Returns 0 when connected at
  // once, kWsaWouldBlock while the attempt is under way, otherwise the failure code.
  virtual int Connect(std::uint32_t address, std::uint16_t port) = 0;

  // Waits up to `ms` for the pending attempt: kWsaWouldBlock while still pending, 0 once
  // connected, otherwise the failure code.
  virtual int PollConnect(int ms) = 0;

  // Up to `size` bytes into `buffer`; with `peek` they stay in the stream. Returns the count,
  // 0 when the peer has closed, or the negated code (-kWsaWouldBlock when nothing is waiting,
  // -kWsaNotConnected when the stream is closed).
  virtual std::int64_t Receive(char* buffer, std::size_t size, bool peek) = 0;

  // Up to `size` of the bytes the stream holds in memory already, taken as Receive takes them but
  // handed out where they lie: the view stays valid until the next call on the stream. Empty when
  // the stream holds none; the bytes still to come are then to be had through Receive.
  virtual std::string_view TakeHeld(std::size_t size) {
    (void)size;
    return {};
  }

  // Sends up to `size` bytes; returns the count taken or the negated code.
  virtual std::int64_t Send(const char* buffer, std::size_t size) = 0;

  // Wait up to `ms` until bytes (or the peer's close) can be read / until a send can make
  // progress. Return at once when ready; true when ready.
  virtual bool WaitReadable(int ms) = 0;
  virtual bool WaitWritable(int ms) = 0;

  // A descriptor that turns ready when the stream can move, for a wait that also watches other
  // connections; -1 when there is none and WaitReadable / WaitWritable must be used (the stream
  // holds bytes already, or is no plain connection).
  virtual int WaitFd() const { return -1; }

  // Send may be called on another thread while this one leaves the stream alone (a plain
  // connection, with nothing of its own to update).
  virtual bool SendsFromAnyThread() const { return false; }
  // Ends the connection; a closed stream can Connect again.
  virtual void Close() = 0;

  // The user's text for a connection failure code of this stream's own (CP932), naming what
  // failed; empty when the code needs no text beyond the socket client's own.
  virtual std::string FailureText(int code) const {
    (void)code;
    return {};
  }

  // The stream goes on with a connection that already carried an exchange, and nothing of this
  // exchange's reply has arrived yet: a failure now may be the peer's close of an idle connection.
  virtual bool Reused() const { return false; }

  // The exchange failed without the server having processed the request (an HTTP/2 stream it
  // refused, or one beyond its GOAWAY): the request may be made again as though never made.
  virtual bool Unprocessed() const { return false; }

  // The stream is one exchange on a connection shared with others (an HTTP/2 stream): it ends
  // with its exchange and is never kept for another one.
  virtual bool Multiplexed() const { return false; }

  // The stream still reads from a connection of its own (not only from bytes it holds).
  virtual bool HoldsConnection() const { return IsOpen(); }
};

}  // namespace toravin
