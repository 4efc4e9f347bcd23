// Fuzzes the TLS stream's record handling against a real TLS server made with OpenSSL's own API
// over memory BIOs, so no TLS byte is written by hand. The input decides how the server's bytes
// are cut into receives, where the stream reports "would block", which peeks are made, what
// application data the server writes and in which records, whether it updates its keys, how it
// ends (closing alert, bare end of stream) and whether one byte on the wire is flipped. The
// stream must always end, and what it delivers must be a prefix of what the server wrote, the
// whole of it when nothing was flipped.
#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "net/SocketErrors.h"
#include "net/TlsContext.h"
#include "net/TlsStream.h"

namespace {

using toravin::kWsaWouldBlock;

// The input, read one byte at a time; past its end every byte reads as 0.
class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  std::size_t Left() const { return m_size - m_pos; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// The server's certificate and key, made once: self-signed for 127.0.0.1 and trusted by the
// client context.
struct ServerIdentity {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  SSL_CTX* ctx = nullptr;
  ServerIdentity() {
    key = EVP_EC_gen("P-256");
    cert = X509_new();
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600L * 24 * 365);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("fuzz"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* san = X509V3_EXT_conf(nullptr, &v3, "subjectAltName", "IP:127.0.0.1");
    X509_add_ext(cert, san, -1);
    X509_EXTENSION_free(san);
    X509_sign(cert, key, EVP_sha256());
    ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_use_certificate(ctx, cert);
    SSL_CTX_use_PrivateKey(ctx, key);
    X509_STORE_add_cert(SSL_CTX_get_cert_store(toravin::TlsClientContext()), cert);
  }
};

// The inner stream of the TLS stream under test: its far end is an OpenSSL server over memory
// BIOs, driven whenever the client sends.
class ServerPipe : public toravin::TByteStream {
 public:
  ServerPipe(SSL_CTX* ctx, Script& script, std::string& written)
      : m_script(script), m_written(written) {
    m_ssl = SSL_new(ctx);
    m_in = BIO_new(BIO_s_mem());
    m_out = BIO_new(BIO_s_mem());
    SSL_set_bio(m_ssl, m_in, m_out);
    SSL_set_accept_state(m_ssl);
    if (m_script.Byte() & 1) SSL_set_max_proto_version(m_ssl, TLS1_2_VERSION);
    std::uint8_t flip = m_script.Byte();
    std::uint8_t at = m_script.Byte();
    m_flipAt = flip >= 224 ? 1 + at * 37u : SIZE_MAX;
    // The server's plan comes first in the input: its records, key updates and ending.
    int records = m_script.Byte() % 8;
    for (int r = 0; r < records; ++r) {
      std::uint8_t length = m_script.Byte();
      std::uint8_t update = m_script.Byte();
      m_records.push_back({1 + length * 67u, (update & 15) == 0});
    }
    m_closeNotify = (m_script.Byte() & 1) != 0;
  }
  ~ServerPipe() override { SSL_free(m_ssl); }

  bool IsOpen() const override { return m_open; }
  int Connect(std::uint32_t, std::uint16_t) override {
    m_open = true;
    return (m_script.Byte() & 1) ? 0 : kWsaWouldBlock;
  }
  int PollConnect(int) override { return 0; }

  std::int64_t Receive(char* buffer, std::size_t size, bool peek) override {
    if (!m_open) return -toravin::kWsaNotConnected;
    Collect();
    std::uint8_t b = m_script.Byte();
    if (b > 0 && b < 24) return -kWsaWouldBlock;  // a moment with nothing to read
    if (m_box.empty()) return m_ended ? 0 : -kWsaWouldBlock;
    // 0 (also past the input's end) takes all there is.
    std::size_t cut = b == 0 ? size : std::size_t{1} + b * 131;
    std::size_t n = std::min({size, m_box.size(), cut});
    std::memcpy(buffer, m_box.data(), n);
    if (!peek) m_box.erase(0, n);
    return static_cast<std::int64_t>(n);
  }

