// The socket client over the in-memory stream: line reads that leave the rest unread, captures,
// host resolution with its one retry, status levels and the cancel paths.
#include "net/SockClient.h"

#include <gtest/gtest.h>

#include "net/MemoryStream.h"

namespace toravin {
namespace {

struct MemSock {
  std::shared_ptr<TMemoryPeer> peer = std::make_shared<TMemoryPeer>();
  TSockClient sock;
  MemSock() {
    sock.StreamFactory = [p = peer] { return std::make_unique<TMemoryStream>(p); };
    sock.Host = "127.0.0.1";
    sock.Port = 80;
  }
};

TEST(SockClient, ReadLnTakesOneLineAndLeavesTheNext) {
  for (std::size_t chunk : {1u, 2u, 5u, 17u, 65536u}) {
    MemSock m;
    m.peer->chunk = chunk;
    m.peer->replies.push_back("HTTP/1.0 200 OK\r\nNext: line\nrest");
    m.sock.Connect();
    std::string first = m.sock.ReadLn();
    EXPECT_EQ(first.size(), 17u);
    EXPECT_EQ(first, "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(m.sock.ReadLn(), "Next: line\n");
    std::string rest;
    m.sock.CaptureString(rest);
    EXPECT_EQ(rest, "rest") << chunk;
    EXPECT_EQ(m.sock.BytesReceived, 4);
  }
}

TEST(SockClient, ReadLnAtCloseGivesEmptyLineAndDropsPartialLine) {
  MemSock m;
  m.peer->replies.push_back("partial");
  m.sock.Connect();
  EXPECT_EQ(m.sock.ReadLn(), "");
}

TEST(SockClient, ReadLnLongerThanTheBufferIsAnError) {
  MemSock m;
  m.peer->replies.push_back(std::string(70000, 'x') + "\n");
  m.sock.Connect();
  EXPECT_THROW(m.sock.ReadLn(), ESockError);
}

TEST(SockClient, CaptureStringMaximumIsCheckedBeforeEachBlock) {
  MemSock m;
  m.peer->chunk = 4;
  m.peer->replies.push_back("abcdefghij");
  m.sock.Connect();
  std::string text;
  int packets = 0;
  m.sock.OnPacketRecvd = [&](TSockClient&) { ++packets; };
  m.sock.CaptureString(text, 5);
  EXPECT_EQ(text, "abcdefgh");
  EXPECT_EQ(packets, 2);
}

TEST(SockClient, SingleByteBlocksAreAppended) {
  MemSock m;
  m.peer->chunk = 1;
  m.peer->replies.push_back("xyz");
  m.sock.Connect();
  std::string text;
  m.sock.CaptureString(text);
  EXPECT_EQ(text, "xyz");
  EXPECT_EQ(m.sock.BytesReceived, 3);
}

TEST(SockClient, CancelDuringCaptureRaisesAbortAndClearsTheFlag) {
  MemSock m;
  m.peer->chunk = 2;
  m.peer->replies.push_back("abcdef");
  m.sock.Connect();
  m.sock.OnPacketRecvd = [](TSockClient& s) { s.Cancel(); };
  std::string text;
  try {
    m.sock.CaptureString(text);
    FAIL();
  } catch (const EAbortError& e) {
    EXPECT_STREQ(e.what(), "Socket capture aborted");
  }
  EXPECT_FALSE(m.sock.Canceled);
  EXPECT_EQ(text, "ab");
}

TEST(SockClient, WriteWhileCanceledRaisesSendAborted) {
  MemSock m;
  m.sock.Connect();
  m.sock.Cancel();
  try {
    m.sock.Write("x");
    FAIL();
  } catch (const EAbortError& e) {
    EXPECT_STREQ(e.what(), "Socket send aborted");
  }
  EXPECT_EQ(m.peer->requests[0], "");
}

TEST(SockClient, WriteSendsEveryByteAndWritelnAddsCrLf) {
  MemSock m;
  m.sock.Connect();
  m.sock.Write(std::string("a\0b", 3));
  m.sock.Writeln("line");
  m.sock.SendBuffer("zero\0ends", 0);
  EXPECT_EQ(m.peer->requests[0], std::string("a\0bline\r\nzero", 13));
}

TEST(SockClient, AlreadyConnected) {
  MemSock m;
  m.sock.Connect();
  try {
    m.sock.Connect();
    FAIL();
  } catch (const ESockError& e) {
    EXPECT_STREQ(e.what(), "Already connected");
  }
}

TEST(SockClient, DottedAddressConnectsWithoutLookup) {
  MemSock m;
  int lookups = 0, resolved = 0;
  m.sock.Resolver = [&](const std::string&) {
    ++lookups;
    return CompletedHostLookup(0, 0x7f000001);
  };
  m.sock.OnHostResolved = [&](TSockClient&) { ++resolved; };
  m.sock.Connect();
  EXPECT_EQ(lookups, 0);
  EXPECT_EQ(resolved, 0);
  EXPECT_EQ(m.sock.RemoteAddress, 0x7f000001u);
}

TEST(SockClient, ProxyNameIsResolvedInsteadOfHost) {
  MemSock m;
  std::vector<std::string> names;
  m.sock.Resolver = [&](const std::string& n) {
    names.push_back(n);
    return CompletedHostLookup(0, 0x7f000002);
  };
  m.sock.Host = "origin.test";
  m.sock.Proxy = "proxy.test";
  m.sock.ProxyPort = 3128;
  int resolved = 0;
  m.sock.OnHostResolved = [&](TSockClient&) { ++resolved; };
  m.sock.Connect();
  EXPECT_EQ(names, std::vector<std::string>{"proxy.test"});
  EXPECT_EQ(resolved, 1);
}

TEST(SockClient, InvalidHostHandlerGetsExactlyOneChance) {
  {
    MemSock m;
    m.sock.Host = "bad.test";
    int lookups = 0;
    m.sock.Resolver = [&](const std::string& n) {
      ++lookups;
      return n == "good.test" ? CompletedHostLookup(0, 0x7f000001)
                              : CompletedHostLookup(kWsaHostNotFound, 0);
    };
    m.sock.OnInvalidHost = [&](bool& handled) {
      m.sock.Host = "good.test";
      handled = true;
    };
    m.sock.Connect();
    EXPECT_TRUE(m.sock.Connected);
    EXPECT_EQ(lookups, 2);
  }
  {
    MemSock m;
    m.sock.Host = "bad.test";
    int lookups = 0, calls = 0;
    m.sock.Resolver = [&](const std::string&) {
      ++lookups;
      return CompletedHostLookup(kWsaHostNotFound, 0);
    };
    m.sock.OnInvalidHost = [&](bool& handled) {
      ++calls;
      handled = true;
    };
    try {
      m.sock.Connect();
      FAIL();
    } catch (const ESockError& e) {
      EXPECT_STREQ(e.what(), "Null Remote Address");
    }
    EXPECT_EQ(lookups, 2);
    EXPECT_EQ(calls, 1);
  }
}

TEST(SockClient, ConnectTimesOutAndReportsConnectionFailed) {
  MemSock m;
  m.peer->connectMode = TMemoryPeer::ConnectMode::Hang;
  m.sock.TimeOut = 30;
  int failed = 0;
  m.sock.OnConnectionFailed = [&](TSockClient&) { ++failed; };
  try {
    m.sock.Connect();
    FAIL();
  } catch (const ESockError& e) {
    EXPECT_STREQ(e.what(), "Connection Timed out");
  }
  EXPECT_EQ(failed, 1);
  EXPECT_TRUE(m.sock.Canceled);  // stays set until the next Connect
  m.peer->connectMode = TMemoryPeer::ConnectMode::Accept;
  m.sock.Connect();
  EXPECT_TRUE(m.sock.Connected);
}

TEST(SockClient, NegativeTimeOutIsARangeError) {
  MemSock m;
  m.sock.TimeOut = -1;
  EXPECT_THROW(m.sock.Connect(), std::out_of_range);
}

TEST(SockClient, ReportLevelFiltersStatusTexts) {
  MemSock m;
  std::vector<std::string> seen;
  m.sock.OnStatus = [&](TSockClient&, const std::string& s) { seen.push_back(s); };
  m.peer->replies.push_back("250 done\r\n");
  m.sock.ReportLevel = 2;
  m.sock.Connect();
  m.sock.Transaction("HELLO");
  EXPECT_EQ(seen, std::vector<std::string>{"250 done\r\n"});
  EXPECT_EQ(m.sock.ReplyCode, 250);
  seen.clear();
  m.sock.ReportLevel = 8;
  m.sock.Disconnect();
  EXPECT_EQ(seen, (std::vector<std::string>{"Disconnecting", "Request Close Socket"}));
}

TEST(SockClient, DisconnectFiresOncePerConnection) {
  MemSock m;
  int disconnects = 0;
  m.sock.OnDisconnect = [&](TSockClient&) { ++disconnects; };
  m.sock.Connect();
  m.sock.Disconnect();
  m.sock.Disconnect();
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(m.sock.Connected);
}

TEST(SockClient, LookupErrorMessage) {
  TSockClient s;
  EXPECT_EQ(s.LookupErrorMessage(10061), "10061:Connection refused");
  EXPECT_EQ(s.LookupErrorMessage(0), "");
  EXPECT_EQ(s.WinsockInfo.size() == 6 || s.WinsockInfo.empty(), true);
}

}  // namespace
}  // namespace toravin
