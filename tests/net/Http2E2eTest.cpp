// HTTP/2 end to end against nginx with "http2" on its TLS listener: ALPN gives "h2" only when it
// is offered (a stream that does not offer it keeps HTTP/1.1), files arrive byte for byte through
// one connection, one at a time and many at once as streams, the header reads as an HTTP/1.x one
// with "HTTP/2 200" first, and a missing file is a 404 with its page.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "net/Http2Session.h"
#include "net/Http2Stream.h"
#include "net/HttpClient.h"
#include "net/TcpStream.h"
#include "net/TlsStream.h"
#include "support/ShellCommand.h"
#include "support/TempDir.h"

namespace toravin {
namespace {

using test::RunCommandLine;
using test::SourceDir;

class Http2E2e : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = std::make_unique<test::TempDir>();
    const std::string scripts = SourceDir() + "/scripts/e2e";
    int rc = 0;
    if (RunCommandLine(scripts + "/start_nginx.sh " + s_dir->path() + " 2 40", &rc).empty() ||
        rc != 0) {
      return;
    }
    std::istringstream ports(RunCommandLine(scripts + "/start_nginx_tls.sh " + s_dir->path(), &rc));
    if (rc != 0) return;
    std::string unused;
    ports >> s_good >> unused >> unused >> unused >> unused >> s_h2;
    ::setenv("SSL_CERT_FILE", (s_dir->path() + "/certs/ca.pem").c_str(), 1);
  }
  static void TearDownTestSuite() {
    RunCommandLine(SourceDir() + "/scripts/e2e/stop_peers.sh " + s_dir->path());
    s_dir.reset();
  }
  void SetUp() override {
    if (s_h2.empty()) GTEST_SKIP() << "nginx with HTTP/2 over TLS could not be started";
  }
  static std::unique_ptr<TTlsStream> Open(const std::string& port, bool offer) {
    auto tls = std::make_unique<TTlsStream>(std::make_unique<TTcpStream>(), "127.0.0.1");
    if (offer) tls->OfferHttp2();
    int rc = tls->Connect(INADDR_LOOPBACK, static_cast<std::uint16_t>(std::stoi(port)));
    for (int i = 0; i < 400 && rc == kWouldBlock; ++i) rc = tls->PollConnect(50);
    EXPECT_EQ(rc, 0);
    return tls;
  }
  static std::string Site(const std::string& name) {
    return test::ReadFileBytes(s_dir->path() + "/site/" + name);
  }
  static THttp2Request Get(const std::string& path) {
    THttp2Request r;
    r.authority = "127.0.0.1:" + s_h2;
    r.path = path;
    r.headers = {{"user-agent", "ToraVin test"}, {"accept", "*/*"}};
    return r;
  }

  static constexpr int kWouldBlock = 10035;
  static std::unique_ptr<test::TempDir> s_dir;
  static std::string s_good, s_h2;
};

std::unique_ptr<test::TempDir> Http2E2e::s_dir;
std::string Http2E2e::s_good, Http2E2e::s_h2;

TEST_F(Http2E2e, AlpnChoosesH2OnlyWhenOffered) {
  struct Case {
    bool h2Port;
    bool offer;
    const char* chosen;
  };
  for (const Case& c : std::vector<Case>{
           {true, true, "h2"}, {true, false, ""}, {false, true, "http/1.1"}, {false, false, ""}}) {
    auto tls = Open(c.h2Port ? s_h2 : s_good, c.offer);
    EXPECT_EQ(tls->ChosenProtocol(), c.chosen) << c.h2Port << c.offer;
  }
}

TEST_F(Http2E2e, FilesOneAfterAnotherOnOneConnection) {
  auto tls = Open(s_h2, true);
  ASSERT_EQ(tls->ChosenProtocol(), "h2");
  THttp2Session session(*tls);
  struct Case {
    const char* path;
    int status;
    const char* headerStart;
    const char* file;  // the body's file in the site, or null for any body
  };
  for (const Case& c : std::vector<Case>{
           {"/index.htm", 200, "HTTP/2 200\r\nserver: nginx", "index.htm"},
           {"/small.jpg", 200, "HTTP/2 200\r\n", "small.jpg"},
           {"/big.zip", 200, "HTTP/2 200\r\n", "big.zip"},
           {"/empty.gif", 200, "HTTP/2 200\r\n", "empty.gif"},
           {"/missing.jpg", 404, "HTTP/2 404\r\n", nullptr},
       }) {
    THttp2Reply reply = session.Fetch(Get(c.path), nullptr, 10000, nullptr);
    EXPECT_TRUE(reply.complete) << c.path << " " << reply.failure;
    EXPECT_EQ(reply.status, c.status) << c.path;
    EXPECT_TRUE(reply.header.starts_with(c.headerStart)) << reply.header;
    EXPECT_TRUE(reply.header.ends_with("\r\n\r\n")) << reply.header;
    EXPECT_EQ(reply.bodyBytes, static_cast<std::int64_t>(reply.body.size()));
    if (c.file) {
      EXPECT_EQ(reply.body, Site(c.file)) << c.path;
      EXPECT_NE(reply.header.find("content-length: " + std::to_string(Site(c.file).size())),
                std::string::npos)
          << reply.header;
    } else {
      EXPECT_NE(reply.body.find("404"), std::string::npos) << reply.body;
    }
  }
  EXPECT_TRUE(session.Usable());
}

// Collects a body handed on block by block.
class StringSink : public TBodySink {
 public:
  void Write(const char* bytes, std::size_t size) override { text.append(bytes, size); }
  std::string text;
};

