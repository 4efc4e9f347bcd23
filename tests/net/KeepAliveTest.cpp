// The HTTP client with connections kept open, against a loopback server that keeps them open:
// the request bytes, which replies let a connection carry the next request, the bodies as their
// framing says, one new try after a kept connection the server closed, and hostile framings
// failing the exchange without reusing its connection.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "net/HttpClient.h"
#include "net/SockError.h"
#include "support/LoopbackHttpServer.h"

namespace toravin {
namespace {

using test::LoopbackHttpServer;
using test::ScriptedReply;
using Strings = std::vector<std::string>;

const char kRequestTail[] =
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
    "Content-type: application/x-www-form-urlencoded\r\n\r\n";

struct KeptClient {
  THttpClient http;
  KeptClient() {
    http.Pool = std::make_shared<TConnectionPool>();
    http.TimeOut = 5000;
  }
};

TEST(KeepAlive, RequestsAreHttp11WithTheSameHeaderLines) {
  LoopbackHttpServer server(true);
  server.Enqueue(ScriptedReply::Http11(200, "one"));
  LoopbackHttpServer proxy(true);
  proxy.Enqueue(ScriptedReply::Http11(200, "two"));
  KeptClient c;
  c.http.Get(server.Url("/a/b.jpg"));
  EXPECT_EQ(c.http.Body, "one");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0],
            std::string("GET /a/b.jpg HTTP/1.1\r\nHost: 127.0.0.1\r\n") + kRequestTail);
  c.http.Proxy = "127.0.0.1";
  c.http.ProxyPort = proxy.port();
  c.http.Get("http://www.example.com/p.htm");
  EXPECT_EQ(c.http.Body, "two");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0],
            std::string("GET http://www.example.com/p.htm HTTP/1.1\r\n"
                        "Proxy-Connection: Keep-Alive\r\nHost: www.example.com\r\n") +
                kRequestTail);
}

