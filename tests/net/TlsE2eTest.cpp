// HTTPS end to end: nginx serving generated files over TLS with certificates made at test time
// (trusted through SSL_CERT_FILE), reached directly and through tinyproxy's CONNECT; redirects
// between HTTP and HTTPS; an expired, a wrong-name and an untrusted certificate refused with
// their texts and no file written; and a handshake that stalls, ended by Abort and by the
// time-out while the user interface keeps being pumped.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "net/HttpClient.h"
#include "net/SecureFailure.h"
#include "net/SocketErrors.h"
#include "net/TcpStream.h"
#include "net/TlsStream.h"
#include "platform/MessagePump.h"
#include "support/ShellCommand.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::RunCommandLine;
using test::SourceDir;

class TlsE2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new test::TempDir();
    std::string scripts = SourceDir() + "/scripts/e2e";
    int rc = 0;
    if (RunCommandLine(scripts + "/start_nginx.sh " + s_dir->path(), &rc).empty() || rc != 0) {
      return;
    }
    std::istringstream ports(RunCommandLine(scripts + "/start_nginx_tls.sh " + s_dir->path(), &rc));
    if (rc != 0) return;
    ports >> s_good >> s_expired >> s_wrongName >> s_untrusted >> s_plain;
    s_proxyPort = RunCommandLine(scripts + "/start_tinyproxy.sh " + s_dir->path(), &rc);
    if (rc != 0) s_proxyPort.clear();
    ::setenv("SSL_CERT_FILE", (s_dir->path() + "/certs/ca.pem").c_str(), 1);
  }
  static void TearDownTestSuite() {
    RunCommandLine(SourceDir() + "/scripts/e2e/stop_peers.sh " + s_dir->path());
    delete s_dir;
    s_dir = nullptr;
  }
  void SetUp() override {
    if (s_plain.empty()) GTEST_SKIP() << "nginx over TLS could not be started";
  }
  static std::string Url(const std::string& port, const std::string& path) {
    return "https://127.0.0.1:" + port + path;
  }
  static std::string Site(const std::string& name) {
    return test::ReadFileBytes(s_dir->path() + "/site/" + name);
  }

  static test::TempDir* s_dir;
  static std::string s_good, s_expired, s_wrongName, s_untrusted, s_plain, s_proxyPort;
};

test::TempDir* TlsE2e::s_dir = nullptr;
std::string TlsE2e::s_good, TlsE2e::s_expired, TlsE2e::s_wrongName, TlsE2e::s_untrusted,
    TlsE2e::s_plain, TlsE2e::s_proxyPort;

TEST_F(TlsE2e, FilesArriveByteForByte) {
  THttpClient http;
  http.TimeOut = 10000;
  int packets = 0;
  http.OnPacketRecvd = [&](TSockClient&) { ++packets; };
  for (const char* name : {"index.htm", "small.jpg", "big.zip", "empty.gif"}) {
    http.Get(Url(s_good, std::string("/") + name));
    EXPECT_EQ(http.ReplyCode, 200) << name;
    EXPECT_TRUE(http.Header.starts_with("HTTP/1.1 200 OK\r\n")) << http.Header;
    EXPECT_EQ(http.Body, Site(name)) << name;
    EXPECT_EQ(http.BytesReceived, static_cast<std::int64_t>(Site(name).size()));
    EXPECT_EQ(http.ContentLength, http.BytesReceived);
  }
  EXPECT_GE(packets, 3);
  // "localhost" is checked as a name (and sent as the server name), 127.0.0.1 as an address.
  http.Get("https://localhost:" + s_good + "/small.jpg");
  EXPECT_EQ(http.Body, Site("small.jpg"));
}

