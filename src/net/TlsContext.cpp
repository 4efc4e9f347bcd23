// The shared client context and its session cache. Sessions are saved only from handshakes that
// passed verification for that very host and port, so a resumption never skips a check that the
// key's first connection did not pass. A TLS 1.3 session is good for one resumption (the library
// marks it used, as tickets are meant to be), so each server keeps the last few it sent: the
// connections of a crawl that start together each resume with a ticket of its own, where one
// saved session left all but the first to a full handshake. The cache is bounded; when full it
// starts over.
#include "net/TlsContext.h"

#include <openssl/ssl.h>

#include <deque>
#include <map>
#include <memory>

namespace toravin {
namespace {

// Servers whose sessions are kept at once, and sessions kept per server (the newest).
constexpr std::size_t kMaxSavedSessions = 64;
constexpr std::size_t kSessionsPerServer = 16;
// Bytes the library reads from the stream per call when it can: several records at once.
constexpr std::size_t kReadBufferBytes = 64 * 1024;

struct SessionFree {
  void operator()(SSL_SESSION* s) const { SSL_SESSION_free(s); }
};
using SessionPtr = std::unique_ptr<SSL_SESSION, SessionFree>;

std::map<std::string, std::deque<SessionPtr>>& SavedSessions() {
  static std::map<std::string, std::deque<SessionPtr>> sessions;
  return sessions;
}

int KeyIndex() {
  static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

int SaveSession(SSL* ssl, SSL_SESSION* session) {
  const auto* key = static_cast<const std::string*>(SSL_get_ex_data(ssl, KeyIndex()));
  if (!key || SSL_get_verify_result(ssl) != X509_V_OK) return 0;
  auto& sessions = SavedSessions();
  if (sessions.size() >= kMaxSavedSessions && !sessions.contains(*key)) sessions.clear();
  std::deque<SessionPtr>& saved = sessions[*key];
  if (saved.size() >= kSessionsPerServer) saved.pop_front();
  saved.emplace_back(session);
  return 1;  // the cache owns the session now
}

struct ContextFree {
  void operator()(SSL_CTX* c) const { SSL_CTX_free(c); }
};

SSL_CTX* MakeContext() {
  std::unique_ptr<SSL_CTX, ContextFree> ctx(SSL_CTX_new(TLS_client_method()));
  if (!ctx) return nullptr;
  SSL_CTX* c = ctx.get();
  if (SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION) != 1) return nullptr;
  SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_default_verify_paths(c);
  // A server that closes without a closing alert ends the body like a TCP close does over
  // HTTP; the crawl's length check catches a cut-off file either way.
  SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_mode(c, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_set_read_ahead(c, 1);
  SSL_CTX_set_default_read_buffer_len(c, kReadBufferBytes);
  SSL_CTX_set_session_cache_mode(c, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
  SSL_CTX_sess_set_new_cb(c, SaveSession);
  return ctx.release();
}

}  // namespace

SSL_CTX* TlsClientContext() {
  static std::unique_ptr<SSL_CTX, ContextFree> ctx(MakeContext());
  return ctx.get();
}

void UseSavedSession(SSL* ssl, const std::string* key) {
  SSL_set_ex_data(ssl, KeyIndex(), const_cast<std::string*>(key));
  auto& sessions = SavedSessions();
  auto it = sessions.find(*key);
  if (it == sessions.end()) return;
  // The newest session first; one the library has marked used or spent is dropped. A TLS 1.3
  // session offered leaves the cache (its connection saves the ones the server sends it); an
  // earlier protocol's serves every connection, as the server sends no new one on resumption.
  std::deque<SessionPtr>& saved = it->second;
  while (!saved.empty()) {
    SSL_SESSION* session = saved.back().get();
    if (!SSL_SESSION_is_resumable(session)) {
      saved.pop_back();
      continue;
    }
    SSL_set_session(ssl, session);
    if (SSL_SESSION_get_protocol_version(session) >= TLS1_3_VERSION) saved.pop_back();
    break;
  }
  if (saved.empty()) sessions.erase(it);
}

}  // namespace toravin
