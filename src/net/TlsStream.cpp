// The TLS stream as a small state machine: TCP connect, optional CONNECT tunnel, handshake, open.
// Each connect poll runs the machine as far as it goes without waiting, waits at most one slice
// for the direction the library asked for, and runs it again; so the caller's loop keeps the
// time-out, the cancel flag and the user interface in charge. The library reaches the inner
// stream through a BIO of our own, so records are read straight from the socket without a copy,
// and a receive gathers every record that is already there into one call.
#include "net/TlsStream.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <utility>

#include "net/SecureFailure.h"
#include "net/SocketErrors.h"
#include "net/TlsContext.h"

namespace toravin {
namespace {

// A TLS record that fails its checks ends the connection as "Software caused connection abort".

int BioRead(BIO* bio, char* buffer, std::size_t size, std::size_t* done) {
  auto* link = static_cast<TTlsStream::Link*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  std::int64_t n = link->stream->Receive(buffer, size, false);
  if (n > 0) {
    *done = static_cast<std::size_t>(n);
    return 1;
  }
  if (n == -kWsaWouldBlock) {
    BIO_set_retry_read(bio);
  } else if (n < 0) {
    link->error = static_cast<int>(-n);
  }
  return 0;  // 0 without a retry flag is the end of the stream
}

int BioWrite(BIO* bio, const char* buffer, std::size_t size, std::size_t* done) {
  auto* link = static_cast<TTlsStream::Link*>(BIO_get_data(bio));
  BIO_clear_retry_flags(bio);
  std::int64_t n = link->stream->Send(buffer, size);
  if (n > 0) {
    *done = static_cast<std::size_t>(n);
    return 1;
  }
  if (n == -kWsaWouldBlock || n == 0) {
    BIO_set_retry_write(bio);
  } else {
    link->error = static_cast<int>(-n);
  }
  return 0;
}

long BioCtrl(BIO*, int cmd, long, void*) { return cmd == BIO_CTRL_FLUSH ? 1 : 0; }

BIO_METHOD* StreamBioMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "toravin stream");
    BIO_meth_set_read_ex(m, BioRead);
    BIO_meth_set_write_ex(m, BioWrite);
    BIO_meth_set_ctrl(m, BioCtrl);
    return m;
  }();
  return method;
}

bool IsAddressLiteral(const std::string& host) {
  unsigned char buf[16];
  return ::inet_pton(AF_INET, host.c_str(), buf) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

// The failure code for a handshake that did not finish, from the certificate check's verdict.
int HandshakeFailure(long verify) {
  switch (verify) {
    case X509_V_OK:
      return kTlsHandshakeFailed;
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return kTlsExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return kTlsNotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return kTlsWrongName;
    default:
      return kTlsUntrusted;
  }
}

// The status code of a reply's first line: its second word as a number, else 0.
int ReplyStatus(const std::string& reply) {
  std::size_t blank = reply.find(' ');
  if (blank == std::string::npos) return 0;
  int value = 0;
  for (std::size_t i = blank + 1; i < reply.size() && i < blank + 4; ++i) {
    if (reply[i] < '0' || reply[i] > '9') return 0;
    value = value * 10 + (reply[i] - '0');
  }
  return value;
}

}  // namespace

TTlsStream::TTlsStream(std::unique_ptr<TByteStream> inner, std::string host,
                       std::string tunnelTarget)
    : m_inner(std::move(inner)), m_host(std::move(host)), m_tunnelTarget(std::move(tunnelTarget)) {
  m_link.stream = m_inner.get();
}

TTlsStream::~TTlsStream() { Close(); }

int TTlsStream::Connect(std::uint32_t address, std::uint16_t port) {
  Close();
  m_sessionKey = m_host + ":" + std::to_string(port);
  if (!m_tunnelTarget.empty()) m_sessionKey = m_tunnelTarget;
  m_phase = Phase::Connecting;
  int code = m_inner->Connect(address, port);
  if (code == kWsaWouldBlock) return code;
  if (code != 0) return Fail(code);
  m_phase = m_tunnelTarget.empty() ? Phase::Handshake : Phase::TunnelSend;
  return Step();
}

int TTlsStream::PollConnect(int ms) {
  if (m_phase == Phase::Connecting) {
    int code = m_inner->PollConnect(ms);
    if (code == kWsaWouldBlock) return code;
    if (code != 0) return Fail(code);
    m_phase = m_tunnelTarget.empty() ? Phase::Handshake : Phase::TunnelSend;
    return Step();
  }
  int code = Step();
  if (code != kWsaWouldBlock) return code;
  if (!WaitWanted(ms)) return kWsaWouldBlock;
  return Step();
}

