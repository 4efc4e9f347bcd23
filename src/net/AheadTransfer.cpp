#include "net/AheadTransfer.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <utility>

#include "net/AheadStream.h"
#include "net/ConnectionPool.h"
#include "net/HttpClient.h"
#include "net/SocketErrors.h"

namespace toravin {
namespace {

// Bytes asked for per receive.
constexpr std::int64_t kReceiveBlock = 65536;
// Receives per Poll, so one fast transfer does not hold up the wait it runs in.
constexpr int kReceivesPerPoll = 16;

// Where an exchange goes, then its request block.
std::string IdentityOf(const THttpClient& client, const std::string& request) {
  return std::string(client.Secure() ? "https " : "http ") + client.Host + ":" +
         std::to_string(client.Port) + " via " + client.Proxy + ":" +
         std::to_string(client.ProxyPort) + "\n" + request;
}

}  // namespace

std::string TAheadTransfer::Identity(const THttpClient& client) {
  return IdentityOf(client, client.RequestBlock());
}

TAheadTransfer::TAheadTransfer(THttpClient& client)
    : TAheadTransfer(client, client.RequestBlock()) {}

TAheadTransfer::TAheadTransfer(THttpClient& client, std::string request)
    : m_identity(IdentityOf(client, request)),
      m_request(std::move(request)),
      m_pool(client.Pool),
      m_key(client.ConnectionKey()) {
  if (m_pool) {
    if (std::unique_ptr<TByteStream> kept = m_pool->Take(m_key)) {
      m_stream = std::move(kept);
      m_reused = true;
      m_state = State::Sending;
      return;
    }
  }
  const std::string& name = client.Proxy.empty() ? client.Host : client.Proxy;
  m_port = static_cast<std::uint16_t>(client.Proxy.empty() ? client.Port : client.ProxyPort);
  in_addr dotted{};
  if (!name.empty() && ::inet_pton(AF_INET, name.c_str(), &dotted) == 1) {
    m_lookup = CompletedHostLookup(0, ntohl(dotted.s_addr));
  } else if (name.empty()) {
    m_lookup = CompletedHostLookup(kWsaHostNotFound, 0);
  } else {
    m_lookup = client.Resolver ? client.Resolver(name) : StartHostLookup(name);
  }
  m_stream = client.NewConnection();
}

TAheadTransfer::~TAheadTransfer() {
  EndSendBehind();
  if (m_stream) m_stream->Close();
}

void TAheadTransfer::Fail() {
  EndSendBehind();
  m_state = State::Failed;
  if (m_stream) m_stream->Close();
}

std::int64_t TAheadTransfer::EndSendBehind() {
  if (!m_sendJob) return 0;
  const std::int64_t sent = m_sender->Withdraw(*m_sendJob);
  m_sendJob.reset();
  m_sender.reset();  // what is left, if anything, goes from here
  if (sent > 0) m_sent += static_cast<std::size_t>(sent);
  return sent;
}

std::int64_t TAheadTransfer::Poll(std::int64_t room) {
  if (m_state == State::Resolving) {
    if (!m_lookup->Done()) return 0;
    if (m_lookup->Error() != 0 || m_lookup->Address() == 0) {
      Fail();
      return 0;
    }
    int code = m_stream->Connect(m_lookup->Address(), m_port);
    if (code == 0) {
      m_state = State::Sending;
    } else if (code == kWsaWouldBlock) {
      m_state = State::Connecting;
    } else {
      Fail();
      return 0;
    }
  }
  if (m_state == State::Connecting) {
    int code = m_stream->PollConnect(0);
    if (code == kWsaWouldBlock) return 0;
    if (code != 0) {
      Fail();
      return 0;
    }
    m_state = State::Sending;
  }
  if (m_state == State::Sending) {
    if (m_sendJob) {
      if (!m_sendJob->Result()) return 0;
      if (EndSendBehind() < 0) {
        Fail();
        return 0;
      }
    } else if (m_sender && m_stream->SendsFromAnyThread()) {
      m_sendJob = m_sender->Queue(*m_stream, m_request.data(), m_request.size());
      return 0;
    }
    while (m_sent < m_request.size()) {
      std::int64_t n = m_stream->Send(m_request.data() + m_sent, m_request.size() - m_sent);
      if (n == -kWsaWouldBlock) return 0;
      if (n <= 0) {
        Fail();
        return 0;
      }
      m_sent += static_cast<std::size_t>(n);
    }
    m_state = State::Receiving;
    // A stream of a shared connection reads on the next pass: the requests submitted in this
    // one go out together.
    if (m_stream->Multiplexed()) return 0;
  }
  if (m_state != State::Receiving || m_ended) return 0;
  std::int64_t got = 0;
  // Received into one buffer for all transfers, then appended: growing the reply first would
  // clear a whole block for every receive that finds nothing.
  static thread_local std::array<char, kReceiveBlock> block;
  for (int i = 0; i < kReceivesPerPoll && room - got > 0; ++i) {
    std::size_t want = static_cast<std::size_t>(std::min(kReceiveBlock, room - got));
    std::size_t old = m_reply.size();
    std::int64_t n = m_stream->Receive(block.data(), want, false);
    if (n > 0) {
      m_reply.append(block.data(), static_cast<std::size_t>(n));
      got += n;
      if (m_pool) {
        m_scanner.Feed(m_reply.data() + old, static_cast<std::size_t>(n));
        if (m_scanner.Reusable()) {
          // The reply is here whole: its connection serves the next request.
          m_ended = true;
          m_endCode = 0;
          m_pool->Put(m_key, std::move(m_stream));
          break;
        }
      }
      continue;
    }
    if (n == -kWsaWouldBlock) break;
    if ((m_reused || m_stream->Unprocessed()) && m_reply.empty()) {
      // A kept connection the server closed while idle, or a request the server did not process:
      // the request is made again at its turn.
      Fail();
      return got;
    }
    // The peer closed (0) or the connection broke: the reply ends here, as it would for the
    // client reading it at its turn.
    m_ended = true;
    m_endCode = n == 0 || n == -kWsaNotConnected ? 0 : static_cast<int>(-n);
    m_stream->Close();
    break;
  }
  return got;
}

bool TAheadTransfer::AddWaitFd(std::vector<pollfd>& fds, bool mayReceive) const {
  if (m_state == State::Failed || !m_stream || m_ended) return true;
  if (m_state == State::Resolving) return false;
  if (m_state == State::Receiving && !mayReceive) return true;
  const int fd = m_stream->WaitFd();
  if (fd < 0) return false;
  // The first reply byte comes after the request has gone: its send is over by then.
  if (m_sendJob) {
    fds.push_back({fd, POLLIN, 0});
    return true;
  }
  fds.push_back({fd, static_cast<short>(m_state == State::Receiving ? POLLIN : POLLOUT), 0});
  return true;
}

std::unique_ptr<TByteStream> TAheadTransfer::HandOver() {
  if (!CanHandOver()) return nullptr;
  EndSendBehind();
  const bool connecting = m_state == State::Connecting;
  std::unique_ptr<TByteStream> live = m_ended ? nullptr : std::move(m_stream);
  m_stream.reset();
  m_state = State::Failed;
  const bool reused = m_reused && m_reply.empty();
  return std::make_unique<TAheadStream>(std::move(m_reply), std::move(live), m_endCode, m_sent,
                                        connecting, reused);
}

}  // namespace toravin