// Two requests in a row: the first reply decides whether the second goes on its connection.
TEST(KeepAlive, TheFirstReplyDecidesWhetherItsConnectionIsUsedAgain) {
  struct Case {
    const char* name;
    ScriptedReply first;
    std::string body;
    int connections;  // for both requests
  };
  const std::vector<Case> cases = {
      {"length", ScriptedReply::Http11(200, "hello"), "hello", 1},
      {"chunked",
       ScriptedReply::Text("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                           "2\r\nhe\r\n3;x=y\r\nllo\r\n0\r\nX-Trailer: 1\r\n\r\n")
           .KeepOpen(),
       "hello", 1},
      {"chunked in pieces",
       ScriptedReply()
           .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r")
           .Delay(20)
           .Send("\nhe\r\n3\r\nl")
           .Delay(20)
           .Send("lo\r\n0\r\n\r\n")
           .KeepOpen(),
       "hello", 1},
      {"no content", ScriptedReply::Text("HTTP/1.1 204 No Content\r\n\r\n").KeepOpen(), "", 1},
      {"HTTP/1.0", ScriptedReply::Http(200, "hello"), "hello", 2},
      {"HTTP/1.0 keep-alive",
       ScriptedReply::Http(200, "hello", "Connection: keep-alive\r\n").KeepOpen(), "hello", 2},
      {"Connection: close", ScriptedReply::Http(200, "hello", "Connection: close\r\n"), "hello", 2},
      {"no length", ScriptedReply::Text("HTTP/1.1 200 OK\r\n\r\nhello"), "hello", 2},
      {"more than announced",
       ScriptedReply::Text("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nhello").KeepOpen(), "hel",
       2},
  };
  for (const Case& c : cases) {
    LoopbackHttpServer server(true);
    server.Enqueue(c.first);
    server.Enqueue(ScriptedReply::Http11(200, "second"));
    KeptClient k;
    k.http.Get(server.Url("/1"));
    EXPECT_EQ(k.http.Body, c.body) << c.name;
    k.http.Get(server.Url("/2"));
    EXPECT_EQ(k.http.Body, "second") << c.name;
    EXPECT_EQ(k.http.ReplyCode, 200) << c.name;
    EXPECT_EQ(server.Connections(), c.connections) << c.name;
    ASSERT_EQ(server.Requests().size(), 2u) << c.name;
    EXPECT_EQ(test::RequestPath(server.Requests()[1]), "/2") << c.name;
  }
}

// Kept connections are keyed by scheme, host and port: another server gets its own, and coming
// back to the first goes on with its kept one.
TEST(KeepAlive, EachServerKeepsItsOwnConnection) {
  LoopbackHttpServer a(true), b(true);
  for (int i = 0; i < 3; ++i) a.Enqueue(ScriptedReply::Http11(200, "a" + std::to_string(i)));
  for (int i = 0; i < 2; ++i) b.Enqueue(ScriptedReply::Http11(200, "b" + std::to_string(i)));
  KeptClient k;
  Strings bodies;
  for (const std::string& url :
       {a.Url("/x"), b.Url("/y"), a.Url("/x"),
        "http://localhost:" + std::to_string(b.port()) + "/z", a.Url("/x")}) {
    k.http.Get(url);
    bodies.push_back(k.http.Body);
  }
  EXPECT_EQ(bodies, (Strings{"a0", "b0", "a1", "b1", "a2"}));
  EXPECT_EQ(a.Connections(), 1);
  EXPECT_EQ(b.Connections(), 2);  // "localhost" is another host name than "127.0.0.1"
  EXPECT_EQ(k.http.Pool->Idle(), 3u);
}

// A kept connection the server closed (or broke) before answering: the request goes once more on
// a new connection, and that second try is not repeated.
TEST(KeepAlive, AKeptConnectionClosedBeforeTheReplyIsTriedOnceMoreOnANewOne) {
  struct Case {
    const char* name;
    std::vector<ScriptedReply> replies;  // in the order of the requests
    std::string body;
    int code;
    int connections;
    std::size_t requests;
  };
  const std::vector<Case> cases = {
      {"closed",
       {ScriptedReply::Http11(200, "one"), ScriptedReply(), ScriptedReply::Http11(200, "two")},
       "two",
       200,
       2,
       3},
      {"closed after a partial line",
       {ScriptedReply::Http11(200, "one"), ScriptedReply::Text("HTT"),
        ScriptedReply::Http11(200, "two")},
       "two",
       200,
       2,
       3},
      {"closed twice",
       {ScriptedReply::Http11(200, "one"), ScriptedReply(), ScriptedReply()},
       "",
       0,
       2,
       3},
  };
  for (const Case& c : cases) {
    LoopbackHttpServer server(true);
    for (const ScriptedReply& r : c.replies) server.Enqueue(r);
    KeptClient k;
    int successes = 0, failures = 0;
    k.http.OnSuccess = [&](CmdType) { ++successes; };
    k.http.OnFailure = [&](CmdType) { ++failures; };
    k.http.Get(server.Url("/1"));
    k.http.Get(server.Url("/2"));
    EXPECT_EQ(k.http.Body, c.body) << c.name;
    EXPECT_EQ(k.http.ReplyCode, c.code) << c.name;
    EXPECT_EQ(successes, 2) << c.name;
    EXPECT_EQ(failures, 0) << c.name;
    EXPECT_EQ(server.Connections(), c.connections) << c.name;
    ASSERT_EQ(server.Requests().size(), c.requests) << c.name;
    EXPECT_EQ(server.Requests()[1], server.Requests()[2]) << c.name;
  }
}

// Bodies whose framing breaks: the exchange fails (or ends short, as a cut length does with a
// closing server), its connection is not kept, and the next request goes on a new one.
TEST(KeepAlive, BrokenFramingFailsTheExchangeAndDropsTheConnection) {
  struct Case {
    const char* name;
    ScriptedReply reply;
    bool throws;
    std::string body;  // when it does not throw
    std::int64_t contentLength;
  };
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::vector<Case> cases = {
      {"size overflows", ScriptedReply::Text(chunked + "FFFFFFFFFFFFFFFFFFFF\r\nabc").KeepOpen(),
       true, "", 0},
      {"bad size", ScriptedReply::Text(chunked + "xyz\r\nabc\r\n0\r\n\r\n").KeepOpen(), true, "",
       0},
      {"chunk cut by close", ScriptedReply::Text(chunked + "5\r\nhel"), true, "", 0},
      {"last chunk missing", ScriptedReply::Text(chunked + "5\r\nhello\r\n"), true, "", 0},
      {"chunk never ends", ScriptedReply::Text(chunked + "5\r\nhel").Silence(), true, "", 0},
      {"data longer than its size",
       ScriptedReply::Text(chunked + "2\r\nhello\r\n0\r\n\r\n").KeepOpen(), true, "", 0},
      {"length cut by close",
       ScriptedReply::Text("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd"), false, "abcd", 10},
      {"length never reached",
       ScriptedReply::Text("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabcd").Silence(), true, "",
       10},
  };
  for (const Case& c : cases) {
    LoopbackHttpServer server(true);
    server.Enqueue(c.reply);
    server.Enqueue(ScriptedReply::Http11(200, "next"));
    KeptClient k;
    k.http.TimeOut = 300;
    bool threw = false;
    try {
      k.http.Get(server.Url("/1"));
    } catch (const std::exception&) {
      threw = true;
    }
    EXPECT_EQ(threw, c.throws) << c.name;
    if (!c.throws) {
      EXPECT_EQ(k.http.Body, c.body) << c.name;
      EXPECT_EQ(k.http.BytesReceived, static_cast<std::int64_t>(c.body.size())) << c.name;
    }
    EXPECT_EQ(k.http.ContentLength, c.contentLength) << c.name;
    EXPECT_EQ(k.http.Pool->Idle(), 0u) << c.name;
    k.http.TimeOut = 5000;
    k.http.Get(server.Url("/2"));
    EXPECT_EQ(k.http.Body, "next") << c.name;
    EXPECT_EQ(server.Connections(), 2) << c.name;
  }
}

// A kept connection that takes the request and never answers: the time-out ends the exchange,
// and nothing is tried again behind the user's back.
TEST(KeepAlive, ASilentKeptConnectionEndsInTheTimeOut) {
  LoopbackHttpServer server(true);
  server.Enqueue(ScriptedReply::Http11(200, "one"));
  server.Enqueue(ScriptedReply().Silence());
  KeptClient k;
  k.http.Get(server.Url("/1"));
  k.http.TimeOut = 300;
  EXPECT_THROW(k.http.Get(server.Url("/2")), std::exception);
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(k.http.Pool->Idle(), 0u);
}

// Abort while a kept connection waits for its reply: the exchange stops, and the request is not
// sent again on a new connection.
TEST(KeepAlive, AbortOnAKeptConnectionIsNotTriedAgain) {
  LoopbackHttpServer server(true);
  server.Enqueue(ScriptedReply::Http11(200, "one"));
  server.Enqueue(ScriptedReply().Silence());
  KeptClient k;
  k.http.Get(server.Url("/1"));
  int passes = 0;
  k.http.OnWaitPass = [&] {
    if (++passes == 50) k.http.Abort();
  };
  EXPECT_THROW(k.http.Get(server.Url("/2")), EAbortError);
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(server.Requests().size(), 2u);
}

// Redirects on a kept connection: the Location is followed on the same connection when it stays
// on the server; a body held in Body with a bound, read only in part, leaves its connection
// unused.
TEST(KeepAlive, RedirectsAndBoundedBodies) {
  LoopbackHttpServer server(true);
  server.Enqueue(ScriptedReply::Http11(302, "moved", "Location: /there.jpg\r\n"));
  server.Enqueue(ScriptedReply::Http11(200, "here"));
  server.Enqueue(ScriptedReply::Http11(200, std::string(4 << 20, 'p')));
  server.Enqueue(ScriptedReply::Http11(200, "after"));
  KeptClient k;
  k.http.Get(server.Url("/here.jpg"));
  EXPECT_EQ(k.http.Body, "here");
  EXPECT_EQ(server.Connections(), 1);
  k.http.BodyLimit = 10;
  k.http.Get(server.Url("/page.htm"));
  EXPECT_EQ(k.http.Body, std::string(10, 'p'));
  k.http.BodyLimit = -1;
  k.http.Get(server.Url("/after.jpg"));
  EXPECT_EQ(k.http.Body, "after");
  EXPECT_EQ(server.Connections(), 2);
  Strings paths;
  for (const std::string& r : server.Requests()) paths.push_back(test::RequestPath(r));
  EXPECT_EQ(paths, (Strings{"/here.jpg", "/there.jpg", "/page.htm", "/after.jpg"}));
}

}  // namespace
}  // namespace toravin
