// The order of the client's events when a transfer never gets a connection (the lookup fails,
// the connect is refused or times out), and a connect handler that raises.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/HostLookup.h"
#include "net/HttpClient.h"
#include "net/MemoryStream.h"
#include "net/SocketErrors.h"
#include "support/LoopbackHttpServer.h"

namespace toravin::test {
namespace {

using Events = std::vector<std::string>;

void Record(THttpClient& http, Events& events) {
  http.OnAboutToSend = [&events](THttpClient&) { events.push_back("AboutToSend"); };
  http.OnConnect = [&events](TSockClient&) { events.push_back("Connect"); };
  http.OnConnectionFailed = [&events](TSockClient&) { events.push_back("ConnectionFailed"); };
  http.OnDisconnect = [&events](TSockClient&) { events.push_back("Disconnect"); };
  http.OnSuccess = [&events](CmdType) { events.push_back("Success"); };
  http.OnFailure = [&events](CmdType) { events.push_back("Failure"); };
}

std::string GetFault(THttpClient& http, const std::string& url) {
  try {
    http.Get(url);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(SocketEventOrder, FailedAttemptsEndWithDisconnect) {
  struct Case {
    const char* what;
    TMemoryPeer::ConnectMode mode;
    bool lookupFails;
    const char* fault;
    Events events;
  } cases[] = {
      {"lookup fails",
       TMemoryPeer::ConnectMode::Accept,
       true,
       "Null Remote Address",
       {"AboutToSend", "Disconnect"}},
      {"refused",
       TMemoryPeer::ConnectMode::Refuse,
       false,
       "Connection Failed",
       {"AboutToSend", "ConnectionFailed", "Disconnect"}},
      {"timed out",
       TMemoryPeer::ConnectMode::Hang,
       false,
       "Connection Timed out",
       {"AboutToSend", "ConnectionFailed", "Disconnect"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto peer = std::make_shared<TMemoryPeer>();
    peer->connectMode = c.mode;
    THttpClient http;
    http.TimeOut = 30;
    http.StreamFactory = [peer] { return std::make_unique<TMemoryStream>(peer); };
    const bool fails = c.lookupFails;
    http.Resolver = [fails](const std::string&) {
      return fails ? CompletedHostLookup(kWsaHostNotFound, 0) : CompletedHostLookup(0, 0x7f000001);
    };
    Events events;
    Record(http, events);
    EXPECT_EQ(GetFault(http, "http://h.test/a.jpg"), c.fault);
    EXPECT_EQ(events, c.events);
    // The client stays usable and reports a later transfer in the usual order.
    peer->connectMode = TMemoryPeer::ConnectMode::Accept;
    peer->replies.push_back("HTTP/1.0 200 OK\r\n\r\nok");
    http.Resolver = [](const std::string&) { return CompletedHostLookup(0, 0x7f000001); };
    events.clear();
    EXPECT_EQ(GetFault(http, "http://h.test/a.jpg"), "");
    EXPECT_EQ(events, (Events{"AboutToSend", "Connect", "Success", "Disconnect"}));
  }
}

TEST(SocketEventOrder, RefusedLoopbackPortEndsWithDisconnect) {
  THttpClient http;
  Events events;
  Record(http, events);
  const std::string url = "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/x";
  EXPECT_EQ(GetFault(http, url), "Connection Failed");
  EXPECT_EQ(events, (Events{"AboutToSend", "ConnectionFailed", "Disconnect"}));
}

TEST(SocketEventOrder, ConnectHandlerThatRaisesIsSwallowed) {
  LoopbackHttpServer server;
  server.Enqueue(ScriptedReply::Http(200, "body"));
  THttpClient http;
  Events events;
  Record(http, events);
  http.OnConnect = [&events](TSockClient&) {
    events.push_back("Connect");
    throw std::runtime_error("handler fault");
  };
  EXPECT_EQ(GetFault(http, server.Url("/a.jpg")), "");
  EXPECT_EQ(http.Body, "body");
  EXPECT_EQ(events, (Events{"AboutToSend", "Connect", "Success", "Disconnect"}));
}

}  // namespace
}  // namespace toravin::test
