// The HTTP client against a real TCP server on a loopback port: bytes on the wire, redirects
// across servers, early close, refused connections and every kind of time-out.
#include <gtest/gtest.h>
#include <unistd.h>

#include "net/HttpClient.h"
#include "platform/Clock.h"
#include "support/LoopbackHttpServer.h"

namespace toravin {
namespace {

using test::LoopbackHttpServer;
using test::ScriptedReply;

TEST(HttpLoopback, RequestBytesOnTheWire) {
  LoopbackHttpServer server;
  server.Enqueue(ScriptedReply::Http(200, "hello"));
  THttpClient http;
  http.Get(server.Url("/a/b.jpg"));
  EXPECT_EQ(http.Body, "hello");
  EXPECT_EQ(http.ReplyCode, 200);
  ASSERT_EQ(server.Connections(), 1);
  EXPECT_EQ(server.Requests()[0],
            "GET /a/b.jpg HTTP/1.0\r\nHost: 127.0.0.1\r\n"
            "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
            "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
            "Content-type: application/x-www-form-urlencoded\r\n\r\n");
}

TEST(HttpLoopback, ProxyRequestBytesOnTheWire) {
  LoopbackHttpServer proxy;
  proxy.Enqueue(ScriptedReply::Http(200, "via proxy"));
  THttpClient http;
  http.Proxy = "127.0.0.1";
  http.ProxyPort = proxy.port();
  http.Get("http://www.example.com/p.htm");
  EXPECT_EQ(http.Body, "via proxy");
  EXPECT_EQ(proxy.Requests()[0],
            "GET http://www.example.com/p.htm HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\n"
            "Host: www.example.com\r\n"
            "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
            "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
            "Content-type: application/x-www-form-urlencoded\r\n\r\n");
}

TEST(HttpLoopback, RedirectWithCookieToAnotherHostAndPath) {
  LoopbackHttpServer first, second;
  std::string target = "http://localhost:" + std::to_string(second.port()) + "/other/x.jpg";
  first.Enqueue(ScriptedReply::Text(
      "HTTP/1.0 302 Found\r\nSet-Cookie: sid=abc\r\nLocation: " + target + "\r\n\r\nmoved"));
  second.Enqueue(ScriptedReply::Http(200, "JPEGDATA", "Content-Type: image/jpeg\r\n"));
  THttpClient http;
  int redirects = 0, resolved = 0;
  http.OnRedirect = [&](bool&) { ++redirects; };
  http.OnHostResolved = [&](TSockClient&) { ++resolved; };
  http.Get(first.Url("/start.htm"));
  EXPECT_EQ(redirects, 1);
  EXPECT_EQ(resolved, 1);
  EXPECT_EQ(http.Body, "JPEGDATA");
  EXPECT_EQ(http.Host, "localhost");
  EXPECT_EQ(http.RequestURL, target);
  std::string req = second.Requests().at(0);
  EXPECT_EQ(req.substr(0, req.find("\r\n")), "GET /other/x.jpg HTTP/1.0");
  EXPECT_NE(req.find("\r\nHost: localhost\r\n"), std::string::npos);
  EXPECT_NE(req.find("\r\nCookie: sid=abc\r\n"), std::string::npos);
  EXPECT_EQ(first.Requests()[0].find("Cookie"), std::string::npos);
}

TEST(HttpLoopback, ServerClosingWithoutAByteIsAnEmptySuccess) {
  LoopbackHttpServer server;
  server.Enqueue(ScriptedReply());
  THttpClient http;
  std::vector<std::string> events;
  http.OnSuccess = [&](CmdType) { events.push_back("Success"); };
  http.OnFailure = [&](CmdType) { events.push_back("Failure"); };
  http.Get(server.Url("/"));
  EXPECT_EQ(http.ReplyCode, 0);
  EXPECT_EQ(http.Header, "");
  EXPECT_EQ(http.Body, "");
  EXPECT_EQ(events, std::vector<std::string>{"Success"});
}

TEST(HttpLoopback, RefusedConnection) {
  THttpClient http;
  std::vector<std::string> events;
  http.OnConnectionFailed = [&](TSockClient&) { events.push_back("ConnectionFailed"); };
  http.OnConnect = [&](TSockClient&) { events.push_back("Connect"); };
  try {
    http.Get("http://127.0.0.1:" + std::to_string(test::ClosedLoopbackPort()) + "/");
    FAIL();
  } catch (const ESockError& e) {
    EXPECT_STREQ(e.what(), "Connection Failed");
  }
  EXPECT_EQ(events, std::vector<std::string>{"ConnectionFailed"});
  EXPECT_EQ(http.LastErrorCode, kWsaConnRefused);
}

TEST(HttpLoopback, TimeOutWhileReadingTheHeader) {
  LoopbackHttpServer server;
  server.Enqueue(ScriptedReply().Send("HTTP/1.0 200 OK\r\n").Silence());
  THttpClient http;
  http.TimeOut = 100;
  try {
    http.Get(server.Url("/"));
    FAIL();
  } catch (const EAbortError& e) {
    EXPECT_STREQ(e.what(), "Socket readln aborted");
  }
}

TEST(HttpLoopback, TimeOutMidBody) {
  LoopbackHttpServer server;
  server.Enqueue(
      ScriptedReply().Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npart").Silence());
  THttpClient http;
  http.TimeOut = 100;
  int outcomes = 0;
  http.OnSuccess = [&](CmdType) { ++outcomes; };
  http.OnFailure = [&](CmdType) { ++outcomes; };
  try {
    http.Get(server.Url("/"));
    FAIL();
  } catch (const EAbortError& e) {
    EXPECT_STREQ(e.what(), "Socket capture aborted");
  }
  EXPECT_EQ(outcomes, 0);
  EXPECT_EQ(http.Body, "part");
}

// A wait slice ends as soon as a descriptor of the other work (OnWaitFds) is ready, while the
// header is read and while the body is: that work runs at once, not a slice later.
TEST(HttpLoopback, AWaitEndsWhenAnotherConnectionIsReady) {
  for (const char* sent : {"", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npart"})
    for (bool covered : {false, true}) {
      SCOPED_TRACE(std::string(sent) + (covered ? ", covered" : ""));
      LoopbackHttpServer server;
      server.Enqueue(ScriptedReply().Send(sent).Silence());
      int ready[2];
      ASSERT_EQ(::pipe(ready), 0);
      ASSERT_EQ(::write(ready[1], "x", 1), 1);
      THttpClient http;
      http.WaitSliceMs = 3000;
      http.OnWaitFds = [&](std::vector<pollfd>& fds) {
        fds.push_back({ready[0], POLLIN, 0});
        return covered;
      };
      int passes = 0;
      const std::int64_t start = TickCountMs();
      http.OnWaitPass = [&] {
        if (++passes == 30 || TickCountMs() - start > 2000) http.Abort();
      };
      EXPECT_THROW(http.Get(server.Url("/")), EAbortError);
      EXPECT_EQ(passes, 30);
      ::close(ready[0]);
      ::close(ready[1]);
    }
}

TEST(HttpLoopback, CaptureFedSteadilyNeverTimesOut) {
  LoopbackHttpServer server;
  ScriptedReply reply;
  reply.Send("HTTP/1.0 200 OK\r\n\r\n");
  std::string expected;
  for (int i = 0; i < 12; ++i) {
    reply.Delay(40).Send("block" + std::to_string(i) + ";");
    expected += "block" + std::to_string(i) + ";";
  }
  server.Enqueue(reply);
  THttpClient http;
  http.TimeOut = 250;  // far less than the whole transfer, far more than one gap
  http.Get(server.Url("/slow"));
  EXPECT_EQ(http.Body, expected);
}

TEST(HttpLoopback, ConnectTimesOutWhenTheTimerFiresFirst) {
  // A listener whose backlog is full would be needed for a real hang; the connect wait is
  // exercised here by a time-out that fires during the host lookup of a slow resolver instead.
  THttpClient http;
  http.TimeOut = 30;
  http.Resolver = [](const std::string&) {
    struct Never : THostLookup {
      bool Done() const override { return false; }
      int Error() const override { return 0; }
      std::uint32_t Address() const override { return 0; }
    };
    return std::make_shared<Never>();
  };
  try {
    http.Get("http://slow.test/");
    FAIL();
  } catch (const ESockError& e) {
    EXPECT_STREQ(e.what(), "Host Lookup Timed Out");
  }
}

TEST(HttpLoopback, SendTowardAPeerThatStopsReadingIsBoundedByTimeOut) {
  LoopbackHttpServer server;
  server.Enqueue(ScriptedReply().DontRead().Silence());
  THttpClient http;
  http.TimeOut = 200;
  try {
    http.Put(server.Url("/upload"), std::string(64 << 20, 'u'));
    FAIL();
  } catch (const EAbortError& e) {
    EXPECT_STREQ(e.what(), "Socket send aborted");
  }
  EXPECT_FALSE(http.Connected);
}

TEST(HttpLoopback, EventOrderAndProgress) {
  LoopbackHttpServer server;
  std::string body(300000, 'b');
  server.Enqueue(ScriptedReply::Http(200, body));
  THttpClient http;
  std::vector<std::string> events;
  std::int64_t lastBytes = 0;
  http.OnAboutToSend = [&](THttpClient&) { events.push_back("AboutToSend"); };
  http.OnConnect = [&](TSockClient&) { events.push_back("Connect"); };
  http.OnPacketRecvd = [&](TSockClient& s) {
    if (events.back() != "PacketRecvd") events.push_back("PacketRecvd");
    EXPECT_GT(s.BytesReceived, lastBytes);
    lastBytes = s.BytesReceived;
  };
  http.OnSuccess = [&](CmdType c) { events.push_back("Success " + std::to_string(c)); };
  http.OnDisconnect = [&](TSockClient&) { events.push_back("Disconnect"); };
  http.Get(server.Url("/big.jpg"));
  EXPECT_EQ(events, (std::vector<std::string>{"AboutToSend", "Connect", "PacketRecvd", "Success 0",
                                              "Disconnect"}));
  EXPECT_EQ(http.Body, body);
  EXPECT_EQ(http.ContentLength, 300000);
  EXPECT_EQ(lastBytes, 300000);
}

TEST(HttpLoopback, HandlerDisconnectDuringBodyKeepsThePartReceived) {
  LoopbackHttpServer server;
  server.Enqueue(ScriptedReply()
                     .Send("HTTP/1.0 200 OK\r\nContent-Length: 20\r\n\r\nfirst")
                     .Delay(50)
                     .Send("second-never-read"));
  THttpClient http;
  int successes = 0;
  http.OnPacketRecvd = [](TSockClient& s) { s.Disconnect(); };
  http.OnSuccess = [&](CmdType) { ++successes; };
  http.Get(server.Url("/"));
  EXPECT_EQ(successes, 1);
  EXPECT_EQ(http.Body, "first");
  EXPECT_LT(http.BytesReceived, http.ContentLength);
}

TEST(HttpLoopback, ConsecutiveGetsReuseTheClient) {
  LoopbackHttpServer server;
  for (int i = 0; i < 20; ++i) server.Enqueue(ScriptedReply::Http(200, "n" + std::to_string(i)));
  THttpClient http;
  for (int i = 0; i < 20; ++i) {
    http.Get(server.Url("/f" + std::to_string(i)));
    EXPECT_EQ(http.Body, "n" + std::to_string(i));
  }
  EXPECT_EQ(server.Connections(), 20);
}

}  // namespace
}  // namespace toravin