int TTlsStream::Step() {
  for (;;) {
    int code = 0;
    switch (m_phase) {
      case Phase::TunnelSend:
        code = StepTunnelSend();
        break;
      case Phase::TunnelRead:
        code = StepTunnelRead();
        break;
      case Phase::Handshake:
        code = StepHandshake();
        break;
      case Phase::Open:
        return 0;
      case Phase::Connecting:
        return kWsaWouldBlock;
      case Phase::Idle:
      case Phase::Failed:
        return kWsaNotConnected;
    }
    if (code != 0) return code;
  }
}

int TTlsStream::StepTunnelSend() {
  if (m_tunnelRequest.empty()) {
    m_tunnelRequest =
        "CONNECT " + m_tunnelTarget + " HTTP/1.0\r\nHost: " + m_tunnelTarget + "\r\n\r\n";
    m_tunnelSent = 0;
  }
  m_wantWrite = true;
  while (m_tunnelSent < m_tunnelRequest.size()) {
    std::int64_t n =
        m_inner->Send(m_tunnelRequest.data() + m_tunnelSent, m_tunnelRequest.size() - m_tunnelSent);
    if (n == -kWsaWouldBlock || n == 0) return kWsaWouldBlock;
    if (n < 0) return Fail(static_cast<int>(-n));
    m_tunnelSent += static_cast<std::size_t>(n);
  }
  m_wantWrite = false;
  m_phase = Phase::TunnelRead;
  return 0;
}

int TTlsStream::StepTunnelRead() {
  // The proxy sends nothing after its reply until the handshake starts, so the reply can be read
  // in blocks; bytes after the blank line mean it is no tunnel.
  char buf[4096];
  for (;;) {
    std::int64_t n = m_inner->Receive(buf, sizeof buf, false);
    if (n == -kWsaWouldBlock) return kWsaWouldBlock;
    if (n < 0) return Fail(static_cast<int>(-n));  // the connection to the proxy broke
    if (n == 0) {
      m_tunnelStatus = ReplyStatus(m_tunnelReply);
      return Fail(kTunnelRefused);
    }
    m_tunnelReply.append(buf, static_cast<std::size_t>(n));
    std::size_t end = m_tunnelReply.find("\r\n\r\n");
    std::size_t endLength = 4;
    if (std::size_t lf = m_tunnelReply.find("\n\n"); lf < end) {
      end = lf;
      endLength = 2;
    }
    if (end == std::string::npos) {
      if (m_tunnelReply.size() > kMaxTunnelReply) {
        m_tunnelStatus = ReplyStatus(m_tunnelReply);
        return Fail(kTunnelRefused);
      }
      continue;
    }
    m_tunnelStatus = ReplyStatus(m_tunnelReply);
    bool accepted =
        m_tunnelStatus >= 200 && m_tunnelStatus <= 299 && end + endLength == m_tunnelReply.size();
    if (!accepted) return Fail(kTunnelRefused);
    m_phase = Phase::Handshake;
    return 0;
  }
}

int TTlsStream::StepHandshake() {
  if (!m_ssl) {
    SSL_CTX* ctx = TlsClientContext();
    if (!ctx || !(m_ssl = SSL_new(ctx))) return Fail(kTlsHandshakeFailed);
    BIO* bio = BIO_new(StreamBioMethod());
    if (!bio) return Fail(kTlsHandshakeFailed);
    BIO_set_data(bio, &m_link);
    BIO_set_init(bio, 1);
    SSL_set_bio(m_ssl, bio, bio);
    SSL_set_connect_state(m_ssl);
    bool named = true;
    if (IsAddressLiteral(m_host)) {
      named = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), m_host.c_str()) == 1;
    } else {
      // Server names go out for name-based hosting; addresses are never sent as names.
      named = SSL_set_tlsext_host_name(m_ssl, m_host.c_str()) == 1 &&
              SSL_set1_host(m_ssl, m_host.c_str()) == 1;
    }
    if (!named) return Fail(kTlsWrongName);
    UseSavedSession(m_ssl, &m_sessionKey);
    if (m_offerHttp2) {
      static constexpr unsigned char kProtocols[] = {2,   'h', '2', 8,   'h', 't',
                                                     't', 'p', '/', '1', '.', '1'};
      if (SSL_set_alpn_protos(m_ssl, kProtocols, sizeof kProtocols) != 0) {
        return Fail(kTlsHandshakeFailed);
      }
    }
  }
  ERR_clear_error();
  int ret = SSL_connect(m_ssl);
  if (ret == 1) {
    m_phase = Phase::Open;
    return 0;
  }
  switch (SSL_get_error(m_ssl, ret)) {
    case SSL_ERROR_WANT_READ:
      m_wantWrite = false;
      return kWsaWouldBlock;
    case SSL_ERROR_WANT_WRITE:
      m_wantWrite = true;
      return kWsaWouldBlock;
    default:
      ERR_clear_error();
      return Fail(HandshakeFailure(SSL_get_verify_result(m_ssl)));
  }
}

