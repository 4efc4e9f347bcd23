// TAheadTransfer: one request fetched ahead of its turn, without waiting and without threads. The
// owner calls Poll from its waiting loops; the transfer looks the host up, connects (with TLS for
// "https"), sends the request block the HTTP client built and receives the reply into memory, as
// far as the owner's room allows. When the request's turn comes, HandOver gives a stream that
// replays what arrived and then goes on reading the same connection, so the HTTP client handles
// the exchange exactly as if it had made it itself. When the client keeps connections open, the
// transfer takes a kept one if there is one, and gives its connection back to the pool as soon as
// the reply has arrived whole; a kept connection that ends before any reply byte fails the
// transfer, so the client makes the request itself at its turn.
#pragma once

#include <poll.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/ByteStream.h"
#include "net/ConnectionPool.h"
#include "net/HostLookup.h"
#include "net/ReplyScanner.h"
#include "net/SendBehind.h"

namespace toravin {

class THttpClient;

class TAheadTransfer {
 public:
  // Starts the request `client` has just built (ParseURL, BuildRequestHeaders and the owner's
  // edits done): its target, its connection kind and its request block.
  explicit TAheadTransfer(THttpClient& client);
  ~TAheadTransfer();
  TAheadTransfer(const TAheadTransfer&) = delete;
  TAheadTransfer& operator=(const TAheadTransfer&) = delete;

  // What identifies the exchange: target, connection kind and request block. A client whose
  // request has the same identity may take this transfer over.
  static std::string Identity(const THttpClient& client);
  const std::string& Identity() const { return m_identity; }

  // Lets `sender` send the request on a plain connection while the caller goes on.
  void SendFrom(std::shared_ptr<TSendBehind> sender) { m_sender = std::move(sender); }

  // Advances without waiting; at most `room` more bytes are received. Returns the bytes received.
  std::int64_t Poll(std::int64_t room);

  // The transfer still holds (or is about to hold) a connection: it counts against the bound.
  // One whose reply has arrived whole, or that failed, holds none.
  bool Busy() const { return m_state != State::Failed && !m_ended; }
  std::size_t Held() const { return m_reply.size(); }
  // Adds the descriptor whose readiness lets the next Poll move this transfer on, if it has one;
  // with `mayReceive` false a reply is not read, so its bytes are no reason to wake. False when
  // the transfer may move on without any descriptor turning ready (a host lookup under way, a
  // stream that is no plain connection).
  bool AddWaitFd(std::vector<pollfd>& fds, bool mayReceive) const;

  // The transfer has a connection, made or under way, that the client can go on with.
  bool CanHandOver() const {
    return m_state == State::Connecting || m_state == State::Sending || m_state == State::Receiving;
  }
  // The stream for the HTTP client, going on from where the transfer is; only when
  // CanHandOver(). The transfer is empty afterwards.
  std::unique_ptr<TByteStream> HandOver();

 private:
  enum class State { Resolving, Connecting, Sending, Receiving, Failed };
  TAheadTransfer(THttpClient& client, std::string request);
  void Fail();
  // Ends a send left to the sender, counting what it sent: the stream is this transfer's again.
  // Returns what the sender reported (TSendBehind::Withdraw); 0 when there was none.
  std::int64_t EndSendBehind();

  std::string m_identity;
  std::string m_request;
  std::size_t m_sent = 0;
  std::uint16_t m_port = 0;
  std::shared_ptr<THostLookup> m_lookup;
  std::unique_ptr<TByteStream> m_stream;
  State m_state = State::Resolving;
  std::string m_reply;
  bool m_ended = false;  // the peer closed, or receiving failed with m_endCode
  int m_endCode = 0;
  std::shared_ptr<TConnectionPool> m_pool;  // null: the connection ends with the reply
  std::string m_key;
  bool m_reused = false;  // the connection came from the pool
  std::shared_ptr<TSendBehind> m_sender;
  std::shared_ptr<TSendBehind::Job> m_sendJob;  // the request's send, while the sender has it
  TReplyScanner m_scanner;
};

}  // namespace toravin
