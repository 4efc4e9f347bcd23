// Socket error codes in the numbering of the classic Windows Sockets library, which the rest of
// the client and its user-visible texts are written against. POSIX errno values and getaddrinfo
// results are mapped onto that numbering here, in one place.
#pragma once

#include <string>

namespace toravin {

// Codes the client tests for by value.
inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaConnAborted = 10053;
inline constexpr int kWsaConnReset = 10054;
inline constexpr int kWsaNotConnected = 10057;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaConnRefused = 10061;
inline constexpr int kWsaHostNotFound = 11001;
// Codes at or below this value are not errors of the socket library.
inline constexpr int kWsaBase = 10000;
// errno values without a counterpart in the table are reported as this base plus errno.
inline constexpr int kUnmappedErrnoBase = 20000;

// The Windows Sockets code for an errno value (0 for 0).
int WsaCodeFromErrno(int err);

// The Windows Sockets code for a getaddrinfo result (0 for success).
int WsaCodeFromAddrInfo(int gaiResult);

// The table text of a code, or nullptr when the table has no row for it.
const char* SocketErrorTableText(int code);

// "" for 0; "<code>:<text>" for a code of the table; "Unknown Error No. <code>" otherwise.
std::string SocketErrorMessage(int code);

}  // namespace toravin