  std::int64_t Send(const char* buffer, std::size_t size) override {
    if (!m_open) return -toravin::kWsaNotConnected;
    std::uint8_t b = m_script.Byte();
    if (b != 0 && (b & 7) == 0) return -kWsaWouldBlock;
    BIO_write(m_in, buffer, static_cast<int>(size));
    Serve();
    return static_cast<std::int64_t>(size);
  }

  bool Flipped() const { return m_flipAt < m_sent; }

  bool WaitReadable(int) override { return true; }
  bool WaitWritable(int) override { return true; }
  void Close() override { m_open = false; }

 private:
  // The server's part: finish the handshake, then write the scripted records and end.
  void Serve() {
    if (m_done) return;
    if (!SSL_is_init_finished(m_ssl)) {
      if (SSL_do_handshake(m_ssl) != 1) return;
    }
    char sink[256];
    while (SSL_read(m_ssl, sink, sizeof sink) > 0) {
    }
    char fill = 'a';
    for (const Record& r : m_records) {
      std::string data(r.length, fill++);
      if (SSL_write(m_ssl, data.data(), static_cast<int>(data.size())) > 0) m_written += data;
      if (r.keyUpdate && SSL_version(m_ssl) == TLS1_3_VERSION) {
        SSL_key_update(m_ssl, SSL_KEY_UPDATE_NOT_REQUESTED);
      }
    }
    if (m_closeNotify) SSL_shutdown(m_ssl);
    m_done = true;
    m_ended = true;
  }

  // Moves the server's output into the box, flipping the chosen byte.
  void Collect() {
    char buf[4096];
    int n;
    while ((n = BIO_read(m_out, buf, sizeof buf)) > 0) {
      for (int i = 0; i < n; ++i, ++m_sent) {
        if (m_sent == m_flipAt) buf[i] = static_cast<char>(buf[i] ^ 0x20);
      }
      m_box.append(buf, static_cast<std::size_t>(n));
    }
  }

  struct Record {
    std::size_t length;
    bool keyUpdate;
  };

  Script& m_script;
  std::string& m_written;
  std::vector<Record> m_records;
  bool m_closeNotify = false;
  SSL* m_ssl;
  BIO* m_in;
  BIO* m_out;
  std::string m_box;
  std::size_t m_sent = 0;
  std::size_t m_flipAt;
  bool m_open = false;
  bool m_done = false;
  bool m_ended = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ServerIdentity identity;
  Script script(data, size);
  std::string written;
  auto pipe = std::make_unique<ServerPipe>(identity.ctx, script, written);
  const ServerPipe& server = *pipe;
  toravin::TTlsStream tls(std::move(pipe), "127.0.0.1");
  int code = tls.Connect(0x7f000001, 443);
  for (int i = 0; code == kWsaWouldBlock && i < 10000; ++i) code = tls.PollConnect(0);
  // A handshake fails only when a byte on the wire was changed.
  if (code != 0) {
    if (!server.Flipped()) std::abort();
    return 0;
  }
  std::string request = "GET / HTTP/1.0\r\n\r\n";
  for (int i = 0; i < 1000 && !request.empty(); ++i) {
    std::int64_t n = tls.Send(request.data(), request.size());
    if (n > 0) request.erase(0, static_cast<std::size_t>(n));
    if (n < 0 && n != -kWsaWouldBlock) break;
  }
  std::string got;
  char buf[70000];
  std::int64_t n = 0;
  for (int i = 0; i < 200000; ++i) {
    // Past the input's end: plain receives of a whole buffer.
    bool peek = (script.Byte() & 3) == 3;
    std::uint8_t w = script.Byte();
    std::size_t want = w == 0 ? sizeof buf : 1 + (w * 263u) % sizeof buf;
    n = tls.Receive(buf, want, peek);
    if (n == -kWsaWouldBlock) {
      tls.WaitReadable(0);
      continue;
    }
    if (n <= 0) break;
    if (!peek) got.append(buf, static_cast<std::size_t>(n));
  }
  if (got.size() > written.size() || written.compare(0, got.size(), got) != 0) std::abort();
  // Unharmed records that ended cleanly arrive whole.
  if (n == 0 && !server.Flipped() && got != written) std::abort();
  return 0;
}
