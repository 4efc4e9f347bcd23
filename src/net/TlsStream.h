// TByteStream for HTTPS: TLS 1.2 or 1.3 (OpenSSL) over another byte stream, usually plain TCP.
// The handshake is part of the connection attempt, so the socket client's connect wait drives
// it slice by slice under its time-out and cancellation like any other wait. Through a proxy the
// attempt first opens a tunnel with CONNECT. The certificate chain is checked against the
// system's store and the certificate against the host name; there is no unverified fallback.
#pragma once

#include <memory>
#include <string>

#include "net/ByteStream.h"

typedef struct ssl_st SSL;

namespace toravin {

class TTlsStream : public TByteStream {
 public:
  // A CONNECT reply header longer than this refuses the tunnel.
  static constexpr std::size_t kMaxTunnelReply = 16384;

  // `inner` carries the encrypted bytes; `host` is sent as the server name and checked against
  // the certificate. With a non-empty `tunnelTarget` ("host:port") the inner stream reaches a
  // proxy, and CONNECT to that target precedes the handshake.
  TTlsStream(std::unique_ptr<TByteStream> inner, std::string host, std::string tunnelTarget = {});
  ~TTlsStream() override;
  TTlsStream(const TTlsStream&) = delete;
  TTlsStream& operator=(const TTlsStream&) = delete;

  bool IsOpen() const override { return m_inner->IsOpen(); }
  // Connecting covers the TCP connect, the tunnel and the handshake: 0 only once all are done.
  // Failures of the tunnel and the handshake are the codes of net/SecureFailure.h.
  int Connect(std::uint32_t address, std::uint16_t port) override;
  int PollConnect(int ms) override;
  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override;
  std::int64_t Send(const char* buffer, std::size_t size) override;
  bool WaitReadable(int ms) override;
  bool WaitWritable(int ms) override;
  void Close() override;
  std::string FailureText(int code) const override;

  // What the TLS library's I/O callbacks reach: the inner stream and its last failure code.
  struct Link {
    TByteStream* stream = nullptr;
    int error = 0;
  };

  // The proxy's reply code when it refused the tunnel (0: none readable).
  int TunnelStatus() const { return m_tunnelStatus; }
  // The handshake resumed a session saved from an earlier one instead of checking the
  // certificate anew.
  bool Resumed() const;
  // The negotiated protocol ("TLSv1.3"), empty before the handshake is done.
  std::string Protocol() const;
  // Offer "h2" and "http/1.1" by ALPN in the handshake to come (never by default, so a stream
  // without it sends the same bytes as before).
  void OfferHttp2() { m_offerHttp2 = true; }
  // The application protocol the server chose ("h2"), empty when none was chosen or before the
  // handshake is done.
  std::string ChosenProtocol() const;

 private:
  enum class Phase { Idle, Connecting, TunnelSend, TunnelRead, Handshake, Open, Failed };
  // One step of the attempt without waiting: 0 done, kWsaWouldBlock, or a failure code.
  int Step();
  int StepTunnelSend();
  int StepTunnelRead();
  int StepHandshake();
  int Fail(int code);
  // The result of a failed SSL call as a stream result (negated code, 0 for a clean end).
  std::int64_t IoFailure(int ret);
  bool WaitWanted(int ms);

  std::unique_ptr<TByteStream> m_inner;
  Link m_link;
  std::string m_sessionKey;  // "host:port" of the server, the key of its saved session
  std::string m_host;
  std::string m_tunnelTarget;
  std::string m_tunnelRequest;
  std::string m_tunnelReply;
  std::size_t m_tunnelSent = 0;
  int m_tunnelStatus = 0;
  SSL* m_ssl = nullptr;
  Phase m_phase = Phase::Idle;
  bool m_wantWrite = false;  // the last TLS call waits for the inner stream to take bytes
  int m_heldFailure = 0;     // a receive failure met after bytes that were returned first
  bool m_offerHttp2 = false;
};

}  // namespace toravin
