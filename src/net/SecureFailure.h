// Why a secure connection could not be made. The TLS stream reports these as connection failure
// codes, above the socket library's numbering, and the texts name the host in Japanese so the
// user sees what to fix: a certificate the system does not trust, one out of its validity
// period, one issued for another name, a handshake that failed, or a proxy refusing the tunnel.
#pragma once

#include <string>

namespace toravin {

// The certificate chain does not lead to a certificate authority the system trusts.
inline constexpr int kTlsUntrusted = 12001;
// The server's certificate has expired.
inline constexpr int kTlsExpired = 12002;
// The server's certificate is not valid yet.
inline constexpr int kTlsNotYetValid = 12003;
// The certificate was issued for another host name or address.
inline constexpr int kTlsWrongName = 12004;
// The handshake failed for any other reason (no common protocol version or cipher, a broken
// or closed peer).
inline constexpr int kTlsHandshakeFailed = 12005;
// The proxy answered CONNECT with something other than a 2xx status.
inline constexpr int kTunnelRefused = 12006;

// True for the codes above.
bool IsSecureFailure(int code);

// The user's text for a code of this file (CP932), naming `host`; empty for any other code.
// For kTunnelRefused, `proxyStatus` is the proxy's reply code (0: no readable reply).
std::string SecureFailureText(int code, const std::string& host, int proxyStatus = 0);

}  // namespace toravin