// Connections that start together each resume a session of their own: a TLS 1.3 session is good
// for one resumption, and the server sends two after a full handshake and one after each
// resumption.
TEST_F(TlsE2e, ConnectionsStartedTogetherEachResume) {
  const auto port = static_cast<std::uint16_t>(std::stoi(s_good));
  const auto connect = [port] {
    auto s = std::make_unique<TTlsStream>(std::make_unique<TTcpStream>(), "127.0.0.1");
    int rc = s->Connect(0x7f000001, port);
    for (int i = 0; rc == kWsaWouldBlock && i < 100; ++i) rc = s->PollConnect(100);
    EXPECT_EQ(rc, 0);
    return s;
  };
  // One request and its whole reply, which brings the sessions sent after the handshake.
  const auto fetch = [](TTlsStream& s) {
    const std::string request = "GET /small.jpg HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    std::string reply;
    std::size_t sent = 0;
    char buf[4096];
    for (int waits = 0; waits < 100;) {
      const std::int64_t n = sent < request.size()
                                 ? s.Send(request.data() + sent, request.size() - sent)
                                 : s.Receive(buf, sizeof buf, false);
      if (n == -kWsaWouldBlock) {
        ++waits;
        sent < request.size() ? s.WaitWritable(100) : s.WaitReadable(100);
      } else if (n <= 0) {
        break;
      } else if (sent < request.size()) {
        sent += static_cast<std::size_t>(n);
      } else {
        reply.append(buf, static_cast<std::size_t>(n));
      }
    }
    return reply;
  };
  fetch(*connect());
  for (int round = 0; round < 3; ++round) {
    std::vector<std::unique_ptr<TTlsStream>> together;
    for (int i = 0; i < 2; ++i) together.push_back(connect());
    for (const auto& s : together) {
      EXPECT_TRUE(s->Resumed()) << "round " << round;
      EXPECT_TRUE(fetch(*s).ends_with(Site("small.jpg"))) << "round " << round;
    }
  }
}

// A TLS server on a loopback port for one connection: it reads the request, sends `reply` and
// then resets the connection instead of closing it.
class ResettingTlsServer {
 public:
  ResettingTlsServer(const std::string& certs, std::string reply) : m_reply(std::move(reply)) {
    m_ctx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate_chain_file(m_ctx, (certs + "/good.pem").c_str());
    SSL_CTX_use_PrivateKey_file(m_ctx, (certs + "/good.key").c_str(), SSL_FILETYPE_PEM);
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_listen, 1);
    socklen_t len = sizeof a;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~ResettingTlsServer() {
    ::shutdown(m_listen, SHUT_RDWR);
    m_thread.join();
    ::close(m_listen);
    SSL_CTX_free(m_ctx);
  }
  int port() const { return m_port; }

