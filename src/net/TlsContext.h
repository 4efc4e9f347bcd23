// The process's one TLS client context: TLS 1.2 and 1.3 only, peer verification against the
// system's certificate store (OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR apply),
// and a small cache of sessions per server, so that a crawl of many files from one server does
// most handshakes as cheap resumptions instead of full certificate checks.
#pragma once

#include <string>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace toravin {

// The shared client context, made on first use; nullptr when the library cannot make one.
SSL_CTX* TlsClientContext();

// Ties `ssl` to the server key ("host:port"; the string must outlive `ssl`) and offers the
// newest session saved for that key, if any, for resumption (a TLS 1.3 one is offered once).
// Sessions the server sends later are saved under the key.
void UseSavedSession(SSL* ssl, const std::string* key);

}  // namespace toravin