TEST_F(Http2E2e, ManyFilesAtOnceAsStreams) {
  auto tls = Open(s_h2, true);
  ASSERT_EQ(tls->ChosenProtocol(), "h2");
  THttp2Session session(*tls);
  for (std::size_t atOnce : {std::size_t{1}, std::size_t{8}, std::size_t{32}}) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < atOnce; ++i) names.push_back("s/f" + std::to_string(i) + ".jpg");
    names.push_back("big.zip");
    std::vector<StringSink> sinks(names.size());
    std::vector<std::int32_t> ids;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::int32_t id = session.Submit(Get("/" + names[i]), &sinks[i]);
      if (i < THttp2Session::kMaxStreams) {
        EXPECT_GT(id, 0) << names[i];
      } else {
        EXPECT_EQ(id, 0) << "stream beyond the bound";
      }
      ids.push_back(id);
    }
    // Finished in reverse order: the others advance meanwhile.
    for (std::size_t i = names.size(); i-- > 0;) {
      if (ids[i] == 0) continue;
      THttp2Reply reply = session.Finish(ids[i], 10000, nullptr);
      EXPECT_TRUE(reply.complete) << names[i] << " " << reply.failure;
      EXPECT_EQ(reply.status, 200);
      EXPECT_TRUE(reply.body.empty());
      EXPECT_EQ(sinks[i].text, Site(names[i])) << names[i];
    }
    EXPECT_EQ(session.OpenStreams(), 0u);
  }
}

// Bodies whose reader holds them back: each stream holds at most its window, and streams that
// are not read (more of them than the connection's window would once hold) stall no other.
TEST_F(Http2E2e, StreamsNotReadHoldOneWindowEachAndStallNoOther) {
  auto tls = Open(s_h2, true);
  ASSERT_EQ(tls->ChosenProtocol(), "h2");
  THttp2Session session(*tls);
  constexpr std::size_t kHeld = 20;
  std::vector<StringSink> held(kHeld);
  std::vector<std::int32_t> ids;
  for (StringSink& sink : held) ids.push_back(session.Submit(Get("/big.zip"), &sink, true));
  for (std::size_t i = 0; i + kHeld < THttp2Session::kMaxStreams; ++i) {
    StringSink sink;
    const std::string name = "s/f" + std::to_string(i) + ".jpg";
    const std::int32_t id = session.Submit(Get("/" + name), &sink);
    const THttp2Reply reply = session.Finish(id, 10000, nullptr);
    EXPECT_TRUE(reply.complete) << name << " " << reply.failure;
    EXPECT_EQ(sink.text, Site(name)) << name;
  }
  const std::string big = Site("big.zip");
  ASSERT_GT(big.size(), THttp2Session::kStreamWindow);
  for (const StringSink& sink : held) EXPECT_LE(sink.text.size(), THttp2Session::kStreamWindow);
  // Read as they arrive, the held bodies come whole.
  std::vector<std::size_t> read(kHeld, 0);
  for (int round = 0; round < 2000 && session.OpenStreams() > 0; ++round) {
    for (std::size_t i = 0; i < kHeld; ++i) {
      session.Consume(ids[i], held[i].text.size() - read[i]);
      read[i] = held[i].text.size();
    }
    ASSERT_TRUE(session.Pump(5));
  }
  for (std::size_t i = 0; i < kHeld; ++i) {
    EXPECT_TRUE(session.Take(ids[i]).complete) << i;
    EXPECT_EQ(held[i].text, big) << i;
  }
}

TEST_F(Http2E2e, TheClientWithKeptConnectionsSpeaksHttp2AndGetsWhatCloseGets) {
  struct Case {
    const char* path;
    int code;
    const char* file;  // the body's file in the site, or null when the code alone is checked
  };
  const std::vector<Case> cases = {
      {"/index.htm", 200, "index.htm"},  {"/small.jpg", 200, "small.jpg"},
      {"/big.zip", 200, "big.zip"},      {"/empty.gif", 200, "empty.gif"},
      {"/tohttp.jpg", 200, "small.jpg"},  // redirected to plain HTTP
      {"/missing.jpg", 404, nullptr},    {"/s/f3.jpg", 200, "s/f3.jpg"},
  };
  THttpClient closing;  // a connection per exchange: HTTP/1.0, no ALPN
  closing.TimeOut = 10000;
  THttpClient keeping;
  keeping.TimeOut = 10000;
  keeping.Pool = std::make_shared<TConnectionPool>();
  for (const Case& c : cases) {
    const std::string url = "https://127.0.0.1:" + s_h2 + c.path;
    closing.Get(url);
    keeping.Get(url);
    EXPECT_EQ(closing.ReplyCode, c.code) << c.path;
    EXPECT_EQ(keeping.ReplyCode, c.code) << c.path;
    EXPECT_TRUE(closing.Header.starts_with("HTTP/1.1 ")) << closing.Header;
    if (std::string(c.path) != "/tohttp.jpg") {
      EXPECT_TRUE(keeping.Header.starts_with("HTTP/2 " + std::to_string(c.code) + "\r\n"))
          << keeping.Header;
      EXPECT_TRUE(keeping.Header.ends_with("\r\n\r\n")) << keeping.Header;
    }
    EXPECT_EQ(keeping.Body, closing.Body) << c.path;
    if (c.file) {
      EXPECT_EQ(keeping.Body, Site(c.file)) << c.path;
    }
    EXPECT_EQ(keeping.BytesReceived, closing.BytesReceived) << c.path;
  }
  // One HTTP/2 connection carried every HTTPS exchange.
  EXPECT_EQ(keeping.Pool->Http2().size(), 1u);
}

}  // namespace
}  // namespace toravin