 private:
  void Serve() {
    int fd = ::accept(m_listen, nullptr, nullptr);
    if (fd < 0) return;
    SSL* ssl = SSL_new(m_ctx);
    SSL_set_fd(ssl, fd);
    if (SSL_accept(ssl) == 1) {
      std::string request;
      char buf[4096];
      for (int n; request.find("\r\n\r\n") == std::string::npos &&
                  (n = SSL_read(ssl, buf, sizeof buf)) > 0;) {
        request.append(buf, static_cast<std::size_t>(n));
      }
      SSL_write(ssl, m_reply.data(), static_cast<int>(m_reply.size()));
    }
    linger reset{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(fd);
    SSL_free(ssl);
  }

  SSL_CTX* m_ctx = nullptr;
  int m_listen = -1;
  int m_port = 0;
  std::string m_reply;
  std::thread m_thread;
};

// A reset right after the last record of a reply of unknown length is reported, as over plain
// TCP, and not taken for the end of a complete reply.
TEST_F(TlsE2e, AResetAfterTheLastRecordsIsNoCleanEnd) {
  ResettingTlsServer server(s_dir->path() + "/certs",
                            "HTTP/1.0 200 OK\r\n\r\n" + std::string(100000, 'b'));
  THttpClient http;
  http.TimeOut = 10000;
  // The records and the reset are all waiting by the time the client reads them.
  http.OnConnect = [](TSockClient&) { ::usleep(100000); };
  int successes = 0;
  http.OnSuccess = [&](CmdType) { ++successes; };
  std::string error;
  try {
    http.Get(Url(std::to_string(server.port()), "/a.gif"));
  } catch (const ESockError& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "10054:Connection reset by peer");
  EXPECT_EQ(successes, 0);
}

TEST_F(TlsE2e, BodyIntoAFile) {
  test::TempDir out;
  THttpClient http;
  http.InputFileMode = true;
  http.Body = out.File("big.zip");
  http.Get(Url(s_good, "/big.zip"));
  EXPECT_EQ(test::ReadFileBytes(out.File("big.zip")), Site("big.zip"));
}

TEST_F(TlsE2e, FilesArriveThroughTinyproxyTunnel) {
  if (s_proxyPort.empty()) GTEST_SKIP() << "tinyproxy could not be started";
  THttpClient http;
  http.TimeOut = 10000;
  http.Proxy = "127.0.0.1";
  http.ProxyPort = std::stoi(s_proxyPort);
  std::string sent;
  http.OnAboutToSend = [&](THttpClient& h) { sent = h.RequestHeaders.Lines().at(0); };
  for (const char* name : {"index.htm", "small.jpg", "big.zip"}) {
    http.Get(Url(s_good, std::string("/") + name));
    EXPECT_EQ(http.ReplyCode, 200) << name;
    EXPECT_EQ(http.Body, Site(name)) << name;
    EXPECT_EQ(sent, std::string("GET /") + name + " HTTP/1.0");  // origin form in the tunnel
  }
  // A certificate is checked through the tunnel too.
  EXPECT_THROW(http.Get(Url(s_untrusted, "/small.jpg")), ESockError);
  EXPECT_EQ(http.LastFailureText, SecureFailureText(kTlsUntrusted, "127.0.0.1"));
}

// Kept connections over TLS: nginx keeps HTTP/1.1 connections open, so a run of files costs one
// connection and one handshake, directly and through one CONNECT tunnel of tinyproxy's.
TEST_F(TlsE2e, KeptConnectionsCarryEveryFileOnOneHandshake) {
  struct Case {
    const char* name;
    bool proxy;
  };
  for (const Case& c : {Case{"direct", false}, Case{"tunnel", true}}) {
    if (c.proxy && s_proxyPort.empty()) continue;
    THttpClient http;
    http.TimeOut = 10000;
    http.Pool = std::make_shared<TConnectionPool>();
    int made = 0;
    http.StreamFactory = [&made] {
      ++made;
      return std::make_unique<TTcpStream>();
    };
    if (c.proxy) {
      http.Proxy = "127.0.0.1";
      http.ProxyPort = std::stoi(s_proxyPort);
    }
    std::string sent;
    http.OnAboutToSend = [&](THttpClient& h) { sent = h.RequestHeaders.Lines().at(0); };
    for (const char* name : {"index.htm", "small.jpg", "big.zip", "empty.gif", "small.jpg"}) {
      http.Get(Url(s_good, std::string("/") + name));
      EXPECT_EQ(http.ReplyCode, 200) << c.name << name;
      EXPECT_EQ(http.Body, Site(name)) << c.name << name;
      EXPECT_EQ(sent, std::string("GET /") + name + " HTTP/1.1") << c.name;
    }
    EXPECT_EQ(made, 1) << c.name;
    EXPECT_EQ(http.Pool->Idle(), 1u) << c.name;
    // The connection kept idle does not keep its pool alive: the pool goes with its last user.
    const std::weak_ptr<TConnectionPool> pool = http.Pool;
    http.Pool.reset();
    EXPECT_TRUE(pool.expired()) << c.name;
  }
}

TEST_F(TlsE2e, RedirectsCrossBetweenHttpAndHttps) {
  struct Case {
    std::string url;
    bool secureAtEnd;
  } cases[] = {
      {"http://127.0.0.1:" + s_plain + "/tohttps.jpg", true},
      {Url(s_good, "/tohttp.jpg"), false},
  };
  for (const Case& c : cases) {
    THttpClient http;
    int redirects = 0;
    http.OnRedirect = [&](bool&) { ++redirects; };
    http.Get(c.url);
    EXPECT_EQ(redirects, 1) << c.url;
    EXPECT_EQ(http.ReplyCode, 200) << c.url;
    EXPECT_EQ(http.Body, Site("small.jpg")) << c.url;
    EXPECT_EQ(http.Secure(), c.secureAtEnd) << c.url;
  }
}

TEST_F(TlsE2e, ARedirectCookieFromHttpsIsNotSentOverHttp) {
  struct Case {
    std::string url, body;
  } cases[] = {
      {Url(s_good, "/cookie-to-http"), "cookie=[]"},
      {"http://127.0.0.1:" + s_plain + "/cookie-to-https", "cookie=[p=1]"},
  };
  for (const Case& c : cases) {
    THttpClient http;
    http.Get(c.url);
    EXPECT_EQ(http.ReplyCode, 200) << c.url;
    EXPECT_EQ(http.Body, c.body) << c.url;
  }
  // Back on HTTPS, the cookie an HTTPS reply set is sent again.
  THttpClient http;
  http.Get(Url(s_good, "/cookie-to-http"));
  http.Get(Url(s_good, "/cookie-echo"));
  EXPECT_EQ(http.Body, "cookie=[s=1]");
}

TEST_F(TlsE2e, BadCertificatesAreRefusedAndNothingIsWritten) {
  struct Case {
    const std::string* port;
    int code;
  } cases[] = {
      {&s_expired, kTlsExpired},
      {&s_wrongName, kTlsWrongName},
      {&s_untrusted, kTlsUntrusted},
  };
  for (const Case& c : cases) {
    test::TempDir out;
    THttpClient http;
    http.TimeOut = 10000;
    http.InputFileMode = true;
    http.Body = out.File("small.jpg");
    std::vector<std::string> events;
    http.OnConnectionFailed = [&](TSockClient&) { events.push_back("ConnectionFailed"); };
    http.OnSuccess = [&](CmdType) { events.push_back("Success"); };
    http.OnFailure = [&](CmdType) { events.push_back("Failure"); };
    std::string text = SecureFailureText(c.code, "127.0.0.1");
    try {
      http.Get(Url(*c.port, "/small.jpg"));
      ADD_FAILURE() << *c.port;
    } catch (const ESockError& e) {
      EXPECT_EQ(e.what(), text);
    }
    EXPECT_EQ(http.LastErrorCode, c.code);
    EXPECT_EQ(http.LastFailureText, text);
    EXPECT_EQ(events, (std::vector<std::string>{"ConnectionFailed"}));
    EXPECT_FALSE(std::filesystem::exists(out.File("small.jpg")));
  }
}

// A loopback listener that takes connections into its backlog and never answers.
class SilentServer {
 public:
  SilentServer() {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::listen(m_fd, 4);
    socklen_t len = sizeof sa;
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len);
    m_port = ntohs(sa.sin_port);
  }
  ~SilentServer() { ::close(m_fd); }
  int port() const { return m_port; }
  // The first bytes the first client sent.
  std::string Received() {
    int c = ::accept(m_fd, nullptr, nullptr);
    if (c < 0) return {};
    char buf[16];
    ssize_t n = ::recv(c, buf, sizeof buf, 0);
    ::close(c);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  }