int TTlsStream::Fail(int code) {
  m_phase = Phase::Failed;
  return code;
}

std::int64_t TTlsStream::IoFailure(int ret) {
  int error = SSL_get_error(m_ssl, ret);
  switch (error) {
    case SSL_ERROR_WANT_READ:
      m_wantWrite = false;
      return -kWsaWouldBlock;
    case SSL_ERROR_WANT_WRITE:
      m_wantWrite = true;
      return -kWsaWouldBlock;
    case SSL_ERROR_ZERO_RETURN:
      return 0;
    case SSL_ERROR_SYSCALL:
      ERR_clear_error();
      return m_link.error != 0 ? -m_link.error : 0;
    default:
      ERR_clear_error();
      return -kWsaConnAborted;
  }
}

std::int64_t TTlsStream::Receive(char* buffer, std::size_t size, bool peek) {
  if (m_phase != Phase::Open) return -kWsaNotConnected;
  if (size == 0) return 0;
  m_link.error = 0;
  std::size_t n = 0;
  ERR_clear_error();
  if (m_heldFailure != 0) {
    // The failure that ended the previous call's records: a socket reports a reset only once,
    // and reading on would see a clean end instead.
    return peek ? -m_heldFailure : -std::exchange(m_heldFailure, 0);
  }
  if (peek) {
    int ret = SSL_peek_ex(m_ssl, buffer, size, &n);
    return ret == 1 ? static_cast<std::int64_t>(n) : IoFailure(ret);
  }
  // Every record that has already arrived goes into this one call.
  std::size_t total = 0;
  while (total < size) {
    int ret = SSL_read_ex(m_ssl, buffer + total, size - total, &n);
    if (ret != 1) {
      std::int64_t failure = IoFailure(ret);
      if (total == 0) return failure;
      if (failure < 0 && failure != -kWsaWouldBlock) m_heldFailure = static_cast<int>(-failure);
      return static_cast<std::int64_t>(total);
    }
    total += n;
  }
  return static_cast<std::int64_t>(total);
}

std::int64_t TTlsStream::Send(const char* buffer, std::size_t size) {
  if (m_phase != Phase::Open) return -kWsaNotConnected;
  if (size == 0) return 0;
  m_link.error = 0;
  std::size_t n = 0;
  ERR_clear_error();
  int ret = SSL_write_ex(m_ssl, buffer, size, &n);
  if (ret == 1) return static_cast<std::int64_t>(n);
  std::int64_t failure = IoFailure(ret);
  return failure == 0 ? -kWsaNotConnected : failure;
}

bool TTlsStream::WaitWanted(int ms) {
  return m_wantWrite ? m_inner->WaitWritable(ms) : m_inner->WaitReadable(ms);
}

bool TTlsStream::WaitReadable(int ms) {
  if (m_phase == Phase::Open && SSL_pending(m_ssl) > 0) return true;
  if (m_phase != Phase::Open) return m_inner->WaitReadable(ms);
  return WaitWanted(ms);
}

bool TTlsStream::WaitWritable(int ms) {
  if (m_phase != Phase::Open) return m_inner->WaitWritable(ms);
  return WaitWanted(ms);
}

void TTlsStream::Close() {
  if (m_ssl) {
    if (m_phase == Phase::Open) {
      // One closing alert, sent if the socket takes it; the connection is ending either way,
      // and a session closed this way stays resumable.
      ERR_clear_error();
      SSL_shutdown(m_ssl);
      ERR_clear_error();
    }
    SSL_free(m_ssl);
    m_ssl = nullptr;
  }
  m_inner->Close();
  m_phase = Phase::Idle;
  m_wantWrite = false;
  m_heldFailure = 0;
  m_tunnelRequest.clear();
  m_tunnelReply.clear();
  m_tunnelSent = 0;
}

std::string TTlsStream::FailureText(int code) const {
  return SecureFailureText(code, code == kTunnelRefused ? m_tunnelTarget : m_host, m_tunnelStatus);
}

bool TTlsStream::Resumed() const {
  return m_phase == Phase::Open && SSL_session_reused(m_ssl) == 1;
}

std::string TTlsStream::Protocol() const {
  return m_phase == Phase::Open ? SSL_get_version(m_ssl) : "";
}

std::string TTlsStream::ChosenProtocol() const {
  if (m_phase != Phase::Open) return {};
  const unsigned char* name = nullptr;
  unsigned int length = 0;
  SSL_get0_alpn_selected(m_ssl, &name, &length);
  return name ? std::string(reinterpret_cast<const char*>(name), length) : std::string();
}

}  // namespace toravin
