// https URLs in the HTTP client over the in-memory stream: what goes on the wire before any
// request (a TLS client hello, or a CONNECT to the proxy), the port, the texts of a refused
// tunnel and a failed handshake, the events that fire, and redirect targets that keep the scheme.
#include <gtest/gtest.h>

#include "net/HttpClient.h"
#include "net/MemoryStream.h"
#include "net/SecureFailure.h"
#include "platform/Cp932.h"

namespace toravin {
namespace {

struct MemHttps {
  std::shared_ptr<TMemoryPeer> peer = std::make_shared<TMemoryPeer>();
  THttpClient http;
  std::vector<std::string> events;
  MemHttps() {
    http.StreamFactory = [p = peer] { return std::make_unique<TMemoryStream>(p); };
    http.Resolver = [](const std::string&) { return CompletedHostLookup(0, 0x7f000001); };
    http.OnConnect = [this](TSockClient&) { events.push_back("Connect"); };
    http.OnConnectionFailed = [this](TSockClient&) { events.push_back("ConnectionFailed"); };
    http.OnSuccess = [this](CmdType) { events.push_back("Success"); };
    http.OnFailure = [this](CmdType) { events.push_back("Failure"); };
  }
  // Runs Get and returns the exception's text ("" when none was raised).
  std::string Get(const std::string& url) {
    try {
      http.Get(url);
    } catch (const std::exception& e) {
      return e.what();
    }
    return {};
  }
};

TEST(HttpsClient, DirectGetStartsWithAClientHelloOnPort443) {
  MemHttps m;
  m.peer->replies.push_back("HTTP/1.0 200 OK\r\n\r\nplain text is no TLS server");
  std::string error = m.Get("https://secure.example.com/a.jpg");
  EXPECT_EQ(error, SecureFailureText(kTlsHandshakeFailed, "secure.example.com"));
  EXPECT_EQ(m.http.Port, 443);
  EXPECT_TRUE(m.http.Secure());
  EXPECT_EQ(m.http.LastFailureText, error);
  ASSERT_EQ(m.peer->requests.size(), 1u);
  const std::string& sent = m.peer->requests[0];
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent.substr(0, 2), std::string("\x16\x03", 2));       // a handshake record
  EXPECT_NE(sent.find("secure.example.com"), std::string::npos);  // the server name
  EXPECT_EQ(sent.find("GET "), std::string::npos);                // nothing in clear
  EXPECT_EQ(m.events, (std::vector<std::string>{"ConnectionFailed"}));
}

TEST(HttpsClient, AddressHostsAreNotSentAsServerNames) {
  MemHttps m;
  m.Get("https://127.0.0.1:8443/");
  EXPECT_EQ(m.http.Port, 8443);
  ASSERT_EQ(m.peer->requests.size(), 1u);
  EXPECT_EQ(m.peer->requests[0].find("127.0.0.1"), std::string::npos);
}

TEST(HttpsClient, ProxyGetsOnlyConnectAndItsRefusalDropsNoConnection) {
  struct Case {
    std::string url, reply, sent;
    int status;
  } cases[] = {
      {"https://h.test/x.jpg", "HTTP/1.0 403 Forbidden\r\n\r\n",
       "CONNECT h.test:443 HTTP/1.0\r\nHost: h.test:443\r\n\r\n", 403},
      {"https://h.test:8443/x.jpg", "HTTP/1.1 502 Bad Gateway\r\nX: y\r\n\r\nbody",
       "CONNECT h.test:8443 HTTP/1.0\r\nHost: h.test:8443\r\n\r\n", 502},
      {"https://h.test/", "", "CONNECT h.test:443 HTTP/1.0\r\nHost: h.test:443\r\n\r\n", 0},
      // A 200 with bytes after the blank line is no clean tunnel.
      {"https://h.test/", "HTTP/1.0 200 OK\r\n\r\nextra",
       "CONNECT h.test:443 HTTP/1.0\r\nHost: h.test:443\r\n\r\n", 200},
  };
  for (const Case& c : cases) {
    MemHttps m;
    m.http.Proxy = "proxy.test";
    m.http.ProxyPort = 3128;
    m.peer->replies.push_back(c.reply);
    std::string error = m.Get(c.url);
    std::string host = c.url.substr(8, c.url.find('/', 8) - 8);
    if (host.find(':') == std::string::npos) host += ":443";
    EXPECT_EQ(error, SecureFailureText(kTunnelRefused, host, c.status)) << c.url;
    EXPECT_EQ(m.http.LastErrorCode, kTunnelRefused);
    ASSERT_EQ(m.peer->requests.size(), 1u);
    EXPECT_EQ(m.peer->requests[0], c.sent) << c.url;
    EXPECT_TRUE(m.events.empty()) << c.url;  // neither a connection failure nor a reply
  }
}

TEST(HttpsClient, AcceptedTunnelCarriesTheHandshake) {
  MemHttps m;
  m.http.Proxy = "proxy.test";
  m.http.ProxyPort = 3128;
  m.peer->chunk = 7;  // the proxy's reply arrives in pieces
  m.peer->replies.push_back("HTTP/1.0 200 Connection established\r\n\r\n");
  std::string error = m.Get("https://h.test/x.jpg");
  EXPECT_EQ(error, SecureFailureText(kTlsHandshakeFailed, "h.test"));
  const std::string connect = "CONNECT h.test:443 HTTP/1.0\r\nHost: h.test:443\r\n\r\n";
  ASSERT_EQ(m.peer->requests.size(), 1u);
  const std::string& sent = m.peer->requests[0];
  ASSERT_GT(sent.size(), connect.size() + 2);
  EXPECT_EQ(sent.substr(0, connect.size()), connect);
  EXPECT_EQ(sent.substr(connect.size(), 2), std::string("\x16\x03", 2));
  EXPECT_EQ(sent.find("GET "), std::string::npos);
  EXPECT_EQ(m.events, (std::vector<std::string>{"ConnectionFailed"}));
}

TEST(HttpsClient, HttpThroughAProxyIsUnchangedAfterAnHttpsRequest) {
  MemHttps m;
  m.http.Proxy = "proxy.test";
  m.http.ProxyPort = 3128;
  m.peer->replies.push_back("HTTP/1.0 403 Forbidden\r\n\r\n");
  m.peer->replies.push_back("HTTP/1.0 200 OK\r\n\r\nx");
  EXPECT_NE(m.Get("https://h.test/x.jpg"), "");
  EXPECT_EQ(m.Get("http://h.test/x.jpg"), "");
  const std::string head =
      "GET http://h.test/x.jpg HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\nHost: h.test\r\n";
  EXPECT_EQ(m.peer->requests.at(1).substr(0, head.size()), head);
  EXPECT_FALSE(m.http.Secure());
  EXPECT_EQ(m.http.LastFailureText, "");
  EXPECT_EQ(m.http.Body, "x");
}

TEST(HttpsClient, RedirectTargetsKeepTheScheme) {
  struct Case {
    std::string request, location, target;
  } cases[] = {
      {"https://h.test/d/p.html", "/x.jpg", "https://h.test/x.jpg"},
      {"https://h.test/d/p.html", "x.jpg", "https://h.test/d/x.jpg"},
      {"https://h.test/d/p.html", "//cdn.test/x.jpg", "https://cdn.test/x.jpg"},
      {"https://h.test:8443/p.html", "/x.jpg", "https://h.test:8443/x.jpg"},
      {"https://h.test/p.html", "http://h.test/x.jpg", "http://h.test/x.jpg"},
      {"http://h.test/p.html", "https://h.test/x.jpg", "https://h.test/x.jpg"},
      {"http://h.test:443/p.html", "/x.jpg", "http://h.test:443/x.jpg"},
  };
  for (const Case& c : cases) {
    THttpClient http;
    http.RequestURL = c.request;
    http.ParseURL();
    EXPECT_EQ(http.ResolveLocation(c.location), c.target) << c.request << " " << c.location;
  }
}

TEST(HttpsClient, RelativeUrlKeepsTheSchemeOfTheLastRequest) {
  THttpClient http;
  http.RequestURL = "https://h.test/a.html";
  http.ParseURL();
  http.RequestURL = "/b.html";
  http.ParseURL();
  EXPECT_TRUE(http.Secure());
  EXPECT_EQ(http.Port, 443);
  http.RequestURL = "HTTP://h.test/c.html";
  http.ParseURL();
  EXPECT_FALSE(http.Secure());
  EXPECT_EQ(http.Port, 80);
}

TEST(HttpsClient, FailureTextsNameTheHost) {
  struct Case {
    int code;
    const char* utf8;
  } cases[] = {
      {kTlsUntrusted, "h.test の証明書は信頼できません。"},
      {kTlsExpired, "h.test の証明書は有効期限が切れています。"},
      {kTlsNotYetValid, "h.test の証明書はまだ有効になっていません。"},
      {kTlsWrongName, "h.test の証明書は別のホスト名のものです。"},
      {kTlsHandshakeFailed, "h.test と暗号化通信（ＨＴＴＰＳ）を始められませんでした。"},
      {kTunnelRefused, "プロキシが h.test への中継を拒否しました。（403）"},
      {kWsaConnRefused, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SecureFailureText(c.code, "h.test", 403), Utf8ToCp932(c.utf8)) << c.code;
    EXPECT_EQ(IsSecureFailure(c.code), *c.utf8 != '\0');
  }
}

}  // namespace
}  // namespace toravin
