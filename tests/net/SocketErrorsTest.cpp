// The socket error texts and the errno mapping that makes them appear on Linux.
#include "net/SocketErrors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

namespace toravin {
namespace {

TEST(SocketErrors, MessagesHaveCodeColonText) {
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {0, ""},
      {10004, "10004:Interrupted system call"},
      {10035, "10035:Operation would block"},
      {10057, "10057:Socket is not connected"},
      {10060, "10060:Connection timed out"},
      {10061, "10061:Connection refused"},
      {10065, "10065:No route to Host"},
      {11001, "11001:Host not found"},
      {11004, "11004:Valid name, no data record of requested type"},
      {10001, "Unknown Error No. 10001"},
      {99, "Unknown Error No. 99"},
  };
  for (const Case& c : cases) EXPECT_EQ(SocketErrorMessage(c.code), c.text) << c.code;
}

TEST(SocketErrors, ErrnoMapsOntoTheTable) {
  EXPECT_EQ(WsaCodeFromErrno(0), 0);
  EXPECT_EQ(WsaCodeFromErrno(EWOULDBLOCK), 10035);
  EXPECT_EQ(WsaCodeFromErrno(EINPROGRESS), 10035);
  EXPECT_EQ(WsaCodeFromErrno(ENOTCONN), 10057);
  EXPECT_EQ(WsaCodeFromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(WsaCodeFromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(WsaCodeFromErrno(ECONNRESET), 10054);
  EXPECT_EQ(WsaCodeFromErrno(EPIPE), 10058);
  EXPECT_EQ(WsaCodeFromErrno(ENOMEM), kUnmappedErrnoBase + ENOMEM);
  EXPECT_EQ(WsaCodeFromAddrInfo(EAI_NONAME), 11001);
  EXPECT_EQ(WsaCodeFromAddrInfo(EAI_AGAIN), 11002);
}

TEST(SocketErrors, EveryTableTextFitsItsRow) {
  int rows = 0;
  for (int code = 10000; code < 12000; ++code) {
    if (const char* t = SocketErrorTableText(code)) {
      ++rows;
      EXPECT_LE(std::string(t).size(), 51u) << code;
    }
  }
  EXPECT_EQ(rows, 50);
}

}  // namespace
}  // namespace toravin