 private:
  int m_fd = -1;
  int m_port = 0;
};

TEST(TlsStall, AbortEndsAStalledHandshake) {
  SilentServer server;
  THttpClient http;
  http.TimeOut = 0;  // only the abort can end the wait
  int pumps = 0;
  MessagePumpFn old = SetMessagePump([&] {
    if (++pumps == 50) http.Abort();
  });
  std::string error;
  try {
    http.Get("https://127.0.0.1:" + std::to_string(server.port()) + "/a.jpg");
  } catch (const ESockError& e) {
    error = e.what();
  }
  SetMessagePump(old);
  EXPECT_EQ(error, "Connection Canceled");
  EXPECT_EQ(pumps, 50);  // the window was pumped all along, and not once after the abort
  EXPECT_EQ(http.LastFailureText, "");
  EXPECT_EQ(server.Received().substr(0, 2), std::string("\x16\x03", 2));  // a client hello
}

TEST(TlsStall, TimeOutEndsAStalledHandshake) {
  SilentServer server;
  THttpClient http;
  http.TimeOut = 100;
  int failed = 0;
  http.OnConnectionFailed = [&](TSockClient&) { ++failed; };
  std::string error;
  try {
    http.Get("https://127.0.0.1:" + std::to_string(server.port()) + "/a.jpg");
  } catch (const ESockError& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "Connection Timed out");
  EXPECT_EQ(failed, 1);
}

}  // namespace
}  // namespace toravin
